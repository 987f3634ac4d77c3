// Opening, creating, closing and deleting registry keys on the simulated
// machine.
#include "sim_state.h"

namespace {

// The 9x family creates a key whose path starts with a backslash as if the
// backslash were not there; NT refuses it.
const char* creationPath(const char* subKey) {
    if (subKey == nullptr || !sim::isNineX()) return subKey;
    while (*subKey == '\\') ++subKey;
    return subKey;
}

// The key subKey names below the key behind a handle, in the view the
// access mask asks for; opening below a key asks nothing of the handle it
// starts from.
LONG findKey(HKEY key, LPCSTR subKey, REGSAM desired, bool create, sim::KeyPtr& found, bool& created) {
    sim::KeyPtr from;
    const LONG status = sim::keyOfHandle(key, 0, from);
    if (status != ERROR_SUCCESS) return status;
    created = false;
    return sim::walkKeyPathInView(from, subKey, desired, create, found, created);
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, REGSAM desired, PHKEY result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    sim::KeyPtr found;
    bool created = false;
    const LONG status = findKey(key, subKey, desired, false, found, created);
    if (status != ERROR_SUCCESS) return status;
    *result = sim::newKeyHandle(found, desired);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/, DWORD /*options*/,
                     REGSAM desired, const LPSECURITY_ATTRIBUTES /*securityAttributes*/, PHKEY result,
                     LPDWORD disposition) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    sim::KeyPtr found;
    bool created = false;
    const LONG status = findKey(key, creationPath(subKey), desired, true, found, created);
    if (status != ERROR_SUCCESS) return status;
    *result = sim::newKeyHandle(found, desired);
    if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) { return sim::closeKeyHandle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

// NT deletes only a key without subkeys; the 9x family takes the whole
// subtree with it.
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
    sim::KeyPtr doomed;
    bool created = false;
    const LONG status = findKey(key, subKey, 0, false, doomed, created);
    if (status != ERROR_SUCCESS) return status;
    if (!sim::isNineX() && !sim::subkeysOf(*doomed).empty()) return ERROR_ACCESS_DENIED;
    return sim::removeKey(doomed);
}
