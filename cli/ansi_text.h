// Text the system gives in its ANSI code page, read as UTF-16 (as the
// registry keeps it) and written as UTF-8 (as reports are).
#ifndef QUORVANE_CLI_ANSI_TEXT_H
#define QUORVANE_CLI_ANSI_TEXT_H

#include <cstddef>
#include <string>
#include <vector>

#include "win32api.h"

// The count bytes as UTF-16 units, zeros included; empty for no bytes.
std::vector<WCHAR> ansiToWide(const char* bytes, size_t count);

// UTF-16 units as UTF-8; a half of a surrogate pair on its own becomes
// U+FFFD, so that the result is always valid UTF-8.
std::string wideToUtf8(const std::vector<WCHAR>& units);

// A zero-ended ANSI text as UTF-8.
std::string ansiToUtf8(const char* text);

#endif // QUORVANE_CLI_ANSI_TEXT_H
