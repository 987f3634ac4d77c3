// The running processes, listed through Toolhelp or PSAPI.
#include "process_list.h"

#include <new>
#include <string.h>

#include "privileges.h"
#include "scan_state.h"
#include "text_util.h"

namespace {

const char* const kernelLibrary = "Kernel32.dll";
const char* const psapiLibrary = "psapi.dll";
const char* const debugPrivilege = "SeDebugPrivilege";

// EnumProcesses fills at most this many identifiers.
constexpr DWORD processIdCapacity = 1024;
constexpr DWORD readModuleAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ; // 0x410
constexpr DWORD terminateAccess = PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION; // 0x401

using EnumProcessesFunction = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
using ModuleFileNameFunction = DWORD(WINAPI*)(HANDLE process, HMODULE module, LPSTR name, DWORD size);

// A function of a loaded library as the type it has; null when missing.
template <typename Function>
Function lookUp(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Records one process; false when there is no memory for it.
bool addRecord(ProcessListing& listing, DWORD processId, const char* imageFile) {
    ProcessRecord record;
    record.processId = processId;
    copyTextPrefix(record.imageFile, sizeof record.imageFile, imageFile, sizeof record.imageFile - 1);
    try {
        listing.push_back(record);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// The token's debug privilege, for reading processes of other users; it
// stays enabled. A token that cannot be opened is told in the family's own
// terse words, and the listing goes on.
void enableDebugPrivilege() {
    DWORD error = ERROR_SUCCESS;
    if (!enablePrivilege(debugPrivilege, error)) tellUser("false", "TEMP");
}

HANDLE openForModule(DWORD processId, bool raiseDebugPrivilege) {
    HANDLE process = OpenProcess(readModuleAccess, FALSE, processId);
    if (process == nullptr && raiseDebugPrivilege && GetLastError() == ERROR_ACCESS_DENIED) {
        enableDebugPrivilege();
        process = OpenProcess(readModuleAccess, FALSE, processId);
    }
    return process;
}

// The main module path of one process; false when it cannot be read.
bool readModulePath(ModuleFileNameFunction moduleFileName, DWORD processId, bool raiseDebugPrivilege,
                    char (&path)[MAX_PATH]) {
    HANDLE process = openForModule(processId, raiseDebugPrivilege);
    if (process == nullptr) return false;
    memset(path, 0, sizeof path);
    const DWORD length = moduleFileName(process, nullptr, path, sizeof path);
    CloseHandle(process);
    path[sizeof path - 1] = '\0';
    return length != 0;
}

} // namespace

bool loadToolhelp(ToolhelpFunctions& functions) {
    HMODULE kernel = LoadLibraryA(kernelLibrary);
    if (kernel == nullptr) return false;
    functions.createSnapshot = lookUp<CreateSnapshotFunction>(kernel, "CreateToolhelp32Snapshot");
    functions.first = lookUp<ProcessWalkFunction>(kernel, "Process32First");
    functions.next = lookUp<ProcessWalkFunction>(kernel, "Process32Next");
    return functions.createSnapshot != nullptr && functions.first != nullptr && functions.next != nullptr;
}

HANDLE takeProcessSnapshot(const ToolhelpFunctions& functions) {
    HANDLE snapshot = functions.createSnapshot(TH32CS_SNAPPROCESS, 0);
    return snapshot == nullptr ? INVALID_HANDLE_VALUE : snapshot;
}

bool fetchProcessEntry(const ToolhelpFunctions& functions, HANDLE snapshot, bool first, PROCESSENTRY32& entry) {
    memset(&entry, 0, sizeof entry);
    // The structure's own size: 296 bytes in the 32-bit build, more in the
    // 64-bit one, where the heap identifier is pointer-sized.
    entry.dwSize = sizeof entry;
    const BOOL fetched = first ? functions.first(snapshot, &entry) : functions.next(snapshot, &entry);
    entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
    return fetched != 0;
}

bool terminateProcessById(DWORD processId) {
    HANDLE process = OpenProcess(terminateAccess, FALSE, processId);
    if (process == nullptr) return false;
    const bool ended = TerminateProcess(process, 0) != 0;
    CloseHandle(process);
    return ended;
}

ProcessListing listProcessesToolhelp() {
    ProcessListing listing;
    ToolhelpFunctions functions;
    if (!loadToolhelp(functions)) return listing;
    HANDLE snapshot = takeProcessSnapshot(functions);
    if (snapshot == INVALID_HANDLE_VALUE) return listing;
    PROCESSENTRY32 entry;
    for (bool first = true; fetchProcessEntry(functions, snapshot, first, entry); first = false) {
        if (!addRecord(listing, entry.th32ProcessID, entry.szExeFile)) {
            listing.clear();
            break;
        }
    }
    CloseHandle(snapshot);
    return listing;
}

ProcessListing listProcessesPsapi(bool raiseDebugPrivilege) {
    ProcessListing listing;
    HMODULE psapi = LoadLibraryA(psapiLibrary);
    if (psapi == nullptr) return listing;
    const auto enumProcesses = lookUp<EnumProcessesFunction>(psapi, "EnumProcesses");
    if (enumProcesses == nullptr) return listing;
    DWORD ids[processIdCapacity] = {};
    DWORD bytes = 0;
    if (!enumProcesses(ids, sizeof ids, &bytes) || bytes < sizeof ids[0]) return listing;
    const auto moduleFileName = lookUp<ModuleFileNameFunction>(psapi, "GetModuleFileNameExA");
    if (moduleFileName == nullptr) return listing;
    const DWORD count = bytes / sizeof ids[0] < processIdCapacity ? bytes / sizeof ids[0] : processIdCapacity;
    for (DWORD i = 0; i < count; ++i) {
        char path[MAX_PATH];
        if (!readModulePath(moduleFileName, ids[i], raiseDebugPrivilege, path)) continue;
        if (!addRecord(listing, ids[i], path)) return ProcessListing();
    }
    return listing;
}
