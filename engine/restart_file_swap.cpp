// The restart file's names and the three moves that replace it.
#include "restart_file_swap.h"

#include <string.h>

#include "text_util.h"

namespace {

const char* const restartFileName = "\\wininit.ini";
// Names of this program's own, so that a leftover of ours is never taken
// for another program's file, nor theirs for ours.
const char* const freshFileName = "\\qvwinini.new";
const char* const asideFileName = "\\qvwinini.old";
constexpr char pathSeparator = '\\';

bool exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool joinPath(char (&destination)[MAX_PATH], const char* folder, const char* name) {
    return copyText(destination, sizeof destination, folder) && appendText(destination, sizeof destination, name);
}

// A delete that a read-only attribute cannot stop: the old restart file
// may have been marked read-only by whoever wrote it.
void removeFile(const char* path) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
}

} // namespace

bool findRestartFilePaths(RestartFilePaths& paths) {
    char folder[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return false;
    // Only a Windows folder at the root of a drive ("C:\") ends in a separator.
    if (folder[length - 1] == pathSeparator) folder[length - 1] = '\0';
    return joinPath(paths.current, folder, restartFileName) && joinPath(paths.fresh, folder, freshFileName) &&
           joinPath(paths.aside, folder, asideFileName);
}

void recoverInterruptedSwap(const RestartFilePaths& paths) {
    if (!exists(paths.aside)) return;
    if (exists(paths.current)) {
        removeFile(paths.aside);
    } else {
        MoveFileA(paths.aside, paths.current);
    }
}

bool putFreshFileInPlace(const RestartFilePaths& paths, bool hadCurrent) {
    if (!hadCurrent) {
        if (MoveFileA(paths.fresh, paths.current)) return true;
        removeFile(paths.fresh);
        return false;
    }
    if (!MoveFileA(paths.current, paths.aside)) {
        removeFile(paths.fresh);
        return false;
    }
    if (!MoveFileA(paths.fresh, paths.current)) {
        MoveFileA(paths.aside, paths.current);
        removeFile(paths.fresh);
        return false;
    }
    removeFile(paths.aside); // should this fail, the next call removes it
    return true;
}
