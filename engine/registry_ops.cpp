// Opening, reading and deleting registry values and keys.
#include "registry_ops.h"

#include "change_journal.h"
#include "registry_views.h"
#include "text_util.h"

namespace {

// Longer data is no start-up command or uninstall string of the family's,
// and is not read at all.
constexpr DWORD largestValueData = 64 * 1024;
constexpr size_t serviceKeySize = 512;

const char* const firstControlSet = "SYSTEM\\ControlSet001\\Services\\";
// The second control set is spelled in capitals for its Enum key only, as
// the family's own clean-up did; the registry does not mind.
const char* const secondControlSetEnum = "SYSTEM\\CONTROLSET002\\SERVICES\\";
const char* const secondControlSet = "SYSTEM\\ControlSet002\\Services\\";
const char* const enumSuffix = "\\Enum";
const char* const securitySuffix = "\\Security";

bool deleteServiceKey(const char* prefix, const char* serviceName, const char* suffix) {
    char path[serviceKeySize] = {};
    if (!copyText(path, sizeof path, prefix) || !appendText(path, sizeof path, serviceName) ||
        !appendText(path, sizeof path, suffix)) {
        return false;
    }
    return deleteMachineKey(path);
}

} // namespace

// With a journal, what cannot be recorded is not removed: the deletion
// fails, and so no result line tells of it.
bool deleteOpenKeyValue(HKEY root, const char* subKey, HKEY key, const char* valueName, REGSAM view) {
    const ChangeJournal* journal = changeJournal;
    RegistryValueCopy copy;
    if (journal != nullptr && (!registryRemovalAllowed() || !copyRegistryValue(key, valueName, copy))) return false;
    if (RegDeleteValueA(key, valueName) != ERROR_SUCCESS) return false;
    // Named where it really was, so that putting it back puts it there.
    if (journal != nullptr) journal->valueRemoved(root, keyPathInView(root, subKey, view).c_str(), copy);
    return true;
}

bool deleteRegValue(HKEY root, const char* subKey, const char* valueName, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return false;
    const bool deleted = deleteOpenKeyValue(root, subKey, key, valueName, view);
    const bool closed = RegCloseKey(key) == ERROR_SUCCESS;
    return deleted && closed;
}

bool readOpenKeyValue(HKEY key, const char* valueName, std::vector<char>& data) {
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
    if (size > largestValueData) return false;
    data.assign(size + 1, '\0'); // the zero after the data
    DWORD got = size;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &got) !=
            ERROR_SUCCESS ||
        got > size) {
        return false; // it grew in between: taken as unreadable
    }
    data[got] = '\0';
    return true;
}

bool readRegValue(HKEY root, const char* subKey, const char* valueName, std::vector<char>& data, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    const bool read = readOpenKeyValue(key, valueName, data);
    const bool closed = RegCloseKey(key) == ERROR_SUCCESS;
    return read && closed;
}

bool deleteMachineKey(const char* subKey) {
    const ChangeJournal* journal = changeJournal;
    std::vector<RegistryKeyCopy> tree;
    if (journal != nullptr && (!registryRemovalAllowed() || !copyRegistryKey(HKEY_LOCAL_MACHINE, subKey, tree))) {
        return false;
    }
    if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, subKey) != ERROR_SUCCESS) return false;
    if (journal != nullptr) journal->keyRemoved(HKEY_LOCAL_MACHINE, tree);
    return true;
}

bool deleteServiceKeys(const char* serviceName) {
    // Every deletion is tried, whatever the others gave.
    const bool results[] = {
        deleteServiceKey(firstControlSet, serviceName, enumSuffix),
        deleteServiceKey(firstControlSet, serviceName, securitySuffix),
        deleteServiceKey(firstControlSet, serviceName, ""),
        deleteServiceKey(secondControlSetEnum, serviceName, enumSuffix),
        deleteServiceKey(secondControlSet, serviceName, securitySuffix),
        deleteServiceKey(secondControlSet, serviceName, ""),
    };
    for (bool deleted : results) {
        if (deleted) return true;
    }
    return false;
}
