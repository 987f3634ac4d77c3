// Read-only mounts and hibernated systems; see volume_state.h.
#include "volume_state.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

const char* const hibernationFileName = "hiberfil.sys";
const char hibernatedMark[] = "hibr";
constexpr size_t markLength = sizeof hibernatedMark - 1;

bool isReadOnlyMount(const std::string& folder) {
    struct statvfs facts {};
    return statvfs(folder.c_str(), &facts) == 0 && (facts.f_flag & ST_RDONLY) != 0;
}

// The hibernation file at the root of folder, whatever the case of its
// name; opened only when it is a regular file, never through a link.
int openHibernationFile(const std::string& folder) {
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return -1;
    int fd = -1;
    while (const dirent* entry = readdir(listing)) {
        if (strcasecmp(entry->d_name, hibernationFileName) != 0) continue;
        fd = openat(dirfd(listing), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        break;
    }
    closedir(listing);
    return fd;
}

bool holdsHibernatedWindows(const std::string& folder) {
    const int fd = openHibernationFile(folder);
    if (fd < 0) return false;
    unsigned char start[markLength] = {};
    const ssize_t got = pread(fd, start, sizeof start, 0);
    close(fd);
    return got == static_cast<ssize_t>(sizeof start) && holdsHibernatedSystem(start, sizeof start);
}

} // namespace

bool holdsHibernatedSystem(const unsigned char* start, size_t length) {
    if (start == nullptr || length < markLength) return false;
    for (size_t i = 0; i < markLength; ++i) {
        const unsigned char c = start[i];
        const unsigned char lower = c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
        if (lower != static_cast<unsigned char>(hibernatedMark[i])) return false;
    }
    return true;
}

VolumeState volumeStateOf(const std::vector<DriveFolder>& drives, std::string& folder) {
    for (const DriveFolder& drive : drives) {
        folder = drive.folder;
        if (isReadOnlyMount(drive.folder)) return VolumeState::readOnly;
        if (holdsHibernatedWindows(drive.folder)) return VolumeState::hibernated;
    }
    folder.clear();
    return VolumeState::changeable;
}
