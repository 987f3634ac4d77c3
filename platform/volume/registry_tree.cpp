// The registry tree of the simulated machine; see registry_tree.h.
#include "registry_tree.h"

#include <algorithm>

#include "hive_file.h"
#include "hive_text.h"
#include "sim_state.h"

namespace sim {

namespace {

constexpr char keySeparator = '\\';

bool sameName(const std::string& a, const std::string& b) { return upperCase(a) == upperCase(b); }

// Only what was read of a key can have open handles.
void markDeleted(RegKey& key) {
    key.deleted = true;
    for (const KeyPtr& subkey : key.subkeys) markDeleted(*subkey);
}

} // namespace

std::vector<std::string> splitKeyPath(const std::string& path) {
    std::vector<std::string> names;
    std::string current;
    for (char c : path) {
        if (c != keySeparator) {
            current += c;
        } else if (!current.empty()) {
            names.push_back(current);
            current.clear();
        }
    }
    if (!current.empty()) names.push_back(current);
    return names;
}

std::vector<KeyPtr>& subkeysOf(RegKey& key) {
    if (key.unread) readFromHive(key);
    return key.subkeys;
}

std::vector<RegValue>& valuesOf(RegKey& key) {
    if (key.unread) readFromHive(key);
    return key.values;
}

KeyPtr findSubkey(RegKey& key, const std::string& name) {
    for (const KeyPtr& subkey : subkeysOf(key)) {
        if (sameName(subkey->name, name)) return subkey;
    }
    return nullptr;
}

KeyPtr addSubkey(const KeyPtr& parent, const std::string& name) {
    size_t node = 0;
    if (parent->hive != nullptr && addHiveKey(*parent, name, node) != ERROR_SUCCESS) return nullptr;
    auto key = std::make_shared<RegKey>();
    key->name = name;
    key->parent = parent;
    key->hive = parent->hive;
    key->node = node;
    const std::string order = upperCase(name);
    auto& subkeys = subkeysOf(*parent);
    const auto at = std::lower_bound(subkeys.begin(), subkeys.end(), order,
                                     [](const KeyPtr& existing, const std::string& wanted) {
                                         return upperCase(existing->name) < wanted;
                                     });
    subkeys.insert(at, key);
    return key;
}

RegValue* findValue(RegKey& key, const std::string& name) {
    for (RegValue& value : valuesOf(key)) {
        if (sameName(value.name, name)) return &value;
    }
    return nullptr;
}

LONG setValue(RegKey& key, const std::string& name, DWORD type, std::string data) {
    if (key.hive != nullptr) return setStoredValue(key, name, type, storedData(type, data));
    RegValue* existing = findValue(key, name);
    if (existing == nullptr) {
        key.values.push_back(RegValue{name, type, std::move(data), 0, std::string()});
    } else {
        existing->type = type;
        existing->data = std::move(data);
    }
    return ERROR_SUCCESS;
}

LONG setStoredValue(RegKey& key, const std::string& name, DWORD type, std::string stored) {
    RegValue* existing = findValue(key, name);
    if (existing != nullptr && existing->type == type && existing->stored == stored) return ERROR_SUCCESS;
    RegValue value{existing != nullptr ? existing->name : name, type, codePageData(type, stored), 0,
                   std::move(stored)};
    const LONG written = setHiveValue(key, value.name, type, value.stored, value.cell);
    if (written != ERROR_SUCCESS) return written;
    if (existing != nullptr) {
        *existing = std::move(value);
    } else {
        key.values.push_back(std::move(value));
    }
    return ERROR_SUCCESS;
}

LONG deleteValue(RegKey& key, const RegValue& value) {
    if (key.hive != nullptr) {
        const LONG deleted = deleteHiveValue(key, value);
        if (deleted != ERROR_SUCCESS) return deleted;
    }
    auto& values = key.values;
    values.erase(values.begin() + (&value - values.data()));
    return ERROR_SUCCESS;
}

LONG walkKeyPath(const KeyPtr& from, const char* path, bool create, KeyPtr& found, bool& created) {
    created = false;
    found = from;
    if (path == nullptr) return ERROR_SUCCESS;
    if (path[0] == keySeparator) return ERROR_BAD_PATHNAME;
    for (const std::string& name : splitKeyPath(path)) {
        KeyPtr next = findSubkey(*found, name);
        created = next == nullptr;
        if (created) {
            if (!create) return ERROR_FILE_NOT_FOUND;
            next = addSubkey(found, name);
            if (next == nullptr) return ERROR_ACCESS_DENIED;
        }
        if (next->link != nullptr) next = next->link;
        if (next->deleted) return ERROR_FILE_NOT_FOUND; // a link to a key that went
        found = next;
    }
    return ERROR_SUCCESS;
}

LONG removeKey(const KeyPtr& key) {
    const KeyPtr parent = key->parent.lock();
    if (parent == nullptr || key->hiveRoot) return ERROR_ACCESS_DENIED;
    if (key->hive != nullptr) {
        const LONG deleted = deleteHiveKey(*parent, *key);
        if (deleted != ERROR_SUCCESS) return deleted;
    }
    unloadKey(key);
    return ERROR_SUCCESS;
}

void unloadKey(const KeyPtr& key) {
    const KeyPtr parent = key->parent.lock();
    if (parent != nullptr) {
        auto& siblings = parent->subkeys;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), key), siblings.end());
    }
    markDeleted(*key);
}

} // namespace sim
