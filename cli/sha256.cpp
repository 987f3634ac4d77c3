// SHA-256 as FIPS 180-4 gives it: 64-byte blocks, big-endian words, the
// message padded with 0x80, zeros and its length in bits.
#include "sha256.h"

#include <cstring>

namespace {

const uint32_t roundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

const uint32_t initialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                  0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr size_t scheduleLength = 64;
constexpr size_t lengthFieldLength = 8; // the message length in bits, at the end of the last block
constexpr unsigned char paddingMark = 0x80;

uint32_t rotateRight(uint32_t value, int count) { return (value >> count) | (value << (32 - count)); }

uint32_t readBigEndian(const unsigned char* bytes) {
    return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
           (static_cast<uint32_t>(bytes[2]) << 8) | static_cast<uint32_t>(bytes[3]);
}

} // namespace

Sha256::Sha256() { reset(); }

void Sha256::reset() {
    for (size_t i = 0; i < state_.size(); ++i) state_[i] = initialState[i];
    pendingLength_ = 0;
    totalLength_ = 0;
}

void Sha256::compress(const unsigned char* block) {
    uint32_t w[scheduleLength];
    for (size_t i = 0; i < 16; ++i) w[i] = readBigEndian(block + 4 * i);
    for (size_t i = 16; i < scheduleLength; ++i) {
        const uint32_t s0 = rotateRight(w[i - 15], 7) ^ rotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = rotateRight(w[i - 2], 17) ^ rotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
    for (size_t i = 0; i < scheduleLength; ++i) {
        const uint32_t sum1 = rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25);
        const uint32_t choice = (e & f) ^ (~e & g);
        const uint32_t t1 = h + sum1 + choice + roundConstants[i] + w[i];
        const uint32_t sum0 = rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22);
        const uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
        const uint32_t t2 = sum0 + majority;
        h = g; g = f; f = e; e = d + t1;
        d = c; c = b; b = a; a = t1 + t2;
    }
    state_[0] += a; state_[1] += b; state_[2] += c; state_[3] += d;
    state_[4] += e; state_[5] += f; state_[6] += g; state_[7] += h;
}

void Sha256::update(const void* data, size_t length) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    totalLength_ += length;
    while (length > 0) {
        const size_t room = blockLength - pendingLength_;
        const size_t taken = length < room ? length : room;
        std::memcpy(pending_.data() + pendingLength_, bytes, taken);
        pendingLength_ += taken;
        bytes += taken;
        length -= taken;
        if (pendingLength_ == blockLength) {
            compress(pending_.data());
            pendingLength_ = 0;
        }
    }
}

Sha256::Digest Sha256::finish() {
    const uint64_t bitLength = totalLength_ * 8;
    const unsigned char mark = paddingMark;
    update(&mark, 1);
    const unsigned char zero = 0;
    while (pendingLength_ != blockLength - lengthFieldLength) update(&zero, 1);
    unsigned char lengthField[lengthFieldLength];
    for (size_t i = 0; i < lengthFieldLength; ++i)
        lengthField[i] = static_cast<unsigned char>(bitLength >> (8 * (lengthFieldLength - 1 - i)));
    update(lengthField, lengthFieldLength);
    Digest digest{};
    for (size_t i = 0; i < state_.size(); ++i) {
        digest[4 * i] = static_cast<unsigned char>(state_[i] >> 24);
        digest[4 * i + 1] = static_cast<unsigned char>(state_[i] >> 16);
        digest[4 * i + 2] = static_cast<unsigned char>(state_[i] >> 8);
        digest[4 * i + 3] = static_cast<unsigned char>(state_[i]);
    }
    reset();
    return digest;
}

std::string hexDigest(const Sha256::Digest& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * digest.size());
    for (unsigned char byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

std::string sha256Hex(const void* data, size_t length) {
    Sha256 hash;
    hash.update(data, length);
    return hexDigest(hash.finish());
}
