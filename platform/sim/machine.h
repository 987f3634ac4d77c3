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
#include <string>
#include <vector>

#include "win32api.h"

namespace sim {

// Puts the machine back as it was at power-on: no drives, no windows, an
// empty message queue, the clock at zero, no attribute overrides, no
// handler or hooks, nothing reported yet; an empty registry, Windows XP,
// the default folders and environment, the default privileges, no tokens
// and no restart requests.
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

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_MACHINE_H
