// Windows-1252, byte by byte; see code_page.h.
#include "code_page.h"

namespace {

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
constexpr unsigned specialCount = sizeof specials / sizeof specials[0];

} // namespace

namespace sim {

bool codePageByte(WCHAR unit, char& byte) {
    if (unit <= lastAscii || (unit >= firstLatin1Letter && unit <= lastLatin1)) {
        byte = static_cast<char>(unit);
        return true;
    }
    for (unsigned i = 0; i < specialCount; ++i) {
        if (specials[i] == unit) {
            byte = static_cast<char>(firstSpecialByte + i);
            return true;
        }
    }
    return false;
}

// A byte without a character of its own stands for the control character
// of the same number, as MultiByteToWideChar gives it.
WCHAR codePageCharacter(unsigned char byte) {
    if (byte < firstSpecialByte || byte >= firstSpecialByte + specialCount) return byte;
    const WCHAR special = specials[byte - firstSpecialByte];
    return special != 0 ? special : byte;
}

} // namespace sim
