// Loading a hive file into the simulated registry, and reading its keys
// from the hive library's copy as the registry calls first need them.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "hive_file.h"
#include "hive_text.h"
#include "sim_state.h"

namespace sim {

namespace {

const char* const descriptorPaths = "/proc/self/fd/";
const char* const hiveSignature = "regf";
constexpr size_t signatureSize = 4;
constexpr off_t primarySequenceAt = 4;
constexpr size_t sequenceSize = 4;
constexpr size_t headerStart = signatureSize + 2 * sequenceSize;

struct FreeWithFree {
    void operator()(void* memory) const { free(memory); }
};
template <typename T> using Owned = std::unique_ptr<T, FreeWithFree>;

std::string errorText(int error) { return error != 0 ? std::strerror(error) : "no reason given"; }

// The library gives names with their length, which may hold zeros.
bool nodeName(hive_h* handle, hive_node_h node, std::string& name) {
    errno = 0;
    const Owned<char> text(hivex_node_name(handle, node));
    if (!text) return false;
    name.assign(text.get(), hivex_node_name_len(handle, node));
    return true;
}

bool readValue(hive_h* handle, hive_value_h value, RegValue& read) {
    auto stored = std::make_shared<StoredValue>();
    errno = 0;
    const Owned<char> name(hivex_value_key(handle, value));
    if (!name) return false;
    stored->name.assign(name.get(), hivex_value_key_len(handle, value));
    hive_type type;
    setTypeNumber(type, REG_NONE);
    size_t length = 0;
    errno = 0;
    const Owned<char> data(hivex_value_value(handle, value, &type, &length));
    if (!data && (errno != 0 || length != 0)) return false;
    stored->type = typeNumber(type);
    if (data) stored->data.assign(data.get(), length);
    read.name = codePageName(stored->name);
    read.type = stored->type;
    read.data = codePageData(stored->type, stored->data);
    read.stored = std::move(stored);
    return true;
}

bool readSubkeys(RegKey& key) {
    HiveFile& hive = *key.hive;
    errno = 0;
    const Owned<hive_node_h> children(hivex_node_children(hive.handle, key.node));
    if (!children) return false;
    for (const hive_node_h* child = children.get(); *child != 0; ++child) {
        std::string name;
        if (!nodeName(hive.handle, *child, name)) return false;
        auto subkey = std::make_shared<RegKey>();
        subkey->name = codePageName(name);
        subkey->parent = key.weak_from_this();
        subkey->hive = key.hive;
        subkey->node = *child;
        subkey->unread = true;
        key.subkeys.push_back(std::move(subkey));
    }
    key.storedSubkeys = key.subkeys.size();
    // The file keeps them in the order of their names in Unicode upper
    // case; the machine's own order is its code page's.
    std::stable_sort(key.subkeys.begin(), key.subkeys.end(), [](const KeyPtr& a, const KeyPtr& b) {
        return upperCase(a->name) < upperCase(b->name);
    });
    return true;
}

bool readEachValue(RegKey& key) {
    HiveFile& hive = *key.hive;
    errno = 0;
    const Owned<hive_value_h> values(hivex_node_values(hive.handle, key.node));
    if (!values) return false;
    for (const hive_value_h* value = values.get(); *value != 0; ++value) {
        RegValue read;
        if (!readValue(hive.handle, *value, read)) return false;
        key.values.push_back(std::move(read));
    }
    return true;
}

// The values the hive gives, whole or not, are what it holds: none of them
// is a change, even when the rest cannot be read.
bool readValues(RegKey& key) {
    const bool whole = readEachValue(key);
    key.storedValues = key.values.size();
    return whole;
}

// A hive left dirty by a system that stopped without closing it has its
// latest changes only in its log files, which nothing here reads: written
// back, it would lose them.
bool closedCleanly(int fd, std::string& problem) {
    char header[headerStart] = {};
    if (pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        std::memcmp(header, hiveSignature, signatureSize) != 0) {
        problem = "it is not a registry hive";
        return false;
    }
    if (std::memcmp(header + primarySequenceAt, header + primarySequenceAt + sequenceSize, sequenceSize) != 0) {
        problem = "it was not closed cleanly (the system stopped with changes in its log files)";
        return false;
    }
    return true;
}

// Opens the file itself, as the machine opens any file, and has the library
// read what was opened, so that it can only ever read that regular file.
bool openHive(const std::string& windowsPath, HiveFile& hive, std::string& problem) {
    hive.windowsPath = windowsPath;
    if (!resolveExisting(windowsPath.c_str(), hive.hostPath)) {
        problem = "it cannot be found";
        return false;
    }
    hive.fd = openHost(hive.hostPath, hive.opened);
    if (hive.fd < 0 || !S_ISREG(hive.opened.st_mode)) {
        problem = "it cannot be opened as a file";
        return false;
    }
    // Written back, it replaces the file itself, not a link on the way to it.
    const std::string opened = descriptorPaths + std::to_string(hive.fd);
    hive.hostPath = realHostPath(opened);
    if (hive.hostPath.empty()) {
        problem = "it cannot be opened as a file";
        return false;
    }
    if (!closedCleanly(hive.fd, problem)) return false;
    errno = 0;
    hive.handle = hivex_open(opened.c_str(), HIVEX_OPEN_WRITE);
    if (hive.handle == nullptr) {
        problem = "the hive library refuses it as damaged or as no hive (" + errorText(errno) + ")";
        return false;
    }
    return true;
}

const char* const rootNames[] = {"SOFTWARE", "SYSTEM"};
const char* const selectKey = "Select";
const char* const currentValue = "Current";
const char* const currentControlSet = "CurrentControlSet";
const char* const controlSetFormat = "ControlSet%03u";
constexpr size_t controlSetNameSize = 32;

// The system makes CurrentControlSet at its start: a link to the control
// set that Select\Current names.
bool linkCurrentControlSet(const KeyPtr& root, std::string& problem) {
    if (findSubkey(*root, currentControlSet) != nullptr) return true; // one kept in the file stands
    const KeyPtr select = findSubkey(*root, selectKey);
    const RegValue* current = select != nullptr ? findValue(*select, currentValue) : nullptr;
    uint32_t number = 0;
    if (current != nullptr && current->type == REG_DWORD && current->data.size() == sizeof number) {
        std::memcpy(&number, current->data.data(), sizeof number); // little-endian, as the host
    }
    char name[controlSetNameSize];
    std::snprintf(name, sizeof name, controlSetFormat, static_cast<unsigned>(number));
    const KeyPtr target = number != 0 ? findSubkey(*root, name) : nullptr;
    if (target == nullptr) {
        problem = "its Select\\Current names no control set, so the system could not start from it";
        return false;
    }
    addSubkey(root, currentControlSet)->link = target;
    return true;
}

// The hive takes the place of whatever the machine held under that name.
void makeRoom(const std::string& name) {
    Machine& m = machine();
    const KeyPtr existing = findSubkey(*m.registry.localMachine, name);
    if (existing == nullptr) return;
    auto& hives = m.hives;
    hives.erase(std::remove_if(hives.begin(), hives.end(),
                               [&](const std::shared_ptr<HiveFile>& hive) { return hive->root.lock() == existing; }),
                hives.end());
    existing->hiveRoot = false;
    removeKey(existing);
}

} // namespace

HiveFile::~HiveFile() {
    if (handle != nullptr) hivex_close(handle);
    if (fd >= 0) ::close(fd);
}

DWORD typeNumber(const hive_type& stored) {
    DWORD type = 0;
    std::memcpy(&type, &stored, sizeof type);
    return type;
}

void setTypeNumber(hive_type& stored, DWORD type) { std::memcpy(&stored, &type, sizeof type); }

void noteDamage(HiveFile& hive, const std::string& what) {
    if (hive.damage.empty()) hive.damage = what;
}

// What was read before a damaged part stays; the damage keeps the file
// from being written.
void readFromHive(RegKey& key) {
    key.unread = false;
    if (key.hive == nullptr || key.hive->handle == nullptr) return;
    if (!readSubkeys(key) || !readValues(key)) {
        noteDamage(*key.hive, "a key in it cannot be read (" + errorText(errno) + ")");
    }
}

bool loadHive(MachineHive which, const std::string& windowsPath, std::string& problem) {
    auto hive = std::make_shared<HiveFile>();
    if (!openHive(windowsPath, *hive, problem)) return false;
    errno = 0;
    const hive_node_h rootNode = hivex_root(hive->handle);
    if (rootNode == 0) {
        problem = "the hive library finds no root key in it (" + errorText(errno) + ")";
        return false;
    }
    const char* const name = rootNames[static_cast<int>(which)];
    makeRoom(name);
    KeyPtr root = addSubkey(machine().registry.localMachine, name);
    root->hive = hive;
    root->node = rootNode;
    root->unread = true;
    root->hiveRoot = true;
    hive->root = root;
    readFromHive(*root);
    if (hive->damage.empty() && which == MachineHive::system) linkCurrentControlSet(root, hive->damage);
    if (!hive->damage.empty()) {
        problem = hive->damage;
        root->hiveRoot = false;
        removeKey(root);
        return false;
    }
    machine().hives.push_back(hive);
    return true;
}

} // namespace sim
