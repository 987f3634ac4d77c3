// The short names of the simulated machine; see short_names.h.
#include "short_names.h"

#include <sys/xattr.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "names.h"
#include "sim_state.h"

namespace sim {

namespace {

constexpr size_t maxBase = 8;
constexpr size_t maxExtension = 3;
constexpr size_t generatedBase = 6;
constexpr char numberMark = '~';
// Where ntfs-3g shows the short name an NTFS volume holds for an entry.
const char* const volumeShortNameAttribute = "system.ntfs_dos_name";
constexpr size_t longestShortName = 12; // eight, a dot and three
constexpr char replacement = '_';
const char* const refusedInShortNames = "\"*+,/:;<=>?[\\]|";

bool isShortNameCharacter(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte > ' ' && byte < 0x7F && std::strchr(refusedInShortNames, c) == nullptr && c != '.';
}

bool allShortNameCharacters(const std::string& text) {
    return std::all_of(text.begin(), text.end(), isShortNameCharacter);
}

// Upper case, spaces and dots dropped, anything else an 8.3 name cannot
// hold made '_'.
std::string shortNameCharacters(const std::string& text) {
    std::string result;
    for (char c : upperCase(text)) {
        if (c == ' ' || c == '.') continue;
        result += isShortNameCharacter(c) ? c : replacement;
    }
    return result;
}

std::string generated(const std::string& base, const std::string& extension, unsigned number) {
    const std::string suffix = numberMark + std::to_string(number);
    std::string name = base.substr(0, std::min(generatedBase, maxBase - suffix.size())) + suffix;
    return extension.empty() ? name : name + "." + extension;
}

// The base and extension a short name is made from: leading dots do not
// start an extension.
void splitForShortName(const std::string& name, std::string& base, std::string& extension) {
    const size_t start = name.find_first_not_of('.');
    const std::string rest = start == std::string::npos ? std::string() : name.substr(start);
    const size_t dot = rest.find_last_of('.');
    base = shortNameCharacters(rest.substr(0, dot));
    extension = dot == std::string::npos ? std::string() : shortNameCharacters(rest.substr(dot + 1));
    if (base.empty()) base = std::string(1, replacement);
    extension = extension.substr(0, maxExtension);
}

// Listing order: upper-case presented names, the exact spelling deciding
// between names that differ only in case.
std::vector<size_t> listingOrder(const std::vector<std::string>& names) {
    std::vector<size_t> order(names.size());
    std::vector<std::string> keys(names.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
        keys[i] = upperCase(names[i]);
    }
    std::sort(order.begin(), order.end(), [&names, &keys](size_t a, size_t b) {
        return keys[a] != keys[b] ? keys[a] < keys[b] : names[a] < names[b];
    });
    return order;
}

std::vector<std::string> presented(const std::vector<std::string>& hostNames) {
    std::vector<std::string> shown;
    shown.reserve(hostNames.size());
    for (const std::string& name : hostNames) shown.push_back(presentedName(name));
    return shown;
}

} // namespace

bool isShortName(const std::string& name) {
    if (name == "." || name == "..") return true;
    const size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (base.empty() || base.size() > maxBase || extension.size() > maxExtension) return false;
    if (dot != std::string::npos && extension.empty()) return false; // a trailing dot
    return allShortNameCharacters(base) && allShortNameCharacters(extension);
}

std::vector<std::string> shortNamesOf(const std::vector<std::string>& presentedNames) {
    std::vector<std::string> result(presentedNames.size());
    std::set<std::string> taken;
    for (size_t i = 0; i < presentedNames.size(); ++i) {
        if (isShortName(presentedNames[i])) {
            result[i] = presentedNames[i];
            taken.insert(upperCase(presentedNames[i]));
        }
    }
    for (size_t i : listingOrder(presentedNames)) {
        if (!result[i].empty()) continue;
        std::string base;
        std::string extension;
        splitForShortName(presentedNames[i], base, extension);
        unsigned number = 1;
        while (taken.count(generated(base, extension, number)) != 0) ++number;
        result[i] = generated(base, extension, number);
        taken.insert(result[i]);
    }
    return result;
}

std::string shortNameIn(const std::vector<std::string>& hostNames, const std::string& hostName) {
    const auto at = std::find(hostNames.begin(), hostNames.end(), hostName);
    if (at == hostNames.end()) return presentedName(hostName);
    return shortNamesOf(presented(hostNames))[static_cast<size_t>(at - hostNames.begin())];
}

bool volumeShortName(const std::string& hostPath, std::string& shortName) {
    char stored[longestShortName + 1] = {};
    const ssize_t length = lgetxattr(hostPath.c_str(), volumeShortNameAttribute, stored, longestShortName);
    if (length <= 0 || length > static_cast<ssize_t>(longestShortName)) return false;
    const std::string name(stored, static_cast<size_t>(length));
    if (!isShortName(name)) return false;
    shortName = upperCase(name);
    return true;
}

bool findByVolumeShortName(const std::string& hostFolder, const std::vector<std::string>& hostNames,
                           const std::string& wanted, std::string& hostName) {
    if (wanted.find(numberMark) == std::string::npos) return false;
    const std::string key = upperCase(wanted);
    std::string shortName;
    for (const std::string& name : hostNames) {
        if (volumeShortName(hostFolder + "/" + name, shortName) && shortName == key) {
            hostName = name;
            return true;
        }
    }
    return false;
}

bool findByShortName(const std::vector<std::string>& hostNames, const std::string& wanted, std::string& hostName) {
    if (wanted.find(numberMark) == std::string::npos) return false;
    const std::vector<std::string> shown = presented(hostNames);
    const std::vector<std::string> shortNames = shortNamesOf(shown);
    const std::string key = upperCase(wanted);
    for (size_t i = 0; i < hostNames.size(); ++i) {
        if (shortNames[i] != shown[i] && shortNames[i] == key) {
            hostName = hostNames[i];
            return true;
        }
    }
    return false;
}

namespace {

bool isPathSeparator(char c) { return c == '\\' || c == '/'; }

bool failShortPath(DWORD error) {
    SetLastError(error);
    return false;
}

// The short form of one path component that exists: `prefix` is the path
// up to it, as given.
bool shortComponent(const std::string& prefix, const std::string& component, std::string& shortName) {
    if (component.empty() || component == "." || component == "..") {
        shortName = component;
        return true;
    }
    std::string host;
    if (!resolveExisting((prefix + component).c_str(), host)) return false;
    const size_t cut = host.find_last_of('/');
    std::vector<std::string> names;
    if (!readFolder(host.substr(0, cut), names)) return failShortPath(ERROR_ACCESS_DENIED);
    if (!volumeShortName(host, shortName)) shortName = shortNameIn(names, host.substr(cut + 1));
    return true;
}

// Each component of an existing path replaced by its short form; the drive
// and the separators stay as given.
bool shortPathOf(const std::string& path, std::string& result) {
    std::string host;
    if (!resolveExisting(path.c_str(), host)) return false;
    result = path.substr(0, 2);
    size_t at = 2;
    while (at < path.size()) {
        if (isPathSeparator(path[at])) {
            result += path[at++];
            continue;
        }
        size_t end = at;
        while (end < path.size() && !isPathSeparator(path[end])) ++end;
        std::string shortName;
        if (!shortComponent(path.substr(0, at), path.substr(at, end - at), shortName)) return false;
        result += shortName;
        at = end;
    }
    return true;
}

} // namespace

} // namespace sim

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD bufferLength) {
    if (longPath == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string result;
    if (!sim::shortPathOf(longPath, result)) return 0;
    const DWORD length = static_cast<DWORD>(result.size());
    if (shortPath == nullptr || bufferLength <= length) return length + 1;
    std::memcpy(shortPath, result.c_str(), result.size() + 1);
    return length;
}
