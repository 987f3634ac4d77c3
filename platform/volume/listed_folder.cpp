// The folder a listing last read, held open for the reads of its files.
//
// A file is opened by name relative to the folder's own descriptor, and a
// link in the name's place is never followed here, so nothing outside the
// drives can be reached this way even when a folder on the path is swapped
// for a link after the listing; links, names in another spelling and
// anything unusual take the full resolution instead.
#include "listed_folder.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include "deferred_files.h"
#include "sim_state.h"

namespace sim {

HostDescriptor& HostDescriptor::operator=(HostDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

HostDescriptor::~HostDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

int HostDescriptor::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

namespace {

// A name the full resolution would take as spelled: not a presented name
// (see names.h), not one that names the folder itself or another level.
bool isPlainName(const char* name) {
    if (*name == '\0' || strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return false;
    return strpbrk(name, "\\/<") == nullptr;
}

bool refuse(int error) {
    errno = error;
    return false;
}

// What the C runtime refuses of an open for reading: folders, files a
// process holds, files the host would not let it read, and what has no
// Windows counterpart (pipes, devices, which are never listed: one found
// here took a file's place since).
bool acceptLooked(const struct stat& info, const std::string& host) {
    return S_ISREG(info.st_mode) && !isInUse(host) && permitsReading(info) ? true : refuse(EACCES);
}

} // namespace

void rememberListedFolder(const std::string& windowsFolder, const std::string& hostFolder,
                          const struct stat& folderInfo) {
    ListedFolder& listed = machine().listedFolder;
    if (listed.folder && listed.device == folderInfo.st_dev && listed.inode == folderInfo.st_ino &&
        listed.windowsFolder == windowsFolder && listed.hostFolder == hostFolder) {
        return; // listed again, as the walk lists each folder twice
    }
    listed = ListedFolder{};
    auto folder = std::make_shared<HostDescriptor>(::open(hostFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder->get() < 0 || !isOpenedInsideDrives(folder->get())) return;
    listed = ListedFolder{windowsFolder, hostFolder, std::move(folder), folderInfo.st_dev, folderInfo.st_ino};
}

void forgetListedFolder() { machine().listedFolder = ListedFolder{}; }

ListedOpen openListedFile(const char* windowsPath, int& fd, std::string& host, long long& length) {
    const ListedFolder& listed = machine().listedFolder;
    const size_t folderLength = listed.windowsFolder.size();
    if (!listed.folder || strncmp(windowsPath, listed.windowsFolder.c_str(), folderLength) != 0) {
        return ListedOpen::notListed;
    }
    const char* name = windowsPath + folderLength;
    if (!isPlainName(name) || strlen(windowsPath) >= MAX_PATH) return ListedOpen::notListed;
    host.reserve(listed.hostFolder.size() + 1 + strlen(name));
    host.assign(listed.hostFolder).append("/").append(name);
    beforeOpening(host);
    struct stat info {};
    if (fstatat(listed.folder->get(), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? ListedOpen::notListed : (errno = EACCES, ListedOpen::refused);
    }
    if (S_ISLNK(info.st_mode)) return ListedOpen::notListed;
    if (!acceptLooked(info, host)) return ListedOpen::refused;
    fd = machine().deferredFiles.add(listed.folder, name, info);
    length = static_cast<long long>(info.st_size);
    return ListedOpen::opened;
}

} // namespace sim
