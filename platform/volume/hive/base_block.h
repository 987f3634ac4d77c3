// The base block of a registry hive file and the header of its transaction
// logs: where each field lies, the checksum, and when a hive is dirty.
//
// All numbers in a hive are little-endian. Offsets inside the hive (cells,
// bins, log pages) count from the start of the hive bins data, which
// follows the 4,096-byte base block.
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_BASE_BLOCK_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_BASE_BLOCK_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hive {

using Bytes = std::vector<uint8_t>;

constexpr size_t baseBlockSize = 4096;
constexpr size_t pageSize = 4096;        // bins are whole pages; logs carry pages
constexpr size_t logHeaderSize = 512;    // a log starts with this much of a base block
constexpr size_t logSectorSize = 512;    // log entries are whole sectors
constexpr size_t checksumAt = 508;       // XOR of the 127 dwords before it
constexpr size_t signatureAt = 0;
constexpr size_t primarySequenceAt = 4;  // raised when a write of the hive begins
constexpr size_t secondarySequenceAt = 8; // raised when it ends
constexpr size_t lastWrittenAt = 12;     // FILETIME
constexpr size_t majorVersionAt = 20;
constexpr size_t minorVersionAt = 24;
constexpr size_t fileTypeAt = 28;
constexpr size_t rootCellAt = 36;
constexpr size_t binsSizeAt = 40;
constexpr size_t clusteringAt = 44;

constexpr uint32_t fileTypePrimary = 0;
constexpr uint32_t fileTypeOldLog = 1;
constexpr uint32_t fileTypeOldLogWindows2000 = 2;
constexpr uint32_t fileTypeNewLog = 6;
constexpr uint32_t firstBigDataMinor = 4; // minor version from which big data is used

uint32_t readU32(const uint8_t* at);
uint16_t readU16(const uint8_t* at);
uint64_t readU64(const uint8_t* at);
void writeU32(uint8_t* at, uint32_t value);
void writeU16(uint8_t* at, uint16_t value);
void writeU64(uint8_t* at, uint64_t value);

// The fields of a base block (or of a log's copy of one).
struct BaseBlock {
    uint32_t primarySequence = 0;
    uint32_t secondarySequence = 0;
    uint64_t lastWritten = 0;
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t fileType = 0;
    uint32_t rootCell = 0;
    uint32_t binsSize = 0;
};

// The checksum the 508 bytes from `block` on should carry: the XOR of their
// 127 dwords, with 0xFFFFFFFF stored as 0xFFFFFFFE and 0 as 1.
uint32_t baseBlockChecksum(const uint8_t* block);

// Puts the right checksum into a block of at least 512 bytes.
void sealBaseBlock(uint8_t* block);

// The fields of a block of `size` bytes; false when it is shorter than
// 512 bytes or does not start with "regf". The checksum is not looked at.
bool readBaseBlock(const uint8_t* block, size_t size, BaseBlock& fields);

// A whole, valid block: "regf", the right checksum.
bool baseBlockValid(const uint8_t* block, size_t size);

// A primary file needs its logs: its base block is damaged or its two
// sequence numbers differ (a write was begun and not ended).
bool primaryDirty(const uint8_t* block, size_t size);

} // namespace hive

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_BASE_BLOCK_H
