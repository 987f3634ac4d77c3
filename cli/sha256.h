// SHA-256 (FIPS 180-4), for the quarantine's check that a stored file comes
// back exactly as it was taken.
#ifndef QUORVANE_CLI_SHA256_H
#define QUORVANE_CLI_SHA256_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
  public:
    static constexpr size_t digestLength = 32;
    using Digest = std::array<unsigned char, digestLength>;

    Sha256();
    void update(const void* data, size_t length);
    // The digest of everything given; the object starts over afterwards.
    Digest finish();

  private:
    static constexpr size_t blockLength = 64;
    void compress(const unsigned char* block);
    void reset();

    std::array<uint32_t, 8> state_{};
    std::array<unsigned char, blockLength> pending_{};
    size_t pendingLength_ = 0;
    uint64_t totalLength_ = 0; // in bytes
};

// The digest of `length` bytes as 64 lower-case hexadecimal digits.
std::string sha256Hex(const void* data, size_t length);
std::string hexDigest(const Sha256::Digest& digest);

#endif // QUORVANE_CLI_SHA256_H
