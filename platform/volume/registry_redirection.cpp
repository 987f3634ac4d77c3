// The two registry views of the simulated machine.
//
// The machine is a 64-bit system, since the program it runs (the Linux one)
// is a 64-bit program. Such a system keeps a part of its machine's Software
// key for its 32-bit programs, under Software\Wow6432Node: a key under
// Software opened with KEY_WOW64_32KEY is that key there, as the system's
// redirection makes it; with KEY_WOW64_64KEY, or with neither flag, it is
// the key itself. The 9x family has no views and ignores the flags, as it
// ignores the whole access mask. (Windows 7 and later share a few keys under
// Software between the views; the program opens none of them, and the
// machine redirects them all.)
#include "sim_state.h"

namespace sim {

namespace {

const char* const softwareName = "Software";
const char* const redirectionName = "Wow6432Node";

bool sameName(const std::string& a, const std::string& b) { return upperCase(a) == upperCase(b); }

// The names of the keys from below HKEY_LOCAL_MACHINE down to key; false
// when key is not under HKEY_LOCAL_MACHINE.
bool namesUnderMachine(const KeyPtr& key, std::vector<std::string>& names) {
    KeyPtr at = key;
    for (KeyPtr parent = at->parent.lock(); parent != nullptr; parent = at->parent.lock()) {
        names.insert(names.begin(), at->name);
        at = parent;
    }
    return at == machine().registry.localMachine;
}

// Software and what is under it, but for what already is in the 32-bit view.
bool redirected(const std::vector<std::string>& names) {
    return !names.empty() && sameName(names[0], softwareName) &&
           (names.size() < 2 || !sameName(names[1], redirectionName));
}

std::string joinedPath(const std::vector<std::string>& names) {
    std::string path;
    for (const std::string& name : names) path += (path.empty() ? "" : "\\") + name;
    return path;
}

} // namespace

LONG walkKeyPathInView(const KeyPtr& from, const char* path, REGSAM desired, bool create, KeyPtr& found,
                       bool& created) {
    // A path the walk refuses is refused the same in either view.
    const bool badPath = path != nullptr && path[0] == '\\';
    std::vector<std::string> names;
    if ((desired & KEY_WOW64_32KEY) == 0 || isNineX() || badPath || !namesUnderMachine(from, names)) {
        return walkKeyPath(from, path, create, found, created);
    }
    if (path != nullptr) {
        for (const std::string& name : splitKeyPath(path)) names.push_back(name);
    }
    if (!redirected(names)) return walkKeyPath(from, path, create, found, created);
    names.insert(names.begin() + 1, redirectionName);
    return walkKeyPath(machine().registry.localMachine, joinedPath(names).c_str(), create, found, created);
}

} // namespace sim
