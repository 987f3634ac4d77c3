// Control panel of the stand-ins for a running Windows beside the volume.
//
// Tests use these calls to start processes and services, hold files open,
// hook file opening and read back what the engine did (time spent waiting,
// file calls, process and service calls, restart requests). They never ship:
// the offline program has nothing running (platform/volume/no_running_system).
#ifndef QUORVANE_TESTS_FAKE_WINDOWS_FAKE_WINDOWS_H
#define QUORVANE_TESTS_FAKE_WINDOWS_FAKE_WINDOWS_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "machine.h"

namespace sim {

// Marks a file as held open without sharing by a running program: opening,
// deleting and renaming it then fail with a sharing violation.
void setFileInUse(const std::string& windowsPath, bool inUse);

// Marks a file as the image of a running program: it can be read, but
// deleting and renaming it fail with ERROR_ACCESS_DENIED, as the system
// guards a running image.
void setRunningImage(const std::string& windowsPath, bool running);


// Test hook: called by _open and CreateFileA with the host path they are
// about to open, once the name is resolved, so that a test can change what
// lies there in between.
void setBeforeOpenHook(std::function<void(const std::string& hostPath)> hook);

// Test hook: reading a descriptor that _open gives for this file fails with
// -1 and errno EIO, as on a disk with a bad sector.
void setUnreadable(const std::string& windowsPath, bool unreadable);

// Total of all Sleep calls since reset, in milliseconds.
uint64_t sleptMilliseconds();

// Counts of the C runtime file calls since reset, and of the host folders
// read (by listings and by name lookups), so that tests can see how much
// work a check did.
struct FileCallCounts {
    unsigned opens = 0;
    unsigned lengthQueries = 0;
    unsigned seeks = 0;
    unsigned reads = 0;
    unsigned writes = 0;
    unsigned closes = 0;
    unsigned folderReads = 0;
    unsigned entryLooks = 0; // status calls on the entries a folder reading listed
};
FileCallCounts fileCallCounts();

// Number of messages waiting in the thread's queue.
size_t pendingMessages();


// The privileges of the process token, by name, compared case-insensitively.
// Power-on: SeShutdownPrivilege and SeDebugPrivilege held and not enabled,
// as in an administrator's token. A privilege taken away is disabled too.
// False for a name the system does not know.
bool setPrivilegeHeld(const std::string& name, bool held);
bool privilegeEnabled(const std::string& name);

// Every ExitWindowsEx call since reset, in order, and whether the machine
// would have done it. The host is never touched.
struct ExitRequest {
    UINT flags;
    DWORD reason;
    bool granted;
};
std::vector<ExitRequest> exitRequests();

// Other programs running on the machine, as a test starts them. The
// program's own process is not among them: listings leave it out, and
// OpenProcess does not know its identifier.
struct ProcessSetup {
    std::string imagePath;            // full Windows path of the image, as PSAPI gives it
    bool opens = true;                // false: OpenProcess is refused, ERROR_ACCESS_DENIED, whatever the privileges
    bool needsDebugPrivilege = false; // NT: OpenProcess is refused (ERROR_ACCESS_DENIED) until
                                      // SeDebugPrivilege is enabled in the token
    bool terminates = true;           // false: TerminateProcess fails with ERROR_ACCESS_DENIED
    bool holdsImage = true;           // while it runs, its image is a running image (see setRunningImage)
    bool moduleReadable = true;       // false: GetModuleFileNameExA fails (ERROR_PARTIAL_COPY), as for
                                      // protected processes
    std::string counterName;          // performance-counter instance name; empty: the image file name
                                      // without its extension, as the system names it
    std::string toolhelpName;         // szExeFile override; empty: the full path on the 9x family, the
                                      // bare file name on NT, as the real systems give it
};

// Starts a process and returns its identifier: multiples of 4 from 0x1000
// after each reset, never 0 and never the program's own identifier. Its
// image, when it holds it, is resolved to the host path now.
DWORD startProcess(const ProcessSetup& setup);
// True while the process started and has not ended; false for any other id.
bool processRunning(DWORD id);
// The processes still running, in start order.
std::vector<DWORD> runningProcesses();
// The code TerminateProcess ended the process with, 0 when it ended by
// itself, STILL_ACTIVE while it runs (and for an unknown id).
UINT processExitCode(DWORD id);
// The process ends by itself, with exit code 0: its image is let go unless
// another running process holds the same one, and a service living in it
// is stopped. Nothing happens to a process that is not running.
void endProcess(DWORD id);

// Every OpenProcess, TerminateProcess and GetModuleFileNameExA call since
// reset, in order: the call's name, the process it was about (0 when the
// handle was not a process handle), the access asked for (OpenProcess) or
// the access of the handle used, and whether the call succeeded.
struct ProcessCall {
    std::string call;
    DWORD id;
    DWORD access;
    bool ok;
};
std::vector<ProcessCall> processCalls();

// Which libraries and functions LoadLibraryA and GetProcAddress find.
// Power-on it follows the release: kernel32.dll everywhere, with the
// Toolhelp functions on the 9x family and on NT 5 and later but not on
// NT 4; psapi.dll (EnumProcesses, GetModuleFileNameExA) on the NT family
// only, where NT 4 has it from the resource kit. Windows 7 and later also
// export K32EnumProcesses and K32GetModuleFileNameExA from kernel32.dll;
// XP from its second service pack, Server 2003 from its first and every
// later NT export IsWow64Process, which says that no process runs under
// WOW64 (the machine and its programs are 64-bit). GetModuleHandleA finds
// kernel32.dll from the start and psapi.dll once LoadLibraryA has loaded it.
// These override that for the rest of the machine's life (until reset);
// names compare case-insensitively, ".dll" may be left out of a library
// name. A library or function the machine does not implement cannot be
// made available: such a call changes nothing.
void setLibraryAvailable(const std::string& name, bool available);
void setFunctionAvailable(const std::string& library, const std::string& function, bool available);

// Test hook: IsWow64Process says of the program itself that it runs under
// WOW64, as a 32-bit program on a 64-bit system hears; which a 64-bit
// program cannot be shown otherwise. Power-on: it does not.
void setProgramUnderWow64(bool underWow64);

// Writes the English names of the performance objects and counters where
// the system keeps them, value "Counters" of the key
// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Perflib\009
// (REG_MULTI_SZ of index and name pairs, as an NT system has it, with the
// Process object at 230 and its ID Process counter at 784 among names that
// look like them). The registry holds none of it after reset.
void installPerformanceCounterNames();

// Test hook: while set, every query of HKEY_PERFORMANCE_DATA answers with
// these bytes, whatever it asks for, instead of the block the machine makes
// of its processes.
void setPerformanceDataOverride(std::optional<std::vector<unsigned char>> data);

// A service of the service control manager. Its state has nothing to do
// with the registry: deleting its key leaves it as it is.
struct ServiceSetup {
    std::string name;                       // compared case-insensitively
    DWORD state = SERVICE_RUNNING;
    int stopPendingPolls = 0;               // status queries that still answer SERVICE_STOP_PENDING after
                                            // the stop request; -1: forever
    bool acceptsStop = true;                // false: ControlService(STOP) fails with
                                            // ERROR_INVALID_SERVICE_CONTROL
    DWORD stateAfterStop = SERVICE_STOPPED; // where it ends up (SERVICE_RUNNING or SERVICE_PAUSED for a
                                            // service that will not end)
    DWORD processId = 0;                    // this process ends when the service reaches SERVICE_STOPPED
    bool failQueries = false;               // QueryServiceStatus fails with ERROR_ACCESS_DENIED, though the
                                            // service goes on stopping
};
// Adds a service, or sets one of the same name up afresh.
void addService(const ServiceSetup& setup);
// The service's state now; 0 for a service the manager does not know.
DWORD serviceState(const std::string& name);
// Power-on: granted, as to an administrator. Without it OpenSCManagerA
// refuses (ERROR_ACCESS_DENIED) any right beyond connecting, enumerating
// and querying the lock, and OpenServiceA any right beyond reading and
// querying, as for a user without administrator rights.
void setServiceManagerAccess(bool granted);
// The calls made about one service since reset (counted whether or not
// they succeeded), so that a test sees "no stop request was sent".
struct ServiceCallCounts {
    unsigned opens = 0;
    unsigned stopRequests = 0;
    unsigned statusQueries = 0;
};
ServiceCallCounts serviceCallCounts(const std::string& name);

} // namespace sim

#endif // QUORVANE_TESTS_FAKE_WINDOWS_FAKE_WINDOWS_H
