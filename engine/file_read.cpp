// Positioned, unbuffered reads of the file under test.
#include "file_read.h"

#include <string.h>

#include "win32api.h"

namespace {
constexpr uint32_t largestSeekOffset = 0x7FFFFFFF; // _lseek takes a signed 32-bit long on Windows
bool readFailed = false;
} // namespace

void clearReadError() { readFailed = false; }

bool readErrorSeen() { return readFailed; }

int readAt(int fd, uint32_t position, void* buffer, unsigned count) {
    if (position > largestSeekOffset) return -1;
    if (_lseek(fd, static_cast<long>(position), SEEK_SET) != static_cast<long>(position)) return -1;
    const int got = _read(fd, buffer, count);
    if (got < 0) readFailed = true;
    return got;
}

// The system's own length, in two halves: the C runtime's 32-bit one fails
// alike for a file it cannot measure and for one over 2 GiB.
FileLength openFileLength(int fd) {
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (file == INVALID_HANDLE_VALUE) return FileLength{};
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return FileLength{};
    if (high != 0 || low > largestSeekOffset) return FileLength{LengthKind::tooLarge, 0};
    return FileLength{LengthKind::known, static_cast<int32_t>(low)};
}

bool readExactlyAt(int fd, uint32_t position, void* buffer, unsigned count) {
    return readAt(fd, position, buffer, count) == static_cast<int>(count);
}

bool readHeaderBlock(int fd, long fileLength, HeaderBlock& block) {
    block.fd = fd;
    const int got = _read(fd, block.bytes, headerBlockSize); // a file just opened reads from its start
    if (got < 0) readFailed = true;
    block.length = got > 0 ? static_cast<unsigned>(got) : 0;
    block.wholeFile = got < static_cast<int>(headerBlockSize) || fileLength <= static_cast<long>(block.length);
    return got >= 0;
}

bool readExactlyFrom(const HeaderBlock& block, uint32_t position, void* buffer, unsigned count) {
    if (position <= block.length && count <= block.length - position) {
        memcpy(buffer, block.bytes + position, count);
        return true;
    }
    if (block.wholeFile) return false; // a read there would come up short
    return readExactlyAt(block.fd, position, buffer, count);
}

uint16_t readLe16(const unsigned char* bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }

uint32_t readLe32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
