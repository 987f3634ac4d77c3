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

#define CP_ACP 0 // the system code page; the machine's is Windows-1252

// Converts wideCount UTF-16 units (-1: up to and with the terminator) to the
// system code page. multiSize 0 asks for the size needed. Returns the bytes
// written (or needed), 0 on failure: ERROR_INSUFFICIENT_BUFFER when multi is
// too small, ERROR_INVALID_PARAMETER for a null or empty source, a null or
// overlapping destination with a size, or a negative size. Units the code
// page lacks become defaultChar (or '?') and set *usedDefault.
// The code page's bytes as UTF-16; every byte has a character.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multi, int multiCount, LPWSTR wide, int wideSize);

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multi, int multiSize,
                        LPCSTR defaultChar, BOOL* usedDefault);

#endif // QUORVANE_PLATFORM_WIN32_SUBSET_TEXT_H
