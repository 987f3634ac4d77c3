// The last error alone, for programs that link the simulated text
// conversion without the rest of the simulated machine.
#include "win32api.h"

namespace {
DWORD lastError = ERROR_SUCCESS;
}

DWORD GetLastError(void) { return lastError; }

void SetLastError(DWORD error) { lastError = error; }
