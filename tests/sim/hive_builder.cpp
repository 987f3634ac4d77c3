// Hive files for the tests; see hive_builder.h.
#include "hive_builder.h"

#include <hivex.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "empty_hive.h"

namespace hives {

namespace {

const char* const testRootName = "ROOT";

struct FreeWithFree {
    void operator()(void* memory) const { free(memory); }
};
template <typename T> using Owned = std::unique_ptr<T, FreeWithFree>;

std::vector<std::string> namesOf(const std::string& keyPath) {
    std::vector<std::string> names;
    std::string current;
    for (char c : keyPath + "\\") {
        if (c != '\\') {
            current += c;
        } else if (!current.empty()) {
            names.push_back(current);
            current.clear();
        }
    }
    return names;
}

std::string hex(const char* data, size_t length) {
    std::string text;
    char byte[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
        text += byte;
    }
    return text;
}

// A file's value type may be any 32-bit number, which C++ must never read
// through the library's enumeration.
DWORD typeOf(const hive_type& stored) {
    DWORD type = 0;
    std::memcpy(&type, &stored, sizeof type);
    return type;
}

void setType(hive_type& stored, DWORD type) { std::memcpy(&stored, &type, sizeof type); }

void dumpKey(hive_h* handle, hive_node_h node, const std::string& path, std::string& dump) {
    dump += "[" + path + "]\n";
    const Owned<hive_value_h> values(hivex_node_values(handle, node));
    for (const hive_value_h* value = values.get(); value && *value != 0; ++value) {
        const Owned<char> name(hivex_value_key(handle, *value));
        hive_type type;
        setType(type, REG_NONE);
        size_t length = 0;
        const Owned<char> data(hivex_value_value(handle, *value, &type, &length));
        dump += dumpLine(name ? name.get() : "?", typeOf(type), data ? std::string(data.get(), length) : std::string());
    }
    const Owned<hive_node_h> children(hivex_node_children(handle, node));
    for (const hive_node_h* child = children.get(); child && *child != 0; ++child) {
        const Owned<char> name(hivex_node_name(handle, *child));
        dumpKey(handle, *child, path + "\\" + (name ? name.get() : "?"), dump);
    }
}

// The node of a key path in a read-only handle; 0 when it is not there.
hive_node_h findNode(hive_h* handle, const std::string& keyPath) {
    hive_node_h node = hivex_root(handle);
    for (const std::string& name : namesOf(keyPath)) {
        if (node == 0) break;
        node = hivex_node_get_child(handle, node, name.c_str());
    }
    return node;
}

} // namespace

std::string dumpLine(const std::string& name, DWORD type, const std::string& data) {
    return "\"" + name + "\" " + std::to_string(type) + " " + hex(data.data(), data.size()) + "\n";
}

std::string withoutLines(std::string dump, const std::vector<std::string>& lines, bool& missing) {
    missing = false;
    for (const std::string& line : lines) {
        const size_t at = dump.find(line);
        if (at == std::string::npos) {
            missing = true;
        } else {
            dump.erase(at, line.size());
        }
    }
    return dump;
}

std::string utf16(const std::string& latin1) {
    std::string units;
    for (char c : latin1 + '\0') {
        units += c;
        units += '\0';
    }
    return units;
}

HiveBuilder::HiveBuilder(const std::string& hostPath) : path_(hostPath) {
    if (!writeEmptyHive(hostPath, testRootName)) throw std::runtime_error("cannot write an empty hive at " + hostPath);
    handle_ = hivex_open(hostPath.c_str(), HIVEX_OPEN_WRITE);
    if (handle_ == nullptr) throw std::runtime_error("the hive library refuses the empty hive at " + hostPath);
}

HiveBuilder::~HiveBuilder() {
    if (handle_ != nullptr) hivex_close(handle_);
}

size_t HiveBuilder::nodeOf(const std::string& keyPath) {
    hive_node_h node = hivex_root(handle_);
    for (const std::string& name : namesOf(keyPath)) {
        hive_node_h child = hivex_node_get_child(handle_, node, name.c_str());
        if (child == 0) child = hivex_node_add_child(handle_, node, name.c_str());
        if (child == 0) throw std::runtime_error("cannot add the key " + keyPath);
        node = child;
    }
    return node;
}

size_t HiveBuilder::valueOf(const std::string& keyPath, const std::string& name) {
    return hivex_node_get_value(handle_, nodeOf(keyPath), name.c_str());
}

HiveBuilder& HiveBuilder::key(const std::string& keyPath) {
    nodeOf(keyPath);
    return *this;
}

HiveBuilder& HiveBuilder::raw(const std::string& keyPath, const std::string& name, DWORD type,
                              const std::string& data) {
    std::string nameCopy = name;
    std::string dataCopy = data;
    hive_set_value value{};
    value.key = &nameCopy[0];
    setType(value.t, type);
    value.len = dataCopy.size();
    value.value = &dataCopy[0];
    if (hivex_node_set_value(handle_, nodeOf(keyPath), &value, 0) != 0) {
        throw std::runtime_error("cannot set " + keyPath + "\\" + name);
    }
    return *this;
}

HiveBuilder& HiveBuilder::text(const std::string& keyPath, const std::string& name, const std::string& value,
                               DWORD type) {
    return raw(keyPath, name, type, utf16(value));
}

HiveBuilder& HiveBuilder::dword(const std::string& keyPath, const std::string& name, DWORD value) {
    std::string bytes;
    for (unsigned i = 0; i < sizeof value; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return raw(keyPath, name, REG_DWORD, bytes);
}

void HiveBuilder::commit() {
    if (hivex_commit(handle_, nullptr, 0) != 0) throw std::runtime_error("cannot write the hive at " + path_);
}

std::string hiveDump(const std::string& hostPath) {
    hive_h* handle = hivex_open(hostPath.c_str(), 0);
    if (handle == nullptr) return "unreadable";
    std::string dump;
    dumpKey(handle, hivex_root(handle), "", dump);
    hivex_close(handle);
    return dump;
}

bool hiveHasKey(const std::string& hostPath, const std::string& keyPath) {
    hive_h* handle = hivex_open(hostPath.c_str(), 0);
    if (handle == nullptr) return false;
    const bool found = findNode(handle, keyPath) != 0;
    hivex_close(handle);
    return found;
}

bool hiveHasValue(const std::string& hostPath, const std::string& keyPath, const std::string& name) {
    hive_h* handle = hivex_open(hostPath.c_str(), 0);
    if (handle == nullptr) return false;
    const hive_node_h node = findNode(handle, keyPath);
    const bool found = node != 0 && hivex_node_get_value(handle, node, name.c_str()) != 0;
    hivex_close(handle);
    return found;
}

} // namespace hives
