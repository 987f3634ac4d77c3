// Lays out an empty hive in the format of the NT family's registry files:
// a 4096-byte base block, then one 4096-byte bin with the root key (nk),
// its security record (sk) and a free cell over the rest of the bin.
#include "empty_hive.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {

constexpr size_t baseBlockSize = 4096;
constexpr size_t binSize = 4096;
constexpr size_t binHeaderSize = 32;
constexpr size_t cellAlignment = 8;
constexpr size_t longestRootName = 255;

// Base block fields.
constexpr size_t primarySequenceAt = 0x04;
constexpr size_t secondarySequenceAt = 0x08;
constexpr size_t majorVersionAt = 0x14;
constexpr size_t minorVersionAt = 0x18;
constexpr size_t fileTypeAt = 0x1C;
constexpr size_t fileFormatAt = 0x20;
constexpr size_t rootCellAt = 0x24;
constexpr size_t binsSizeAt = 0x28;
constexpr size_t clusteringAt = 0x2C;
constexpr size_t checksumAt = 0x1FC;
constexpr uint32_t firstSequence = 1;
constexpr uint32_t majorVersion = 1;
constexpr uint32_t minorVersion = 3; // read by every system of the family since NT 4
constexpr uint32_t primaryFile = 0;
constexpr uint32_t directMemoryLoad = 1;
constexpr uint32_t clusteringFactor = 1;

// Bin header fields.
constexpr size_t binOffsetAt = 0x04;
constexpr size_t binSizeAt = 0x08;

// Key node fields, from the cell's signature on.
constexpr size_t nkFlagsAt = 0x02;
constexpr size_t nkParentAt = 0x10;
constexpr size_t nkSubkeyListAt = 0x1C;
constexpr size_t nkVolatileListAt = 0x20;
constexpr size_t nkValueListAt = 0x28;
constexpr size_t nkSecurityAt = 0x2C;
constexpr size_t nkClassAt = 0x30;
constexpr size_t nkNameLengthAt = 0x48;
constexpr size_t nkNameAt = 0x4C;
constexpr uint16_t hiveEntry = 0x0004;
constexpr uint16_t noDelete = 0x0008;
constexpr uint16_t compressedName = 0x0020;
constexpr uint32_t noCell = 0xFFFFFFFF;

// Security record fields, from the cell's signature on.
constexpr size_t skNextAt = 0x04;
constexpr size_t skPreviousAt = 0x08;
constexpr size_t skReferencesAt = 0x0C;
constexpr size_t skDescriptorSizeAt = 0x10;
constexpr size_t skDescriptorAt = 0x14;

// A self-relative security descriptor: owned by Administrators, group
// SYSTEM, and a list that grants everyone full access to the key and every
// key below it.
const unsigned char securityDescriptor[] = {
    0x01, 0x00, 0x04, 0x80,                         // revision, self-relative with a DACL
    0x14, 0x00, 0x00, 0x00, 0x24, 0x00, 0x00, 0x00, // owner at 20, group at 36
    0x00, 0x00, 0x00, 0x00, 0x30, 0x00, 0x00, 0x00, // no SACL, DACL at 48
    0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x20, 0x00, 0x00, 0x00, 0x20, 0x02, 0x00, 0x00, // S-1-5-32-544
    0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x12, 0x00, 0x00, 0x00,                         // S-1-5-18
    0x02, 0x00, 0x1C, 0x00, 0x01, 0x00, 0x00, 0x00, // ACL revision 2, 28 bytes, one entry
    0x00, 0x02, 0x14, 0x00, 0x3F, 0x00, 0x0F, 0x00, // allowed, inherited by subkeys, KEY_ALL_ACCESS
    0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, // S-1-1-0
};

void put16(std::string& image, size_t at, uint16_t value) {
    for (size_t i = 0; i < sizeof value; ++i) image.at(at + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void put32(std::string& image, size_t at, uint32_t value) {
    for (size_t i = 0; i < sizeof value; ++i) image.at(at + i) = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void putBytes(std::string& image, size_t at, const void* bytes, size_t length) {
    image.replace(at, length, static_cast<const char*>(bytes), length);
}

size_t alignedCell(size_t length) { return (length + cellAlignment - 1) / cellAlignment * cellAlignment; }

// A used cell's size is stored negative.
void putUsedCell(std::string& image, size_t at, size_t size) {
    put32(image, at, static_cast<uint32_t>(-static_cast<int32_t>(size)));
}

void putBaseBlock(std::string& image, uint32_t rootOffset) {
    putBytes(image, 0, "regf", 4);
    put32(image, primarySequenceAt, firstSequence);
    put32(image, secondarySequenceAt, firstSequence);
    put32(image, majorVersionAt, majorVersion);
    put32(image, minorVersionAt, minorVersion);
    put32(image, fileTypeAt, primaryFile);
    put32(image, fileFormatAt, directMemoryLoad);
    put32(image, rootCellAt, rootOffset);
    put32(image, binsSizeAt, static_cast<uint32_t>(binSize));
    put32(image, clusteringAt, clusteringFactor);
    // The exclusive or of every 32-bit word before it; the system never
    // stores 0 or all ones there, but the values next to them.
    uint32_t sum = 0;
    for (size_t at = 0; at < checksumAt; at += sizeof sum) {
        uint32_t word = 0;
        for (size_t i = 0; i < sizeof word; ++i) {
            word |= static_cast<uint32_t>(static_cast<unsigned char>(image[at + i])) << (8 * i);
        }
        sum ^= word;
    }
    if (sum == 0) sum = 1;
    if (sum == 0xFFFFFFFF) sum = 0xFFFFFFFE;
    put32(image, checksumAt, sum);
}

// The root key's cell at `at` (file offset), whose security record is at
// `security` (bins offset).
size_t putRootKey(std::string& image, size_t at, const std::string& name, uint32_t security) {
    const size_t size = alignedCell(4 + nkNameAt + name.size());
    putUsedCell(image, at, size);
    const size_t nk = at + 4;
    putBytes(image, nk, "nk", 2);
    put16(image, nk + nkFlagsAt, hiveEntry | noDelete | compressedName);
    put32(image, nk + nkParentAt, 0);
    put32(image, nk + nkSubkeyListAt, noCell);
    put32(image, nk + nkVolatileListAt, noCell);
    put32(image, nk + nkValueListAt, noCell);
    put32(image, nk + nkSecurityAt, security);
    put32(image, nk + nkClassAt, noCell);
    put16(image, nk + nkNameLengthAt, static_cast<uint16_t>(name.size()));
    putBytes(image, nk + nkNameAt, name.data(), name.size());
    return size;
}

// The only security record, in a list of its own, used by the root key.
size_t putSecurity(std::string& image, size_t at, uint32_t self) {
    const size_t size = alignedCell(4 + skDescriptorAt + sizeof securityDescriptor);
    putUsedCell(image, at, size);
    const size_t sk = at + 4;
    putBytes(image, sk, "sk", 2);
    put32(image, sk + skNextAt, self);
    put32(image, sk + skPreviousAt, self);
    put32(image, sk + skReferencesAt, 1);
    put32(image, sk + skDescriptorSizeAt, sizeof securityDescriptor);
    putBytes(image, sk + skDescriptorAt, securityDescriptor, sizeof securityDescriptor);
    return size;
}

} // namespace

std::string emptyHiveImage(const std::string& rootName) {
    if (rootName.empty() || rootName.size() > longestRootName) return std::string();
    std::string image(baseBlockSize + binSize, '\0');
    putBytes(image, baseBlockSize, "hbin", 4);
    put32(image, baseBlockSize + binOffsetAt, 0);
    put32(image, baseBlockSize + binSizeAt, static_cast<uint32_t>(binSize));

    const uint32_t rootOffset = static_cast<uint32_t>(binHeaderSize);
    const size_t rootSize = alignedCell(4 + nkNameAt + rootName.size());
    const uint32_t securityOffset = static_cast<uint32_t>(rootOffset + rootSize);
    putRootKey(image, baseBlockSize + rootOffset, rootName, securityOffset);
    const size_t securitySize = putSecurity(image, baseBlockSize + securityOffset, securityOffset);
    const size_t freeAt = securityOffset + securitySize;
    put32(image, baseBlockSize + freeAt, static_cast<uint32_t>(binSize - freeAt)); // free: positive
    putBaseBlock(image, rootOffset);
    return image;
}

bool writeEmptyHive(const std::string& path, const std::string& rootName) {
    const std::string image = emptyHiveImage(rootName);
    if (image.empty()) return false;
    constexpr mode_t fileMode = 0644;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, fileMode);
    if (fd < 0) return false;
    size_t written = 0;
    while (written < image.size()) {
        const ssize_t got = write(fd, image.data() + written, image.size() - written);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        written += static_cast<size_t>(got);
    }
    const bool closed = close(fd) == 0;
    if (written == image.size() && closed) return true;
    unlink(path.c_str());
    return false;
}
