// What the machine makes of the host entries behind its drives: which kind
// each one is, whether a link may be followed, the names in a folder, and
// the one way it opens anything.
//
// A link is followed only when what it leads to lies inside one of the
// mapped drives, so that nothing outside the folders the machine was given
// can be reached through it. Such a link (a junction of the volume, say
// "Documents and Settings" to C:\Users) is an alias of a place the walk
// reaches anyway: listings leave it out, so that every file is seen once,
// under its own path. Where the mount gives an entry's reparse data, that
// tells a junction to another drive letter, and content stored in a form
// the mount cannot give, from what the host's link alone would say.
#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "reparse_point.h"
#include "sim_state.h"

namespace sim {

namespace {

// Where the host shows what each open descriptor of the process leads to.
const char descriptorLinks[] = "/proc/self/fd/";
constexpr size_t descriptorDigits = 12; // an int in decimal, with its sign

struct FreeWithFree {
    void operator()(char* text) const { free(text); }
};

// True when `path` is `root` or lies below it, comparing whole components.
bool isWithin(const std::string& path, const std::string& root) {
    if (root == "/") return !path.empty() && path[0] == '/';
    if (path.compare(0, root.size(), root) != 0) return false;
    return path.size() == root.size() || path[root.size()] == '/';
}

bool isInsideADrive(const std::string& realPath) {
    for (const Drive& drive : machine().drives) {
        if (!drive.realRoot.empty() && isWithin(realPath, drive.realRoot)) return true;
    }
    return false;
}

EntryKind kindOf(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::file;
    if (S_ISDIR(mode)) return EntryKind::folder;
    return EntryKind::other;
}

bool isMappedLetter(char letter) {
    return letter >= 'A' && letter <= 'Z' && !machine().drives[letter - 'A'].hostRoot.empty();
}

HostEntry entryOfKind(EntryKind kind, bool alias = false) {
    HostEntry entry;
    entry.kind = kind;
    entry.alias = alias;
    return entry;
}

// A link as the host resolves it: what it leads to, if that lies inside
// the drives, where it is an alias.
HostEntry followHostLink(const std::string& host) {
    HostEntry entry;
    const std::string target = realHostPath(host);
    if (target.empty() || stat(target.c_str(), &entry.info) != 0) {
        entry.kind = EntryKind::linkNowhere;
    } else if (!isInsideADrive(target)) {
        entry.kind = EntryKind::linkOut;
    } else {
        entry.kind = kindOf(entry.info.st_mode);
        entry.alias = true;
    }
    return entry;
}

// A link, by its reparse data first where the mount gives it: a junction
// to a drive letter that is not one of the drives leads out of them,
// whatever the mount made of it; one to a letter that is leads to a place
// walked on that drive, so it stays a quiet alias even where the mount
// cannot follow it (ntfs-3g points it into a folder of its own that does
// not exist). Only the host's resolution is ever followed.
HostEntry examineLink(const std::string& host) {
    const ReparsePoint point = readReparsePoint(host);
    switch (point.kind) {
    case ReparseKind::storedAway:
        return entryOfKind(EntryKind::storedAway);
    case ReparseKind::linkElsewhere:
        return entryOfKind(EntryKind::linkOut);
    case ReparseKind::linkToDrive:
        if (!isMappedLetter(point.driveLetter)) return entryOfKind(EntryKind::linkOut);
        break;
    default:
        break;
    }
    HostEntry entry = followHostLink(host);
    if (point.kind == ReparseKind::linkToDrive) entry.alias = true;
    return entry;
}

// An entry the host lists but cannot look at (ntfs-3g so shows a reparse
// point it cannot make sense of): a link by its reparse data, else content
// the host cannot give.
HostEntry examineUnshowable(const std::string& host) {
    const ReparsePoint point = readReparsePoint(host);
    switch (point.kind) {
    case ReparseKind::linkToDrive:
        return isMappedLetter(point.driveLetter) ? entryOfKind(EntryKind::linkNowhere, true)
                                                 : entryOfKind(EntryKind::linkOut);
    case ReparseKind::linkElsewhere:
        return entryOfKind(EntryKind::linkOut);
    case ReparseKind::linkRelative:
        return entryOfKind(EntryKind::linkNowhere);
    default:
        return entryOfKind(EntryKind::storedAway);
    }
}

} // namespace

std::string realHostPath(const std::string& host) {
    const std::unique_ptr<char, FreeWithFree> resolved(realpath(host.c_str(), nullptr));
    return resolved ? std::string(resolved.get()) : std::string();
}

HostEntry examineEntry(const std::string& host) {
    HostEntry entry;
    // An entry that is there but cannot be looked at fails with EIO.
    if (lstat(host.c_str(), &entry.info) != 0) return errno == EIO ? examineUnshowable(host) : entry;
    if (S_ISLNK(entry.info.st_mode)) return examineLink(host);
    entry.kind = kindOf(entry.info.st_mode);
    return entry;
}

// The host names an open descriptor's file by its own path, every link on
// the way already resolved: one look at the descriptor's entry, not a walk
// of every component. A path too long for the buffer is taken as outside.
bool isOpenedInsideDrives(int fd) {
    char link[sizeof descriptorLinks + descriptorDigits];
    std::snprintf(link, sizeof link, "%s%d", descriptorLinks, fd);
    char opened[PATH_MAX];
    const ssize_t length = readlink(link, opened, sizeof opened);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof opened || opened[0] != '/') return false;
    return isInsideADrive(std::string(opened, static_cast<size_t>(length)));
}

int openHost(const std::string& host, struct stat& info) {
    beforeOpening(host);
    const int fd = ::open(host.c_str(), hostReadFlags);
    if (fd < 0) return -1;
    if (fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) || !isOpenedInsideDrives(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

HostEntry examineListed(int folderFd, const std::string& hostFolder, const std::string& name, unsigned char type) {
    HostEntry entry;
    switch (type) {
    case DT_DIR:
        entry.kind = EntryKind::folder;
        entry.info.st_mode = S_IFDIR;
        entry.looked = false;
        return entry;
    case DT_REG:
        entry.kind = EntryKind::file;
        entry.info.st_mode = S_IFREG;
        entry.looked = false;
        return entry;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default: // a pipe, socket or device
        entry.kind = EntryKind::other;
        entry.looked = false;
        return entry;
    }
    countCall(FileCall::entryLook);
    // The listing says it is there: one gone since is missing, one that
    // cannot be looked at is named.
    if (fstatat(folderFd, name.c_str(), &entry.info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? entry : examineUnshowable(hostFolder + "/" + name);
    }
    if (S_ISLNK(entry.info.st_mode)) return examineLink(hostFolder + "/" + name);
    entry.kind = kindOf(entry.info.st_mode);
    return entry;
}

OpenFolder::OpenFolder(const std::string& folder) : dir_(opendir(folder.c_str())) {
    countCall(FileCall::folderRead);
}

OpenFolder::~OpenFolder() {
    if (dir_ != nullptr) closedir(dir_);
}

bool OpenFolder::readItems(std::vector<FolderItem>& items) {
    if (dir_ == nullptr) return false;
    while (const dirent* item = readdir(dir_)) {
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0) {
            items.push_back({item->d_name, item->d_type});
        }
    }
    return true;
}

bool readFolder(const std::string& folder, std::vector<std::string>& names) {
    std::vector<FolderItem> items;
    if (!OpenFolder(folder).readItems(items)) return false;
    for (FolderItem& item : items) names.push_back(std::move(item.name));
    return true;
}

} // namespace sim
