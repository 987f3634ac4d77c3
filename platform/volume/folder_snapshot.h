// What a host folder holds, in listing order, each entry looked at once.
#ifndef QUORVANE_PLATFORM_SIM_FOLDER_SNAPSHOT_H
#define QUORVANE_PLATFORM_SIM_FOLDER_SNAPSHOT_H

#include <sys/stat.h>
#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include "sim_state.h"

namespace sim {

struct ListedItem {
    std::string name;  // on the host
    std::string shown; // its presented name (see names.h)
    std::string key;   // shown in upper case: the order of a listing
    HostEntry entry;
};

// A host folder's status, and the moment just before it was taken.
struct FolderLook {
    struct timespec before {};
    struct stat info {};
};

// False when the host folder is not there to look at.
bool lookAtFolder(const std::string& hostFolder, FolderLook& look);

// The items of a host folder but "." and "..", ordered by their upper-case
// presented names (names that differ only in case, possible on a host file
// system, in a fixed order), and the folder's own facts; false when it
// cannot be read. A folder read again while nothing in it has been added,
// removed or renamed since the last reading began (by the host's record of
// its changes) is served from that reading, as a directory index serves a
// second listing. look is the folder's, just taken. The items stay valid
// while items is held, whatever is read after.
bool folderItems(const std::string& hostFolder, const FolderLook& look,
                 std::shared_ptr<const std::vector<ListedItem>>& items);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_FOLDER_SNAPSHOT_H
