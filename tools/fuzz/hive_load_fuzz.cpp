// libFuzzer target of an offline scan's registry: any bytes as a volume's
// hive file, loaded as HKEY_LOCAL_MACHINE\SYSTEM and as SOFTWARE through
// the hive library. A hive refused says why and leaves no key behind; a
// hive taken reads back consistently through the registry calls (counts,
// longest names and data, every listed value and key reachable by its
// name). A hive only read is never written. A change is written as it is
// made: once made, the file loads again with the change in it and a copy
// of the old bytes is kept; a change refused leaves the file as it was.
#include <stdint.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_machine.h"
#include "win32api.h"

namespace {

const char* const hiveName = "hive";
const char* const hivePath = "C:\\hive";
const char* const addedKey = "SOFTWARE\\QuorvaneFuzz";
const char* const addedValue = "Probe";
const char* const addedData = "written";
constexpr int deepestKey = 12;
constexpr int mostKeys = 300;
constexpr DWORD mostEntries = 512; // of one key, values and subkeys alike

struct Walk {
    int keys = 0;
};

bool plainName(const std::string& name) {
    return name.find('\0') == std::string::npos && name.find('\\') == std::string::npos;
}

void readValues(HKEY key, DWORD count, DWORD longestName, DWORD longestData) {
    std::vector<char> name(longestName + 1);
    std::vector<BYTE> data(longestData + 1);
    for (DWORD i = 0; i < count && i < mostEntries; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        fuzz::require(RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize) ==
                          ERROR_SUCCESS,
                      "every value counted can be listed in buffers of the longest sizes given");
        fuzz::require(nameLength <= longestName && dataSize <= longestData, "no value is longer than the longest");
        const std::string listed(name.data(), nameLength);
        if (!plainName(listed)) continue;
        DWORD size = 0;
        fuzz::require(RegQueryValueExA(key, listed.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS &&
                          size <= longestData,
                      "a listed value can be read by its name");
    }
    DWORD nameLength = static_cast<DWORD>(name.size());
    if (count < mostEntries) {
        fuzz::require(RegEnumValueA(key, count, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) ==
                          ERROR_NO_MORE_ITEMS,
                      "there are as many values as counted");
    }
}

void readKey(HKEY parent, const std::string& subKey, int depth, Walk& walk);

void readSubkeys(HKEY key, DWORD count, DWORD longestName, int depth, Walk& walk) {
    std::vector<char> name(longestName + 1);
    for (DWORD i = 0; i < count && i < mostEntries && walk.keys < mostKeys; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        fuzz::require(RegEnumKeyExA(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) ==
                          ERROR_SUCCESS && nameLength <= longestName,
                      "every subkey counted can be listed in a buffer of the longest size given");
        const std::string listed(name.data(), nameLength);
        if (plainName(listed)) readKey(key, listed, depth + 1, walk);
    }
}

void readKey(HKEY parent, const std::string& subKey, int depth, Walk& walk) {
    if (depth > deepestKey || ++walk.keys > mostKeys) return;
    HKEY key;
    fuzz::require(RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS,
                  "a listed key can be opened by its name");
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    fuzz::require(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                                   &longestName, &longestData, nullptr, nullptr) == ERROR_SUCCESS,
                  "an open key tells its counts");
    readValues(key, values, longestName, longestData);
    readSubkeys(key, subkeys, longestSubkey, depth, walk);
    RegCloseKey(key);
}

const char* rootName(sim::MachineHive which) { return which == sim::MachineHive::system ? "SYSTEM" : "SOFTWARE"; }

bool load(sim::MachineHive which) {
    std::string problem;
    const bool loaded = sim::loadHive(which, hivePath, problem);
    if (loaded) {
        Walk walk;
        readKey(HKEY_LOCAL_MACHINE, rootName(which), 0, walk);
        return true;
    }
    fuzz::require(!problem.empty(), "a hive refused says why");
    HKEY key;
    fuzz::require(RegOpenKeyExA(HKEY_LOCAL_MACHINE, rootName(which), 0, KEY_READ, &key) != ERROR_SUCCESS,
                  "a hive refused leaves no key");
    return false;
}

std::string hiveBytes() {
    std::string bytes;
    fuzz::require(fuzz::readHostFile(hiveName, bytes), "the hive file stays");
    return bytes;
}

// False when the hive refuses the change (the registry calls say so).
bool addChange() {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, addedKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const bool set = RegSetValueExA(key, addedValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(addedData),
                                    sizeof "written") == ERROR_SUCCESS;
    RegCloseKey(key);
    return set;
}

bool changeReadsBack() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, addedKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char data[sizeof "written" + 1] = {};
    DWORD size = sizeof data;
    const bool read = RegQueryValueExA(key, addedValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) ==
                      ERROR_SUCCESS;
    RegCloseKey(key);
    return read && std::string(data) == addedData;
}

bool hostFileIs(const std::string& hostPath, const std::string& bytes) {
    std::ifstream in(hostPath, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return in.good() || in.eof() ? content == bytes : false;
}

void closeChanged(const std::string& original, bool added) {
    const std::vector<sim::HiveOutcome> outcomes = sim::closeHives();
    fuzz::require(outcomes.size() == 1, "closing tells of the hive");
    const sim::HiveOutcome& outcome = outcomes[0];
    if (!outcome.written && !outcome.partly) {
        // Nothing reached the file: the change was refused (and said so), or
        // the hive held it already.
        fuzz::require(outcome.changed != outcome.problem.empty(), "a change not written says why");
        fuzz::require(!added || !outcome.changed, "a change not written failed as it was made");
        fuzz::require(hiveBytes() == original, "a hive not written is left byte for byte as it was");
        return;
    }
    fuzz::require(hostFileIs(outcome.backup, original), "the copy kept is the hive as it was");
    fuzz::require(load(sim::MachineHive::software), "a hive written loads again");
    fuzz::require(!added || changeReadsBack(), "a hive written holds the change");
    const std::string written = hiveBytes();
    const std::vector<sim::HiveOutcome> again = sim::closeHives();
    fuzz::require(again.size() == 1 && !again[0].changed && hiveBytes() == written,
                  "a hive read and closed unchanged is not written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::freshMachine(sim::Release::windowsXp);
    const std::string original(reinterpret_cast<const char*>(data), size);
    fuzz::writeHostFile(hiveName, original);
    if (load(sim::MachineHive::system)) {
        const std::vector<sim::HiveOutcome> outcomes = sim::closeHives();
        fuzz::require(outcomes.size() == 1 && !outcomes[0].changed && !outcomes[0].written,
                      "a hive only read is not written");
    }
    fuzz::require(hiveBytes() == original, "reading a hive leaves its file alone");
    if (!load(sim::MachineHive::software)) return 0;
    const bool added = addChange();
    closeChanged(original, added);
    return 0;
}
