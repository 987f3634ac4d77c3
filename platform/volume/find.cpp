// Directory listings of the simulated machine: FindFirstFileA and friends.
//
// As on an NTFS volume, entries come back ordered by their upper-case names,
// with "." and ".." first in every folder but a drive's root. Every file and
// folder the host holds is listed, under its presented name (see names.h);
// what cannot be listed although the disk holds it is reported as passed
// over.
#include <algorithm>
#include <cstring>

#include "folder_snapshot.h"
#include "names.h"
#include "sim_state.h"

namespace sim {

namespace {

// Longest name a listing entry holds: cFileName less its terminator.
constexpr size_t maxListedName = MAX_PATH - 1;

bool hasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

// One listing: the host folder, the name pattern, and the folder part of
// the caller's pattern, from which passed-over entries are named.
struct ListRequest {
    std::string folder;
    std::string pattern;
    std::string windowsFolder;
};

// The listing entry of a host path, from what the listing knows of it: a
// file it did not look at has no length to show.
void fillEntry(const std::string& name, DWORD attributes, const HostEntry& entry, WIN32_FIND_DATAA& data) {
    data = WIN32_FIND_DATAA{};
    data.dwFileAttributes = attributes;
    const struct stat& info = entry.info;
    if (entry.looked && !S_ISDIR(info.st_mode)) {
        const uint64_t size = static_cast<uint64_t>(info.st_size);
        data.nFileSizeLow = static_cast<DWORD>(size & 0xffffffffu);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    const size_t length = std::min(name.size(), maxListedName);
    std::memcpy(data.cFileName, name.data(), length);
    data.cFileName[length] = '\0';
}

WIN32_FIND_DATAA entryFor(const std::string& name, const std::string& host, const HostEntry& entry) {
    WIN32_FIND_DATAA data;
    fillEntry(name, attributesOf(host, entry), entry, data);
    return data;
}

// Whether a matching item is listed; one the disk holds but the listing
// leaves out is reported, except pipes, sockets and devices.
bool isListed(const ListRequest& request, const ListedItem& item) {
    const std::string& shown = item.shown;
    const auto host = [&request, &item] { return request.folder + "/" + item.name; };
    if (item.entry.alias) return false; // what it leads to is listed where it lies
    switch (item.entry.kind) {
    case EntryKind::linkOut:
        reportPassedOver(host(), request.windowsFolder + shown, reasonLinkOut);
        return false;
    case EntryKind::linkNowhere:
        reportPassedOver(host(), request.windowsFolder + shown, reasonLinkNowhere);
        return false;
    case EntryKind::storedAway:
        reportPassedOver(host(), request.windowsFolder + shown, reasonStoredAway);
        return false;
    case EntryKind::file:
    case EntryKind::folder:
        break;
    default:
        return false;
    }
    if (shown.size() > maxListedName) {
        reportPassedOver(host(), request.windowsFolder + presentedPrefix(shown, maxListedName), reasonNameTooLong);
        return false;
    }
    return true;
}

void addDotEntries(const ListRequest& request, const struct stat& folderInfo, std::vector<WIN32_FIND_DATAA>& entries) {
    if (isDriveRoot(request.folder)) return;
    const HostEntry folder{EntryKind::folder, folderInfo};
    for (const char* dot : {".", ".."}) {
        if (wildcardMatch(request.pattern, dot)) entries.push_back(entryFor(dot, request.folder, folder));
    }
}

// False when the host folder cannot be read. The reports of entries passed
// over come in listing order, when the listing is opened.
bool listFolder(const ListRequest& request, const FolderLook& look, Listing& listing) {
    if (!folderItems(request.folder, look, listing.items)) return false;
    addDotEntries(request, look.info, listing.fixed);
    const std::vector<ListedItem>& items = *listing.items;
    listing.matches.reserve(items.size());
    for (uint32_t place = 0; place < items.size(); ++place) {
        const ListedItem& item = items[place];
        if (wildcardMatch(request.pattern, item.shown) && isListed(request, item)) listing.matches.push_back(place);
    }
    listing.hostFolder = request.folder;
    return true;
}

size_t entryCount(const Listing& listing) { return listing.fixed.size() + listing.matches.size(); }

// The entry at the listing's next place, which it passes.
void takeNextEntry(Listing& listing, WIN32_FIND_DATAA& data) {
    const size_t place = listing.next++;
    if (place < listing.fixed.size()) {
        data = listing.fixed[place];
        return;
    }
    const ListedItem& item = (*listing.items)[listing.matches[place - listing.fixed.size()]];
    // The host path only matters where the machine keeps attribute bits.
    const DWORD attributes = machine().attributeBits.empty()
                                 ? attributesOf(std::string(), item.entry)
                                 : attributesOf(listing.hostFolder + "/" + item.name, item.entry);
    fillEntry(item.shown, attributes, item.entry, data);
}

// The one entry a pattern without wildcards names.
bool listOne(const std::string& pattern, std::vector<WIN32_FIND_DATAA>& entries) {
    std::string host;
    bool found = false;
    if (!resolvePath(pattern, host, found)) return false;
    HostEntry entry; // looked at here
    if (found && stat(host.c_str(), &entry.info) == 0 && attributesOf(host, entry.info) != INVALID_FILE_ATTRIBUTES) {
        entries.push_back(entryFor(presentedName(host.substr(host.find_last_of('/') + 1)), host, entry));
    }
    return true;
}

HANDLE failFind(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

} // namespace

} // namespace sim

HANDLE FindFirstFileA(LPCSTR fileName, WIN32_FIND_DATAA* findData) {
    using namespace sim;
    if (fileName == nullptr || findData == nullptr) return failFind(ERROR_INVALID_PARAMETER);
    const std::string pattern = fileName;
    const size_t cut = pattern.find_last_of("\\/");
    if (cut == std::string::npos) return failFind(ERROR_PATH_NOT_FOUND);
    ListRequest request{"", pattern.substr(cut + 1), pattern.substr(0, cut + 1)};

    bool folderExists = false;
    if (!resolvePath(request.windowsFolder, request.folder, folderExists)) return failFind(GetLastError());
    FolderLook look;
    if (!folderExists || !lookAtFolder(request.folder, look) || !S_ISDIR(look.info.st_mode)) {
        return failFind(ERROR_PATH_NOT_FOUND);
    }
    if (request.pattern.empty()) return failFind(ERROR_FILE_NOT_FOUND);

    Listing listing;
    if (hasWildcard(request.pattern)) {
        if (!listFolder(request, look, listing)) return failFind(ERROR_ACCESS_DENIED);
        rememberListedFolder(request.windowsFolder, request.folder, look.info);
    } else if (!listOne(pattern, listing.fixed)) {
        return failFind(GetLastError());
    }
    if (entryCount(listing) == 0) return failFind(ERROR_FILE_NOT_FOUND);

    takeNextEntry(listing, *findData);
    const uintptr_t handle = newHandleValue();
    machine().listings[handle] = std::move(listing);
    return reinterpret_cast<HANDLE>(handle);
}

BOOL FindNextFileA(HANDLE findFile, WIN32_FIND_DATAA* findData) {
    auto& listings = sim::machine().listings;
    const auto it = listings.find(reinterpret_cast<uintptr_t>(findFile));
    if (it == listings.end() || findData == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    sim::Listing& listing = it->second;
    if (listing.next >= sim::entryCount(listing)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    sim::takeNextEntry(listing, *findData);
    return TRUE;
}

BOOL FindClose(HANDLE findFile) {
    if (sim::machine().listings.erase(reinterpret_cast<uintptr_t>(findFile)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
