// The check of a text file against the text signature table: a uuencoded
// payload, found whatever its line breaks and indentation. The engine gives
// it one file, the system's hosts file, after every executable hit.
#ifndef QUORVANE_ENGINE_TEXT_CHECK_H
#define QUORVANE_ENGINE_TEXT_CHECK_H

#include <stddef.h>

#include "text_table.h"

// The stripped windows of a file: its first and its last this many bytes.
constexpr int textWindowSize = 4096;

// Tests the file at path and, on a match, deletes, renames or leaves it by
// the user's choice, with a result line. True when it matched, whatever the
// disposal achieved; false when it cannot be read or does not match.
bool checkTextFile(const char* path);

// The matching half, on an open file: on a match counts the hit, notes the
// record's name in matchedTextName and returns true.
bool matchTextSignature(int fd);

// Whether the file's first five bytes are "begin", in any letter case.
bool startsWithBegin(int fd);

// Copies the bytes of source that are not white space (space, tab, line
// feed, vertical tab, form feed, carriage return); returns how many.
size_t stripWhitespace(const unsigned char* source, size_t length, unsigned char* destination);

// Whether pattern lies wholly inside the first windowLength bytes of window.
bool findPattern(const unsigned char* window, size_t windowLength, const unsigned char* pattern,
                 size_t patternLength);

// Name of the record that matched last.
extern char matchedTextName[];

#endif // QUORVANE_ENGINE_TEXT_CHECK_H
