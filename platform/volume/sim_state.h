// Internal state of the mounted volume's Win32 view, shared by its source files.
#ifndef QUORVANE_PLATFORM_VOLUME_SIM_STATE_H
#define QUORVANE_PLATFORM_VOLUME_SIM_STATE_H

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "deferred_files.h"
#include "listed_folder.h"
#include "machine.h"
#include "registry_tree.h"
#include "running_system.h"

namespace sim {

constexpr int driveCount = 26;
// Handle values start here and step by 4, as the system's own do.
constexpr uintptr_t firstHandleValue = 0x100;
constexpr uintptr_t handleStep = 4;

struct FolderSnapshot;

struct Drive {
    std::string hostRoot; // empty: no drive with this letter
    std::string realRoot; // hostRoot with every link resolved
    UINT type = DRIVE_NO_ROOT_DIR;
};

struct ListedItem;

// One open directory listing: first the entries that need no folder reading
// (the dot entries, or the one entry a plain pattern names), then the items
// of the folder's reading that matched, by their places in it. The reading
// is held while the listing is open, and each entry is made as it is
// handed out.
struct Listing {
    std::vector<WIN32_FIND_DATAA> fixed;
    std::shared_ptr<const std::vector<ListedItem>> items;
    std::vector<uint32_t> matches;
    std::string hostFolder;
    size_t next = 0;
};

// One open file or folder handle of CreateFileA.
struct FileObject {
    BY_HANDLE_FILE_INFORMATION info{};
};

// Lengths by descriptor, for the few files open at a time: a short list
// that is searched, so that an open costs no allocation.
class DescriptorLengths {
public:
    void set(int fd, long long length) {
        erase(fd);
        entries_.push_back({fd, length});
    }
    const long long* find(int fd) const {
        for (const auto& entry : entries_) {
            if (entry.first == fd) return &entry.second;
        }
        return nullptr;
    }
    void erase(int fd) {
        for (auto& entry : entries_) {
            if (entry.first != fd) continue;
            entry = entries_.back();
            entries_.pop_back();
            return;
        }
    }

private:
    std::vector<std::pair<int, long long>> entries_;
};

struct Machine {
    Drive drives[driveCount];
    // Attribute bits that a host file system cannot hold (hidden, system,
    // archive), by host path. Read-only lives in the host permission bits.
    std::map<std::string, DWORD> attributeBits;
    std::map<uintptr_t, Listing> listings;   // by handle value
    ListedFolder listedFolder;
    std::shared_ptr<FolderSnapshot> folderSnapshot; // the last host folder read
    std::map<uintptr_t, FileObject> objects; // by handle value
    uintptr_t nextHandle = firstHandleValue;
    PassedOverHandler passedOverHandler = nullptr;
    std::set<std::string> passedOverReported; // host paths
    std::set<int> textDescriptors; // opened without _O_BINARY
    DescriptorLengths readOnlyLengths; // of files opened for reading only, as opened
    DeferredFiles deferredFiles;
    VersionInfo version = versionPreset(Release::windowsXp);
    std::string windowsFolder = "C:\\WINDOWS";
    std::string systemFolder; // empty: derived from windowsFolder and the family
    std::string tempFolder = "C:\\WINDOWS\\TEMP\\";
    Registry registry;
    std::vector<std::shared_ptr<HiveFile>> hives; // loaded, in the order they were
    std::string hiveBackupFolder;                 // empty: beside each hive
    bool restartQueueWritable = true;
    // Variables set or removed by a test, by upper-case name; the others
    // are the defaults that follow the folders.
    std::map<std::string, std::optional<std::string>> environment;
};

// Mints a new handle value; never 0 and never INVALID_HANDLE_VALUE.
uintptr_t newHandleValue();

Machine& machine();

// True when the machine plays a system of the 9x family.
bool isNineX();

// Folds ASCII letters to upper case, as the file system compares names.
std::string upperCase(const std::string& text);

// What a host entry is for the machine.
enum class EntryKind {
    missing,     // nothing there
    file,        // a regular file, or a link inside the drives to one
    folder,      // a folder, or a link inside the drives to one
    other,       // a pipe, socket or device: no Windows counterpart
    linkOut,     // a link leading out of every drive
    linkNowhere, // a link to nothing, or round in a loop
    storedAway,  // on the disk, but its content is in a form the host cannot give
};

struct HostEntry {
    EntryKind kind = EntryKind::missing;
    struct stat info {}; // of the entry, or of what a followed link leads to
    bool looked = true;  // info holds the host's answer; a listed file's is not asked for
    // A link or junction to a place on one of the drives: that place is
    // walked under its own path, so a listing leaves the alias out, quietly.
    bool alias = false;
};

// Looks at one host path without following a link blindly.
HostEntry examineEntry(const std::string& host);

// The host path with every link resolved; empty when it leads nowhere.
std::string realHostPath(const std::string& host);

// How the machine opens a host file for reading: never blocking on a pipe,
// never making a terminal the controlling one.
constexpr int hostReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Opens a host path for reading once the running system, if any, has seen it, and
// gives the facts of what was opened. Anything but a regular file or a
// folder is closed again at once. -1 when nothing fit to read was opened.
int openHost(const std::string& host, struct stat& info);

// Whether a handle is a C runtime descriptor's (of _get_osfhandle), and
// the facts of its file: false when it is not one or is not open.
bool isCrtHandle(HANDLE file);
bool crtDescriptorFacts(HANDLE file, struct stat& facts);

// True when what an open host descriptor leads to lies inside a drive,
// whatever links were swapped in on the way while it was being opened.
bool isOpenedInsideDrives(int fd);

// One name a folder listing gave, with the kind of entry it said it is
// (a DT_ value; DT_UNKNOWN where the host file system does not say).
struct FolderItem {
    std::string name;
    unsigned char type;
};

// A host folder open for listing, counted as a folder read.
class OpenFolder {
public:
    explicit OpenFolder(const std::string& folder);
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    ~OpenFolder();
    // The names but "." and "..", in the host's order; false when the folder could not be opened.
    bool readItems(std::vector<FolderItem>& items);
    int fd() const { return dir_ != nullptr ? dirfd(dir_) : -1; }

private:
    DIR* dir_;
};

// examineEntry of a name an open folder listed: a folder or a regular file
// is known by the kind the listing gave, unlooked at (the host's listing
// holds no length or permission, and asking for them is a call per entry);
// a pipe, socket or device is passed over; a link, or a name the listing
// gave no kind for, is looked at by name in the folder, and a link followed
// as examineEntry does through its host path.
HostEntry examineListed(int folderFd, const std::string& hostFolder, const std::string& name, unsigned char type);

// The names in a host folder but "." and "..", counted as a folder read.
// False when the folder cannot be opened.
bool readFolder(const std::string& folder, std::vector<std::string>& names);

// Reasons a listing gives for leaving out an entry the disk holds.
extern const char* const reasonLinkOut;
extern const char* const reasonLinkNowhere;
extern const char* const reasonNameTooLong;
extern const char* const reasonStoredAway;

// Tells the passed-over handler, once per host path.
void reportPassedOver(const std::string& host, const std::string& windowsPath, const char* reason);

// Resolves a Windows path to a host path (see hostPathOf for the rules).
// Returns false (and sets the last error) when the drive is unknown, a
// folder on the way is missing (ERROR_PATH_NOT_FOUND) or a link on the way
// or at the end may not be followed (ERROR_ACCESS_DENIED). When only the
// last component is missing, `exists` is false and `host` ends in the name
// as given (decoded when it is a presented name). A last component that is
// a link stays the link itself in `host`.
bool resolvePath(const std::string& windowsPath, std::string& host, bool& exists);

// resolvePath for a path that must exist: sets ERROR_FILE_NOT_FOUND when
// only its last component is missing.
bool resolveExisting(LPCSTR path, std::string& host);

// True when `host` names the root folder of a mapped drive.
bool isDriveRoot(const std::string& host);

// Windows wildcard match of one name against one pattern component.
bool wildcardMatch(const std::string& pattern, const std::string& name);

// The attributes a listing or GetFileAttributesA reports for a host path;
// INVALID_FILE_ATTRIBUTES when it does not exist.
DWORD attributesOf(const std::string& host);
// The same from facts already looked up (the host path finds the stored bits).
DWORD attributesOf(const std::string& host, const struct stat& info);
// The same of a listed entry: one not looked at shows no read-only mark.
DWORD attributesOf(const std::string& host, const HostEntry& entry);

// Writes all of `data` to a host descriptor; false when it could not.
bool writeAllHost(int fd, const char* data, size_t length);

// _read and _write of a descriptor opened in text mode, with the C
// runtime's line-end translation; -1 when the host call failed.
int readText(int fd, char* buffer, unsigned int count);
int writeText(int fd, const char* data, unsigned int count);

// Copies the regular host file `from` to `to` in full, by way of a new file
// beside `to` that then takes its place: `to` is replaced when `replace`,
// otherwise an existing one is ERROR_FILE_EXISTS. The copy has the mode and
// the stored attribute bits of the original, and the archive bit. False,
// with the last error set, when it did not happen; nothing is left behind.
bool copyHostFile(const std::string& from, const std::string& to, bool replace);

// Queues a move (or, without a new name, a deletion) for the next restart
// in the registry's PendingFileRenameOperations, as the NT family does.
BOOL queueMoveAtRestart(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags);

} // namespace sim

#endif // QUORVANE_PLATFORM_VOLUME_SIM_STATE_H
