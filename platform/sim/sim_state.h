// Internal state of the simulated machine, shared by its source files.
#ifndef QUORVANE_PLATFORM_SIM_SIM_STATE_H
#define QUORVANE_PLATFORM_SIM_SIM_STATE_H

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "machine.h"

struct SimWindow {
    WNDPROC procedure = nullptr;
    bool alive = true;
};

namespace sim {

constexpr int driveCount = 26;
// Handle values start here and step by 4, as the system's own do.
constexpr uintptr_t firstHandleValue = 0x100;
constexpr uintptr_t handleStep = 4;

struct Drive {
    std::string hostRoot; // empty: no drive with this letter
    UINT type = DRIVE_NO_ROOT_DIR;
};

// One open directory listing: the matching entries, taken when it was opened.
struct Listing {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

// One open file or folder handle of CreateFileA.
struct FileObject {
    BY_HANDLE_FILE_INFORMATION info{};
};

struct Machine {
    Drive drives[driveCount];
    // Attribute bits that a host file system cannot hold (hidden, system,
    // archive), by host path. Read-only lives in the host permission bits.
    std::map<std::string, DWORD> attributeBits;
    std::set<std::string> filesInUse; // host paths
    uint64_t clockMilliseconds = 0;
    FileCallCounts fileCalls;
    std::map<std::string, WNDPROC> windowClasses; // by upper-case class name
    std::vector<std::unique_ptr<SimWindow>> windows;
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    std::map<uintptr_t, Listing> listings;   // by handle value
    std::map<uintptr_t, FileObject> objects; // by handle value
    uintptr_t nextHandle = firstHandleValue;
};

// Mints a new handle value; never 0 and never INVALID_HANDLE_VALUE.
uintptr_t newHandleValue();

Machine& machine();

// Folds ASCII letters to upper case, as the file system compares names.
std::string upperCase(const std::string& text);

// Resolves a Windows path to a host path. Returns false (and sets the last
// error) when the drive is unknown or a folder on the way is missing. When
// only the last component is missing, `exists` is false and `host` ends in
// the name as given.
bool resolvePath(const std::string& windowsPath, std::string& host, bool& exists);

// True when `host` names the root folder of a mapped drive.
bool isDriveRoot(const std::string& host);

// Windows wildcard match of one name against one pattern component.
bool wildcardMatch(const std::string& pattern, const std::string& name);

// The attributes a listing or GetFileAttributesA reports for a host path;
// INVALID_FILE_ATTRIBUTES when it does not exist.
DWORD attributesOf(const std::string& host);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_SIM_STATE_H
