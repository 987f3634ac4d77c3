// UTF-16 and UTF-8 (with lone surrogates kept); see utf8_units.h.
#include "utf8_units.h"

#include <cstdint>

namespace sim {

namespace {

constexpr char16_t replacementCharacter = 0xFFFD;
constexpr uint32_t highSurrogateFirst = 0xD800;
constexpr uint32_t lowSurrogateFirst = 0xDC00;
constexpr uint32_t surrogateEnd = 0xE000;
constexpr uint32_t firstSupplementary = 0x10000;
constexpr unsigned surrogateBits = 10;
constexpr uint32_t surrogateMask = 0x3FF;

constexpr uint32_t lastOneByte = 0x7F;
constexpr uint32_t lastTwoBytes = 0x7FF;
constexpr unsigned payloadBits = 6; // of each continuation byte
constexpr uint32_t payloadMask = 0x3F;
constexpr unsigned char continuationMark = 0x80;
constexpr unsigned char lowestContinuation = 0x80;
constexpr unsigned char highestContinuation = 0xBF;
constexpr unsigned char twoByteMark = 0xC0;
constexpr unsigned char threeByteMark = 0xE0;
constexpr unsigned char fourByteMark = 0xF0;

bool isHigh(uint32_t unit) { return unit >= highSurrogateFirst && unit < lowSurrogateFirst; }
bool isLow(uint32_t unit) { return unit >= lowSurrogateFirst && unit < surrogateEnd; }

char byteOf(uint32_t value) { return static_cast<char>(value & 0xFF); }
char continuation(uint32_t point, unsigned shift) { return byteOf(continuationMark | ((point >> shift) & payloadMask)); }

void appendPoint(std::string& out, uint32_t point) {
    if (point <= lastOneByte) {
        out += byteOf(point);
    } else if (point <= lastTwoBytes) {
        out += byteOf(twoByteMark | point >> payloadBits);
        out += continuation(point, 0);
    } else if (point < firstSupplementary) {
        out += byteOf(threeByteMark | point >> (2 * payloadBits));
        out += continuation(point, payloadBits);
        out += continuation(point, 0);
    } else {
        out += byteOf(fourByteMark | point >> (3 * payloadBits));
        out += continuation(point, 2 * payloadBits);
        out += continuation(point, payloadBits);
        out += continuation(point, 0);
    }
}

// How a sequence starting with `lead` goes on: its length, the payload of
// the lead byte, and the range its second byte must lie in (narrower than
// any continuation after some leads, which rules out longer spellings than
// needed and numbers past U+10FFFF). Length 0: the byte starts none.
struct Sequence {
    size_t length;
    uint32_t payload;
    unsigned char secondLow;
    unsigned char secondHigh;
};

Sequence sequenceOf(unsigned char lead) {
    if (lead <= lastOneByte) return {1, lead, 0, 0};
    if (lead < 0xC2) return {0, 0, 0, 0};                     // a continuation, or a two-byte form of ASCII
    if (lead < threeByteMark) return {2, lead & 0x1Fu, lowestContinuation, highestContinuation};
    if (lead == threeByteMark) return {3, 0, 0xA0, highestContinuation}; // nothing below U+0800
    if (lead < fourByteMark) return {3, lead & 0x0Fu, lowestContinuation, highestContinuation};
    if (lead == fourByteMark) return {4, 0, 0x90, highestContinuation}; // nothing below U+10000
    if (lead < 0xF4) return {4, lead & 0x07u, lowestContinuation, highestContinuation};
    if (lead == 0xF4) return {4, lead & 0x07u, lowestContinuation, 0x8F}; // nothing past U+10FFFF
    return {0, 0, 0, 0};
}

// The character of the sequence at `at`; false when there is none whole.
bool readPoint(const unsigned char* bytes, size_t count, size_t at, size_t& length, uint32_t& point) {
    const Sequence sequence = sequenceOf(bytes[at]);
    if (sequence.length == 0 || sequence.length > count - at) return false;
    point = sequence.payload;
    for (size_t i = 1; i < sequence.length; ++i) {
        const unsigned char next = bytes[at + i];
        const unsigned char low = i == 1 ? sequence.secondLow : lowestContinuation;
        const unsigned char high = i == 1 ? sequence.secondHigh : highestContinuation;
        if (next < low || next > high) return false;
        point = point << payloadBits | (next & payloadMask);
    }
    length = sequence.length;
    return true;
}

void appendUnits(std::u16string& units, uint32_t point) {
    if (point < firstSupplementary) {
        units += static_cast<char16_t>(point);
        return;
    }
    point -= firstSupplementary;
    units += static_cast<char16_t>(highSurrogateFirst + (point >> surrogateBits));
    units += static_cast<char16_t>(lowSurrogateFirst + (point & surrogateMask));
}

} // namespace

std::string utf8OfUnits(const std::u16string& units) {
    const size_t count = units.size();
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t unit = units[i];
        if (isHigh(unit) && i + 1 < count && isLow(units[i + 1])) {
            appendPoint(out, firstSupplementary + ((unit - highSurrogateFirst) << surrogateBits) +
                                 (units[i + 1] - lowSurrogateFirst));
            ++i;
        } else {
            appendPoint(out, unit);
        }
    }
    return out;
}

std::u16string unitsOfUtf8(const char* bytes, size_t count, bool* replaced) {
    const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes);
    std::u16string units;
    if (replaced != nullptr) *replaced = false;
    size_t at = 0;
    while (at < count) {
        size_t length = 0;
        uint32_t point = 0;
        if (readPoint(data, count, at, length, point)) {
            appendUnits(units, point);
            at += length;
            continue;
        }
        units += replacementCharacter;
        if (replaced != nullptr) *replaced = true;
        ++at;
    }
    return units;
}

bool hasLoneSurrogate(const std::u16string& units) {
    const size_t count = units.size();
    for (size_t i = 0; i < count; ++i) {
        if (isHigh(units[i]) && i + 1 < count && isLow(units[i + 1])) {
            ++i;
        } else if (isHigh(units[i]) || isLow(units[i])) {
            return true;
        }
    }
    return false;
}

} // namespace sim
