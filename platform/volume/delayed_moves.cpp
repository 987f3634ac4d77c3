// The NT family's queue of moves and deletions carried out at the next
// restart: pairs of strings in the REG_MULTI_SZ value
// PendingFileRenameOperations of the Session Manager key, each path in the
// system's own "\??\" form; an empty second string is a deletion, and a
// '!' before the new name lets it replace what is there. Nothing is checked
// or touched on the drives now.
#include "hive_text.h"
#include "sim_state.h"

namespace sim {

namespace {

constexpr DWORD errorInvalidData = 13; // ERROR_INVALID_DATA
const char* const sessionManagerKey = "System\\CurrentControlSet\\Control\\Session Manager";
const char* const pendingValueName = "PendingFileRenameOperations";
const char* const devicePrefix = "\\??\\";
constexpr char replaceMark = '!';

BOOL failWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// The full path as given, with backslashes, without "." and ".." and
// without empty components; false unless it starts with a drive and a
// separator (the machine has no current folder).
bool fullPathOf(const std::string& path, std::string& full) {
    if (path.size() < 3 || path[1] != ':' || !isSeparator(path[2])) return false;
    std::vector<std::string> names;
    std::string current;
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i < path.size() && !isSeparator(path[i])) {
            current += path[i];
            continue;
        }
        if (current == "..") {
            if (!names.empty()) names.pop_back();
        } else if (!current.empty() && current != ".") {
            names.push_back(current);
        }
        current.clear();
    }
    full = path.substr(0, 2);
    for (const std::string& name : names) full += "\\" + name;
    if (names.empty()) full += "\\";
    return true;
}

constexpr size_t unitSize = 2; // of the UTF-16 the NT family stores strings in

// The list with one more entry, its closing zero after it. A list kept in a
// hive file grows by its stored bytes, so that every entry already there
// stays byte for byte, whatever its characters.
std::string grownList(const RegValue* pending, bool inHive, const std::string& entry) {
    if (!inHive) {
        std::string data = pending != nullptr ? pending->data : std::string();
        if (!data.empty() && data.back() == '\0') data.pop_back(); // the list's closing zero comes again below
        return data + entry + '\0';
    }
    std::string stored = pending != nullptr ? pending->stored : std::string();
    const std::string zeroUnit(unitSize, '\0');
    if (stored.size() % unitSize == 0 && stored.size() >= unitSize &&
        stored.compare(stored.size() - unitSize, unitSize, zeroUnit) == 0) {
        stored.resize(stored.size() - unitSize);
    }
    return stored + storedData(REG_MULTI_SZ, entry + '\0');
}

} // namespace

BOOL queueMoveAtRestart(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
    if (!machine().restartQueueWritable) return failWith(ERROR_ACCESS_DENIED);
    std::string source;
    std::string target;
    if (!fullPathOf(existingFileName, source) || (newFileName != nullptr && !fullPathOf(newFileName, target))) {
        return failWith(ERROR_PATH_NOT_FOUND);
    }
    std::string entry = devicePrefix + source + '\0';
    if (newFileName != nullptr) {
        if (flags & MOVEFILE_REPLACE_EXISTING) entry += replaceMark;
        entry += devicePrefix + target;
    }
    entry += '\0';

    KeyPtr key;
    bool created = false;
    const LONG found = walkKeyPath(machine().registry.localMachine, sessionManagerKey, true, key, created);
    if (found != ERROR_SUCCESS) return failWith(static_cast<DWORD>(found));
    const RegValue* pending = findValue(*key, pendingValueName);
    if (pending != nullptr && pending->type != REG_MULTI_SZ) return failWith(errorInvalidData);
    const bool inHive = key->hive != nullptr;
    const std::string list = grownList(pending, inHive, entry);
    const LONG set = inHive ? setStoredValue(*key, pendingValueName, REG_MULTI_SZ, list)
                            : setValue(*key, pendingValueName, REG_MULTI_SZ, list);
    return set == ERROR_SUCCESS ? TRUE : failWith(static_cast<DWORD>(set));
}

void setRestartQueueWritable(bool writable) { machine().restartQueueWritable = writable; }

} // namespace sim
