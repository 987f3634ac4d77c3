// Ending the process that runs a given file: the Toolhelp and PSAPI ways,
// and the choice of way by system version.
#include "process_kill.h"

#include <string.h>

#include "process_list.h"
#include "scan_state.h"
#include "text_util.h"
#include "version_probe.h"

namespace {

const char* const couldNotKill = "Could not kill process";

// Pauses between the Toolhelp steps, which gave the 9x family's process
// list time to settle, and after a kill, which lets the system let go of
// the ended program's image before the file is deleted again.
constexpr DWORD toolhelpStepPause = 100;  // ms
constexpr DWORD beforeKillPause = 50;     // ms
constexpr DWORD afterKillPause = 500;     // ms

// Whether a snapshot entry runs the file at path. An entry with a full path
// must be the same path: a same-named program elsewhere is not the one.
bool entryRunsFile(const char* exeFile, const char* path) {
    if (strchr(exeFile, '\\') != nullptr) return sameTextNoCase(exeFile, path);
    return sameTextNoCase(exeFile, fileNamePart(path));
}

int sayNotKilled(const char* path) {
    tellUser(couldNotKill, path);
    return 0;
}

} // namespace

int killByToolhelp(const char* path) {
    ToolhelpFunctions functions;
    const bool loaded = loadToolhelp(functions);
    Sleep(toolhelpStepPause);
    if (!loaded) return 0;
    HANDLE snapshot = takeProcessSnapshot(functions);
    Sleep(toolhelpStepPause);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;

    PROCESSENTRY32 entry;
    bool found = fetchProcessEntry(functions, snapshot, true, entry);
    while (found && !entryRunsFile(entry.szExeFile, path)) {
        Sleep(toolhelpStepPause);
        found = fetchProcessEntry(functions, snapshot, false, entry);
        Sleep(toolhelpStepPause);
    }
    CloseHandle(snapshot);
    if (!found) return 0;
    // Only the first match is tried: a second copy stays running.
    Sleep(beforeKillPause);
    const int ended = terminateProcessById(entry.th32ProcessID) ? 1 : 0;
    Sleep(afterKillPause);
    return ended;
}

int killByPsapi(const char* path) {
    const ProcessListing listing = listProcessesPsapi(false);
    if (listing.empty()) return 0;
    for (const ProcessRecord& record : listing) {
        if (!sameTextNoCase(record.imageFile, path)) continue;
        if (terminateProcessById(record.processId)) Sleep(afterKillPause);
    }
    return 1;
}

int killProcessByPath(const char* path) {
    switch (getWinVersionClass()) {
    case winVersion9x:
        return killByToolhelp(path) ? 1 : sayNotKilled(path);
    case winVersionNt:
        // A PSAPI list that could not be had is no reason to bother the user.
        if (getNtVersionClass() == ntVersion5) return killByPsapi(path);
        return killByPerfCounters(path) ? 1 : sayNotKilled(path);
    default:
        return 1; // nothing to try
    }
}
