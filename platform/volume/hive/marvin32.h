// Marvin32, the 64-bit hash that guards each entry of a hive's transaction
// logs, with the fixed seed Windows uses for them.
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_MARVIN32_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_MARVIN32_H

#include <cstddef>
#include <cstdint>

namespace hive {

// The seed of every log entry's hashes.
constexpr uint64_t logHashSeed = 0x82EF4D887A4E55C5ull;

// Marvin32 of `length` bytes from `data` (which may be null when length is
// 0) with the logs' seed: high word of the result in the top 32 bits.
uint64_t marvin32(const uint8_t* data, size_t length);

} // namespace hive

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_MARVIN32_H
