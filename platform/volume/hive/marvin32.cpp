// Marvin32 over whole little-endian words, then the 0 to 3 bytes left over
// closed by 0x80, then one more round; see marvin32.h.
#include "marvin32.h"

#include "base_block.h"

namespace hive {

namespace {

constexpr size_t wordSize = 4;
constexpr uint32_t endMark = 0x80; // follows the last byte of the input

uint32_t rotl(uint32_t value, unsigned bits) { return value << bits | value >> (32 - bits); }

struct State {
    uint32_t lo;
    uint32_t hi;

    void mix() {
        hi ^= lo;
        lo = rotl(lo, 20);
        lo += hi;
        hi = rotl(hi, 9);
        hi ^= lo;
        lo = rotl(lo, 27);
        lo += hi;
        hi = rotl(hi, 19);
    }

    void add(uint32_t word) {
        lo += word;
        mix();
    }
};

} // namespace

uint64_t marvin32(const uint8_t* data, size_t length) {
    State state{static_cast<uint32_t>(logHashSeed), static_cast<uint32_t>(logHashSeed >> 32)};
    size_t at = 0;
    for (; length - at >= wordSize; at += wordSize) state.add(readU32(data + at));
    uint32_t last = endMark << (8 * (length - at));
    for (size_t i = 0; at + i < length; ++i) last |= static_cast<uint32_t>(data[at + i]) << (8 * i);
    state.add(last);
    state.mix();
    return static_cast<uint64_t>(state.hi) << 32 | state.lo;
}

} // namespace hive
