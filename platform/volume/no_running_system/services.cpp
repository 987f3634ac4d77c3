// The service control manager of a Windows that is not running: there is
// none to connect to, so the program is refused as a user without the
// right would be, and no service handle exists.
#include "win32api.h"

namespace {

template <typename Result>
Result failWith(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

} // namespace

SC_HANDLE OpenSCManagerA(LPCSTR, LPCSTR, DWORD) { return failWith<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr); }

SC_HANDLE OpenServiceA(SC_HANDLE, LPCSTR, DWORD) { return failWith<SC_HANDLE>(ERROR_INVALID_HANDLE, nullptr); }

BOOL ControlService(SC_HANDLE, DWORD, LPSERVICE_STATUS) { return failWith<BOOL>(ERROR_INVALID_HANDLE, FALSE); }

BOOL QueryServiceStatus(SC_HANDLE, LPSERVICE_STATUS) { return failWith<BOOL>(ERROR_INVALID_HANDLE, FALSE); }

BOOL CloseServiceHandle(SC_HANDLE) { return failWith<BOOL>(ERROR_INVALID_HANDLE, FALSE); }
