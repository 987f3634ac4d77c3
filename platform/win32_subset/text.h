// The simulated machine's Win32 subset: text conversion between the wide
// (UTF-16) strings some system data carries and the system code page.
#ifndef QUORVANE_PLATFORM_WIN32_SUBSET_TEXT_H
#define QUORVANE_PLATFORM_WIN32_SUBSET_TEXT_H

#include "base.h"

// A UTF-16 code unit, as on Windows: wchar_t is 32 bits wide on Linux, so
// the system's wide data is never read through it.
typedef uint16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

#define CP_ACP 0      // the system code page: Windows-1252, or UTF-8 where the machine is set so
#define CP_UTF8 65001 // UTF-8, always

// With CP_UTF8 (or CP_ACP that is UTF-8) only: fail with
// ERROR_NO_UNICODE_TRANSLATION rather than replace what cannot be converted.
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080
#define ERROR_INVALID_FLAGS 1004L
#define ERROR_NO_UNICODE_TRANSLATION 1113L

// Converts wideCount UTF-16 units (-1: up to and with the terminator) to the
// system code page. multiSize 0 asks for the size needed. Returns the bytes
// written (or needed), 0 on failure: ERROR_INSUFFICIENT_BUFFER when multi is
// too small, ERROR_INVALID_PARAMETER for a null or empty source, a null or
// overlapping destination with a size, or a negative size. Units the code
// page lacks become defaultChar (or '?') and set *usedDefault.
// In UTF-8 every unit has bytes: a surrogate without its other half too,
// its three bytes reading back as it, where the real call writes U+FFFD, so
// that every string of units comes back whole. defaultChar and usedDefault
// must be null (ERROR_INVALID_PARAMETER), flags 0 or WC_ERR_INVALID_CHARS
// (ERROR_INVALID_FLAGS).
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multi, int multiSize,
                        LPCSTR defaultChar, BOOL* usedDefault);

// The code page's bytes as UTF-16, with the sizes and errors above: in
// Windows-1252 every byte has a character; in UTF-8 a byte that begins no
// whole character reads as U+FFFD, and flags are 0 or MB_ERR_INVALID_CHARS.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multi, int multiCount, LPWSTR wide, int wideSize);

#endif // QUORVANE_PLATFORM_WIN32_SUBSET_TEXT_H
