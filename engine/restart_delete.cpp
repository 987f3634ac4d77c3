// Queueing a file for deletion at restart, each family its own way.
#include "restart_delete.h"

#include <string.h>

#include "change_journal.h"
#include "restart_file.h"
#include "restart_file_swap.h"
#include "version_probe.h"
#include "win32api.h"

namespace {

// The restart file's destination that deletes the source.
const char* const deleteDestination = "NUL";
constexpr int newFilePermissions = _S_IREAD | _S_IWRITE;

bool holdsLineBreak(const char* text) { return strpbrk(text, "\r\n") != nullptr; }

// What would not come back as the same one line of the restart file.
bool acceptableEntry(const char* destination, const char* source) {
    return destination[0] != '\0' && source[0] != '\0' && strchr(destination, '=') == nullptr &&
           !holdsLineBreak(destination) && !holdsLineBreak(source);
}

// Whether the restart file exists; false also when that cannot be told,
// for then it must not be replaced by a new one.
bool findCurrent(const char* path, bool& exists) {
    exists = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    if (exists) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Writes the old content with the entry into paths.fresh. On failure the
// fresh file is gone again.
bool writeFreshFile(const RestartFilePaths& paths, bool hadCurrent, const RenameEntry& entry) {
    int input = -1;
    if (hadCurrent) {
        input = _open(paths.current, _O_RDONLY | _O_BINARY);
        if (input < 0) return false;
    }
    const int output = _open(paths.fresh, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, newFilePermissions);
    bool written = false;
    if (output >= 0) {
        written = copyWithRenameEntry(input, output, entry);
        written = _close(output) == 0 && written;
        if (!written) DeleteFileA(paths.fresh);
    }
    if (input >= 0) _close(input);
    return written;
}

// The 9x way: the file's short path, which is all the system can read
// while it starts, as a deletion line of the restart file.
bool queueInRestartFile(const char* path) {
    char shortPath[MAX_PATH];
    const DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath) return false;
    return addRenameEntry(deleteDestination, shortPath);
}

} // namespace

bool addRenameEntry(const char* destination, const char* source) {
    if (!acceptableEntry(destination, source)) return false;
    RestartFilePaths paths;
    if (!findRestartFilePaths(paths)) return false;
    recoverInterruptedSwap(paths);
    bool hadCurrent = false;
    if (!findCurrent(paths.current, hadCurrent)) return false;
    if (!writeFreshFile(paths, hadCurrent, RenameEntry{destination, source})) return false;
    return putFreshFileInPlace(paths, hadCurrent);
}

namespace {

int queueDeletion(const char* path) {
    switch (getWinVersionClass()) {
    case winVersionNt:
        return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;
    case winVersion9x:
        return queueInRestartFile(path) ? 1 : 0;
    default:
        return 0;
    }
}

} // namespace

int scheduleDeleteAtRestart(const char* path) {
    const int queued = queueDeletion(path);
    if (changeJournal != nullptr) changeJournal->restartEntry(path, queued != 0);
    return queued;
}
