// A detected file on a mounted volume, through the drives the scan presents:
// read with its permission bits and times, and put back the same way.
#include "original_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "machine.h"
#include "quarantine_files.h"
#include "quarantine_store.h"

namespace {

constexpr mode_t permissionBits = 07777;
constexpr mode_t restoringMode = 0600; // until the file has its own bits
const char* const restoringSuffix = ".quorvane-restoring";
constexpr size_t chunkLength = 1 << 20; // bytes per read or write call

// What ntfs-3g shows of an NTFS file beyond POSIX: its Windows attributes
// (32 bits) and creation time (a FILETIME), both big-endian.
const char* const ntfsAttributes = "system.ntfs_attrib_be";
const char* const ntfsCreationTime = "system.ntfs_crtime_be";
constexpr size_t attributeBytes = 4;
constexpr size_t fileTimeBytes = 8;

std::string failure(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

struct OpenFile {
    int fd = -1;
    ~OpenFile() {
        if (fd >= 0) close(fd);
    }
};

bool readAll(int fd, std::vector<unsigned char>& content, size_t length) {
    content.assign(length, 0);
    size_t done = 0;
    while (done < length) {
        const size_t piece = length - done < chunkLength ? length - done : chunkLength;
        const ssize_t got = read(fd, content.data() + done, piece);
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    unsigned char past = 0;
    return read(fd, &past, 1) == 0; // the file ends where its length said
}

void noteTimesAndMode(const struct stat& info, QuarantineRecord& about) {
    about.hasPosixMode = true;
    about.posixMode = info.st_mode & permissionBits;
    about.modified = fileTimeFromPosix(info.st_mtim.tv_sec, static_cast<uint32_t>(info.st_mtim.tv_nsec));
    about.hasAccessed = true;
    about.accessed = fileTimeFromPosix(info.st_atim.tv_sec, static_cast<uint32_t>(info.st_atim.tv_nsec));
}

uint64_t bigEndian(const unsigned char* bytes, size_t length) {
    uint64_t value = 0;
    for (size_t i = 0; i < length; ++i) value = value << 8 | bytes[i];
    return value;
}

std::string bigEndianBytes(uint64_t value, size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = length; i-- > 0; value >>= 8) bytes[i] = static_cast<char>(value & 0xFF);
    return bytes;
}

// On an NTFS volume mounted through ntfs-3g, the Windows attributes and
// creation time; elsewhere nothing.
void noteNtfsFacts(int fd, QuarantineRecord& about) {
    unsigned char bytes[fileTimeBytes];
    if (fgetxattr(fd, ntfsAttributes, bytes, attributeBytes) == static_cast<ssize_t>(attributeBytes)) {
        about.hasWindowsAttributes = true;
        about.windowsAttributes = static_cast<uint32_t>(bigEndian(bytes, attributeBytes));
    }
    if (fgetxattr(fd, ntfsCreationTime, bytes, fileTimeBytes) == static_cast<ssize_t>(fileTimeBytes)) {
        about.hasCreated = true;
        about.created = bigEndian(bytes, fileTimeBytes);
    }
}

bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

// The recorded NTFS facts back on the file at `host`, where the volume can
// hold them; set once the file has its name, read-only last.
bool restoreNtfsFacts(const std::string& host, const QuarantineRecord& record, std::string& error) {
    if (record.hasCreated) {
        const std::string time = bigEndianBytes(record.created, fileTimeBytes);
        if (lsetxattr(host.c_str(), ntfsCreationTime, time.data(), time.size(), 0) != 0 && !unsupported(errno))
            return error = failure("cannot set the creation time of", host), false;
    }
    if (record.hasWindowsAttributes) {
        const std::string bits = bigEndianBytes(record.windowsAttributes & restorableAttributes, attributeBytes);
        if (lsetxattr(host.c_str(), ntfsAttributes, bits.data(), bits.size(), 0) != 0 && !unsupported(errno))
            return error = failure("cannot set the attributes of", host), false;
    }
    return true;
}

timespec timeOf(uint64_t fileTime) {
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;
    posixFromFileTime(fileTime, seconds, nanoseconds);
    timespec time{};
    time.tv_sec = static_cast<time_t>(seconds);
    time.tv_nsec = static_cast<long>(nanoseconds);
    return time;
}

// The content, bits and times into a new file at `path`, flushed.
bool writeRestoring(const std::string& path, const QuarantineRecord& record, const std::vector<unsigned char>& content,
                    std::string& error) {
    OpenFile file;
    file.fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, restoringMode);
    // What a killed restore left under our own name goes first.
    if (file.fd < 0 && errno == EEXIST && unlink(path.c_str()) == 0)
        file.fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, restoringMode);
    if (file.fd < 0) return error = failure("cannot create", path), false;
    const timespec times[2] = {timeOf(record.hasAccessed ? record.accessed : record.modified), timeOf(record.modified)};
    const bool mode = !record.hasPosixMode || fchmod(file.fd, record.posixMode & permissionBits) == 0;
    if (!quarantine_files::writeAll(file.fd, content.data(), content.size()) || !mode || futimens(file.fd, times) != 0 || fsync(file.fd) != 0)
        return error = failure("cannot write", path), false;
    const int fd = file.fd;
    file.fd = -1;
    return close(fd) == 0 || (error = failure("cannot close", path), false);
}

// Gives the written file the original name, never replacing what is there:
// a hard link fails on a taken name; a system without links is asked first.
PutBack nameRestored(const std::string& restoring, const std::string& host, std::string& error) {
    if (link(restoring.c_str(), host.c_str()) == 0) {
        unlink(restoring.c_str());
        return PutBack::restored;
    }
    if (errno == EEXIST) return PutBack::placeTaken;
    struct stat info {};
    if (lstat(host.c_str(), &info) == 0 || errno != ENOENT) return PutBack::placeTaken;
    if (rename(restoring.c_str(), host.c_str()) == 0) return PutBack::restored;
    error = failure("cannot name", host);
    return PutBack::failed;
}

void syncFolderOf(const std::string& host) {
    const size_t slash = host.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : host.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd); // best effort: some file systems cannot sync a folder
    close(fd);
}

} // namespace

bool readOriginalFile(const char* windowsPath, QuarantineRecord& about, std::vector<unsigned char>& content,
                      std::string& error) {
    const std::string host = sim::hostPathOf(windowsPath);
    if (host.empty()) return error = "not on the drives given", false;
    OpenFile file;
    file.fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0) return error = failure("cannot open", host), false;
    struct stat info {};
    if (fstat(file.fd, &info) != 0) return error = failure("cannot read", host), false;
    if (!S_ISREG(info.st_mode)) return error = host + " is not a plain file", false;
    if (static_cast<uint64_t>(info.st_size) > quarantineMaxContentLength)
        return error = "the file is too long to quarantine", false;
    if (!readAll(file.fd, content, static_cast<size_t>(info.st_size)))
        return error = host + " changed or could not be read while it was taken", false;
    about.originalPath = windowsPath;
    about.hostPath = host;
    char here[PATH_MAX];
    if (host[0] != '/' && getcwd(here, sizeof here) != nullptr) about.hostPath = std::string(here) + "/" + host;
    noteTimesAndMode(info, about);
    noteNtfsFacts(file.fd, about);
    return true;
}

PutBack putBackOriginalFile(const QuarantineRecord& record, const std::vector<unsigned char>& content,
                            std::string& error) {
    const std::string host = sim::hostPathOf(record.originalPath);
    if (host.empty()) {
        error = "its folder is missing or not on the drives given";
        return PutBack::failed;
    }
    struct stat info {};
    if (lstat(host.c_str(), &info) == 0 || errno != ENOENT) return PutBack::placeTaken;
    const std::string restoring = host + restoringSuffix;
    if (!writeRestoring(restoring, record, content, error)) {
        unlink(restoring.c_str());
        return PutBack::failed;
    }
    const PutBack named = nameRestored(restoring, host, error);
    if (named != PutBack::restored) unlink(restoring.c_str());
    if (named == PutBack::restored) restoreNtfsFacts(host, record, error);
    syncFolderOf(host);
    return named;
}
