// Requests to end the session, shut down or restart on the simulated
// machine: recorded, never carried out. NT asks for the shutdown privilege
// to be enabled for anything but logging off; the 9x family asks nothing.
#include "fake_state.h"

namespace sim {

std::vector<ExitRequest> exitRequests() { return fake().exitRequests; }

} // namespace sim

BOOL ExitWindowsEx(UINT flags, DWORD reason) {
    constexpr UINT needsPrivilege = EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF;
    sim::FakeWindows& m = sim::fake();
    const bool granted = sim::isNineX() || !(flags & needsPrivilege) ||
                         m.enabledPrivileges.count(sim::shutdownPrivilegeId) != 0;
    m.exitRequests.push_back(sim::ExitRequest{flags, reason, granted});
    if (!granted) {
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    return TRUE;
}
