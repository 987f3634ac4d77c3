// The folder walk: every entry below a pattern, files before subfolders,
// with a status update and a chance for the window to breathe at each one.
#include "folder_walk.h"

#include <string.h>

#include "entry_name.h"
#include "folder_identity.h"
#include "not_scanned.h"
#include "scan_state.h"
#include "short_path.h"
#include "text_util.h"

const char* const allEntries = "\\*.*";

namespace {

constexpr int walkStopped = 0;   // a cancel was seen
constexpr int walkBadPattern = -1; // a pattern without '.'
constexpr int keepWalking = 1;   // internal: the pass went through

constexpr int statusLength = 60;       // the status field shows this much of a path
constexpr int statusBufferSize = 512;
constexpr size_t driveRootPatternLength = 6; // "C:\*.*"

const char* const programFilesFolder = "\\Program Files";
const char* const programFilesInPattern = "\\Program Files\\";

// The folders the walk is inside, innermost first, so that a link back up
// the tree is not followed round and round.
struct WalkFrame {
    FolderIdentity identity;
    const WalkFrame* outer;
};
const WalkFrame* innermostFolder = nullptr;

bool isOnWalkPath(const FolderIdentity& identity) {
    for (const WalkFrame* frame = innermostFolder; frame != nullptr; frame = frame->outer) {
        if (sameFolder(frame->identity, identity)) return true;
    }
    return false;
}

// Length of the folder part of a pattern: everything before the character
// that precedes its last '.', so "C:\x\*.*" gives "C:\x\". False when the
// pattern has no '.'.
bool folderPartLength(const char* pattern, size_t& length) {
    const char* dot = strrchr(pattern, '.');
    if (dot == nullptr) return false;
    length = dot > pattern ? static_cast<size_t>(dot - pattern) - 1 : 0;
    return true;
}

// folder part + name + tail into a path buffer; false when it does not fit.
bool buildPath(char (&path)[MAX_PATH], const char* pattern, size_t folderLength, const char* name,
               const char* tail) {
    return copyTextPrefix(path, sizeof path, pattern, folderLength) && appendText(path, sizeof path, name) &&
           appendText(path, sizeof path, tail);
}

// The folder a normal-mode pattern lists, as a user reads it: "C:\x\*.*"
// gives "C:\x", a drive root keeps its backslash.
void patternFolder(const char* pattern, size_t folderLength, char (&folder)[MAX_PATH]) {
    constexpr size_t driveRootLength = 3; // "C:\"
    const size_t keep = folderLength > driveRootLength ? folderLength - 1 : folderLength;
    copyTextPrefix(folder, sizeof folder, pattern, keep);
}

// An entry whose path would not fit a path buffer is passed over, and said to be.
void notePathTooLong(const char* pattern, size_t folderLength, const char* name) {
    char folder[MAX_PATH];
    copyTextPrefix(folder, sizeof folder, pattern, folderLength);
    noteNotScannedTooLong(folder, name);
}

bool isDotEntry(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

bool pumpAndTestCancel() {
    pumpMessages();
    return scanState.terminateRequested;
}

// A drive root's pattern: note its Program Files folder, if it has one, for
// the driver's follow-up walk.
void probeProgramFiles(const char* pattern) {
    if (strlen(pattern) > driveRootPatternLength) return;
    char* folder = scanState.programFilesPattern;
    if (!copyText(folder, pathTextSize, pattern)) return;
    char* colon = strchr(folder, ':');
    if (colon == nullptr) return;
    colon[1] = '\0';
    appendText(folder, pathTextSize, programFilesFolder);
    if (_access(folder, 0) == 0) {
        scanState.programFilesPending = 1;
        appendText(folder, pathTextSize, allEntries);
    }
}

void showEntryStatus(const char* path) {
    char shortened[statusBufferSize];
    shortenPath(path, shortened, statusLength);
    copyText(scanState.detectedPath, pathTextSize, shortened);
    showStatus();
}

void runFileChecks(const char* path) {
    for (const FileCheckEntry* entry = fileCheckTable; entry->name != nullptr; ++entry) {
        if (entry->check(entry->name, path)) return;
    }
}

int visitFileEntry(const char* pattern, const WIN32_FIND_DATAA& found) {
    if (pumpAndTestCancel()) return walkStopped;
    char path[MAX_PATH];
    if (scanState.probeOnly) {
        if (!copyText(path, sizeof path, pattern)) return keepWalking;
    } else {
        size_t folderLength = 0;
        if (!folderPartLength(pattern, folderLength)) return walkBadPattern;
        if (!buildPath(path, pattern, folderLength, reachableName(found), "")) {
            // A folder is passed over in the subfolder pass, and said to be there.
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                notePathTooLong(pattern, folderLength, found.cFileName);
            }
            return keepWalking;
        }
    }
    showEntryStatus(path);
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (!scanState.probeOnly) ++scanState.filesScanned;
        runFileChecks(path);
    }
    return pumpAndTestCancel() ? walkStopped : keepWalking;
}

int visitFolderEntry(const char* pattern, const WIN32_FIND_DATAA& found) {
    if (pumpAndTestCancel()) return walkStopped;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || isDotEntry(found.cFileName)) return keepWalking;
    size_t folderLength = 0;
    if (!folderPartLength(pattern, folderLength)) return walkBadPattern;
    char subfolderPattern[MAX_PATH];
    if (!buildPath(subfolderPattern, pattern, folderLength, reachableName(found), allEntries)) {
        notePathTooLong(pattern, folderLength, found.cFileName);
        return keepWalking;
    }
    // Letter case does not matter: "PROGRAM FILES" is the same folder, and
    // must not be walked a second time by the driver's follow-up.
    if (findTextNoCase(subfolderPattern, programFilesInPattern) != nullptr) scanState.programFilesSeen = 1;
    return walkFolder(subfolderPattern) == walkBadPattern ? walkBadPattern : keepWalking;
}

// A folder that cannot be listed is noted; one with nothing to list is not.
void noteListingFailure(const char* pattern) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return;
    size_t folderLength = 0;
    char folder[MAX_PATH];
    if (!folderPartLength(pattern, folderLength)) return;
    patternFolder(pattern, folderLength, folder);
    noteNotScanned(folder, reasonCannotList);
}

// Lists listPattern and visits each entry until one says to stop. A listing
// that fails is noted when noteFailure is set.
int listAndVisit(const char* listPattern, const char* pattern,
                 int (*visit)(const char* pattern, const WIN32_FIND_DATAA& found), bool noteFailure) {
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA(listPattern, &found);
    if (listing == INVALID_HANDLE_VALUE) {
        if (noteFailure) noteListingFailure(listPattern);
        return keepWalking;
    }
    int result = keepWalking;
    do {
        result = visit(pattern, found);
    } while (result == keepWalking && FindNextFileA(listing, &found));
    FindClose(listing);
    return result;
}

// The subfolder pass lists the pattern with its extension part widened to
// "*", so that "C:\x\*.*" stays as it is and every folder is seen.
int walkSubfolders(const char* pattern) {
    char listPattern[MAX_PATH];
    const char* dot = strrchr(pattern, '.');
    const size_t keep = dot != nullptr ? static_cast<size_t>(dot - pattern) + 1 : strlen(pattern);
    if (!copyTextPrefix(listPattern, sizeof listPattern, pattern, keep) || !appendText(listPattern, sizeof listPattern, "*")) {
        return keepWalking;
    }
    return listAndVisit(listPattern, pattern, visitFolderEntry, false); // the file pass noted a failure
}

// Enters the folder of a normal-mode pattern unless the walk is inside it
// already. Leaves the frame linked in; the caller unlinks it.
bool enterFolder(const char* pattern, WalkFrame& frame, bool& linked) {
    linked = false;
    size_t folderLength = 0;
    char folder[MAX_PATH];
    if (!folderPartLength(pattern, folderLength) || !copyTextPrefix(folder, sizeof folder, pattern, folderLength) ||
        !getFolderIdentity(folder, frame.identity)) {
        return true; // no identity to compare: walk it as it comes
    }
    if (isOnWalkPath(frame.identity)) return false;
    frame.outer = innermostFolder;
    innermostFolder = &frame;
    linked = true;
    return true;
}

int walkEntries(const char* pattern) {
    // A probe's file that is not there is the memory sweep's business.
    const int files = listAndVisit(pattern, pattern, visitFileEntry, !scanState.probeOnly);
    if (files != keepWalking) return files;
    // A memory-sweep probe tests its one file; a folder named like it (abc.old
    // beside abc.exe) is not walked and cannot hide the hit.
    if (!scanState.probeOnly) {
        const int folders = walkSubfolders(pattern);
        if (folders != keepWalking) return folders;
    }
    return scanState.filesScanned;
}

} // namespace

int walkFolder(const char* pattern) {
    scanState.probeHit = false;
    probeProgramFiles(pattern);
    if (scanState.probeOnly) return walkEntries(pattern);

    WalkFrame frame{};
    bool linked = false;
    if (!enterFolder(pattern, frame, linked)) return scanState.filesScanned; // a link back up the tree
    const int result = walkEntries(pattern);
    if (linked) innermostFolder = frame.outer;
    return result;
}
