// The rewrite of the restart file, streamed through two small buffers so
// that a line of any length is handled whole in bounded memory. Lines are
// told apart by their LF alone; a CR before it is part of what is copied.
#include "restart_file.h"

#include <stddef.h>
#include <string.h>

#include "text_util.h"
#include "win32api.h"

namespace {

const char* const renameHeader = "[rename]";
constexpr size_t renameHeaderLength = 8; // a header is known by this many characters
const char* const lineEnd = "\r\n";
const char* const separator = "=";
constexpr char sectionStart = '[';
constexpr char lineFeed = '\n';
constexpr unsigned streamBufferSize = 512;

// Bytes of a descriptor, one at a time, read in blocks.
class Input {
public:
    explicit Input(int fd) : fd_(fd) {}

    // The next byte, or -1 at the end or after a failed read.
    int next() {
        if (position_ == filled_ && !refill()) return -1;
        return static_cast<unsigned char>(bytes_[position_++]);
    }
    bool failed() const { return failed_; }

private:
    bool refill() {
        if (fd_ < 0 || failed_) return false;
        const int got = _read(fd_, bytes_, sizeof bytes_);
        if (got < 0) failed_ = true;
        if (got <= 0) return false;
        filled_ = static_cast<size_t>(got);
        position_ = 0;
        return true;
    }

    int fd_;
    char bytes_[streamBufferSize];
    size_t filled_ = 0;
    size_t position_ = 0;
    bool failed_ = false;
};

// Bytes to a descriptor, written in blocks. After one short write every
// later write is dropped and failed() stays true.
class Output {
public:
    explicit Output(int fd) : fd_(fd) {}

    void put(const char* data, size_t count) {
        while (count > 0 && !failed_) {
            if (used_ == sizeof bytes_) flush();
            const size_t room = sizeof bytes_ - used_;
            const size_t part = count < room ? count : room;
            memcpy(bytes_ + used_, data, part);
            used_ += part;
            data += part;
            count -= part;
        }
    }
    void put(const char* text) { put(text, strlen(text)); }
    void put(char byte) { put(&byte, 1); }

    // Writes out what is buffered; true when everything so far was written.
    bool flush() {
        if (!failed_ && used_ > 0) {
            failed_ = _write(fd_, bytes_, static_cast<unsigned>(used_)) != static_cast<int>(used_);
        }
        used_ = 0;
        return !failed_;
    }
    bool failed() const { return failed_; }

private:
    int fd_;
    char bytes_[streamBufferSize];
    size_t used_ = 0;
    bool failed_ = false;
};

// The start of one line: up to renameHeaderLength bytes, fewer when the
// line ends (its LF included) or the input does.
struct LineHead {
    char bytes[renameHeaderLength];
    size_t length = 0;

    bool endsLine() const { return length > 0 && bytes[length - 1] == lineFeed; }
    bool isRenameHeader() const {
        return length == renameHeaderLength && sameLettersNoCase(bytes, renameHeader, renameHeaderLength);
    }
    bool isSectionHeader() const { return length > 0 && bytes[0] == sectionStart; }
};

bool readLineHead(Input& input, LineHead& head) {
    head.length = 0;
    while (head.length < renameHeaderLength) {
        const int byte = input.next();
        if (byte < 0) break;
        head.bytes[head.length++] = static_cast<char>(byte);
        if (byte == lineFeed) break;
    }
    return head.length > 0;
}

// Copies the rest of a line, its LF included, and gives the last byte
// copied (-1 when there was none).
int copyRestOfLine(Input& input, Output& output) {
    int last = -1;
    for (int byte = input.next(); byte >= 0; byte = input.next()) {
        output.put(static_cast<char>(byte));
        last = byte;
        if (byte == lineFeed) break;
    }
    return last;
}

void putEntry(Output& output, const RenameEntry& entry) {
    output.put(entry.destination);
    output.put(separator);
    output.put(entry.source);
    output.put(lineEnd);
}

struct RewriteState {
    bool inRenameSection = false;
    bool entryWritten = false;
    int lastByte = -1; // of the input; -1 while nothing was read
};

// Decides, from a line's first characters, whether the entry goes in
// before it: the entry closes the first [rename] section.
void beforeLine(const LineHead& head, RewriteState& state, Output& output, const RenameEntry& entry) {
    if (state.entryWritten) return;
    if (!state.inRenameSection) {
        state.inRenameSection = head.isRenameHeader();
    } else if (head.isSectionHeader()) {
        putEntry(output, entry);
        state.entryWritten = true;
    }
}

// With no later section the entry ends the file, under a header of its own
// when there was no [rename] section, and on a line of its own always.
void atEnd(const RewriteState& state, Output& output, const RenameEntry& entry) {
    if (state.entryWritten) return;
    if (state.lastByte >= 0 && state.lastByte != lineFeed) output.put(lineEnd);
    if (!state.inRenameSection) {
        output.put(renameHeader);
        output.put(lineEnd);
    }
    putEntry(output, entry);
}

} // namespace

bool copyWithRenameEntry(int input, int output, const RenameEntry& entry) {
    Input in(input);
    Output out(output);
    RewriteState state;
    LineHead head;
    while (!out.failed() && readLineHead(in, head)) {
        beforeLine(head, state, out, entry);
        out.put(head.bytes, head.length);
        state.lastByte = static_cast<unsigned char>(head.bytes[head.length - 1]);
        if (!head.endsLine()) {
            const int last = copyRestOfLine(in, out);
            if (last >= 0) state.lastByte = last;
        }
    }
    if (in.failed() || out.failed()) return false;
    atEnd(state, out, entry);
    return out.flush();
}
