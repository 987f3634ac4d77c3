// Names and data between a hive file and the ANSI registry calls; see
// hive_text.h.
#include "hive_text.h"

#include "ansi_units.h"

namespace sim {

namespace {

constexpr size_t unitSize = 2;
constexpr unsigned bitsPerByte = 8;

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

} // namespace

std::string codePageName(const std::u16string& units) { return ansiOfUnits(units); }

std::u16string hiveName(const std::string& codePage) { return unitsOfAnsi(codePage); }

std::string codePageData(DWORD type, const std::string& stored) {
    if (!isStringType(type)) return stored;
    std::u16string units(stored.size() / unitSize, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(stored[unitSize * i]) |
                                         static_cast<unsigned char>(stored[unitSize * i + 1]) << bitsPerByte);
    }
    return ansiOfUnits(units);
}

std::string storedData(DWORD type, const std::string& codePage) {
    if (!isStringType(type)) return codePage;
    const std::u16string units = unitsOfAnsi(codePage);
    std::string stored;
    stored.reserve(units.size() * unitSize);
    for (char16_t unit : units) {
        stored += static_cast<char>(unit & 0xFF);
        stored += static_cast<char>(unit >> bitsPerByte);
    }
    return stored;
}

} // namespace sim
