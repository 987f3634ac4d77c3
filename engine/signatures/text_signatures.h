// The text signature records: threats carried as uuencoded text.
#ifndef QUORVANE_ENGINE_SIGNATURES_TEXT_SIGNATURES_H
#define QUORVANE_ENGINE_SIGNATURES_TEXT_SIGNATURES_H

#include <stdint.h>

constexpr int textSignatureCount = 1;
constexpr int textNameLength = 25;       // 24 characters and the zero
constexpr int textPatternCapacity = 100; // bytes a record can hold
constexpr int textReservedLength = 27;

// Which stripped window of the file a record looks in.
enum TextWindow : int16_t { windowHead = 0, windowTail = 1 };

// matchAnywhere: the pattern may lie anywhere in the window; any other
// value: it must lie at the record's position.
constexpr int16_t matchAnywhere = 1;

// How a record tests the file's length; any other value tests nothing.
constexpr int16_t textSizeEquals = 16;     // the length equals fileSize
constexpr int16_t textSizeNear = 17;       // fileSize within a window's size of the length
constexpr int16_t textSizeUntested = 18;

// One record, packed: 170 bytes, integers little-endian.
#pragma pack(push, 1)
struct TextSignature {
    char name[textNameLength];
    int32_t fileSize;
    int16_t position;
    uint16_t patternLength; // 0 disables the record
    int16_t window;         // a TextWindow
    unsigned char pattern[textPatternCapacity];
    int16_t matchMode;
    int16_t reserved1;
    int16_t sizeTest;
    int16_t reserved2;
    unsigned char reserved3[textReservedLength];
};
#pragma pack(pop)
static_assert(sizeof(TextSignature) == 170, "text signature records are packed 170-byte records");

// The table, its patterns stored scrambled until unscrambleTextTable has run.
extern TextSignature textSignatures[textSignatureCount];

// Every stored pattern byte is the real one exclusive-or this key.
extern const unsigned char textPatternKey;

#endif // QUORVANE_ENGINE_SIGNATURES_TEXT_SIGNATURES_H
