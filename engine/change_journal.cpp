// Copies of what the scan deletes from the registry, for the change journal.
#include "change_journal.h"

#include <cstring>

#include "text_util.h"

const ChangeJournal* changeJournal = nullptr;

namespace {

// Bounds on what one copy holds: a key tree deeper or wider than this is no
// trace of the family's, and is not copied (nor is the copy trusted).
constexpr DWORD largestCopiedValue = 1u << 20;
constexpr size_t deepestCopiedTree = 32;
constexpr size_t mostCopiedKeys = 4096;
constexpr DWORD longestKeyName = 255;    // the registry's own limit
constexpr DWORD longestValueName = 16383; // likewise

// The name of the subkey of parent that equals name but for letter case.
bool spelledName(HKEY parent, const std::string& name, std::string& spelled) {
    char found[longestKeyName + 1];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof found;
        const LONG status = RegEnumKeyExA(parent, index, found, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) return false;
        if (sameTextNoCase(found, name.c_str())) {
            spelled = found;
            return true;
        }
    }
}

// path with its last name as the registry spells it, when it can be read.
std::string spelledPath(HKEY root, const std::string& path) {
    const size_t cut = path.rfind('\\');
    if (cut == std::string::npos) return path;
    HKEY parent;
    if (RegOpenKeyExA(root, path.substr(0, cut).c_str(), 0, KEY_READ, &parent) != ERROR_SUCCESS) return path;
    std::string spelled;
    const bool found = spelledName(parent, path.substr(cut + 1), spelled);
    RegCloseKey(parent);
    return found ? path.substr(0, cut + 1) + spelled : path;
}

bool copyValues(HKEY key, RegistryKeyCopy& copy) {
    static char name[longestValueName + 1];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        const LONG status = RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        RegistryValueCopy value;
        if (status != ERROR_SUCCESS || !copyRegistryValue(key, name, value)) return false;
        copy.values.push_back(value);
    }
}

bool copyTree(HKEY root, const std::string& path, size_t depth, std::vector<RegistryKeyCopy>& tree) {
    if (depth > deepestCopiedTree || tree.size() >= mostCopiedKeys) return false;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    tree.push_back(RegistryKeyCopy{path, {}});
    std::vector<std::string> names;
    const bool read = copyValues(key, tree.back()) && subkeyNames(key, names);
    RegCloseKey(key);
    if (!read) return false;
    for (const std::string& name : names) {
        if (!copyTree(root, path + "\\" + name, depth + 1, tree)) return false;
    }
    return true;
}

} // namespace

bool copyRegistryValue(HKEY key, const char* valueName, RegistryValueCopy& copy) {
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
    if (size > largestCopiedValue) return false;
    copy.name = valueName;
    copy.data.assign(size, 0);
    DWORD got = size;
    if (RegQueryValueExA(key, valueName, nullptr, &copy.type, copy.data.data(), &got) != ERROR_SUCCESS || got > size)
        return false;
    copy.data.resize(got);
    return true;
}

bool copyRegistryKey(HKEY root, const char* path, std::vector<RegistryKeyCopy>& tree) {
    tree.clear();
    return copyTree(root, spelledPath(root, path), 0, tree);
}

bool subkeyNames(HKEY key, std::vector<std::string>& names) {
    char name[longestKeyName + 1];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        const LONG status = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        if (status != ERROR_SUCCESS) return false;
        names.push_back(name);
    }
}

bool registryRemovalAllowed() {
    return changeJournal == nullptr || changeJournal->recordWhole == nullptr || changeJournal->recordWhole();
}

bool isFileLine(ResultLine line) { return line >= lineRemoved && line <= lineTextLeftAsChosen; }
