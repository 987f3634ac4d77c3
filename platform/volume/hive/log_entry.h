// One entry of a hive's new-format transaction log ("HvLE", Windows 8.1
// and later): reading one back with every field checked, and writing one.
//
// An entry is a 40-byte header (signature, size, flags, sequence number,
// bins data size, page count, two Marvin32 hashes), the page references
// (offset from the start of the bins data and size, 4 bytes each), then
// the pages themselves in the same order, padded to whole 512-byte sectors.
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_LOG_ENTRY_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_LOG_ENTRY_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base_block.h"

namespace hive {

struct PageRange {
    uint32_t offset; // from the start of the bins data
    uint32_t size;
};

constexpr size_t logEntryHeaderSize = 40;
constexpr size_t logEntrySizeAt = 4;
constexpr size_t logEntryFlagsAt = 8;
constexpr size_t logEntrySequenceAt = 12;
constexpr size_t logEntryBinsSizeAt = 16;
constexpr size_t logEntryPageCountAt = 20;
constexpr size_t logEntryHash1At = 24; // Marvin32 of the entry from byte 40 to its end
constexpr size_t logEntryHash2At = 32; // Marvin32 of its first 32 bytes
constexpr size_t pageReferenceSize = 8;

// The largest bins data this program takes from a log: larger sizes are
// refused as absurd rather than allocated (real hives are far smaller).
constexpr uint32_t largestBinsSize = 0x80000000u; // 2 GiB

// A page an entry carries: where it goes and where its bytes are in the log.
struct LogPage {
    PageRange range;
    size_t from;
};

struct LogEntry {
    size_t at = 0;   // in the log
    size_t size = 0; // of the whole entry
    uint32_t sequence = 0;
    uint32_t binsSize = 0;
    std::vector<LogPage> pages;
};

enum class EntryCheck {
    sound,
    absent,      // no "HvLE" there (the end of the entries)
    badSize,     // not whole sectors, or past the end of the log
    badBinsSize, // not whole pages, zero or absurd
    badHash,     // either hash does not match
    badPages,    // references that do not fit the entry or the bins data
};

// What a check found, in words for messages ("its hash is wrong", ...).
const char* describe(EntryCheck check);

// Reads the entry at `at` of a log of `length` bytes, checking every field
// against the log before use; `entry` is only meaningful when sound.
EntryCheck readLogEntry(const uint8_t* log, size_t length, size_t at, LogEntry& entry);

// Only the entry's header: signature, size within the log, bins size and
// Hash-2 (which covers the sequence number). Cheap, for looking through a
// whole log for any entry a later replay could still take.
bool logEntryHeaderSound(const uint8_t* log, size_t length, size_t at, uint32_t& sequence, size_t& size);

// The 512-byte header of a new-format log: a copy of the primary's first
// 512 bytes with file type 6, both sequence numbers `sequence`, resealed.
Bytes logHeader(const uint8_t* primaryBaseBlock, uint32_t sequence);

// One entry carrying the given pages of `image` (the whole hive file: base
// block, then bins), with the sequence number, the bins size of the image's
// base block and both hashes, padded to whole sectors. Each page must be a
// whole number of 4,096-byte pages at a 4,096-byte boundary inside the
// image's bins; empty when one is not (or the image has no base block).
Bytes logEntry(const Bytes& image, uint32_t sequence, const std::vector<PageRange>& pages);

} // namespace hive

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_LOG_ENTRY_H
