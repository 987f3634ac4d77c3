// The executable signature records of the family's known variants.
#ifndef QUORVANE_ENGINE_SIGNATURES_EXE_SIGNATURES_H
#define QUORVANE_ENGINE_SIGNATURES_EXE_SIGNATURES_H

#include <stdint.h>

constexpr int exeSignatureCount = 57;
constexpr int signatureLength = 20;      // bytes compared at each position
constexpr int signatureFieldLength = 21; // the compared bytes and a zero
constexpr int detectionNameLength = 50;  // 49 characters and the zero

// How a record tests the file's length.
enum SizeMode : int32_t {
    sizeExact = 1, // the length equals size
    sizeNear = 2,  // the length is within sizeTolerance of size, either way
    sizeAny = 3,   // no test
};
constexpr int32_t sizeTolerance = 4096;

// One record, packed: 108 bytes, integers little-endian.
#pragma pack(push, 1)
struct ExeSignature {
    char name[detectionNameLength];
    int32_t off1; // position of sig1, relative to the entry point
    unsigned char sig1[signatureFieldLength];
    int32_t off2;
    unsigned char sig2[signatureFieldLength];
    int32_t size;
    int32_t mode; // a SizeMode; any other value never matches
};
#pragma pack(pop)
static_assert(sizeof(ExeSignature) == 108, "signature records are packed 108-byte records");

extern const ExeSignature exeSignatureTable[exeSignatureCount];

#endif // QUORVANE_ENGINE_SIGNATURES_EXE_SIGNATURES_H
