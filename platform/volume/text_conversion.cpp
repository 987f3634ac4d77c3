// The simulated machine's text conversion between UTF-16 and its system
// code page, Windows-1252, with the real calls' results and errors.
//
// Reaches nothing of the machine but the last error, so that a program can
// link it alone (the parsers' fuzzer does).
#include "code_page.h"

#include <cstring>

#include "win32api.h"

namespace {

constexpr UINT westernCodePage = 1252; // CP_ACP's value on this machine, also accepted by number
constexpr char replacement = '?';      // what the code page's own default character is
constexpr WCHAR lastAscii = 0x7F;
constexpr WCHAR firstLatin1Letter = 0xA0;
constexpr WCHAR lastLatin1 = 0xFF;
constexpr unsigned char firstSpecialByte = 0x80;

// The characters of bytes 0x80..0x9F in Windows-1252; 0 where the byte has
// none.
constexpr WCHAR specials[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

// The code page's byte for the unit; false when it has none (surrogates,
// halves of a pair or not, included).
bool codePageByte(WCHAR unit, char& byte) {
    if (unit <= lastAscii || (unit >= firstLatin1Letter && unit <= lastLatin1)) {
        byte = static_cast<char>(unit);
        return true;
    }
    for (unsigned i = 0; i < sizeof specials / sizeof specials[0]; ++i) {
        if (specials[i] == unit) {
            byte = static_cast<char>(firstSpecialByte + i);
            return true;
        }
    }
    return false;
}

int fail(DWORD error) {
    SetLastError(error);
    return 0;
}

// The units to convert: wideCount, or the string and its terminator.
int unitCount(LPCWSTR wide, int wideCount) {
    if (wideCount >= 0) return wideCount;
    int length = 0;
    while (wide[length] != 0) ++length;
    return length + 1;
}

} // namespace

namespace sim {

// A byte without a character of its own stands for the control character
// of the same number, as MultiByteToWideChar gives it.
WCHAR codePageCharacter(unsigned char byte) {
    if (byte < firstSpecialByte || byte >= firstSpecialByte + sizeof specials / sizeof specials[0]) return byte;
    const WCHAR special = specials[byte - firstSpecialByte];
    return special != 0 ? special : byte;
}

} // namespace sim

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR multi, int multiSize,
                        LPCSTR defaultChar, BOOL* usedDefault) {
    // The flags only choose how composed characters and best fits are
    // handled; this code page has neither, so each one reads the same.
    (void)flags;
    if (codePage != CP_ACP && codePage != westernCodePage) return fail(ERROR_INVALID_PARAMETER);
    if (wide == nullptr || wideCount == 0 || wideCount < -1 || multiSize < 0) return fail(ERROR_INVALID_PARAMETER);
    if (multiSize > 0 && (multi == nullptr || static_cast<const void*>(multi) == static_cast<const void*>(wide))) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const char substitute = defaultChar != nullptr ? defaultChar[0] : replacement;
    const int count = unitCount(wide, wideCount);
    bool defaulted = false;
    for (int i = 0; i < count; ++i) {
        char byte = substitute;
        if (!codePageByte(wide[i], byte)) defaulted = true;
        if (multiSize == 0) continue;
        if (i >= multiSize) return fail(ERROR_INSUFFICIENT_BUFFER);
        multi[i] = byte;
    }
    if (usedDefault != nullptr) *usedDefault = defaulted ? TRUE : FALSE;
    return count;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multi, int multiCount, LPWSTR wide, int wideSize) {
    (void)flags; // every byte of this code page is a whole character
    if (codePage != CP_ACP && codePage != westernCodePage) return fail(ERROR_INVALID_PARAMETER);
    if (multi == nullptr || multiCount == 0 || multiCount < -1 || wideSize < 0) return fail(ERROR_INVALID_PARAMETER);
    if (wideSize > 0 && (wide == nullptr || static_cast<const void*>(multi) == static_cast<const void*>(wide))) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const int count = multiCount >= 0 ? multiCount : static_cast<int>(strlen(multi)) + 1;
    if (wideSize == 0) return count;
    if (count > wideSize) return fail(ERROR_INSUFFICIENT_BUFFER);
    for (int i = 0; i < count; ++i) wide[i] = sim::codePageCharacter(static_cast<unsigned char>(multi[i]));
    return count;
}
