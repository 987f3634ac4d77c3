// Path resolution and name matching of the simulated machine: Windows paths
// on mapped drives, compared without regard to letter case, and the system's
// wildcard rules.
#include <dirent.h>
#include <sys/stat.h>

#include <cctype>

#include "sim_state.h"

namespace sim {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isDirectory(const std::string& host) {
    struct stat info {};
    return stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& host) {
    struct stat info {};
    return stat(host.c_str(), &info) == 0;
}

// The system drops trailing dots and spaces from a path component.
std::string trimComponent(const std::string& component) {
    if (component == "." || component == "..") return component;
    size_t end = component.size();
    while (end > 0 && (component[end - 1] == '.' || component[end - 1] == ' ')) --end;
    return component.substr(0, end);
}

// Finds the host entry of `folder` that a Windows name denotes: the exact
// spelling first, then any spelling that differs only in letter case.
bool findEntry(const std::string& folder, const std::string& name, std::string& found) {
    if (exists(folder + "/" + name)) {
        found = name;
        return true;
    }
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    const std::string wanted = upperCase(name);
    bool matched = false;
    while (dirent* entry = readdir(dir)) {
        if (upperCase(entry->d_name) == wanted) {
            found = entry->d_name;
            matched = true;
            break;
        }
    }
    closedir(dir);
    return matched;
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

bool fail(DWORD error) {
    SetLastError(error);
    return false;
}

} // namespace

bool resolvePath(const std::string& windowsPath, std::string& host, bool& existsOut) {
    if (windowsPath.size() >= MAX_PATH) return fail(ERROR_FILENAME_EXCED_RANGE);
    if (windowsPath.size() < 2 || windowsPath[1] != ':') return fail(ERROR_PATH_NOT_FOUND);
    const int upper = std::toupper(static_cast<unsigned char>(windowsPath[0]));
    if (upper < 'A' || upper > 'Z') return fail(ERROR_PATH_NOT_FOUND);
    const Drive& drive = machine().drives[upper - 'A'];
    if (drive.hostRoot.empty()) return fail(ERROR_PATH_NOT_FOUND);

    std::vector<std::string> stack; // host names below the root
    const std::vector<std::string> parts = splitComponents(windowsPath.substr(2));
    existsOut = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string part = trimComponent(parts[i]);
        const bool last = i + 1 == parts.size();
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!stack.empty()) stack.pop_back();
            continue;
        }
        std::string folder = drive.hostRoot;
        for (const std::string& name : stack) folder += "/" + name;
        if (!isDirectory(folder)) return fail(ERROR_PATH_NOT_FOUND);
        std::string found;
        if (findEntry(folder, part, found)) {
            stack.push_back(found);
        } else if (last) {
            stack.push_back(part);
            existsOut = false;
        } else {
            return fail(ERROR_PATH_NOT_FOUND);
        }
    }
    host = drive.hostRoot;
    for (const std::string& name : stack) host += "/" + name;
    return true;
}

// '*' stands for any run of characters and '?' for any one; letters match
// whatever their case. A pattern ending in ".*" also matches the name
// without any extension, so "abc.*" lists "abc" as well, and "*.*" lists
// everything.
bool wildcardMatch(const std::string& pattern, const std::string& name) {
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
        wildcardMatch(pattern.substr(0, pattern.size() - 2), name)) {
        return true;
    }
    size_t p = 0;
    size_t n = 0;
    size_t starP = std::string::npos;
    size_t starN = 0;
    auto fold = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

DWORD attributesOf(const std::string& host) {
    struct stat info {};
    // Pipes, sockets and devices have no Windows counterpart: they are not
    // there for the machine, and so can never block a reader.
    if (stat(host.c_str(), &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) {
        return INVALID_FILE_ATTRIBUTES;
    }
    const Machine& m = machine();
    const auto stored = m.attributeBits.find(host);
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode)) {
        attributes = FILE_ATTRIBUTE_DIRECTORY;
        if (stored != m.attributeBits.end()) attributes |= stored->second;
        return attributes;
    }
    attributes = stored != m.attributeBits.end() ? stored->second : FILE_ATTRIBUTE_ARCHIVE;
    if ((info.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

} // namespace sim
