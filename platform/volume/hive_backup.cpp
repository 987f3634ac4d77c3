// The copy of a hive file and its logs, as they were, kept before the first
// change is written: each copied whole to a temporary name, flushed, and
// only then given its name, so that a copy under that name is always
// complete. A set of copies already there is never replaced: the next free
// number is added to the names instead.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "hive_file.h"
#include "hive_logs.h"
#include "sim_state.h"

namespace sim {

namespace {

const char* const backupSuffix = ".quorvane-backup";
const char* const partialSuffix = ".partial";
constexpr unsigned mostBackupNumbers = 1000;
constexpr mode_t permissionBits = 0777; // never set-user-id or sticky: only who may read and write it
constexpr size_t copyBlockSize = 64 * 1024;

bool exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool writeAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

bool copyAll(int from, int to) {
    static char block[copyBlockSize];
    off_t at = 0;
    for (;;) {
        const ssize_t got = pread(from, block, sizeof block, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return fsync(to) == 0;
        if (!writeAll(to, block, static_cast<size_t>(got))) return false;
        at += got;
    }
}

// Whole under a temporary name first; the name is given without replacing
// anything (a link where the host has them, a rename where not).
bool copyFile(int from, const std::string& target, mode_t mode, std::string& problem) {
    const std::string temporary = target + partialSuffix;
    unlink(temporary.c_str()); // left by a run that was stopped
    const int to = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    bool copied = to >= 0 && copyAll(from, to);
    int error = errno;
    if (to >= 0 && ::close(to) != 0 && copied) {
        copied = false;
        error = errno;
    }
    if (copied && link(temporary.c_str(), target.c_str()) == 0) {
        unlink(temporary.c_str());
    } else if (copied && (errno == EEXIST || rename(temporary.c_str(), target.c_str()) != 0)) {
        copied = false;
        error = errno;
    }
    if (!copied) {
        unlink(temporary.c_str());
        problem = "no copy of it can be kept as " + target + " (" + std::strerror(error != 0 ? error : EIO) + ")";
    }
    return copied;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd); // the names are durable once this is done
    ::close(fd);
}

// The first suffix under which none of the copies' names is taken.
bool freeSuffix(const std::string& folder, const std::vector<std::string>& names, std::string& suffix) {
    for (unsigned number = 0; number < mostBackupNumbers; ++number) {
        suffix = number == 0 ? backupSuffix : backupSuffix + std::string(".") + std::to_string(number);
        const bool taken = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return exists(folder + "/" + name + suffix) || exists(folder + "/" + name + suffix + partialSuffix);
        });
        if (!taken) return true;
    }
    return false;
}

bool copyLog(const std::string& path, const std::string& target, mode_t mode, std::string& problem) {
    const int from = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (from < 0) {
        problem = "its log " + path + " cannot be read to keep a copy (" + std::strerror(errno) + ")";
        return false;
    }
    const bool copied = copyFile(from, target, mode, problem);
    ::close(from);
    return copied;
}

} // namespace

void setHiveBackupFolder(const std::string& folder) { machine().hiveBackupFolder = folder; }

const std::string& backupFolder() { return machine().hiveBackupFolder; }

bool keepOriginals(HiveFile& hive, const std::string& folderGiven, std::string& problem) {
    const std::string folder = folderGiven.empty() ? hostFolderOf(hive.hostPath) : folderGiven;
    std::vector<std::string> names{hostNameOf(hive.hostPath)};
    for (const std::string& log : hive.logPaths) names.push_back(hostNameOf(log));
    std::string suffix;
    if (!freeSuffix(folder, names, suffix)) {
        problem = "no copy of it can be kept in " + folder + ": every backup name is taken";
        return false;
    }
    const mode_t mode = hive.opened.st_mode & permissionBits;
    const std::string target = folder + "/" + names[0] + suffix;
    if (!copyFile(hive.disk.primary, target, mode, problem)) return false;
    for (size_t i = 0; i < hive.logPaths.size(); ++i) {
        if (!copyLog(hive.logPaths[i], folder + "/" + names[i + 1] + suffix, mode, problem)) return false;
    }
    syncFolder(folder);
    hive.backup = target;
    return true;
}

} // namespace sim
