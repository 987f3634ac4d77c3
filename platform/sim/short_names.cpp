// The short (8.3) names of the simulated machine.
#include "sim_state.h"

DWORD GetShortPathNameA(LPCSTR, LPSTR, DWORD) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}
