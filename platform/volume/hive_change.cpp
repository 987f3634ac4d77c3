// The registry calls' changes to a loaded hive: made in its image cell by
// cell and written through its log into the file before the call returns;
// see hive_file.h.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "hive_file.h"
#include "hive_logs.h"
#include "hive_text.h"
#include "sim_state.h"

namespace sim {

namespace {

const char* const descriptorPaths = "/proc/self/fd/";
constexpr mode_t permissionBits = 0777;

std::string withReason(const std::string& what) { return what + " (" + std::strerror(errno != 0 ? errno : EIO) + ")"; }

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Nothing else may have changed or replaced the file since it was read
// (or since this program last wrote it).
bool stillAsRead(const HiveFile& hive, std::string& problem) {
    struct stat named {};
    struct stat held {};
    if (lstat(hive.hostPath.c_str(), &named) == 0 && fstat(hive.disk.primary, &held) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino && held.st_size == hive.opened.st_size &&
        sameTime(held.st_mtim, hive.opened.st_mtim)) {
        return true;
    }
    problem = "it was changed by something else since it was read";
    return false;
}

// The file as it was read, opened again for writing (the same file, not
// whatever its name leads to now).
bool openForWriting(HiveFile& hive, std::string& problem) {
    const std::string held = descriptorPaths + std::to_string(hive.disk.primary);
    const int fd = ::open(held.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        problem = withReason("it cannot be opened for writing");
        return false;
    }
    ::close(hive.disk.primary);
    hive.disk.primary = fd;
    const std::string log = firstLogPath(hive.hostPath, hive.logPaths);
    hive.disk.log = ::open(log.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, hive.opened.st_mode & permissionBits);
    if (hive.disk.log < 0) {
        problem = withReason("its log " + log + " cannot be written");
        return false;
    }
    return true;
}

// Once, before the first change: the copies, the file open for writing,
// and what its logs completed written into it.
bool prepare(HiveFile& hive, std::string& problem) {
    if (hive.disk.log >= 0) return stillAsRead(hive, problem);
    if (!stillAsRead(hive, problem) || !keepOriginals(hive, backupFolder(), problem) ||
        !openForWriting(hive, problem)) {
        return false;
    }
    if (hive.recovery.wasDirty && !hive::writeRecovered(hive.disk, hive.image, hive.recovery.written, problem)) {
        return false;
    }
    return fstat(hive.disk.primary, &hive.opened) == 0;
}

LONG failed(HiveFile& hive, const std::string& problem, LONG error) {
    hive.editor->rollback();
    if (hive.writeProblem.empty()) hive.writeProblem = problem;
    return error;
}

LONG commit(HiveFile& hive) {
    std::string problem;
    if (!prepare(hive, problem)) return failed(hive, problem, ERROR_WRITE_FAULT);
    bool leftDirty = false;
    if (!hive::writeInPlace(hive.disk, hive.image, hive::pageRanges(hive.editor->dirtyPages()), problem,
                            leftDirty)) {
        return failed(hive, problem, ERROR_WRITE_FAULT);
    }
    hive.editor->markCommitted();
    hive.changed = true;
    if (leftDirty) hive.writeProblem = problem;
    fstat(hive.disk.primary, &hive.opened);
    return ERROR_SUCCESS;
}

// A change is made only while the file may be written; then it is
// written at once.
LONG change(HiveFile& hive, bool made, const std::string& problem) {
    if (!made) return failed(hive, "its cells cannot be changed: " + problem, ERROR_ACCESS_DENIED);
    return commit(hive);
}

bool writable(const HiveFile& hive) { return hive.damage.empty() && hive.writeProblem.empty() && hive.editor; }

hive::Name nameInFile(const std::string& name) { return hive::Name{hiveName(name), false}; }

} // namespace

LONG deleteHiveValue(RegKey& key, const RegValue& value) {
    HiveFile& hive = *key.hive;
    if (!writable(hive)) return ERROR_ACCESS_DENIED;
    std::string problem;
    const bool made = hive.editor->deleteValue(static_cast<hive::CellOffset>(key.node),
                                               static_cast<hive::CellOffset>(value.cell), problem);
    return change(hive, made, problem);
}

LONG deleteHiveKey(RegKey& parent, RegKey& key) {
    HiveFile& hive = *key.hive;
    if (!writable(hive)) return ERROR_ACCESS_DENIED;
    std::string problem;
    const bool made = hive.editor->deleteKey(static_cast<hive::CellOffset>(parent.node),
                                             static_cast<hive::CellOffset>(key.node), problem);
    return change(hive, made, problem);
}

LONG setHiveValue(RegKey& key, const std::string& name, DWORD type, const std::string& stored, size_t& cell) {
    HiveFile& hive = *key.hive;
    if (!writable(hive)) return ERROR_ACCESS_DENIED;
    std::string problem;
    hive::CellOffset made = 0;
    const hive::Bytes data(stored.begin(), stored.end());
    const bool set = hive.editor->setValue(static_cast<hive::CellOffset>(key.node), nameInFile(name), type, data,
                                           made, problem);
    const LONG status = change(hive, set, problem);
    if (status == ERROR_SUCCESS) cell = made;
    return status;
}

LONG addHiveKey(RegKey& parent, const std::string& name, size_t& node) {
    HiveFile& hive = *parent.hive;
    if (!writable(hive)) return ERROR_ACCESS_DENIED;
    std::string problem;
    hive::CellOffset made = 0;
    const bool added = hive.editor->addKey(static_cast<hive::CellOffset>(parent.node), nameInFile(name), made, problem);
    const LONG status = change(hive, added, problem);
    if (status == ERROR_SUCCESS) node = made;
    return status;
}

} // namespace sim
