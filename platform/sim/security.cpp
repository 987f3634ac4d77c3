// The process token's privileges and the restart requests of the simulated
// machine.
#include "sim_state.h"

namespace {
BOOL notYet() {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
} // namespace

BOOL OpenProcessToken(HANDLE, DWORD, PHANDLE) { return notYet(); }
BOOL LookupPrivilegeValueA(LPCSTR, LPCSTR, PLUID) { return notYet(); }
BOOL AdjustTokenPrivileges(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD) { return notYet(); }
BOOL ExitWindowsEx(UINT, DWORD) { return notYet(); }
