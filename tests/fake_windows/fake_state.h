// Internal state of the stand-ins for a running Windows, shared by their
// source files. The volume's own state is in platform/volume/sim_state.h.
#ifndef QUORVANE_TESTS_FAKE_WINDOWS_FAKE_STATE_H
#define QUORVANE_TESTS_FAKE_WINDOWS_FAKE_STATE_H

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake_windows.h"
#include "sim_state.h"

struct SimWindow {
    WNDPROC procedure = nullptr;
    bool alive = true;
};

namespace sim {

// Identifiers of the privileges held at power-on, as the system numbers them.
constexpr DWORD shutdownPrivilegeId = 19;
constexpr DWORD debugPrivilegeId = 20;

// Identifiers of the processes a test starts begin here, well apart from
// the first handle values, and step by 4 as the system's own do.
constexpr DWORD firstProcessId = 0x1000;
constexpr DWORD processIdStep = 4;

// A process a test started.
struct SimProcess {
    DWORD id = 0;
    ProcessSetup setup;
    std::string hostImage; // empty when it holds no image
    bool running = true;
    UINT exitCode = STILL_ACTIVE;
};

// One open process handle: whose it is, and the rights it was opened with.
struct ProcessHandle {
    DWORD id = 0;
    DWORD access = 0;
};

// One Toolhelp snapshot: the processes as they were when it was taken.
struct ProcessSnapshot {
    std::vector<PROCESSENTRY32> entries;
    size_t next = 0;
};

// A service of the manager, and where its stopping has got to.
struct SimService {
    ServiceSetup setup;       // its state is the current one
    int pendingPollsLeft = 0; // while stopping; -1: forever
    DWORD checkPoint = 0;     // of the pending stop, as the service reports its progress
    DWORD exitCode = 0;       // dwWin32ExitCode
    ServiceCallCounts calls;
};

// One open handle of the service control manager: the manager itself or
// one service, by its place in the list.
struct ServiceHandle {
    bool manager = false;
    size_t service = 0;
    DWORD access = 0;
};

// Everything a running Windows has beside its volume.
struct FakeWindows {
    std::set<std::string> filesInUse;    // host paths
    std::set<std::string> runningImages; // host paths: readable, but not to be deleted or moved
    uint64_t clockMilliseconds = 0;
    FileCallCounts fileCalls;
    std::map<std::string, WNDPROC> windowClasses; // by upper-case class name
    std::vector<std::unique_ptr<SimWindow>> windows;
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    std::function<void(const std::string&)> beforeOpen;
    std::set<std::string> unreadableFiles; // host paths
    std::set<int> unreadableDescriptors;
    std::set<DWORD> heldPrivileges{shutdownPrivilegeId, debugPrivilegeId};
    std::set<DWORD> enabledPrivileges;
    std::map<uintptr_t, DWORD> tokens; // rights by handle value
    std::vector<ExitRequest> exitRequests;
    std::vector<SimProcess> processes; // in start order
    DWORD nextProcessId = firstProcessId;
    std::map<uintptr_t, ProcessHandle> processHandles; // by handle value
    std::map<uintptr_t, ProcessSnapshot> snapshots;    // by handle value
    std::vector<ProcessCall> processCalls;
    std::map<std::string, bool> libraryOverrides;  // by upper-case library name
    std::map<std::string, bool> functionOverrides; // by upper-case library name, '!', function name
    std::set<std::string> loadedLibraries;         // by upper-case library name, once LoadLibraryA loaded them
    bool programUnderWow64 = false;
    std::optional<std::vector<unsigned char>> performanceDataOverride;
    std::vector<SimService> services; // in the order they were added
    std::map<uintptr_t, ServiceHandle> serviceHandles; // by handle value
    bool serviceManagerAccess = true;
};

// The running system's state; the first use puts it beside the volume.
FakeWindows& fake();

// Adds the host path behind windowsPath to a set of marked files, or takes
// it out; a path that does not resolve changes nothing.
void markHostPath(std::set<std::string>& marked, const std::string& windowsPath, bool mark);


// The process with that identifier, running or ended; null when none was
// started with it.
SimProcess* findProcess(DWORD id);

// The toolhelp executable text and the performance-counter instance name
// of a process, as the system gives them.
std::string toolhelpNameOf(const SimProcess& process);
std::string counterNameOf(const SimProcess& process);

// Closes a process handle or a snapshot; false when the value is neither.
bool closeProcessObject(uintptr_t handle);

// Adds one call to the record of process calls.
void recordProcessCall(const char* call, DWORD id, DWORD access, bool ok);

// The Toolhelp and PSAPI functions, with the real ones' signatures: a
// program finds them only through GetProcAddress.
HANDLE WINAPI createToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL WINAPI process32First(HANDLE snapshot, PROCESSENTRY32* entry);
BOOL WINAPI process32Next(HANDLE snapshot, PROCESSENTRY32* entry);
BOOL WINAPI enumProcesses(DWORD* ids, DWORD idsBytes, DWORD* bytesReturned);
DWORD WINAPI getModuleFileNameExA(HANDLE process, HMODULE module, LPSTR fileName, DWORD size);
// IsWow64Process, which systems before XP SP2 lack.
BOOL WINAPI isWow64Process(HANDLE process, BOOL* wow64);

// The module handle of a library the program has mapped: kernel32.dll from
// its start, another once LoadLibraryA has loaded it; null when it has not.
HMODULE mappedLibrary(LPCSTR name);

// Tells the services that the process they live in has ended: they stop.
void serviceProcessEnded(DWORD id);

// RegQueryValueExA of HKEY_PERFORMANCE_DATA.
LONG queryPerformanceData(LPCSTR valueName, LPDWORD type, LPBYTE data, LPDWORD dataSize);

} // namespace sim

#endif // QUORVANE_TESTS_FAKE_WINDOWS_FAKE_STATE_H
