// Text mode of the C runtime's low-level files on the simulated machine:
// a line feed written goes out as carriage return and line feed, a
// carriage return and line feed read come in as a line feed, and a Ctrl-Z
// ends the text.
#include <unistd.h>

#include "sim_state.h"

namespace sim {

namespace {

constexpr char carriageReturn = '\r';
constexpr char lineFeed = '\n';
constexpr char endOfText = 0x1A; // Ctrl-Z

// What a carriage return at the end of a read stands for: a line feed when
// the next byte is one, otherwise itself (the next byte is left unread).
char lastCarriageReturn(int fd) {
    char next = 0;
    if (::read(fd, &next, 1) != 1) return carriageReturn;
    if (next == lineFeed) return lineFeed;
    ::lseek(fd, -1, SEEK_CUR);
    return carriageReturn;
}

} // namespace

bool writeAllHost(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written <= 0) return false;
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

// Like the C runtime, reads the raw bytes into the caller's buffer and
// translates them there: what lies past the count returned is raw data.
int readText(int fd, char* buffer, unsigned int count) {
    if (count == 0) return 0;
    const ssize_t got = ::read(fd, buffer, count);
    if (got <= 0) return static_cast<int>(got);
    const size_t length = static_cast<size_t>(got);
    size_t kept = 0;
    for (size_t i = 0; i < length; ++i) {
        const char c = buffer[i];
        if (c == endOfText) {
            // Left where it is, so that every later read ends there too.
            ::lseek(fd, -static_cast<off_t>(length - i), SEEK_CUR);
            break;
        }
        if (c == carriageReturn && i + 1 < length && buffer[i + 1] == lineFeed) continue;
        buffer[kept++] = (c == carriageReturn && i + 1 == length) ? lastCarriageReturn(fd) : c;
    }
    return static_cast<int>(kept);
}

int writeText(int fd, const char* data, unsigned int count) {
    std::string translated;
    translated.reserve(count);
    for (unsigned int i = 0; i < count; ++i) {
        if (data[i] == lineFeed) translated += carriageReturn;
        translated += data[i];
    }
    return writeAllHost(fd, translated.data(), translated.size()) ? static_cast<int>(count) : -1;
}

} // namespace sim
