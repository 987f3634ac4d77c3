// UTF-16 units and UTF-8 bytes, each way exactly.
//
// A surrogate without its other half is written as the three bytes its
// number would take were it a character (the form called WTF-8), and those
// bytes read back as that unit, so that every string of units comes back
// unit for unit. Bytes that start no sequence, or a sequence cut short or
// spelled longer than it needs, read as U+FFFD each, and reading goes on at
// the next byte.
#ifndef QUORVANE_PLATFORM_VOLUME_UTF8_UNITS_H
#define QUORVANE_PLATFORM_VOLUME_UTF8_UNITS_H

#include <cstddef>
#include <string>

namespace sim {

std::string utf8OfUnits(const std::u16string& units);

// `replaced`, when given, is set when any byte read as U+FFFD.
std::u16string unitsOfUtf8(const char* bytes, size_t count, bool* replaced = nullptr);

// Whether a surrogate stands without its other half.
bool hasLoneSurrogate(const std::u16string& units);

} // namespace sim

#endif // QUORVANE_PLATFORM_VOLUME_UTF8_UNITS_H
