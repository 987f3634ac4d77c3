// Control panel of the Win32 view of a mounted Windows volume.
//
// The native console front end and the tests use these calls to set the
// volume up (which host folder is which drive, which Windows installation and
// hives it holds) and to read back what the engine did to it (the hives it
// changed). The engine itself never includes this header: it only sees the
// Win32 calls of platform/win32api.h. What a running Windows adds (processes,
// services, files held open) is not here: offline nothing runs.
#ifndef QUORVANE_PLATFORM_VOLUME_MACHINE_H
#define QUORVANE_PLATFORM_VOLUME_MACHINE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "win32api.h"

namespace sim {

// Puts the volume back as it was at power-on: no drives, no attribute
// overrides, no handler, nothing reported yet; an empty registry (loaded
// hives are let go unwritten), Windows XP, the default folders and
// environment, Windows-1252. A running system beside it (see
// running_system.h) goes back to power-on too.
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

// Called once per host entry that listings leave out although it is a
// file or folder the disk holds (a link leading out of the drives or to
// nothing, a name too long to present), with the Windows path it would
// have had and the reason.
using PassedOverHandler = void (*)(const char* windowsPath, const char* reason);
void setPassedOverHandler(PassedOverHandler handler);

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

// The system code page that the ANSI calls' text is in, which CP_ACP stands
// for: Windows-1252 (power-on), as on a Western-European Windows, or UTF-8,
// as Windows 10 offers it, in which every name and string the registry holds
// reads exactly and matches the host's own (UTF-8) names of files.
enum class AnsiCodePage { western, utf8 };
void setAnsiCodePage(AnsiCodePage codePage);
AnsiCodePage ansiCodePage();

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
// A file the system left dirty is completed from its logs (NAME.LOG1,
// NAME.LOG2, NAME.LOG) as the system does, in memory; the file is held so
// that a second program holding it the same way is kept out. Every
// registry call then reads and changes it, as it does the machine's own
// keys, and each change is written into the file, through its log and in
// place, before the call returns (see hive_file.h); a change that cannot
// be written fails as the call. A SYSTEM hive gets the system's
// CurrentControlSet, a link to the control set that its Select\Current
// names. False, with the reason in `problem`, when the file is not a hive
// the machine can use: it cannot be opened or read, another program holds
// it, it is dirty and its logs cannot complete it, it is damaged, a key on
// the way cannot be read, or a SYSTEM hive names no control set. The key is
// not there then.
bool loadHive(MachineHive which, const std::string& windowsPath, std::string& problem);

// Where the copies of a hive file and its logs, as they were, are kept
// before its first change is written: beside them (empty) or in that
// folder. A set of copies already there is never replaced: a number is
// added to the names (NAME.quorvane-backup, NAME.quorvane-backup.1, ...).
void setHiveBackupFolder(const std::string& folder);

// What became of one loaded hive.
struct HiveOutcome {
    std::string file;     // the Windows path it was loaded from
    bool changed = false; // a change was made to it, or tried
    bool written = false; // every change made is in the file
    bool partly = false;  // some changes are in the file, a later one is not
    std::string backup;   // the host path of the copy kept of the file before
    std::string problem;  // why a change is not written, or the damage found in it; empty when all is well
};

// Lets go of the loaded hives: their keys leave the registry, and handles
// to them fail. Every change was written as it was made; nothing is
// written now. One outcome per hive, in the order they were loaded.
std::vector<HiveOutcome> closeHives();

} // namespace sim

#endif // QUORVANE_PLATFORM_VOLUME_MACHINE_H
