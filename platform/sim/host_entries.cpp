// What the machine makes of the host entries behind its drives: which kind
// each one is, whether a link may be followed, the names in a folder, and
// the one way it opens anything.
//
// A link is followed only when what it leads to lies inside one of the
// mapped drives, so that nothing outside the folders the machine was given
// can be reached through it.
#include <dirent.h>
#include <limits.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

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

// A link: what it leads to, if that lies inside the drives.
HostEntry examineLink(const std::string& host) {
    HostEntry entry;
    const std::string target = realHostPath(host);
    if (target.empty() || stat(target.c_str(), &entry.info) != 0) {
        entry.kind = EntryKind::linkNowhere;
    } else if (!isInsideADrive(target)) {
        entry.kind = EntryKind::linkOut;
    } else {
        entry.kind = kindOf(entry.info.st_mode);
    }
    return entry;
}

} // namespace

std::string realHostPath(const std::string& host) {
    const std::unique_ptr<char, FreeWithFree> resolved(realpath(host.c_str(), nullptr));
    return resolved ? std::string(resolved.get()) : std::string();
}

HostEntry examineEntry(const std::string& host) {
    HostEntry entry;
    if (lstat(host.c_str(), &entry.info) != 0) return entry;
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
    runBeforeOpenHook(host);
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
    ++machine().fileCalls.entryLooks;
    if (fstatat(folderFd, name.c_str(), &entry.info, AT_SYMLINK_NOFOLLOW) != 0) return entry;
    if (S_ISLNK(entry.info.st_mode)) return examineLink(hostFolder + "/" + name);
    entry.kind = kindOf(entry.info.st_mode);
    return entry;
}

OpenFolder::OpenFolder(const std::string& folder) : dir_(opendir(folder.c_str())) {
    ++machine().fileCalls.folderReads;
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
