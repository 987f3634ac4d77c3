// Enumerating a registry key's values and subkeys, and the facts of a key,
// on the simulated machine. Enumeration is by index into the key's lists as
// they are now, so deleting an entry moves the later ones down by one.
#include <algorithm>
#include <cstring>

#include "sim_state.h"

namespace {

// Copies a name with its zero when it fits in `capacity` characters.
bool copyName(const std::string& name, LPSTR buffer, DWORD capacity) {
    if (name.size() >= capacity) return false;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return true;
}

void clearClass(LPSTR keyClass, LPDWORD classLength) {
    if (classLength == nullptr) return;
    if (keyClass != nullptr && *classLength > 0) keyClass[0] = '\0';
    *classLength = 0;
}

// A name that does not fit leaves the length as it was; as much of the
// name as fits goes into the buffer, with its zero.
LONG nameTooLong(const std::string& name, LPSTR buffer, DWORD capacity) {
    if (capacity > 0) {
        const size_t kept = std::min<size_t>(name.size(), capacity - 1);
        std::memcpy(buffer, name.data(), kept);
        buffer[kept] = '\0';
    }
    return ERROR_MORE_DATA;
}

} // namespace

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameLength, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize) {
    if (valueName == nullptr || valueNameLength == nullptr || reserved != nullptr ||
        (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    sim::KeyPtr found;
    const LONG status = sim::keyOfHandle(key, KEY_QUERY_VALUE, found);
    if (status != ERROR_SUCCESS) return status;
    const std::vector<sim::RegValue>& values = sim::valuesOf(*found);
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    const sim::RegValue& value = values[index];
    if (value.name.size() >= *valueNameLength) {
        sim::copyValueData(value, type, nullptr, dataSize);
        return nameTooLong(value.name, valueName, *valueNameLength);
    }
    const LONG copied = sim::copyValueData(value, type, data, dataSize);
    if (copied != ERROR_SUCCESS) return copied;
    copyName(value.name, valueName, *valueNameLength);
    *valueNameLength = static_cast<DWORD>(value.name.size());
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR keyClass,
                   LPDWORD classLength, PFILETIME lastWriteTime) {
    if (name == nullptr || nameLength == nullptr || reserved != nullptr) return ERROR_INVALID_PARAMETER;
    sim::KeyPtr found;
    const LONG status = sim::keyOfHandle(key, KEY_ENUMERATE_SUB_KEYS, found);
    if (status != ERROR_SUCCESS) return status;
    const std::vector<sim::KeyPtr>& subkeys = sim::subkeysOf(*found);
    if (index >= subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const std::string& subkeyName = subkeys[index]->name;
    if (!copyName(subkeyName, name, *nameLength)) return ERROR_MORE_DATA;
    *nameLength = static_cast<DWORD>(subkeyName.size());
    clearClass(keyClass, classLength);
    if (lastWriteTime != nullptr) *lastWriteTime = FILETIME{};
    return ERROR_SUCCESS;
}

// Lengths of names are in characters without the zero; of data, in bytes.
LONG RegQueryInfoKeyA(HKEY key, LPSTR keyClass, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
                      LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD valueCount, LPDWORD maxValueNameLength,
                      LPDWORD maxValueLength, LPDWORD securityDescriptorSize, PFILETIME lastWriteTime) {
    if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
    sim::KeyPtr found;
    const LONG status = sim::keyOfHandle(key, KEY_QUERY_VALUE, found);
    if (status != ERROR_SUCCESS) return status;
    const std::vector<sim::KeyPtr>& subkeys = sim::subkeysOf(*found);
    const std::vector<sim::RegValue>& values = sim::valuesOf(*found);
    size_t longestSubkey = 0;
    for (const sim::KeyPtr& subkey : subkeys) longestSubkey = std::max(longestSubkey, subkey->name.size());
    size_t longestName = 0;
    size_t longestData = 0;
    for (const sim::RegValue& value : values) {
        longestName = std::max(longestName, value.name.size());
        longestData = std::max(longestData, value.data.size());
    }
    clearClass(keyClass, classLength);
    if (subKeys != nullptr) *subKeys = static_cast<DWORD>(subkeys.size());
    if (maxSubKeyLength != nullptr) *maxSubKeyLength = static_cast<DWORD>(longestSubkey);
    if (maxClassLength != nullptr) *maxClassLength = 0;
    if (valueCount != nullptr) *valueCount = static_cast<DWORD>(values.size());
    if (maxValueNameLength != nullptr) *maxValueNameLength = static_cast<DWORD>(longestName);
    if (maxValueLength != nullptr) *maxValueLength = static_cast<DWORD>(longestData);
    if (securityDescriptorSize != nullptr) *securityDescriptorSize = 0;
    if (lastWriteTime != nullptr) *lastWriteTime = FILETIME{};
    return ERROR_SUCCESS;
}
