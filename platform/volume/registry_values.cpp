// Reading, writing and deleting registry values on the simulated machine.
#include <cstring>

#include "sim_state.h"

namespace {

std::string valueNameOf(LPCSTR name) { return name == nullptr ? std::string() : std::string(name); }

} // namespace

namespace sim {

LONG copyValueData(const RegValue& value, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
    const DWORD length = static_cast<DWORD>(value.data.size());
    if (type != nullptr) *type = value.type;
    if (dataSize == nullptr) return ERROR_SUCCESS;
    if (data != nullptr && *dataSize < length) {
        *dataSize = length;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr) std::memcpy(data, value.data.data(), length);
    *dataSize = length;
    return ERROR_SUCCESS;
}

} // namespace sim

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) return ERROR_INVALID_PARAMETER;
    // Performance data is made by a running system as it is asked for; a
    // volume holds none.
    if (key == HKEY_PERFORMANCE_DATA) {
        sim::RunningSystem* running = sim::runningSystem();
        return running != nullptr ? running->queryPerformanceData(valueName, type, data, dataSize) : ERROR_FILE_NOT_FOUND;
    }
    sim::KeyPtr found;
    const LONG status = sim::keyOfHandle(key, KEY_QUERY_VALUE, found);
    if (status != ERROR_SUCCESS) return status;
    const sim::RegValue* value = sim::findValue(*found, valueNameOf(valueName));
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    return sim::copyValueData(*value, type, data, dataSize);
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data, DWORD dataSize) {
    sim::KeyPtr found;
    const LONG status = sim::keyOfHandle(key, KEY_SET_VALUE, found);
    if (status != ERROR_SUCCESS) return status;
    if (data == nullptr && dataSize != 0) return ERROR_NOACCESS;
    std::string bytes;
    if (dataSize != 0) bytes.assign(reinterpret_cast<const char*>(data), dataSize);
    return sim::setValue(*found, valueNameOf(valueName), type, std::move(bytes));
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
    sim::KeyPtr found;
    const LONG status = sim::keyOfHandle(key, KEY_SET_VALUE, found);
    if (status != ERROR_SUCCESS) return status;
    const sim::RegValue* value = sim::findValue(*found, valueNameOf(valueName));
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    return sim::deleteValue(*found, *value);
}
