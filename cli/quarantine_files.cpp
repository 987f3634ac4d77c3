// The quarantine's file calls: _open/_read/_write/_commit/_close and the
// Find*File calls on Windows (all there since Windows 95 and NT 4), the
// POSIX calls elsewhere.
#include "quarantine_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <direct.h>
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

namespace quarantine_files {

namespace {

constexpr size_t chunkLength = 1 << 20; // bytes per read or write call

#ifdef _WIN32
const char separator = '\\';
int openNew(const char* path) {
    return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int openExisting(const char* path) { return _open(path, _O_RDONLY | _O_BINARY); }
int writeSome(int fd, const char* data, size_t length) { return _write(fd, data, static_cast<unsigned>(length)); }
int readSome(int fd, char* data, size_t length) { return _read(fd, data, static_cast<unsigned>(length)); }
int flushFile(int fd) { return _commit(fd); }
int closeFile(int fd) { return _close(fd); }
int unlinkFile(const char* path) { return _unlink(path); }
long seekEnd(int fd) { return _lseek(fd, 0, SEEK_END); }
bool isRegularFile(int fd) {
    return GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) == FILE_TYPE_DISK;
}
bool nameTaken(const char* path) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD why = GetLastError();
    return why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND; // unsure: taken
}
#else
const char separator = '/';
constexpr mode_t newFileMode = 0600; // the taken files are no one else's to read
int openNew(const char* path) { return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newFileMode); }
// Non-blocking, so that a pipe put in the folder does not stop the program.
int openExisting(const char* path) { return open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC); }
int writeSome(int fd, const char* data, size_t length) { return static_cast<int>(write(fd, data, length)); }
int readSome(int fd, char* data, size_t length) { return static_cast<int>(read(fd, data, length)); }
int flushFile(int fd) { return fsync(fd); }
int closeFile(int fd) { return close(fd); }
int unlinkFile(const char* path) { return unlink(path); }
off_t seekEnd(int fd) { return lseek(fd, 0, SEEK_END); }
bool isRegularFile(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}
bool nameTaken(const char* path) {
    struct stat info;
    return lstat(path, &info) == 0 || errno != ENOENT; // unsure: taken
}
#endif

std::string failure(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

} // namespace

bool writeAll(int fd, const void* data, size_t length) {
    const char* const bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < length) {
        const size_t piece = length - done < chunkLength ? length - done : chunkLength;
        const int written = writeSome(fd, bytes + done, piece);
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

bool writeNewFile(const std::string& path, const std::string& bytes, std::string& error) {
    const int fd = openNew(path.c_str());
    if (fd < 0) return error = failure("cannot create", path), false;
    const bool written = writeAll(fd, bytes.data(), bytes.size()) && flushFile(fd) == 0;
    if (!written) error = failure("cannot write", path);
    if (closeFile(fd) != 0 && written) error = failure("cannot close", path);
    else if (written) return true;
    unlinkFile(path.c_str());
    return false;
}

bool readFileAtMost(const std::string& path, size_t limit, std::string& bytes, std::string& error) {
    bytes.clear();
    const int fd = openExisting(path.c_str());
    if (fd < 0) return error = failure("cannot open", path), false;
    bool ok = isRegularFile(fd);
    if (!ok) error = path + " is not a plain file";
    // One byte past the limit is asked for, to tell a longer file.
    std::string chunk(limit < chunkLength ? limit + 1 : chunkLength, '\0');
    while (ok) {
        const size_t wanted = limit - bytes.size() + 1;
        const int got = readSome(fd, &chunk[0], wanted < chunk.size() ? wanted : chunk.size());
        if (got < 0) ok = false, error = failure("cannot read", path);
        if (got <= 0) break;
        if (static_cast<size_t>(got) > limit - bytes.size()) ok = false, error = path + " is longer than expected";
        else bytes.append(chunk, 0, static_cast<size_t>(got));
    }
    closeFile(fd);
    return ok;
}

bool pathExists(const std::string& path) { return nameTaken(path.c_str()); }

bool fileLength(const std::string& path, uint64_t& length, std::string& error) {
    const int fd = openExisting(path.c_str());
    if (fd < 0) return error = failure("cannot open", path), false;
    const bool regular = isRegularFile(fd);
    const auto end = regular ? seekEnd(fd) : -1;
    closeFile(fd);
    if (!regular) return error = path + " is not a plain file", false;
    if (end < 0) return error = failure("cannot measure", path), false;
    length = static_cast<uint64_t>(end);
    return true;
}

bool renameToNew(const std::string& from, const std::string& to, std::string& error) {
    // Windows' rename never replaces a file; elsewhere the name is looked
    // at first (one program writes a quarantine folder at a time).
    if (pathExists(to)) return error = to + " already exists", false;
    if (std::rename(from.c_str(), to.c_str()) != 0) return error = failure("cannot rename", from), false;
    return true;
}

bool removeFile(const std::string& path, std::string& error) {
    if (unlinkFile(path.c_str()) == 0 || errno == ENOENT) return true;
    error = failure("cannot remove", path);
    return false;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    if (last == separator || last == '/') return folder + name;
    return folder + separator + name;
}

bool makeFolder(const std::string& folder, std::string& error) {
#ifdef _WIN32
    const int made = _mkdir(folder.c_str());
#else
    constexpr mode_t folderMode = 0700;
    const int made = mkdir(folder.c_str(), folderMode);
#endif
    if (made == 0 || errno == EEXIST) return true;
    error = failure("cannot create folder", folder);
    return false;
}

#ifdef _WIN32
bool listFolder(const std::string& folder, std::vector<std::string>& names, std::string& error) {
    names.clear();
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA(joinPath(folder, "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return true; // an empty root
        return error = "cannot list " + folder, false;
    }
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return true;
}

void syncFolder(const std::string&) {}
#else
bool listFolder(const std::string& folder, std::vector<std::string>& names, std::string& error) {
    names.clear();
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return error = failure("cannot list", folder), false;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(listing);
    return true;
}

void syncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd); // best effort: some file systems cannot sync a folder
    close(fd);
}
#endif

} // namespace quarantine_files
