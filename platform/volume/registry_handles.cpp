// Key handles of the simulated machine: the predefined roots, the handles
// it gives out, and the rights each was opened with.
#include "sim_state.h"

namespace sim {

namespace {

constexpr REGSAM genericRead = 0x80000000;
constexpr REGSAM genericWrite = 0x40000000;
constexpr REGSAM genericExecute = 0x20000000;
constexpr REGSAM genericAll = 0x10000000;
constexpr REGSAM maximumAllowed = 0x02000000;
constexpr REGSAM keyExecute = KEY_READ;

// The view flags chose the key; the handle does not keep them.
REGSAM mappedRights(REGSAM desired) {
    REGSAM rights = desired & ~(genericRead | genericWrite | genericExecute | genericAll | maximumAllowed |
                                KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    if (desired & genericRead) rights |= KEY_READ;
    if (desired & genericWrite) rights |= KEY_WRITE;
    if (desired & genericExecute) rights |= keyExecute;
    if (desired & (genericAll | maximumAllowed)) rights |= KEY_ALL_ACCESS;
    return rights;
}

KeyPtr predefinedKey(HKEY handle) {
    Registry& registry = machine().registry;
    if (handle == HKEY_LOCAL_MACHINE) return registry.localMachine;
    if (handle == HKEY_CURRENT_USER) return registry.currentUser;
    return nullptr;
}

} // namespace

LONG keyOfHandle(HKEY handle, REGSAM needed, KeyPtr& key) {
    key = predefinedKey(handle);
    if (key != nullptr) return ERROR_SUCCESS;
    const auto& handles = machine().registry.handles;
    const auto open = handles.find(reinterpret_cast<uintptr_t>(handle));
    if (open == handles.end()) return ERROR_INVALID_HANDLE;
    key = open->second.key;
    if (key->deleted) return ERROR_KEY_DELETED;
    if (!isNineX() && (open->second.access & needed) != needed) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

HKEY newKeyHandle(const KeyPtr& key, REGSAM desired) {
    const uintptr_t value = newHandleValue();
    machine().registry.handles[value] = OpenKey{key, mappedRights(desired)};
    return reinterpret_cast<HKEY>(value);
}

bool closeKeyHandle(HKEY handle) {
    // Closing the performance data key ends the query, which holds nothing.
    if (predefinedKey(handle) != nullptr || handle == HKEY_PERFORMANCE_DATA) return true;
    return machine().registry.handles.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
}

} // namespace sim
