// Bounded text handling for the engine's fixed buffers. Every function keeps
// the destination zero-terminated and never writes past its capacity.
#ifndef QUORVANE_ENGINE_TEXT_UTIL_H
#define QUORVANE_ENGINE_TEXT_UTIL_H

#include <stddef.h>

// Copies source into destination (capacity bytes, zero included). Returns
// false, leaving destination empty, when the text does not fit.
bool copyText(char* destination, size_t capacity, const char* source);

// Copies the first `count` characters of source (no more than it has).
bool copyTextPrefix(char* destination, size_t capacity, const char* source, size_t count);

// Appends source to the text already in destination. Returns false, leaving
// destination as it was, when the result would not fit.
bool appendText(char* destination, size_t capacity, const char* source);

// Like strstr, but letters match whatever their case (ASCII folding).
const char* findTextNoCase(const char* haystack, const char* needle);

// True when the first count characters of both texts are the same letters,
// whatever their case (ASCII folding). Both must hold count characters.
bool sameLettersNoCase(const char* text, const char* other, size_t count);

// True when both texts are equal but for the case of their letters.
bool sameTextNoCase(const char* text, const char* other);

// The part of a path after its last backslash; the whole path without one.
const char* fileNamePart(const char* path);

// Folds ASCII capitals to lower case, in place.
void lowerCase(char* text);

#endif // QUORVANE_ENGINE_TEXT_UTIL_H
