// Control panel of the simulated Windows machine.
//
// Tests and the native console front end use these calls to set the machine
// up (which host folder is which drive, which file is held open by a running
// program) and to read back what the engine did to it (time spent waiting,
// file reads). The engine itself never includes this header: it only sees the
// Win32 calls of platform/win32api.h.
#ifndef QUORVANE_PLATFORM_SIM_MACHINE_H
#define QUORVANE_PLATFORM_SIM_MACHINE_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win32api.h"

namespace sim {

// Puts the machine back as it was at power-on: no drives, no windows, an
// empty message queue, the clock at zero, no attribute overrides, no
// handler or hooks, nothing reported yet; an empty registry (loaded hives
// are let go unwritten), Windows XP, the default folders and environment,
// the default privileges, no tokens and no restart requests; no other
// processes, no services, the manager's rights granted, the libraries as
// the release has them and no performance data override.
void reset();

// Presents the host folder `hostDir` as drive `letter` (A to Z, either case)
// of the given type. Returns false for a bad letter or a folder that does not
// exist. A drive mapped again replaces its earlier mapping.
bool mapDrive(char letter, const std::string& hostDir, UINT driveType = DRIVE_FIXED);

// The host path behind a Windows path, resolved the way the machine resolves
// it, component by component: a presented name (see names.h) stands for the
// host name it presents, an exact host name comes first, then the name
// without trailing dots and spaces, then any name that differs only in
// letter case, then the name whose short name it is (see short_names.h).
// Empty when the drive is not mapped, a folder on the way does not exist,
// or a link on the way may not be followed; a missing last component keeps
// the spelling it was given (decoded when it is a presented name, never
// trimmed).
std::string hostPathOf(const std::string& windowsPath);

// Marks a file as held open without sharing by a running program: opening,
// deleting and renaming it then fail with a sharing violation.
void setFileInUse(const std::string& windowsPath, bool inUse);

// Marks a file as the image of a running program: it can be read, but
// deleting and renaming it fail with ERROR_ACCESS_DENIED, as the system
// guards a running image.
void setRunningImage(const std::string& windowsPath, bool running);

// Called once per host entry that listings leave out although it is a
// file or folder the disk holds (a link leading out of the drives or to
// nothing, a name too long to present), with the Windows path it would
// have had and the reason.
using PassedOverHandler = void (*)(const char* windowsPath, const char* reason);
void setPassedOverHandler(PassedOverHandler handler);

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

// The version GetVersionExA reports. Power-on: Windows XP (NT 5.1).
struct VersionInfo {
    DWORD platformId; // VER_PLATFORM_WIN32_WINDOWS or VER_PLATFORM_WIN32_NT
    DWORD major;
    DWORD minor;
    DWORD build;
    std::string servicePack; // szCSDVersion
    WORD servicePackMajor;   // of the extended record
};

// The four systems the program is tested on, as Wine reports them.
enum class Release { windows98, windowsNt4, windowsXp, windows10 };
const VersionInfo& versionPreset(Release release);
void setRelease(Release release);
void setVersion(const VersionInfo& version);
// The preset of that version when there is one; otherwise a build number
// of 0 (on the 9x family the version in its high word) and no service pack.
void setVersion(DWORD platformId, DWORD major, DWORD minor);
VersionInfo currentVersion();

// The Windows folder (power-on "C:\WINDOWS"), the system folder (power-on:
// empty, which means the Windows folder's SYSTEM32 on NT and SYSTEM on 9x)
// and the temporary folder (power-on "C:\WINDOWS\TEMP\", with the
// backslash GetTempPathA gives). None of them need exist on a drive.
void setWindowsFolder(const std::string& path);
void setSystemFolder(const std::string& path);
void setTempFolder(const std::string& path);
std::string windowsFolder();
std::string systemFolder();
std::string tempFolder();

// The process environment that ExpandEnvironmentStringsA reads. Names
// compare case-insensitively. Power-on: windir and SystemRoot are the
// Windows folder, TEMP and TMP the temporary folder without its trailing
// backslash, all following the folders as they are set; a variable set or
// removed here no longer follows them.
void setEnvironmentVariable(const std::string& name, const std::string& value);
void removeEnvironmentVariable(const std::string& name);

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

// Whether MoveFileExA may queue moves for the next restart (power-on: yes).
// Without a queue that a restart will run, as when no Windows installation's
// registry is loaded, it fails with ERROR_ACCESS_DENIED, as it does for a
// user who may not write the queue.
void setRestartQueueWritable(bool writable);

// The Windows installation on a drive, as an offline scan of its disk finds
// it: a folder WINDOWS (or WINNT) at the drive's root, in any letter case,
// that holds System32\config\SOFTWARE and SYSTEM (the NT family's registry
// hives), or else SYSTEM.DAT or USER.DAT (the 9x family's registry).
enum class SystemFamily { none, nt, nineX };
struct WindowsInstallation {
    SystemFamily family = SystemFamily::none;
    std::string windowsFolder; // Windows paths, spelled as the disk has them
    std::string systemFolder;  // System32 or SYSTEM in it (as the family names it when it is not there)
    std::string tempFolder;    // its TEMP, with the backslash GetTempPathA gives
    std::string softwareHive;  // the NT family only
    std::string systemHive;
};
WindowsInstallation findWindowsInstallation(char drive);

// The keys of HKEY_LOCAL_MACHINE that an installation's hive files hold.
enum class MachineHive { software, system };

// Loads the hive file at windowsPath (resolved as the machine resolves every
// path, and opened only when it is a regular file inside the drives) as
// HKEY_LOCAL_MACHINE\SOFTWARE or SYSTEM, in place of whatever that key held.
// Every registry call then reads and changes it, as it does the machine's
// own keys; nothing is written to the file before closeHives. A SYSTEM hive
// gets the system's CurrentControlSet, a link to the control set that its
// Select\Current names. False, with the reason in `problem`, when the file
// is not a hive the machine can use: it cannot be opened, the hive library
// refuses it, it was not closed cleanly, a key on the way cannot be read,
// or a SYSTEM hive names no control set. The key is not there then.
bool loadHive(MachineHive which, const std::string& windowsPath, std::string& problem);

// What closing did with one loaded hive.
struct HiveOutcome {
    std::string file;     // the Windows path it was loaded from
    bool changed = false; // the registry held changes to it
    bool written = false; // and they are in the file now
    std::string backup;   // the host path of the copy kept of the file before
    std::string problem;  // why it is not written, or the damage found in it; empty when all is well
};

// Writes each loaded hive whose keys or values changed back to its file:
// first a copy of the file is kept (as NAME.quorvane-backup beside it, or in
// backupFolder when one is given; a copy already there is never replaced, a
// number is added instead), then the hive is written whole to
// NAME.quorvane-new beside the file, which takes the file's place once it is
// complete and reads back as a hive. On any failure the file stays byte for
// byte as it was. A hive found damaged as it was read is not written at all.
// Then the hives leave the registry: their keys are gone, and handles to
// them fail. One outcome per hive, in the order they were loaded.
std::vector<HiveOutcome> closeHives(const std::string& backupFolder);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_MACHINE_H
