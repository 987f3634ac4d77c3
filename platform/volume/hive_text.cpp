// Names and data between a hive file and the ANSI registry calls; see
// hive_text.h.
#include "hive_text.h"

#include <cstdint>
#include <vector>

#include "code_page.h"

namespace sim {

namespace {

constexpr size_t unitSize = 2;

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::string codePageOfUnits(const std::vector<WCHAR>& units) {
    if (units.empty()) return std::string();
    std::string text(units.size(), '\0');
    const int count = static_cast<int>(units.size());
    WideCharToMultiByte(CP_ACP, 0, units.data(), count, &text[0], count, nullptr, nullptr);
    return text;
}

} // namespace

std::string codePageName(const std::u16string& units) {
    return codePageOfUnits(std::vector<WCHAR>(units.begin(), units.end()));
}

// Every character of the code page lies in the basic plane.
std::u16string hiveName(const std::string& codePage) {
    std::u16string units;
    units.reserve(codePage.size());
    for (char byte : codePage) units += static_cast<char16_t>(codePageCharacter(static_cast<unsigned char>(byte)));
    return units;
}

std::string codePageData(DWORD type, const std::string& stored) {
    if (!isStringType(type)) return stored;
    std::vector<WCHAR> units(stored.size() / unitSize);
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<WCHAR>(static_cast<unsigned char>(stored[unitSize * i]) |
                                      static_cast<unsigned char>(stored[unitSize * i + 1]) << 8);
    }
    return codePageOfUnits(units);
}

std::string storedData(DWORD type, const std::string& codePage) {
    if (!isStringType(type)) return codePage;
    std::string stored;
    stored.reserve(codePage.size() * unitSize);
    for (char byte : codePage) {
        const WCHAR unit = codePageCharacter(static_cast<unsigned char>(byte));
        stored += static_cast<char>(unit & 0xFF);
        stored += static_cast<char>(unit >> 8);
    }
    return stored;
}

} // namespace sim
