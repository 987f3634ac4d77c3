// ANSI text and UTF-16 in the chosen code page; see ansi_units.h.
#include "ansi_units.h"

#include "code_page.h"
#include "machine.h"
#include "utf8_units.h"

namespace sim {

namespace {
constexpr char missingCharacter = '?'; // Windows-1252's default character
} // namespace

std::u16string unitsOfAnsi(const std::string& narrow) {
    if (ansiCodePage() == AnsiCodePage::utf8) return unitsOfUtf8(narrow.data(), narrow.size());
    std::u16string units;
    units.reserve(narrow.size());
    for (char byte : narrow) units += static_cast<char16_t>(codePageCharacter(static_cast<unsigned char>(byte)));
    return units;
}

std::string ansiOfUnits(const std::u16string& units) {
    if (ansiCodePage() == AnsiCodePage::utf8) return utf8OfUnits(units);
    std::string narrow;
    narrow.reserve(units.size());
    for (char16_t unit : units) {
        char byte = missingCharacter;
        codePageByte(static_cast<WCHAR>(unit), byte);
        narrow += byte;
    }
    return narrow;
}

} // namespace sim
