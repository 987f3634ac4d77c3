// The running processes as the system lists them: through the Toolhelp
// snapshot (the 9x family) or through PSAPI (the NT family). Both are looked
// up by name at run time, so that the program starts on a system that lacks
// one of them; a missing library or function gives an empty listing.
#ifndef QUORVANE_ENGINE_PROCESS_LIST_H
#define QUORVANE_ENGINE_PROCESS_LIST_H

#include <vector>

#include "win32api.h"

struct ProcessRecord {
    DWORD processId = 0;
    char imageFile[MAX_PATH] = {}; // as the listing gives it, at most 259 characters
};

// In the order the system reports the processes; built completely before it
// is returned.
using ProcessListing = std::vector<ProcessRecord>;

// Every process of a Toolhelp snapshot, the first included; its image is the
// snapshot's executable text (a full path on the 9x family, a bare name on
// NT). Empty when Toolhelp or the snapshot is not available.
ProcessListing listProcessesToolhelp();

// Every process whose main module path can be read. With raiseDebugPrivilege,
// a process that denies access makes the program enable its debug privilege
// (for the rest of its life) and try that process once more. Empty when
// PSAPI is not available or reports no process.
ProcessListing listProcessesPsapi(bool raiseDebugPrivilege);

// The Toolhelp functions, looked up in "Kernel32.dll".
using CreateSnapshotFunction = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
using ProcessWalkFunction = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32* entry);
struct ToolhelpFunctions {
    CreateSnapshotFunction createSnapshot = nullptr;
    ProcessWalkFunction first = nullptr;
    ProcessWalkFunction next = nullptr;
};
bool loadToolhelp(ToolhelpFunctions& functions);

// A process snapshot, INVALID_HANDLE_VALUE when none can be had.
HANDLE takeProcessSnapshot(const ToolhelpFunctions& functions);

// Fetches the first (first true) or the next entry of a snapshot into entry,
// its size field set as the functions expect.
bool fetchProcessEntry(const ToolhelpFunctions& functions, HANDLE snapshot, bool first, PROCESSENTRY32& entry);

// Ends the process with access PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION
// and exit code 0. True when it could be opened and terminated.
bool terminateProcessById(DWORD processId);

#endif // QUORVANE_ENGINE_PROCESS_LIST_H
