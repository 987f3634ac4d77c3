// Names and data between a hive file and the ANSI registry calls; see
// hive_text.h.
#include "hive_text.h"

#include <cstdint>
#include <vector>

#include "code_page.h"

namespace sim {

namespace {

constexpr uint32_t replacementCharacter = 0xFFFD;
constexpr uint32_t firstSupplementary = 0x10000;
constexpr uint32_t highSurrogateBase = 0xD800;
constexpr uint32_t lowSurrogateBase = 0xDC00;
constexpr unsigned surrogateBits = 10;
constexpr uint32_t surrogateMask = 0x3FF;
constexpr unsigned utf8ContinuationBits = 6;
constexpr unsigned char continuationMask = 0xC0;
constexpr unsigned char continuationMark = 0x80;
constexpr unsigned char continuationPayload = 0x3F;
constexpr size_t unitSize = 2;

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The length of a UTF-8 sequence from its first byte and the payload bits
// that byte carries; 0 for a byte that starts none.
size_t sequenceLength(unsigned char lead, uint32_t& payload) {
    if (lead < 0x80) { payload = lead; return 1; }
    if ((lead & 0xE0) == 0xC0) { payload = lead & 0x1F; return 2; }
    if ((lead & 0xF0) == 0xE0) { payload = lead & 0x0F; return 3; }
    if ((lead & 0xF8) == 0xF0) { payload = lead & 0x07; return 4; }
    return 0;
}

void appendUnits(std::vector<WCHAR>& units, uint32_t point) {
    if (point < firstSupplementary) {
        units.push_back(static_cast<WCHAR>(point));
        return;
    }
    point -= firstSupplementary;
    units.push_back(static_cast<WCHAR>(highSurrogateBase + (point >> surrogateBits)));
    units.push_back(static_cast<WCHAR>(lowSurrogateBase + (point & surrogateMask)));
}

// Bytes that are no UTF-8 read as the replacement character, one by one.
std::vector<WCHAR> unitsOfUtf8(const std::string& utf8) {
    std::vector<WCHAR> units;
    size_t at = 0;
    while (at < utf8.size()) {
        uint32_t point = 0;
        const size_t length = sequenceLength(static_cast<unsigned char>(utf8[at]), point);
        bool valid = length != 0 && at + length <= utf8.size();
        for (size_t i = 1; valid && i < length; ++i) {
            const unsigned char next = static_cast<unsigned char>(utf8[at + i]);
            valid = (next & continuationMask) == continuationMark;
            point = (point << utf8ContinuationBits) | (next & continuationPayload);
        }
        appendUnits(units, valid ? point : replacementCharacter);
        at += valid ? length : 1;
    }
    return units;
}

std::string codePageOfUnits(const std::vector<WCHAR>& units) {
    if (units.empty()) return std::string();
    std::string text(units.size(), '\0');
    const int count = static_cast<int>(units.size());
    WideCharToMultiByte(CP_ACP, 0, units.data(), count, &text[0], count, nullptr, nullptr);
    return text;
}

void appendUtf8(std::string& utf8, WCHAR unit) {
    if (unit < 0x80) {
        utf8 += static_cast<char>(unit);
    } else if (unit < 0x800) {
        utf8 += static_cast<char>(0xC0 | (unit >> 6));
        utf8 += static_cast<char>(continuationMark | (unit & continuationPayload));
    } else {
        utf8 += static_cast<char>(0xE0 | (unit >> 12));
        utf8 += static_cast<char>(continuationMark | ((unit >> 6) & continuationPayload));
        utf8 += static_cast<char>(continuationMark | (unit & continuationPayload));
    }
}

} // namespace

std::string codePageName(const std::string& utf8) { return codePageOfUnits(unitsOfUtf8(utf8)); }

// Every character of the code page lies in the basic plane.
std::string hiveName(const std::string& codePage) {
    std::string utf8;
    for (char byte : codePage) appendUtf8(utf8, codePageCharacter(static_cast<unsigned char>(byte)));
    return utf8;
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
