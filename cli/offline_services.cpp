// Offline removal of a detected file's service registrations; see
// offline_services.h.
#include "offline_services.h"

#include <vector>

#include "change_journal.h"
#include "registry_ops.h"
#include "result_lines.h"
#include "text_util.h"
#include "win32api.h"

namespace {

const char* const systemKey = "SYSTEM";
const char* const controlSetPrefix = "ControlSet";
constexpr size_t controlSetDigits = 3; // ControlSet001
const char* const servicesPart = "\\Services";
const char* const imagePathValue = "ImagePath";
const char* const familyName = "W32/Karvex.Trojan";
constexpr size_t deepestServiceTree = 16;

bool isControlSetName(const std::string& name) {
    const std::string prefix = controlSetPrefix;
    if (name.size() != prefix.size() + controlSetDigits || !sameLettersNoCase(name.c_str(), prefix.c_str(), prefix.size()))
        return false;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
    }
    return true;
}

std::vector<std::string> subkeysOf(const std::string& path) {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    subkeyNames(key, names); // what was listed before a failure is still looked at
    RegCloseKey(key);
    return names;
}

// The keys under path first, then path: the NT family deletes no key that
// still has subkeys.
bool deleteTree(const std::string& path, size_t depth) {
    if (depth > deepestServiceTree) return false;
    for (const std::string& name : subkeysOf(path)) {
        if (!deleteTree(path + "\\" + name, depth + 1)) return false;
    }
    return deleteMachineKey(path.c_str());
}

bool keyExists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The service's key with every key under it. The journal is told of the
// tree as it was, each key before the keys under it, so that an undo file
// made from it recreates parents first; of a tree that was not deleted
// whole, the keys that did go. With a journal, a tree that cannot be copied
// or recorded stays whole.
bool deleteService(const std::string& path) {
    const ChangeJournal* journal = changeJournal;
    std::vector<RegistryKeyCopy> tree;
    if (journal != nullptr && (!registryRemovalAllowed() || !copyRegistryKey(HKEY_LOCAL_MACHINE, path.c_str(), tree))) {
        return false;
    }
    changeJournal = nullptr;
    const bool deleted = deleteTree(path, 0);
    changeJournal = journal;
    if (journal == nullptr) return deleted;
    std::vector<RegistryKeyCopy> gone;
    for (const RegistryKeyCopy& key : tree) {
        if (!keyExists(key.path)) gone.push_back(key);
    }
    if (!gone.empty()) journal->keyRemoved(HKEY_LOCAL_MACHINE, gone);
    return deleted;
}

bool isEnd(char c) { return c == ' ' || c == '"' || c == '\t' || c == ','; }

// The ways an ImagePath names a file in the Windows folder: its full path,
// from the system root in the loader's and the environment's spellings, or
// relative to the root, as drivers are named.
std::vector<std::string> spellingsOf(const std::string& path) {
    std::vector<std::string> spellings{path};
    char folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder || path.size() <= length + 1 ||
        !sameLettersNoCase(path.c_str(), folder, length) || path[length] != '\\')
        return spellings;
    const std::string rest = path.substr(length + 1);
    for (const char* root : {"\\SystemRoot\\", "%SystemRoot%\\", "%windir%\\", ""}) spellings.push_back(root + rest);
    return spellings;
}

} // namespace

bool imageRunsFile(const std::string& imagePath, const std::string& path) {
    size_t at = 0;
    if (at < imagePath.size() && imagePath[at] == '"') ++at;
    const std::string devicePrefix = "\\??\\";
    if (imagePath.compare(at, devicePrefix.size(), devicePrefix) == 0) at += devicePrefix.size();
    for (const std::string& spelling : spellingsOf(path)) {
        const size_t after = at + spelling.size();
        if (after <= imagePath.size() && sameLettersNoCase(imagePath.c_str() + at, spelling.c_str(), spelling.size()) &&
            (after == imagePath.size() || isEnd(imagePath[after])))
            return true;
    }
    return false;
}

void removeServicesOf(const char* path) {
    for (const std::string& controlSet : subkeysOf(systemKey)) {
        if (!isControlSetName(controlSet)) continue;
        const std::string services = std::string(systemKey) + "\\" + controlSet + servicesPart;
        for (const std::string& name : subkeysOf(services)) {
            const std::string service = services + "\\" + name;
            std::vector<char> image;
            if (!readRegValue(HKEY_LOCAL_MACHINE, service.c_str(), imagePathValue, image) ||
                !imageRunsFile(image.data(), path))
                continue;
            if (deleteService(service)) reportLine(lineRegistryRemoved, familyName);
        }
    }
}
