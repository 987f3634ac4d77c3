// ANSI to UTF-16 and UTF-8; see ansi_text.h.
#include "ansi_text.h"

#include <climits>
#include <cstring>

namespace {

constexpr uint32_t replacementCharacter = 0xFFFD;
constexpr uint32_t highSurrogateFirst = 0xD800;
constexpr uint32_t lowSurrogateFirst = 0xDC00;
constexpr uint32_t surrogateEnd = 0xE000;
constexpr uint32_t firstSupplementary = 0x10000;

void appendUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < firstSupplementary) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool isHigh(uint32_t unit) { return unit >= highSurrogateFirst && unit < lowSurrogateFirst; }
bool isLow(uint32_t unit) { return unit >= lowSurrogateFirst && unit < surrogateEnd; }

} // namespace

std::vector<WCHAR> ansiToWide(const char* bytes, size_t count) {
    std::vector<WCHAR> wide;
    if (bytes == nullptr || count == 0 || count > static_cast<size_t>(INT_MAX)) return wide;
    const int size = static_cast<int>(count);
    const int needed = MultiByteToWideChar(CP_ACP, 0, bytes, size, nullptr, 0);
    if (needed <= 0) return wide;
    wide.assign(static_cast<size_t>(needed), 0);
    const int got = MultiByteToWideChar(CP_ACP, 0, bytes, size, wide.data(), needed);
    wide.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return wide;
}

std::string wideToUtf8(const std::vector<WCHAR>& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        const uint32_t unit = units[i];
        if (isHigh(unit) && i + 1 < units.size() && isLow(units[i + 1])) {
            appendUtf8(firstSupplementary + ((unit - highSurrogateFirst) << 10) + (units[i + 1] - lowSurrogateFirst),
                       out);
            ++i;
        } else {
            appendUtf8(isHigh(unit) || isLow(unit) ? replacementCharacter : unit, out);
        }
    }
    return out;
}

std::string ansiToUtf8(const char* text) {
    return text == nullptr ? std::string() : wideToUtf8(ansiToWide(text, std::strlen(text)));
}
