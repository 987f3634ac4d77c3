// The process token of the simulated machine and its privileges. The 9x
// family has no tokens: these calls are not implemented there.
#include <cstddef>

#include "fake_state.h"

namespace sim {

namespace {

struct Privilege {
    const char* name;
    DWORD id;
};

// The privileges the system knows, with its own identifiers.
const Privilege knownPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},          {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},           {"SeIncreaseQuotaPrivilege", 5},
    {"SeMachineAccountPrivilege", 6},       {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},             {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},          {"SeSystemProfilePrivilege", 11},
    {"SeSystemtimePrivilege", 12},          {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14}, {"SeCreatePagefilePrivilege", 15},
    {"SeCreatePermanentPrivilege", 16},     {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},             {SE_SHUTDOWN_NAME, shutdownPrivilegeId},
    {SE_DEBUG_NAME, debugPrivilegeId},      {"SeAuditPrivilege", 21},
    {"SeSystemEnvironmentPrivilege", 22},   {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},      {"SeUndockPrivilege", 25},
};

const Privilege* privilegeNamed(const std::string& name) {
    const std::string wanted = upperCase(name);
    for (const Privilege& privilege : knownPrivileges) {
        if (upperCase(privilege.name) == wanted) return &privilege;
    }
    return nullptr;
}

BOOL failWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The changes one adjustment asks for: identifier and whether to enable.
struct Change {
    DWORD id;
    bool enable;
};

// What an adjustment changes, and whether every privilege it names is held.
bool plannedChanges(BOOL disableAll, const TOKEN_PRIVILEGES* newState, std::vector<Change>& changes) {
    const FakeWindows& m = fake();
    if (disableAll) {
        for (DWORD id : m.enabledPrivileges) changes.push_back({id, false});
        return true;
    }
    bool allHeld = true;
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = newState->Privileges[i];
        const DWORD id = entry.Luid.LowPart;
        if (entry.Luid.HighPart != 0 || m.heldPrivileges.count(id) == 0) {
            allHeld = false;
            continue;
        }
        const bool enable = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        if (enable != (m.enabledPrivileges.count(id) != 0)) changes.push_back({id, enable});
    }
    return allHeld;
}

// The previous state of what changes, as a TOKEN_PRIVILEGES record.
bool recordPrevious(const std::vector<Change>& changes, DWORD bufferLength, PTOKEN_PRIVILEGES previous,
                    PDWORD returnLength) {
    const DWORD needed =
        static_cast<DWORD>(offsetof(TOKEN_PRIVILEGES, Privileges) + changes.size() * sizeof(LUID_AND_ATTRIBUTES));
    if (returnLength != nullptr) *returnLength = needed;
    if (bufferLength < needed) return false;
    previous->PrivilegeCount = static_cast<DWORD>(changes.size());
    LUID_AND_ATTRIBUTES* entries = previous->Privileges;
    for (size_t i = 0; i < changes.size(); ++i) {
        entries[i].Luid = LUID{changes[i].id, 0};
        entries[i].Attributes = changes[i].enable ? 0 : SE_PRIVILEGE_ENABLED;
    }
    return true;
}

} // namespace

bool setPrivilegeHeld(const std::string& name, bool held) {
    const Privilege* privilege = privilegeNamed(name);
    if (privilege == nullptr) return false;
    FakeWindows& m = fake();
    if (held) {
        m.heldPrivileges.insert(privilege->id);
    } else {
        m.heldPrivileges.erase(privilege->id);
        m.enabledPrivileges.erase(privilege->id);
    }
    return true;
}

bool privilegeEnabled(const std::string& name) {
    const Privilege* privilege = privilegeNamed(name);
    return privilege != nullptr && fake().enabledPrivileges.count(privilege->id) != 0;
}

} // namespace sim

BOOL OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token) {
    if (sim::isNineX()) return sim::failWith(ERROR_CALL_NOT_IMPLEMENTED);
    if (token == nullptr) return sim::failWith(ERROR_NOACCESS);
    if (process != GetCurrentProcess()) return sim::failWith(ERROR_INVALID_HANDLE);
    const uintptr_t handle = sim::newHandleValue();
    sim::fake().tokens[handle] = desiredAccess;
    *token = reinterpret_cast<HANDLE>(handle);
    return TRUE;
}

BOOL LookupPrivilegeValueA(LPCSTR /*systemName*/, LPCSTR name, PLUID luid) {
    if (sim::isNineX()) return sim::failWith(ERROR_CALL_NOT_IMPLEMENTED);
    if (name == nullptr || luid == nullptr) return sim::failWith(ERROR_INVALID_PARAMETER);
    const sim::Privilege* privilege = sim::privilegeNamed(name);
    if (privilege == nullptr) return sim::failWith(ERROR_NO_SUCH_PRIVILEGE);
    *luid = LUID{privilege->id, 0};
    return TRUE;
}

// Succeeds whenever the call is well formed; the last error then tells
// whether every privilege named was held (ERROR_SUCCESS) or not
// (ERROR_NOT_ALL_ASSIGNED), as on the real system.
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                           PTOKEN_PRIVILEGES previousState, PDWORD returnLength) {
    if (sim::isNineX()) return sim::failWith(ERROR_CALL_NOT_IMPLEMENTED);
    sim::FakeWindows& m = sim::fake();
    const auto open = m.tokens.find(reinterpret_cast<uintptr_t>(token));
    if (open == m.tokens.end()) return sim::failWith(ERROR_INVALID_HANDLE);
    if (!(open->second & TOKEN_ADJUST_PRIVILEGES)) return sim::failWith(ERROR_ACCESS_DENIED);
    if (!disableAll && newState == nullptr) return sim::failWith(ERROR_INVALID_PARAMETER);
    std::vector<sim::Change> changes;
    const bool allHeld = sim::plannedChanges(disableAll, newState, changes);
    if (previousState != nullptr && !sim::recordPrevious(changes, bufferLength, previousState, returnLength)) {
        return sim::failWith(ERROR_INSUFFICIENT_BUFFER);
    }
    for (const sim::Change& change : changes) {
        if (change.enable) {
            m.enabledPrivileges.insert(change.id);
        } else {
            m.enabledPrivileges.erase(change.id);
        }
    }
    SetLastError(allHeld ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}
