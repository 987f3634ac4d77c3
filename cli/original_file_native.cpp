// A detected file on a mounted volume, through the drives the scan presents:
// read with its permission bits and times, and put back the same way.
#include "original_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "machine.h"
#include "quarantine_store.h"

namespace {

constexpr mode_t permissionBits = 07777;
constexpr mode_t restoringMode = 0600; // until the file has its own bits
const char* const restoringSuffix = ".quorvane-restoring";
constexpr size_t chunkLength = 1 << 20; // bytes per read or write call

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

bool writeAll(int fd, const std::vector<unsigned char>& content) {
    size_t done = 0;
    while (done < content.size()) {
        const size_t piece = content.size() - done < chunkLength ? content.size() - done : chunkLength;
        const ssize_t written = write(fd, content.data() + done, piece);
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

void noteTimesAndMode(const struct stat& info, QuarantineRecord& about) {
    about.hasPosixMode = true;
    about.posixMode = info.st_mode & permissionBits;
    about.modified = fileTimeFromPosix(info.st_mtim.tv_sec, static_cast<uint32_t>(info.st_mtim.tv_nsec));
    about.hasAccessed = true;
    about.accessed = fileTimeFromPosix(info.st_atim.tv_sec, static_cast<uint32_t>(info.st_atim.tv_nsec));
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
    if (!writeAll(file.fd, content) || !mode || futimens(file.fd, times) != 0 || fsync(file.fd) != 0)
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
    noteTimesAndMode(info, about);
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
    syncFolderOf(host);
    return named;
}
