// The machine's Western code page, Windows-1252, byte by byte.
#ifndef QUORVANE_PLATFORM_SIM_CODE_PAGE_H
#define QUORVANE_PLATFORM_SIM_CODE_PAGE_H

#include "win32api.h"

namespace sim {

// The UTF-16 unit a byte of the code page reads as.
WCHAR codePageCharacter(unsigned char byte);

// The code page's byte for the unit; false when it has none (surrogates,
// halves of a pair or not, included).
bool codePageByte(WCHAR unit, char& byte);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_CODE_PAGE_H
