// Matching a text file against the text signature table, and the disposal
// of a text file that matches.
#include "text_check.h"

#include <string.h>

#include <algorithm>

#include "registry_clean.h"
#include "disposal.h"
#include "file_read.h"
#include "result_lines.h"
#include "scan_state.h"
#include "signatures/text_signatures.h"
#include "text_util.h"

char matchedTextName[textNameLength] = {};

namespace {

constexpr unsigned beginLength = 5; // "begin"
const char* const beginWord = "begin";

// The stripped windows of the file under test, kept for the process.
unsigned char headText[textWindowSize];
unsigned char tailText[textWindowSize];

struct Windows {
    size_t headLength = 0;
    size_t tailLength = 0;
    const unsigned char* tail = tailText;
    size_t searchLength = 0; // the window's length before stripping
};

bool isTextSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads count bytes at position and strips them into destination.
bool readStripped(int fd, uint32_t position, unsigned count, unsigned char* work, unsigned char* destination,
                  size_t& strippedLength) {
    memset(work, 0, textWindowSize + 1);
    if (!readExactlyAt(fd, position, work, count)) return false;
    strippedLength = stripWhitespace(work, count, destination);
    return true;
}

bool readWindows(int fd, long length, unsigned char* work, Windows& windows) {
    if (length < textWindowSize) {
        const unsigned count = static_cast<unsigned>(length);
        if (!readStripped(fd, 0, count, work, headText, windows.headLength)) return false;
        windows.tailLength = windows.headLength;
        windows.tail = headText;
        windows.searchLength = count;
        return true;
    }
    windows.searchLength = textWindowSize;
    return readStripped(fd, 0, textWindowSize, work, headText, windows.headLength) &&
           readStripped(fd, static_cast<uint32_t>(length - textWindowSize), textWindowSize, work, tailText,
                        windows.tailLength);
}

bool sizeAccepted(const TextSignature& record, long length) {
    switch (record.sizeTest) {
    case textSizeEquals:
        return length == record.fileSize;
    case textSizeNear:
        return length - textWindowSize <= record.fileSize && record.fileSize <= length + textWindowSize;
    default:
        return true;
    }
}

// The pattern at the record's own position of the window. A position that
// would take the compared bytes outside the window never matches.
// Past the stripped text the window compares as zeros: what lies there in
// the buffer is left from an earlier file.
bool matchesAtPosition(const TextSignature& record, const Windows& windows, unsigned char* work) {
    memset(work, 0, textWindowSize + 1);
    long start = record.position;
    const unsigned char* window = headText;
    size_t windowLength = windows.headLength;
    if (record.window == windowTail) {
        start = static_cast<long>(windows.tailLength) - record.position;
        window = windows.tail;
        windowLength = windows.tailLength;
    }
    if (start < 0 || start + textPatternCapacity > textWindowSize) return false;
    const size_t from = static_cast<size_t>(start);
    if (from < windowLength) memcpy(work, window + from, std::min<size_t>(textPatternCapacity, windowLength - from));
    return memcmp(work, record.pattern, record.patternLength) == 0;
}

bool recordMatches(const TextSignature& record, const Windows& windows, long length, unsigned char* work) {
    if (record.patternLength == 0 || record.patternLength > textPatternCapacity) return false;
    if (length < record.patternLength || !sizeAccepted(record, length)) return false;
    if (record.window != windowHead && record.window != windowTail) return false;
    if (record.matchMode != matchAnywhere) return matchesAtPosition(record, windows, work);
    memset(work, 0, textWindowSize + 1);
    const bool head = record.window == windowHead;
    memcpy(work, head ? headText : windows.tail, head ? windows.headLength : windows.tailLength);
    return findPattern(work, windows.searchLength, record.pattern, record.patternLength);
}

void deleteTextFile(const char* path, ResultLine done = lineRemoved) {
    if (!DeleteFileA(path)) {
        reportLine(lineRemoveFailed, path, scanState.detectedName);
        return;
    }
    ++scanState.filesRemoved;
    afterFileRemoved();
    reportLine(done, path, scanState.detectedName);
}

} // namespace

size_t stripWhitespace(const unsigned char* source, size_t length, unsigned char* destination) {
    size_t kept = 0;
    for (size_t i = 0; i < length; ++i) {
        if (!isTextSpace(source[i])) destination[kept++] = source[i];
    }
    return kept;
}

bool findPattern(const unsigned char* window, size_t windowLength, const unsigned char* pattern,
                 size_t patternLength) {
    if (patternLength == 0 || patternLength > windowLength) return false;
    for (size_t at = 0; at + patternLength <= windowLength; ++at) {
        const void* first = memchr(window + at, pattern[0], windowLength - patternLength + 1 - at);
        if (first == nullptr) return false;
        at = static_cast<size_t>(static_cast<const unsigned char*>(first) - window);
        if (memcmp(window + at, pattern, patternLength) == 0) return true;
    }
    return false;
}

bool startsWithBegin(int fd) {
    if (_filelength(fd) < 0) return false;
    char first[beginLength];
    if (!readExactlyAt(fd, 0, first, beginLength)) return false;
    for (unsigned i = 0; i < beginLength; ++i) {
        const char folded = first[i] >= 'A' && first[i] <= 'Z' ? static_cast<char>(first[i] - 'A' + 'a') : first[i];
        if (folded != beginWord[i]) return false;
    }
    return true;
}

bool matchTextSignature(int fd) {
    unsigned char work[textWindowSize + 1] = {};
    if (!startsWithBegin(fd)) return false;
    const long length = _filelength(fd);
    Windows windows;
    if (length < 0 || !readWindows(fd, length, work, windows)) return false;
    for (const TextSignature& record : textSignatures) {
        if (!recordMatches(record, windows, length, work)) continue;
        ++scanState.filesInfected;
        copyTextPrefix(matchedTextName, sizeof matchedTextName, record.name, sizeof record.name);
        return true;
    }
    return false;
}

bool checkTextFile(const char* path) {
    readyTextTable();
    const int fd = _open(path, _O_RDONLY | _O_BINARY);
    if (fd < 0) return false;
    const bool matched = matchTextSignature(fd);
    if (matched) {
        copyText(scanState.detectedName, pathTextSize, matchedTextName);
        copyText(scanState.detectedPath, pathTextSize, path);
    }
    _close(fd);
    if (!matched) return false;
    switch (scanState.userChoice) {
    case choiceDelete:
    case choiceDeleteToo:
        deleteTextFile(path);
        break;
    case choiceQuarantine:
        if (keepForQuarantine(path, scanState.detectedName)) deleteTextFile(path, lineQuarantined);
        break;
    case choiceRename:
        renameDetectedFile(path, scanState.detectedName);
        break;
    case choiceLeave:
        reportLine(lineTextLeftAsChosen, scanState.detectedPath, scanState.detectedName);
        break;
    default:
        break; // counted, but no action and no line
    }
    return true;
}
