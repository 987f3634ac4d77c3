// Copying files and moving them with options on the simulated machine.
#include "sim_state.h"

namespace {
BOOL notYet() {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
} // namespace

BOOL MoveFileExA(LPCSTR, LPCSTR, DWORD) { return notYet(); }
BOOL CopyFileA(LPCSTR, LPCSTR, BOOL) { return notYet(); }
