// Processes of a Windows that is not running: there are none. No system
// library is mapped or can be loaded, so the Toolhelp and PSAPI functions
// that list processes are not found and a listing holds nothing; no
// process can be opened or ended.
#include "win32api.h"

namespace {

template <typename Result>
Result failWith(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

} // namespace

HMODULE LoadLibraryA(LPCSTR) { return failWith<HMODULE>(ERROR_MOD_NOT_FOUND, nullptr); }

FARPROC GetProcAddress(HMODULE, LPCSTR) { return failWith<FARPROC>(ERROR_PROC_NOT_FOUND, nullptr); }

// No process has that identifier, as the system answers for an ended one.
HANDLE OpenProcess(DWORD, BOOL, DWORD) { return failWith<HANDLE>(ERROR_INVALID_PARAMETER, nullptr); }

BOOL TerminateProcess(HANDLE, UINT) { return failWith<BOOL>(ERROR_INVALID_HANDLE, FALSE); }
