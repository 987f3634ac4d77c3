// Loading a hive file into the registry, completed from its logs when the
// system left it dirty, and reading its keys from that image as the
// registry calls first need them.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "hive_file.h"
#include "hive_logs.h"
#include "hive_text.h"
#include "hive/tree_check.h"
#include "sim_state.h"

namespace sim {

namespace {

const char* const descriptorPaths = "/proc/self/fd/";
// No hive of a real system comes near this; a larger file is not read.
constexpr off_t largestHive = off_t{2} * 1024 * 1024 * 1024 - 1;

std::string errorText(int error) { return error != 0 ? std::strerror(error) : "no reason given"; }

bool readSubkeys(RegKey& key) {
    const HiveFile& hive = *key.hive;
    std::vector<hive::CellOffset> nodes;
    if (!hive.view->subkeys(static_cast<hive::CellOffset>(key.node), nodes)) return false;
    for (hive::CellOffset node : nodes) {
        hive::Name name;
        if (!hive.view->keyName(node, name)) return false;
        auto subkey = std::make_shared<RegKey>();
        subkey->name = codePageName(name.text);
        subkey->parent = key.weak_from_this();
        subkey->hive = key.hive;
        subkey->node = node;
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

bool readValues(RegKey& key) {
    const HiveFile& hive = *key.hive;
    std::vector<hive::CellOffset> cells;
    if (!hive.view->values(static_cast<hive::CellOffset>(key.node), cells)) return false;
    for (hive::CellOffset cell : cells) {
        hive::Name name;
        uint32_t type = REG_NONE;
        hive::Bytes data;
        if (!hive.view->valueName(cell, name) || !hive.view->valueData(cell, type, data)) return false;
        RegValue value;
        value.name = codePageName(name.text);
        value.type = type;
        value.stored.assign(data.begin(), data.end());
        value.data = codePageData(type, value.stored);
        value.cell = cell;
        key.values.push_back(std::move(value));
    }
    key.storedValues = key.values.size();
    return true;
}

// Opens the file itself, as the machine opens any file, and holds it, so
// that what is read and later written is only ever that regular file; a
// second program that holds it the same way (another scan) keeps this one
// out.
bool openHive(const std::string& windowsPath, HiveFile& hive, int& fd, std::string& problem) {
    hive.windowsPath = windowsPath;
    if (!resolveExisting(windowsPath.c_str(), hive.hostPath)) {
        problem = "it cannot be found";
        return false;
    }
    fd = openHost(hive.hostPath, hive.opened);
    if (fd < 0 || !S_ISREG(hive.opened.st_mode)) {
        problem = "it cannot be opened as a file";
        return false;
    }
    hive.hostPath = realHostPath(descriptorPaths + std::to_string(fd));
    if (hive.hostPath.empty()) {
        problem = "it cannot be opened as a file";
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        problem = errno == EWOULDBLOCK ? "another program (another scan?) has it open" : "it cannot be held";
        return false;
    }
    if (hive.opened.st_size > largestHive || !readFileBytes(fd, static_cast<size_t>(hive.opened.st_size), hive.image)) {
        problem = "it cannot be read (" + errorText(errno) + ")";
        return false;
    }
    return true;
}

// A file the system left dirty is completed from its logs, as the system
// does when it loads it.
bool completeFromLogs(HiveFile& hive, std::string& problem) {
    std::vector<hive::LogFile> logs;
    hive.logPaths = readHiveLogs(hive.hostPath, logs);
    hive.disk.logFloor = hive::highestLogSequence(logs);
    std::string why;
    if (!hive::recoverHive(hive.image, logs, hive.recovery, why)) {
        problem = "it was not closed cleanly and its logs cannot complete it: " + why;
        return false;
    }
    hive::BaseBlock fields;
    hive::readBaseBlock(hive.image.data(), hive.image.size(), fields);
    hive.disk.sequence = fields.secondarySequence;
    return true;
}

bool readImage(HiveFile& hive, std::string& problem) {
    hive.view = std::make_unique<hive::HiveView>(hive.image);
    std::string why;
    if (!hive.view->valid(why) || !hive.view->checkCells(why) || !hive::wholeTreeReadable(*hive.view, why)) {
        problem = "it is damaged or no hive: " + why;
        return false;
    }
    hive.editor = std::make_unique<hive::HiveEditor>(hive.image);
    return true;
}

const char* const rootNames[] = {"SOFTWARE", "SYSTEM"};
const char* const selectKey = "Select";
const char* const currentValue = "Current";
const char* const currentControlSet = "CurrentControlSet";
const char* const controlSetFormat = "ControlSet%03u";
constexpr size_t controlSetNameSize = 32;

// A key of the registry only, never of the file.
void addLinkKey(const KeyPtr& parent, const std::string& name, const KeyPtr& target) {
    auto link = std::make_shared<RegKey>();
    link->name = name;
    link->parent = parent;
    link->link = target;
    auto& subkeys = subkeysOf(*parent);
    const auto at = std::lower_bound(subkeys.begin(), subkeys.end(), upperCase(name),
                                     [](const KeyPtr& existing, const std::string& wanted) {
                                         return upperCase(existing->name) < wanted;
                                     });
    subkeys.insert(at, link);
}

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
    addLinkKey(root, currentControlSet, target);
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
    unloadKey(existing);
}

} // namespace

HiveFile::~HiveFile() {
    if (disk.log >= 0) ::close(disk.log);
    if (disk.primary >= 0) ::close(disk.primary);
}

void noteDamage(HiveFile& hive, const std::string& what) {
    if (hive.damage.empty()) hive.damage = what;
}

// What was read before a damaged part stays; the damage keeps the file
// from being written.
void readFromHive(RegKey& key) {
    key.unread = false;
    if (key.hive == nullptr || key.hive->view == nullptr) return;
    if (!readSubkeys(key) || !readValues(key)) noteDamage(*key.hive, "a key in it cannot be read");
}

bool loadHive(MachineHive which, const std::string& windowsPath, std::string& problem) {
    auto hive = std::make_shared<HiveFile>();
    if (!openHive(windowsPath, *hive, hive->disk.primary, problem) || !completeFromLogs(*hive, problem) ||
        !readImage(*hive, problem)) {
        return false;
    }
    const char* const name = rootNames[static_cast<int>(which)];
    makeRoom(name);
    KeyPtr root = addSubkey(machine().registry.localMachine, name);
    root->hive = hive;
    root->node = hive->view->root();
    root->unread = true;
    root->hiveRoot = true;
    hive->root = root;
    readFromHive(*root);
    if (hive->damage.empty() && which == MachineHive::system) linkCurrentControlSet(root, hive->damage);
    if (!hive->damage.empty()) {
        problem = hive->damage;
        root->hiveRoot = false;
        unloadKey(root);
        return false;
    }
    machine().hives.push_back(hive);
    return true;
}

} // namespace sim
