// The base block's fields and checksum; see base_block.h.
#include "base_block.h"

#include <cstring>

namespace hive {

namespace {

const char signature[] = {'r', 'e', 'g', 'f'};
constexpr uint32_t allBits = 0xFFFFFFFF;
constexpr uint32_t allBitsStoredAs = 0xFFFFFFFE;
constexpr uint32_t zeroStoredAs = 1;

} // namespace

uint32_t readU32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

uint16_t readU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

uint64_t readU64(const uint8_t* at) { return readU32(at) | static_cast<uint64_t>(readU32(at + 4)) << 32; }

void writeU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void writeU16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void writeU64(uint8_t* at, uint64_t value) {
    writeU32(at, static_cast<uint32_t>(value));
    writeU32(at + 4, static_cast<uint32_t>(value >> 32));
}

uint32_t baseBlockChecksum(const uint8_t* block) {
    uint32_t sum = 0;
    for (size_t at = 0; at < checksumAt; at += sizeof(uint32_t)) sum ^= readU32(block + at);
    if (sum == allBits) return allBitsStoredAs;
    if (sum == 0) return zeroStoredAs;
    return sum;
}

void sealBaseBlock(uint8_t* block) { writeU32(block + checksumAt, baseBlockChecksum(block)); }

bool readBaseBlock(const uint8_t* block, size_t size, BaseBlock& fields) {
    if (block == nullptr || size < logHeaderSize || std::memcmp(block + signatureAt, signature, sizeof signature) != 0) {
        return false;
    }
    fields.primarySequence = readU32(block + primarySequenceAt);
    fields.secondarySequence = readU32(block + secondarySequenceAt);
    fields.lastWritten = readU64(block + lastWrittenAt);
    fields.majorVersion = readU32(block + majorVersionAt);
    fields.minorVersion = readU32(block + minorVersionAt);
    fields.fileType = readU32(block + fileTypeAt);
    fields.rootCell = readU32(block + rootCellAt);
    fields.binsSize = readU32(block + binsSizeAt);
    return true;
}

bool baseBlockValid(const uint8_t* block, size_t size) {
    BaseBlock fields;
    return readBaseBlock(block, size, fields) && readU32(block + checksumAt) == baseBlockChecksum(block);
}

bool primaryDirty(const uint8_t* block, size_t size) {
    BaseBlock fields;
    if (!baseBlockValid(block, size) || !readBaseBlock(block, size, fields)) return true;
    return fields.primarySequence != fields.secondarySequence;
}

} // namespace hive
