// Bounded copies and searches over zero-terminated texts.
#include "text_util.h"

#include <ctype.h>
#include <string.h>

bool copyTextPrefix(char* destination, size_t capacity, const char* source, size_t count) {
    if (capacity == 0) return false;
    const size_t length = strnlen(source, count);
    if (length >= capacity) {
        destination[0] = '\0';
        return false;
    }
    memcpy(destination, source, length);
    destination[length] = '\0';
    return true;
}

bool copyText(char* destination, size_t capacity, const char* source) {
    return copyTextPrefix(destination, capacity, source, strlen(source));
}

bool appendText(char* destination, size_t capacity, const char* source) {
    const size_t used = strnlen(destination, capacity);
    const size_t extra = strlen(source);
    if (used >= capacity || extra >= capacity - used) return false;
    memcpy(destination + used, source, extra + 1);
    return true;
}

const char* findTextNoCase(const char* haystack, const char* needle) {
    const size_t needleLength = strlen(needle);
    for (const char* start = haystack; *start != '\0'; ++start) {
        size_t i = 0;
        while (i < needleLength && start[i] != '\0' &&
               toupper(static_cast<unsigned char>(start[i])) == toupper(static_cast<unsigned char>(needle[i]))) {
            ++i;
        }
        if (i == needleLength) return start;
    }
    return needleLength == 0 ? haystack : nullptr;
}

bool sameLettersNoCase(const char* text, const char* other, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (toupper(static_cast<unsigned char>(text[i])) != toupper(static_cast<unsigned char>(other[i]))) return false;
    }
    return true;
}

bool sameTextNoCase(const char* text, const char* other) {
    const size_t length = strlen(text);
    return strlen(other) == length && sameLettersNoCase(text, other, length);
}

const char* fileNamePart(const char* path) {
    const char* backslash = strrchr(path, '\\');
    return backslash == nullptr ? path : backslash + 1;
}

void lowerCase(char* text) {
    for (char* at = text; *at != '\0'; ++at) {
        if (*at >= 'A' && *at <= 'Z') *at = static_cast<char>(*at - 'A' + 'a');
    }
}
