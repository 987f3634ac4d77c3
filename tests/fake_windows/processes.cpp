// The other processes of the simulated machine: starting and ending them,
// opening them and terminating them, and the images they hold.
#include "fake_state.h"

namespace sim {

namespace {

// What a handle opened with GENERIC_ALL or MAXIMUM_ALLOWED may do.
constexpr DWORD genericAll = 0x10000000;
constexpr DWORD maximumAllowed = 0x02000000;
constexpr DWORD processAllAccess = 0x001FFFFF; // PROCESS_ALL_ACCESS of NT 6 and later
constexpr DWORD processQueryLimitedInformation = 0x1000; // NT 6 and later

DWORD grantedAccess(DWORD desired) {
    if (desired & (genericAll | maximumAllowed)) return processAllAccess;
    return desired;
}

// The file name of a Windows path: what follows its last separator.
std::string fileNameOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

DWORD newProcessId() {
    FakeWindows& m = fake();
    DWORD id = m.nextProcessId;
    while (id == 0 || id == GetCurrentProcessId()) id += processIdStep;
    m.nextProcessId = id + processIdStep;
    return id;
}

bool imageHeldByOther(const SimProcess& ending) {
    for (const SimProcess& other : fake().processes) {
        if (other.id != ending.id && other.running && other.hostImage == ending.hostImage) return true;
    }
    return false;
}

// Ends a running process with the exit code: its image is let go unless
// another running process holds it, and its services stop.
void finish(SimProcess& process, UINT exitCode) {
    process.running = false;
    process.exitCode = exitCode;
    if (!process.hostImage.empty() && !imageHeldByOther(process)) fake().runningImages.erase(process.hostImage);
    serviceProcessEnded(process.id);
}

// Whether the token lets the program open a process that wants the debug
// privilege. The 9x family has no security: every process opens there.
bool mayOpen(const ProcessSetup& setup) {
    if (!setup.opens) return false;
    return !setup.needsDebugPrivilege || isNineX() || privilegeEnabled(SE_DEBUG_NAME);
}

BOOL failWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

SimProcess* findProcess(DWORD id) {
    for (SimProcess& process : fake().processes) {
        if (process.id == id) return &process;
    }
    return nullptr;
}

std::string toolhelpNameOf(const SimProcess& process) {
    if (!process.setup.toolhelpName.empty()) return process.setup.toolhelpName;
    return isNineX() ? process.setup.imagePath : fileNameOf(process.setup.imagePath);
}

std::string counterNameOf(const SimProcess& process) {
    if (!process.setup.counterName.empty()) return process.setup.counterName;
    const std::string name = fileNameOf(process.setup.imagePath);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool closeProcessObject(uintptr_t handle) {
    FakeWindows& m = fake();
    return m.processHandles.erase(handle) != 0 || m.snapshots.erase(handle) != 0;
}

void recordProcessCall(const char* call, DWORD id, DWORD access, bool ok) {
    fake().processCalls.push_back(ProcessCall{call, id, access, ok});
}

DWORD startProcess(const ProcessSetup& setup) {
    SimProcess process;
    process.id = newProcessId();
    process.setup = setup;
    if (setup.holdsImage) {
        process.hostImage = hostPathOf(setup.imagePath);
        if (!process.hostImage.empty()) fake().runningImages.insert(process.hostImage);
    }
    fake().processes.push_back(process);
    return process.id;
}

bool processRunning(DWORD id) {
    const SimProcess* process = findProcess(id);
    return process != nullptr && process->running;
}

std::vector<DWORD> runningProcesses() {
    std::vector<DWORD> ids;
    for (const SimProcess& process : fake().processes) {
        if (process.running) ids.push_back(process.id);
    }
    return ids;
}

UINT processExitCode(DWORD id) {
    const SimProcess* process = findProcess(id);
    return process == nullptr ? STILL_ACTIVE : process->exitCode;
}

void endProcess(DWORD id) {
    SimProcess* process = findProcess(id);
    if (process != nullptr && process->running) finish(*process, 0);
}

std::vector<ProcessCall> processCalls() { return fake().processCalls; }

void setProgramUnderWow64(bool underWow64) { fake().programUnderWow64 = underWow64; }

// Every process of the machine is a 64-bit one, as the program itself is:
// none runs under WOW64, unless a test says the program does.
BOOL WINAPI isWow64Process(HANDLE process, BOOL* wow64) {
    if (process != GetCurrentProcess()) {
        const auto& handles = fake().processHandles;
        const auto open = handles.find(reinterpret_cast<uintptr_t>(process));
        if (open == handles.end()) return failWith(ERROR_INVALID_HANDLE);
        if ((open->second.access & (PROCESS_QUERY_INFORMATION | processQueryLimitedInformation)) == 0) {
            return failWith(ERROR_ACCESS_DENIED);
        }
    }
    if (wow64 == nullptr) return failWith(ERROR_NOACCESS);
    *wow64 = process == GetCurrentProcess() && fake().programUnderWow64 ? TRUE : FALSE;
    return TRUE;
}

} // namespace sim

// An identifier the machine does not know (0, the idle process, among
// them, and the program's own) or of a process that has ended is
// ERROR_INVALID_PARAMETER, as on the real system.
HANDLE OpenProcess(DWORD desiredAccess, BOOL /*inheritHandle*/, DWORD processId) {
    const sim::SimProcess* process = sim::findProcess(processId);
    DWORD error = ERROR_SUCCESS;
    if (process == nullptr || !process->running) {
        error = ERROR_INVALID_PARAMETER;
    } else if (!sim::mayOpen(process->setup)) {
        error = ERROR_ACCESS_DENIED;
    }
    sim::recordProcessCall("OpenProcess", processId, desiredAccess, error == ERROR_SUCCESS);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return nullptr;
    }
    const uintptr_t handle = sim::newHandleValue();
    sim::fake().processHandles[handle] = sim::ProcessHandle{processId, sim::grantedAccess(desiredAccess)};
    return reinterpret_cast<HANDLE>(handle);
}

// The pseudo-handle of the program itself is no handle the machine ends:
// ERROR_INVALID_HANDLE, like every handle that is not an open process. A
// process that has ended while its handle stayed open cannot be ended
// again: ERROR_ACCESS_DENIED, as the system answers.
BOOL TerminateProcess(HANDLE process, UINT exitCode) {
    sim::FakeWindows& m = sim::fake();
    const auto open = m.processHandles.find(reinterpret_cast<uintptr_t>(process));
    if (open == m.processHandles.end()) {
        sim::recordProcessCall("TerminateProcess", 0, 0, false);
        return sim::failWith(ERROR_INVALID_HANDLE);
    }
    const sim::ProcessHandle handle = open->second;
    sim::SimProcess* target = sim::findProcess(handle.id);
    const bool allowed = (handle.access & PROCESS_TERMINATE) != 0 && target != nullptr && target->running &&
                         target->setup.terminates;
    sim::recordProcessCall("TerminateProcess", handle.id, handle.access, allowed);
    if (!allowed) return sim::failWith(ERROR_ACCESS_DENIED);
    sim::finish(*target, exitCode);
    return TRUE;
}
