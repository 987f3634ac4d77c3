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

#include <stdint.h>

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

// An item's place, and the first bytes of its key as one number that
// orders as those bytes do: most comparisons need look no further.
struct SortSlot {
    uint64_t prefix;
    uint32_t place;
};
constexpr size_t prefixBytes = sizeof(uint64_t);

// A shorter key is padded with zeros, which no name holds, so that it
// comes before every longer key it begins.
uint64_t keyPrefix(const std::string& key) {
    uint64_t prefix = 0;
    for (size_t i = 0; i < prefixBytes; ++i) {
        prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    }
    return prefix;
}

// The items in listing order. They are ordered through their places, so
// that each one is moved once.
std::vector<ListedItem> sortedByName(std::vector<ListedItem>& items) {
    std::vector<SortSlot> order(items.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = SortSlot{keyPrefix(items[i].key), i};
    std::sort(order.begin(), order.end(), [&items](const SortSlot& a, const SortSlot& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        const ListedItem& first = items[a.place];
        const ListedItem& second = items[b.place];
        const int byKey = first.key.compare(second.key);
        return byKey != 0 ? byKey < 0 : first.shown < second.shown;
    });
    std::vector<ListedItem> sorted;
    sorted.reserve(items.size());
    for (const SortSlot& slot : order) sorted.push_back(std::move(items[slot.place]));
    return sorted;
}

bool readSnapshot(FolderSnapshot& snapshot) {
    OpenFolder folder(snapshot.hostFolder);
    std::vector<FolderItem> found;
    if (!folder.readItems(found)) return false;
    std::vector<ListedItem> items(found.size());
    for (size_t i = 0; i < found.size(); ++i) {
        ListedItem& item = items[i];
        item.entry = examineListed(folder.fd(), snapshot.hostFolder, found[i].name, found[i].type);
        item.shown = presentedName(found[i].name);
        item.key = upperCase(item.shown);
        item.name = std::move(found[i].name);
    }
    snapshot.items = sortedByName(items);
    return true;
}

} // namespace

bool lookAtFolder(const std::string& hostFolder, FolderLook& look) {
    clock_gettime(CLOCK_REALTIME_COARSE, &look.before);
    return stat(hostFolder.c_str(), &look.info) == 0;
}

bool folderItems(const std::string& hostFolder, const FolderLook& look,
                 std::shared_ptr<const std::vector<ListedItem>>& items) {
    Machine& m = machine();
    if (!m.folderSnapshot || !unchangedSince(*m.folderSnapshot, hostFolder, look.info)) {
        m.folderSnapshot.reset();
        auto snapshot = std::make_shared<FolderSnapshot>();
        snapshot->hostFolder = hostFolder;
        snapshot->identity = look.info;
        snapshot->takenAt = look.before;
        if (!readSnapshot(*snapshot)) return false;
        m.folderSnapshot = std::move(snapshot);
    }
    items = std::shared_ptr<const std::vector<ListedItem>>(m.folderSnapshot, &m.folderSnapshot->items);
    return true;
}

} // namespace sim
