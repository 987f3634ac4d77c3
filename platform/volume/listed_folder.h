// The folder a listing last read, held open, so that opening a file it
// listed for reading costs the host one open by name in that folder rather
// than a resolution of the whole path.
#ifndef QUORVANE_PLATFORM_SIM_LISTED_FOLDER_H
#define QUORVANE_PLATFORM_SIM_LISTED_FOLDER_H

#include <sys/stat.h>

#include <memory>
#include <string>

namespace sim {

// An open host descriptor, closed when its holder goes.
class HostDescriptor {
public:
    HostDescriptor() = default;
    explicit HostDescriptor(int fd) : fd_(fd) {}
    HostDescriptor(HostDescriptor&& other) noexcept : fd_(other.release()) {}
    HostDescriptor& operator=(HostDescriptor&& other) noexcept;
    HostDescriptor(const HostDescriptor&) = delete;
    HostDescriptor& operator=(const HostDescriptor&) = delete;
    ~HostDescriptor();
    int get() const { return fd_; }
    int release();

private:
    int fd_ = -1;
};

struct ListedFolder {
    std::string windowsFolder; // as the listing's pattern spelled it, up to its last backslash
    std::string hostFolder;
    std::shared_ptr<const HostDescriptor> folder; // opened as a path only, and found inside the drives
    dev_t device = 0;      // the folder's identity when it was listed
    ino_t inode = 0;
};

// After a listing of windowsFolder (ending in a backslash) read hostFolder,
// whose status the listing took. The folder held already is kept when it
// is that one again.
void rememberListedFolder(const std::string& windowsFolder, const std::string& hostFolder,
                          const struct stat& folderInfo);

// Whatever renames or removes folders, or maps drives, makes the machine
// forget the folder.
void forgetListedFolder();

// What openListedFile made of a path.
enum class ListedOpen { opened, refused, notListed };

// Opens for reading a file named exactly, in the folder last listed: looks
// at it by name in the open folder, following no link, and gives it a
// deferred descriptor (see deferred_files.h). notListed when the path is
// not in that folder, or the name is not there as spelled or is a link:
// the path is then resolved in full. refused sets errno as _open does.
// `length` is the file's length as it was opened.
ListedOpen openListedFile(const char* windowsPath, int& fd, std::string& host, long long& length);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_LISTED_FOLDER_H
