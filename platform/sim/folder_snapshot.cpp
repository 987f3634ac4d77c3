// The last host folder read, kept until it changes.
//
// A walk lists each folder twice, once for its files and once for its
// subfolders; the second listing costs nothing when the folder is as it
// was. The host changes a folder's modification and change times whenever
// an entry in it comes or goes, with the coarse clock; a reading is reused
// only when both times are as they were and lie before the moment the
// reading began, so that a change in the same clock tick as the reading is
// never missed.
#include "folder_snapshot.h"

#include <time.h>

#include <algorithm>

#include "names.h"

namespace sim {

struct FolderSnapshot {
    std::string hostFolder;
    struct stat identity {};
    struct timespec takenAt {};
    std::vector<ListedItem> items;
};

namespace {

bool before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool unchangedSince(const FolderSnapshot& snapshot, const std::string& folder, const struct stat& now) {
    const struct stat& then = snapshot.identity;
    return snapshot.hostFolder == folder && now.st_dev == then.st_dev && now.st_ino == then.st_ino &&
           sameTime(now.st_mtim, then.st_mtim) && sameTime(now.st_ctim, then.st_ctim) &&
           before(now.st_mtim, snapshot.takenAt) && before(now.st_ctim, snapshot.takenAt);
}

void sortByName(std::vector<ListedItem>& items) {
    std::sort(items.begin(), items.end(), [](const ListedItem& a, const ListedItem& b) {
        return a.key != b.key ? a.key < b.key : a.shown < b.shown;
    });
}

bool readSnapshot(FolderSnapshot& snapshot) {
    OpenFolder folder(snapshot.hostFolder);
    std::vector<FolderItem> found;
    if (!folder.readItems(found)) return false;
    snapshot.items.reserve(found.size());
    for (FolderItem& item : found) {
        const std::string host = snapshot.hostFolder + "/" + item.name;
        HostEntry entry = examineListed(folder.fd(), item.name, host, item.type);
        std::string shown = presentedName(item.name);
        std::string key = upperCase(shown);
        snapshot.items.push_back({std::move(item.name), std::move(shown), std::move(key), entry});
    }
    sortByName(snapshot.items);
    return true;
}

} // namespace

bool folderItems(const std::string& hostFolder, const std::vector<ListedItem>*& items, struct stat& folderInfo) {
    Machine& m = machine();
    timespec startedAt{};
    clock_gettime(CLOCK_REALTIME_COARSE, &startedAt);
    if (stat(hostFolder.c_str(), &folderInfo) != 0) return false;
    if (m.folderSnapshot && unchangedSince(*m.folderSnapshot, hostFolder, folderInfo)) {
        items = &m.folderSnapshot->items;
        return true;
    }
    m.folderSnapshot.reset();
    auto snapshot = std::make_shared<FolderSnapshot>();
    snapshot->hostFolder = hostFolder;
    snapshot->identity = folderInfo;
    snapshot->takenAt = startedAt;
    if (!readSnapshot(*snapshot)) return false;
    m.folderSnapshot = std::move(snapshot);
    items = &m.folderSnapshot->items;
    return true;
}

} // namespace sim
