// Deleting, quarantining, renaming or leaving a detected file, and the line for each.
#include "disposal.h"

#include <string.h>

#include "process_kill.h"
#include "registry_clean.h"
#include "restart_delete.h"
#include "result_lines.h"
#include "scan_state.h"
#include "text_util.h"

namespace {

// The character that replaces the first of the extension in a rename, so
// that "b.exe" becomes "b.Vxe": no longer started by the system.
constexpr char renameMark = 'V';

// A file that could not be deleted gets its attributes back. One queued
// for deletion at the next start stays writable: the system's delete then
// refuses a read-only file, and the file would outlive the restart. Should
// the queueing fail, the read-only mark comes back too.
void queueAfterFailedDelete(const char* path, const char* detectionName, DWORD attributes) {
    const bool known = attributes != INVALID_FILE_ATTRIBUTES;
    const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (known) SetFileAttributesA(path, writable);
    reportLine(lineUnableToRemove, path, detectionName);
    if (scheduleDeleteAtRestart(path) != 0) {
        // Once one file waits for the restart, the restart stays needed,
        // whatever later queueings give.
        scanState.restartNeeded = 1;
    } else if (known && writable != attributes) {
        SetFileAttributesA(path, attributes);
    }
}

// Read-only, hidden and system files are deleted too: the archive bit alone
// replaces whatever the file had. A file that still cannot be deleted, even
// after the process holding it was ended, is reported and queued for
// deletion at the next start. `done` is the line of a deleted file.
void deleteFile(const char* path, const char* detectionName, ResultLine done = lineRemoved) {
    const DWORD attributes = GetFileAttributesA(path);
    if (!SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE)) {
        reportLine(lineUnableToRemove, path, detectionName);
        return;
    }
    // A file in use is tried once more after its process has been ended.
    if (DeleteFileA(path) || (killProcessByPath(path) == 1 && DeleteFileA(path))) {
        ++scanState.filesRemoved;
        afterFileRemoved();
        reportLine(done, path, detectionName);
        return;
    }
    queueAfterFailedDelete(path, detectionName, attributes);
}

// The renamed path: the character after the last '.' becomes the mark. A
// path ending in '.' has the mark appended where it fits; a path without a
// '.' stays as it is, and the move then fails.
void renamedPath(const char* path, char (&newPath)[MAX_PATH]) {
    copyText(newPath, sizeof newPath, path);
    char* dot = strrchr(newPath, '.');
    if (dot == nullptr) return;
    if (dot[1] != '\0') {
        dot[1] = renameMark;
    } else {
        const char mark[] = {renameMark, '\0'};
        appendText(newPath, sizeof newPath, mark);
    }
}

} // namespace

QuarantineKeeper quarantineKeeper = nullptr;

bool keepForQuarantine(const char* path, const char* detectionName) {
    if (quarantineKeeper != nullptr && quarantineKeeper(path, detectionName)) return true;
    reportLine(lineQuarantineFailed, path, detectionName);
    return false;
}

void renameDetectedFile(const char* path, const char* detectionName) {
    char newPath[MAX_PATH];
    renamedPath(path, newPath);
    if (MoveFileA(path, newPath)) {
        ++scanState.filesRenamed;
        reportLine(lineRenamed, path, detectionName);
    } else {
        reportLine(lineRenameFailed, path, detectionName);
    }
}

void disposeFile(const char* path, const char* detectionName) {
    switch (scanState.userChoice) {
    case choiceDelete:
    case choiceDeleteToo:
        deleteFile(path, detectionName);
        break;
    case choiceRename:
        renameDetectedFile(path, detectionName);
        break;
    case choiceQuarantine:
        if (keepForQuarantine(path, detectionName)) deleteFile(path, detectionName, lineQuarantined);
        break;
    case choiceLeave:
        reportLine(lineLeftAsChosen, path, detectionName);
        break;
    default:
        break; // an unknown choice does nothing, and says nothing
    }
}
