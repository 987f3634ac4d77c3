// Positioned reads through the C runtime's descriptor functions.
#ifndef QUORVANE_ENGINE_FILE_READ_H
#define QUORVANE_ENGINE_FILE_READ_H

#include <stdint.h>

// Seeks to position (from the start) and reads up to count bytes. Returns
// the number of bytes read, or -1 when the seek or the read fails. A position beyond
// what the runtime's 32-bit signed offset can name fails like a bad seek.
int readAt(int fd, uint32_t position, void* buffer, unsigned count);

// readAt that must deliver all count bytes.
bool readExactlyAt(int fd, uint32_t position, void* buffer, unsigned count);

// The length of an open file as the matcher sees it. The signature records
// ask for lengths of a few tens of kilobytes: a file whose length does not
// fit a signed 32-bit length (a page file, a hibernation file) is too large
// to be any of them, which is not the same as a length that cannot be told.
enum class LengthKind { known, tooLarge, unknown };
struct FileLength {
    LengthKind kind = LengthKind::unknown;
    int32_t bytes = 0; // when known
};
FileLength openFileLength(int fd);

// Whether a read has failed (not merely come up short) since the last
// clearReadError: the file could not be read, so a miss proves nothing.
void clearReadError();
bool readErrorSeen();

// The start of the file under test, read once: the headers the matcher
// compares lie in it, so that a file costs one read unless its entry point
// lies further in. Handed to the matcher with the file it came from.
constexpr unsigned headerBlockSize = 4096; // a page: small files are read whole at once
struct HeaderBlock {
    int fd = -1;
    unsigned length = 0;    // bytes of the file held
    bool wholeFile = false; // the file ends inside the block: nothing lies past length
    unsigned char bytes[headerBlockSize];
};

// Reads the block from the start of the open file, whose length was taken
// as fileLength; false when the read fails (then it holds nothing, and is
// the whole file as far as any later read goes). A file no longer than
// the block is read whole, and nothing past its length is read.
bool readHeaderBlock(int fd, long fileLength, HeaderBlock& block);

// readExactlyAt, served from the block where the bytes lie in it, and where
// the file ends inside it without reading at all.
bool readExactlyFrom(const HeaderBlock& block, uint32_t position, void* buffer, unsigned count);

uint16_t readLe16(const unsigned char* bytes);
uint32_t readLe32(const unsigned char* bytes);

#endif // QUORVANE_ENGINE_FILE_READ_H
