// Closing the loaded hives: each changed one is copied, written whole to a
// new file beside it, and that file takes the hive's place only once it is
// complete and reads back as a hive, so that a failure at any step leaves
// the hive file as it was.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "hive_file.h"
#include "hive_write.h"
#include "sim_state.h"

namespace sim {

namespace {

const char* const backupSuffix = ".quorvane-backup";
const char* const newSuffix = ".quorvane-new";
const char* const descriptorPaths = "/proc/self/fd/";
constexpr unsigned mostBackupNumbers = 1000;
constexpr mode_t permissionBits = 0777; // never set-user-id or sticky: only who may read and write it
constexpr size_t copyBlockSize = 64 * 1024;

std::string withReason(const std::string& what, int error) { return what + " (" + std::strerror(error) + ")"; }

std::string fileNameOf(const std::string& hostPath) {
    const size_t slash = hostPath.rfind('/');
    return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

std::string folderOf(const std::string& hostPath) {
    const size_t slash = hostPath.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : hostPath.substr(0, slash);
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

// The file as it was read: every byte of it, from the descriptor held since.
bool copyOriginal(const HiveFile& hive, int to) {
    static char block[copyBlockSize];
    off_t at = 0;
    while (at < hive.opened.st_size) {
        const size_t wanted = std::min<size_t>(sizeof block, static_cast<size_t>(hive.opened.st_size - at));
        const ssize_t got = pread(hive.fd, block, wanted, at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || !writeAll(to, block, static_cast<size_t>(got))) return false;
        at += got;
    }
    return at == hive.opened.st_size && fsync(to) == 0;
}

// A new file that no other can be mistaken for: the first free name of
// base, base.1, base.2 ...
int createNumbered(const std::string& base, std::string& path, mode_t mode) {
    for (unsigned number = 0; number < mostBackupNumbers; ++number) {
        path = number == 0 ? base : base + "." + std::to_string(number);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool keepBackup(const HiveFile& hive, const std::string& backupFolder, HiveOutcome& outcome) {
    const std::string folder = backupFolder.empty() ? folderOf(hive.hostPath) : backupFolder;
    const std::string base = folder + "/" + fileNameOf(hive.hostPath) + backupSuffix;
    std::string path;
    const int fd = createNumbered(base, path, hive.opened.st_mode & permissionBits);
    if (fd < 0) {
        outcome.problem = withReason("no copy of it can be kept as " + base, errno);
        return false;
    }
    const bool copied = copyOriginal(hive, fd);
    const int error = errno;
    if (::close(fd) != 0 || !copied) {
        unlink(path.c_str());
        outcome.problem = withReason("no copy of it can be kept as " + path, copied ? errno : error);
        return false;
    }
    outcome.backup = path;
    return true;
}

// Nothing else may have changed or replaced the file since it was read.
bool stillAsRead(const HiveFile& hive, HiveOutcome& outcome) {
    struct stat now {};
    if (lstat(hive.hostPath.c_str(), &now) == 0 && now.st_dev == hive.opened.st_dev &&
        now.st_ino == hive.opened.st_ino && now.st_size == hive.opened.st_size &&
        now.st_mtim.tv_sec == hive.opened.st_mtim.tv_sec && now.st_mtim.tv_nsec == hive.opened.st_mtim.tv_nsec) {
        return true;
    }
    outcome.problem = "it was changed by something else since it was read";
    return false;
}

// A file of that name left by an earlier run that did not finish goes.
int createNewFile(const std::string& path, mode_t mode) {
    struct stat existing {};
    if (lstat(path.c_str(), &existing) == 0 && !S_ISDIR(existing.st_mode)) unlink(path.c_str());
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

bool readsBackAsHive(const std::string& path) {
    hive_h* check = hivex_open(path.c_str(), 0);
    if (check == nullptr) return false;
    hivex_close(check);
    return true;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd); // the rename is durable once this is done; it happened either way
    ::close(fd);
}

// The library writes its copy through the descriptor of a file made here,
// so that it never writes anywhere else.
bool writeNewFile(const HiveFile& hive, const std::string& path, std::string& problem) {
    const int fd = createNewFile(path, hive.opened.st_mode & permissionBits);
    if (fd < 0) {
        problem = withReason("it cannot be written as " + path, errno);
        return false;
    }
    // Owned and readable as the hive was where the host lets it be; where
    // not, the system reads the file all the same.
    [[maybe_unused]] const int owned = geteuid() == 0 ? fchown(fd, hive.opened.st_uid, hive.opened.st_gid) : 0;
    [[maybe_unused]] const int moded = fchmod(fd, hive.opened.st_mode & permissionBits);
    const std::string target = descriptorPaths + std::to_string(fd);
    errno = 0;
    bool written = hivex_commit(hive.handle, target.c_str(), 0) == 0;
    int error = errno;
    if (written && fsync(fd) != 0) {
        written = false;
        error = errno;
    }
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) problem = withReason("it cannot be written as " + path, error != 0 ? error : EIO);
    return written;
}

bool replaceWithNew(const HiveFile& hive, HiveOutcome& outcome) {
    const std::string path = hive.hostPath + newSuffix;
    if (!writeNewFile(hive, path, outcome.problem)) {
        unlink(path.c_str());
        return false;
    }
    if (!readsBackAsHive(path)) {
        unlink(path.c_str());
        outcome.problem = "what was written as " + path + " does not read back as a hive";
        return false;
    }
    if (rename(path.c_str(), hive.hostPath.c_str()) != 0) {
        outcome.problem = withReason(path + " cannot take the place of the hive", errno);
        unlink(path.c_str());
        return false;
    }
    syncFolder(folderOf(hive.hostPath));
    return true;
}

void saveHive(HiveFile& hive, const KeyPtr& root, const std::string& backupFolder, HiveOutcome& outcome) {
    if (!stillAsRead(hive, outcome) || !keepBackup(hive, backupFolder, outcome)) return;
    if (!writeKey(hive.handle, *root, outcome.problem)) return;
    outcome.written = replaceWithNew(hive, outcome);
}

HiveOutcome closeHive(HiveFile& hive, const std::string& backupFolder) {
    HiveOutcome outcome;
    outcome.file = hive.windowsPath;
    const KeyPtr root = hive.root.lock();
    outcome.changed = root != nullptr && keyChanged(*root);
    if (!hive.damage.empty()) {
        outcome.problem = "it is damaged: " + hive.damage;
    } else if (outcome.changed) {
        saveHive(hive, root, backupFolder, outcome);
    }
    if (root != nullptr) {
        root->hiveRoot = false;
        removeKey(root);
    }
    hivex_close(hive.handle);
    hive.handle = nullptr;
    ::close(hive.fd);
    hive.fd = -1;
    return outcome;
}

} // namespace

std::vector<HiveOutcome> closeHives(const std::string& backupFolder) {
    std::vector<HiveOutcome> outcomes;
    for (const std::shared_ptr<HiveFile>& hive : machine().hives) outcomes.push_back(closeHive(*hive, backupFolder));
    machine().hives.clear();
    return outcomes;
}

} // namespace sim
