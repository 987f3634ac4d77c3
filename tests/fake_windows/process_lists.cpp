// The process listings of the simulated machine: the Toolhelp snapshot,
// PSAPI's identifiers and main module paths.
#include <cstring>

#include "fake_state.h"

namespace sim {

namespace {

// TH32CS_INHERIT asks for an inheritable handle; it changes no content.
constexpr DWORD inheritFlag = 0x80000000;
constexpr LONG normalPriority = 8; // the base priority of NORMAL_PRIORITY_CLASS
constexpr DWORD threadsPerProcess = 1;
// The NT family lists the idle process first, with one thread per processor.
const char* const idleProcessName = "[System Process]";
constexpr DWORD processorCount = 2;

BOOL failWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

PROCESSENTRY32 entryOf(DWORD id, const std::string& exeFile, DWORD threads, LONG priority) {
    PROCESSENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    entry.th32ProcessID = id;
    entry.cntThreads = threads;
    entry.pcPriClassBase = priority;
    const size_t length = exeFile.size() < sizeof entry.szExeFile - 1 ? exeFile.size() : sizeof entry.szExeFile - 1;
    std::memcpy(entry.szExeFile, exeFile.data(), length);
    return entry;
}

ProcessSnapshot takeSnapshot() {
    ProcessSnapshot snapshot;
    if (!isNineX()) snapshot.entries.push_back(entryOf(0, idleProcessName, processorCount, 0));
    for (const SimProcess& process : fake().processes) {
        if (!process.running) continue;
        snapshot.entries.push_back(entryOf(process.id, toolhelpNameOf(process), threadsPerProcess, normalPriority));
    }
    return snapshot;
}

// Gives the entry at the snapshot's position, if any, and moves on. The
// caller's dwSize stays as it set it.
BOOL nextEntry(HANDLE handle, PROCESSENTRY32* entry, bool restart) {
    auto& snapshots = fake().snapshots;
    const auto open = snapshots.find(reinterpret_cast<uintptr_t>(handle));
    if (open == snapshots.end()) return failWith(ERROR_INVALID_HANDLE);
    if (entry == nullptr) return failWith(ERROR_INVALID_PARAMETER);
    if (entry->dwSize < sizeof(PROCESSENTRY32)) return failWith(ERROR_BAD_LENGTH);
    ProcessSnapshot& snapshot = open->second;
    if (restart) snapshot.next = 0;
    if (snapshot.next >= snapshot.entries.size()) return failWith(ERROR_NO_MORE_FILES);
    const DWORD size = entry->dwSize;
    *entry = snapshot.entries[snapshot.next++];
    entry->dwSize = size;
    return TRUE;
}

// The identifiers PSAPI reports: the idle process on the NT family, then
// every running one.
std::vector<DWORD> listedIds() {
    std::vector<DWORD> ids;
    if (!isNineX()) ids.push_back(0);
    for (DWORD id : runningProcesses()) ids.push_back(id);
    return ids;
}

// Why a main module path cannot be read through this handle, or
// ERROR_SUCCESS when it can; the process is looked up on the way.
DWORD moduleReadError(HANDLE handle, HMODULE module, ProcessHandle& open, const SimProcess*& process) {
    const auto& handles = fake().processHandles;
    const auto found = handles.find(reinterpret_cast<uintptr_t>(handle));
    if (found == handles.end()) return ERROR_INVALID_HANDLE;
    open = found->second;
    constexpr DWORD needed = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
    if ((open.access & needed) != needed) return ERROR_ACCESS_DENIED;
    // Only the main module is known; any other is not loaded in the process.
    if (module != nullptr) return ERROR_INVALID_HANDLE;
    process = findProcess(open.id);
    if (process == nullptr || !process->running || !process->setup.moduleReadable) return ERROR_PARTIAL_COPY;
    return ERROR_SUCCESS;
}

} // namespace

HANDLE WINAPI createToolhelp32Snapshot(DWORD flags, DWORD /*processId*/) {
    if ((flags & ~inheritFlag) != TH32CS_SNAPPROCESS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const uintptr_t handle = newHandleValue();
    fake().snapshots[handle] = takeSnapshot();
    return reinterpret_cast<HANDLE>(handle);
}

BOOL WINAPI process32First(HANDLE snapshot, PROCESSENTRY32* entry) { return nextEntry(snapshot, entry, true); }

BOOL WINAPI process32Next(HANDLE snapshot, PROCESSENTRY32* entry) { return nextEntry(snapshot, entry, false); }

// As many identifiers as fit in idsBytes; a list cut short is no error.
BOOL WINAPI enumProcesses(DWORD* ids, DWORD idsBytes, DWORD* bytesReturned) {
    if (bytesReturned == nullptr || (ids == nullptr && idsBytes != 0)) return failWith(ERROR_NOACCESS);
    const std::vector<DWORD> listed = listedIds();
    const size_t room = idsBytes / sizeof(DWORD);
    const size_t count = listed.size() < room ? listed.size() : room;
    if (count != 0) std::memcpy(ids, listed.data(), count * sizeof(DWORD));
    *bytesReturned = static_cast<DWORD>(count * sizeof(DWORD));
    return TRUE;
}

// A path longer than the buffer is cut to size - 1 characters and a
// terminator, and the call then returns size, as current systems do.
DWORD WINAPI getModuleFileNameExA(HANDLE process, HMODULE module, LPSTR fileName, DWORD size) {
    ProcessHandle open;
    const SimProcess* target = nullptr;
    DWORD error = moduleReadError(process, module, open, target);
    if (error == ERROR_SUCCESS && (fileName == nullptr || size == 0)) error = ERROR_INVALID_PARAMETER;
    recordProcessCall("GetModuleFileNameExA", open.id, open.access, error == ERROR_SUCCESS);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    const std::string& path = target->setup.imagePath;
    const bool fits = path.size() < size;
    const size_t copied = fits ? path.size() : size - 1;
    std::memcpy(fileName, path.data(), copied);
    fileName[copied] = '\0';
    return fits ? static_cast<DWORD>(copied) : size;
}

} // namespace sim
