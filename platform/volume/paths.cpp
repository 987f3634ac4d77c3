// Path resolution and name matching of the simulated machine: Windows paths
// on mapped drives, the exact host name first and then the system's own
// leniency (trailing dots and spaces, letter case, short names), and its
// wildcard rules.
#include <sys/stat.h>

#include <cctype>
#include <map>

#include "names.h"
#include "short_names.h"
#include "sim_state.h"

namespace sim {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isDirectory(const std::string& host) {
    struct stat info {};
    return stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The system drops trailing dots and spaces from a path component.
std::string trimComponent(const std::string& component) {
    size_t end = component.size();
    while (end > 0 && (component[end - 1] == '.' || component[end - 1] == ' ')) --end;
    return component.substr(0, end);
}

// The names of the host folders read during one resolution, so that none
// is read twice.
using FoldersRead = std::map<std::string, std::vector<std::string>>;

const std::vector<std::string>& namesIn(const std::string& folder, FoldersRead& read) {
    auto it = read.find(folder);
    if (it == read.end()) {
        std::vector<std::string> names;
        readFolder(folder, names); // one that cannot be read has no names
        it = read.emplace(folder, std::move(names)).first;
    }
    return it->second;
}

// The host name in `folder` whose presented name is `wanted` but for letter
// case; of several, the one a listing gives first.
bool findIgnoringCase(const std::string& folder, const std::string& wanted, FoldersRead& read, std::string& found) {
    const std::string key = upperCase(wanted);
    std::string firstShown;
    bool matched = false;
    for (const std::string& name : namesIn(folder, read)) {
        const std::string shown = presentedName(name);
        if (upperCase(shown) != key || (matched && shown >= firstShown)) continue;
        found = name;
        firstShown = shown;
        matched = true;
    }
    return matched;
}

enum class Lookup { found, missing, skip };

// Finds the host entry of `folder` that one Windows path component denotes:
// the host name a presented name stands for; else the exact spelling; else
// the spelling without trailing dots and spaces; else that one in any letter
// case; else the name whose short name it is. Only the last two steps read
// the folder. `name` is the host name found,
// or the one to create when nothing is.
Lookup lookUp(const std::string& folder, const std::string& part, FoldersRead& read, std::string& name,
              HostEntry& entry) {
    std::string decoded;
    if (part.find('<') != std::string::npos && decodePresentedName(part, decoded)) {
        name = decoded;
        entry = examineEntry(folder + "/" + name);
        return entry.kind == EntryKind::missing ? Lookup::missing : Lookup::found;
    }
    name = part;
    entry = examineEntry(folder + "/" + name);
    if (entry.kind != EntryKind::missing) return Lookup::found;
    const std::string trimmed = trimComponent(part);
    if (trimmed.empty()) return Lookup::skip; // "..." and the like name the folder itself
    if (trimmed != part) {
        entry = examineEntry(folder + "/" + trimmed);
        if (entry.kind != EntryKind::missing) {
            name = trimmed;
            return Lookup::found;
        }
    }
    // The volume's own short names come before generated ones.
    if (findIgnoringCase(folder, trimmed, read, name) ||
        findByVolumeShortName(folder, namesIn(folder, read), trimmed, name) ||
        findByShortName(namesIn(folder, read), trimmed, name)) {
        entry = examineEntry(folder + "/" + name);
        if (entry.kind != EntryKind::missing) return Lookup::found;
    }
    name = part;
    return Lookup::missing;
}

bool isFollowable(const HostEntry& entry) {
    return entry.kind != EntryKind::linkOut && entry.kind != EntryKind::linkNowhere &&
           entry.kind != EntryKind::storedAway;
}

std::vector<std::string> splitComponents(const std::string& rest) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : rest) {
        if (isSeparator(c)) {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(current);
    return parts;
}

std::string joined(const std::string& root, const std::vector<std::string>& names) {
    std::string path = root;
    for (const std::string& name : names) path += "/" + name;
    return path;
}

bool fail(DWORD error) {
    SetLastError(error);
    return false;
}

const Drive* driveOf(const std::string& windowsPath) {
    if (windowsPath.size() < 2 || windowsPath[1] != ':') return nullptr;
    const int upper = std::toupper(static_cast<unsigned char>(windowsPath[0]));
    if (upper < 'A' || upper > 'Z') return nullptr;
    const Drive& drive = machine().drives[upper - 'A'];
    return drive.hostRoot.empty() ? nullptr : &drive;
}

} // namespace

bool resolvePath(const std::string& windowsPath, std::string& host, bool& existsOut) {
    if (windowsPath.size() >= MAX_PATH) return fail(ERROR_FILENAME_EXCED_RANGE);
    const Drive* drive = driveOf(windowsPath);
    if (drive == nullptr) return fail(ERROR_PATH_NOT_FOUND);

    std::vector<std::string> stack; // host names below the root
    const std::vector<std::string> parts = splitComponents(windowsPath.substr(2));
    FoldersRead read;
    existsOut = true;
    bool inFolder = false; // the last component looked up was found to be a folder
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!stack.empty()) stack.pop_back();
            inFolder = false;
            continue;
        }
        const std::string folder = joined(drive->hostRoot, stack);
        if (!inFolder && !isDirectory(folder)) return fail(ERROR_PATH_NOT_FOUND);
        std::string name;
        HostEntry entry;
        const Lookup result = lookUp(folder, part, read, name, entry);
        if (result == Lookup::skip) {
            inFolder = true;
            continue;
        }
        if (result == Lookup::missing && i + 1 != parts.size()) return fail(ERROR_PATH_NOT_FOUND);
        if (result == Lookup::found && !isFollowable(entry)) return fail(ERROR_ACCESS_DENIED);
        existsOut = result == Lookup::found;
        inFolder = existsOut && entry.kind == EntryKind::folder;
        stack.push_back(name);
    }
    host = joined(drive->hostRoot, stack);
    return true;
}

bool resolveExisting(LPCSTR path, std::string& host) {
    bool found = false;
    if (path == nullptr) return fail(ERROR_INVALID_PARAMETER);
    if (!resolvePath(path, host, found)) return false;
    if (!found) SetLastError(ERROR_FILE_NOT_FOUND);
    return found;
}

namespace {

// The first patternLength characters of pattern against the whole name.
bool matchesPattern(const std::string& pattern, size_t patternLength, const std::string& name) {
    size_t p = 0;
    size_t n = 0;
    size_t starP = std::string::npos;
    size_t starN = 0;
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    while (n < name.size()) {
        if (p < patternLength && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < patternLength && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == '*') ++p;
    return p == patternLength;
}

} // namespace

// '*' stands for any run of characters and '?' for any one; letters match
// whatever their case. A pattern ending in ".*" also matches the name
// without any extension, so "abc.*" lists "abc" as well, and "*.*" lists
// everything.
bool wildcardMatch(const std::string& pattern, const std::string& name) {
    // What nearly every listing asks: "*" or "*.*".
    const bool star = !pattern.empty() && pattern[0] == '*';
    if (star && (pattern.size() == 1 || (pattern.size() == 3 && pattern[1] == '.' && pattern[2] == '*'))) return true;
    // The pattern, and the pattern less each ".*" it ends in, one by one,
    // the shortest first.
    constexpr size_t anyExtensionLength = 2;
    size_t shortest = pattern.size();
    while (shortest >= anyExtensionLength &&
           pattern.compare(shortest - anyExtensionLength, anyExtensionLength, ".*") == 0) {
        shortest -= anyExtensionLength;
    }
    for (size_t length = shortest; length <= pattern.size(); length += anyExtensionLength) {
        if (matchesPattern(pattern, length, name)) return true;
    }
    return false;
}

} // namespace sim
