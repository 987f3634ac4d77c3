// Deleting, renaming or leaving a detected file, and the line for each.
#include "disposal.h"

#include <stdio.h>
#include <string.h>

#include "scan_state.h"
#include "text_util.h"

namespace {

// The character that replaces the first of the extension in a rename, so
// that "b.exe" becomes "b.Vxe": no longer started by the system.
constexpr char renameMark = 'V';

void reportFile(const char* format, const char* path, const char* detectionName) {
    snprintf(scanState.lineText, lineTextSize, format, path, detectionName);
    addResultLine();
}

// Read-only, hidden and system files are deleted too: the archive bit alone
// replaces whatever the file had. A delete that fails anyway leaves the file
// with the attributes it had.
bool clearAttributesAndDelete(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (!SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE)) return false;
    if (DeleteFileA(path)) return true;
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path, attributes);
    return false;
}

void deleteFile(const char* path, const char* detectionName) {
    if (!clearAttributesAndDelete(path)) {
        reportFile("%s     %s Unable to remove", path, detectionName);
        return;
    }
    ++scanState.filesRemoved;
    reportFile("%s     %s removed", path, detectionName);
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

void renameFile(const char* path, const char* detectionName) {
    char newPath[MAX_PATH];
    renamedPath(path, newPath);
    if (MoveFileA(path, newPath)) {
        ++scanState.filesRenamed;
        reportFile("%s     %s renamed", path, detectionName);
    } else {
        reportFile("%s     %s Rename failed", path, detectionName);
    }
}

} // namespace

void disposeFile(const char* path, const char* detectionName) {
    switch (scanState.userChoice) {
    case choiceDelete:
    case choiceDeleteToo:
        deleteFile(path, detectionName);
        break;
    case choiceRename:
        renameFile(path, detectionName);
        break;
    case choiceLeave:
        reportFile("%s     %s not disinfected as per user's selection", path, detectionName);
        break;
    default:
        break; // an unknown choice does nothing, and says nothing
    }
}
