// The session of a Windows that is not running: no token to hold
// privileges, nothing to restart, and nothing to wait for (a wait offline
// would only hold the scan up).
#include "win32api.h"

namespace {

BOOL failWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

BOOL OpenProcessToken(HANDLE, DWORD, PHANDLE token) {
    if (token != nullptr) *token = nullptr;
    return failWith(ERROR_ACCESS_DENIED);
}

BOOL LookupPrivilegeValueA(LPCSTR, LPCSTR, PLUID) { return failWith(ERROR_NO_SUCH_PRIVILEGE); }

BOOL AdjustTokenPrivileges(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD) {
    return failWith(ERROR_INVALID_HANDLE);
}

BOOL ExitWindowsEx(UINT, DWORD) { return failWith(ERROR_PRIVILEGE_NOT_HELD); }

void Sleep(DWORD) {}
