// Bringing the hive library's copy of a hive up to date with the keys the
// registry read from it: what was read and not changed is left as it is in
// the copy, byte for byte; what was never read cannot have changed.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "hive_file.h"
#include "hive_text.h"
#include "hive_write.h"

namespace sim {

namespace {

// Values are only ever changed in place, appended or taken out: with every
// stored one still there and unchanged, nothing happened to them.
bool valuesChanged(const RegKey& key) {
    if (key.values.size() != key.storedValues) return true;
    for (const RegValue& value : key.values) {
        if (value.stored == nullptr) return true;
    }
    return false;
}

std::string failure(const char* what, const std::string& name) {
    const int error = errno;
    return std::string(what) + " " + name + " (" + (error != 0 ? std::strerror(error) : "no reason given") + ")";
}

// The values of a key as the file is to hold them, in their order: the
// stored form of each unchanged one, the converted form of the others.
bool writeValues(hive_h* handle, const RegKey& key, std::string& problem) {
    std::vector<StoredValue> forms;
    forms.reserve(key.values.size());
    for (const RegValue& value : key.values) {
        forms.push_back(value.stored != nullptr ? *value.stored
                                                : StoredValue{hiveName(value.name), value.type,
                                                              storedData(value.type, value.data)});
    }
    std::vector<hive_set_value> settings(forms.size());
    for (size_t i = 0; i < forms.size(); ++i) {
        settings[i].key = &forms[i].name[0];
        setTypeNumber(settings[i].t, forms[i].type);
        settings[i].len = forms[i].data.size();
        settings[i].value = &forms[i].data[0];
    }
    errno = 0;
    if (hivex_node_set_values(handle, key.node, settings.size(), settings.data(), 0) == 0) return true;
    problem = failure("cannot set the values of the key", key.name);
    return false;
}

bool addKey(hive_h* handle, hive_node_h parent, RegKey& key, std::string& problem);

bool addSubkeys(hive_h* handle, RegKey& key, std::string& problem) {
    for (const KeyPtr& subkey : key.subkeys) {
        if (subkey->link == nullptr && !addKey(handle, key.node, *subkey, problem)) return false;
    }
    return true;
}

bool addKey(hive_h* handle, hive_node_h parent, RegKey& key, std::string& problem) {
    errno = 0;
    key.node = hivex_node_add_child(handle, parent, hiveName(key.name).c_str());
    if (key.node == 0) {
        problem = failure("cannot add the key", key.name);
        return false;
    }
    if (!key.values.empty() && !writeValues(handle, key, problem)) return false;
    return addSubkeys(handle, key, problem);
}

// The nodes below a key that the registry no longer holds.
bool deleteRemovedSubkeys(hive_h* handle, const RegKey& key, std::string& problem) {
    std::set<hive_node_h> kept;
    for (const KeyPtr& subkey : key.subkeys) {
        if (subkey->node != 0) kept.insert(subkey->node);
    }
    errno = 0;
    hive_node_h* children = hivex_node_children(handle, key.node);
    if (children == nullptr) {
        problem = failure("cannot read the subkeys of", key.name);
        return false;
    }
    std::vector<hive_node_h> removed;
    for (const hive_node_h* child = children; *child != 0; ++child) {
        if (kept.count(*child) == 0) removed.push_back(*child);
    }
    free(children);
    for (hive_node_h node : removed) {
        errno = 0;
        if (hivex_node_delete_child(handle, node) != 0) {
            problem = failure("cannot delete a subkey of", key.name);
            return false;
        }
    }
    return true;
}

} // namespace

bool keyChanged(const RegKey& key) {
    if (key.unread) return false;
    size_t kept = 0;
    for (const KeyPtr& subkey : key.subkeys) {
        if (subkey->link != nullptr) continue; // made at start, never stored
        if (subkey->node == 0 || keyChanged(*subkey)) return true;
        ++kept;
    }
    return kept != key.storedSubkeys || valuesChanged(key);
}

bool writeKey(hive_h* handle, RegKey& key, std::string& problem) {
    if (key.unread) return true;
    if (!deleteRemovedSubkeys(handle, key, problem)) return false;
    for (const KeyPtr& subkey : key.subkeys) {
        if (subkey->link != nullptr) continue;
        const bool written = subkey->node != 0 ? writeKey(handle, *subkey, problem)
                                               : addKey(handle, key.node, *subkey, problem);
        if (!written) return false;
    }
    return !valuesChanged(key) || writeValues(handle, key, problem);
}

} // namespace sim
