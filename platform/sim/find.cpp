// Directory listings of the simulated machine: FindFirstFileA and friends.
//
// As on an NTFS volume, entries come back ordered by their upper-case names,
// with "." and ".." first in every folder but a drive's root.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "sim_state.h"

namespace sim {

namespace {

// Longest name a Windows file system stores.
constexpr size_t maxNameLength = 255;

// Characters that cannot appear in a Windows file name; host entries that
// use them have no Windows name and are not listed.
bool isWindowsName(const std::string& name) {
    if (name.empty() || name.size() > maxNameLength) return false;
    for (unsigned char c : name) {
        if (c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
    }
    return true;
}

bool hasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

// The listing entry of a host path, with the attributes looked up once.
WIN32_FIND_DATAA entryFor(const std::string& name, const std::string& host, DWORD attributes) {
    WIN32_FIND_DATAA data{};
    data.dwFileAttributes = attributes;
    struct stat info {};
    if (stat(host.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
        const uint64_t size = static_cast<uint64_t>(info.st_size);
        data.nFileSizeLow = static_cast<DWORD>(size & 0xffffffffu);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    std::memcpy(data.cFileName, name.c_str(), name.size() + 1);
    return data;
}

// Upper-case name order; names that differ only in case (possible on a host
// file system) keep a fixed order, the exact spelling deciding.
void sortByName(std::vector<WIN32_FIND_DATAA>& entries) {
    std::vector<std::pair<std::string, WIN32_FIND_DATAA>> keyed;
    keyed.reserve(entries.size());
    for (const WIN32_FIND_DATAA& entry : entries) keyed.emplace_back(upperCase(entry.cFileName), entry);
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : std::strcmp(a.second.cFileName, b.second.cFileName) < 0;
    });
    for (size_t i = 0; i < entries.size(); ++i) entries[i] = keyed[i].second;
}

std::vector<WIN32_FIND_DATAA> listFolder(const std::string& folder, const std::string& pattern) {
    std::vector<WIN32_FIND_DATAA> entries;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return entries;
    while (dirent* item = readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == ".." || !isWindowsName(name)) continue;
        if (!wildcardMatch(pattern, name)) continue;
        const std::string host = folder + "/" + name;
        const DWORD attributes = attributesOf(host);
        if (attributes == INVALID_FILE_ATTRIBUTES) continue; // a dangling link, a pipe, a device
        entries.push_back(entryFor(name, host, attributes));
    }
    closedir(dir);
    sortByName(entries);
    if (!isDriveRoot(folder)) {
        std::vector<WIN32_FIND_DATAA> dots;
        const DWORD attributes = attributesOf(folder);
        for (const char* dot : {".", ".."}) {
            if (wildcardMatch(pattern, dot)) dots.push_back(entryFor(dot, folder, attributes));
        }
        entries.insert(entries.begin(), dots.begin(), dots.end());
    }
    return entries;
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
    const std::string namePart = pattern.substr(cut + 1);

    std::string folder;
    bool folderExists = false;
    if (!resolvePath(pattern.substr(0, cut + 1), folder, folderExists)) return failFind(GetLastError());
    if (!folderExists || !(attributesOf(folder) & FILE_ATTRIBUTE_DIRECTORY)) {
        return failFind(ERROR_PATH_NOT_FOUND);
    }
    if (namePart.empty()) return failFind(ERROR_FILE_NOT_FOUND);

    Listing listing;
    if (hasWildcard(namePart)) {
        listing.entries = listFolder(folder, namePart);
    } else {
        std::string host;
        bool found = false;
        if (!resolvePath(pattern, host, found)) return failFind(GetLastError());
        const DWORD attributes = found ? attributesOf(host) : INVALID_FILE_ATTRIBUTES;
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            listing.entries.push_back(entryFor(host.substr(host.find_last_of('/') + 1), host, attributes));
        }
    }
    if (listing.entries.empty()) return failFind(ERROR_FILE_NOT_FOUND);

    *findData = listing.entries[0];
    listing.next = 1;
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
    if (listing.next >= listing.entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *findData = listing.entries[listing.next++];
    return TRUE;
}

BOOL FindClose(HANDLE findFile) {
    if (sim::machine().listings.erase(reinterpret_cast<uintptr_t>(findFile)) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
