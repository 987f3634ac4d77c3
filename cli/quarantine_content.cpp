// The stored content: header, then the original bytes XOR-ed with the key.
#include "quarantine_content.h"

#include <cstdint>
#include <cstring>

namespace {

const unsigned char magic[] = {'Q', 'V', 'Q', 'I', '\r', '\n', 0x1A, '\n'}; // line-end and EOF bytes catch text-mode copies
constexpr size_t magicLength = sizeof magic;
constexpr uint32_t contentFormat = 1;
constexpr size_t formatAt = magicLength;
constexpr size_t reservedAt = formatAt + 4;
constexpr size_t lengthAt = reservedAt + 4;
static_assert(lengthAt + 8 == quarantineContentHeaderLength, "the header ends with the 64-bit length");

// No byte of it is zero, so that every stored byte differs from the original.
const unsigned char key[] = {0xA7, 0x3C, 0x5E, 0x91, 0xD2, 0x48, 0x6B, 0xF0, 0x19, 0x84, 0xC5, 0x2E, 0x7D, 0xB3, 0x06, 0xE9,
                             0x52, 0x1F, 0xAC, 0x67, 0x3B, 0xD8, 0x95, 0x4A, 0xE1, 0x0C, 0x76, 0xBF, 0x28, 0x83, 0x5D, 0xC6};
constexpr size_t keyLength = sizeof key;

void putLittleEndian(std::string& out, uint64_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t getLittleEndian(const std::string& in, size_t at, size_t bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < bytes && at + i < in.size(); ++i)
        value |= static_cast<uint64_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return value;
}

} // namespace

std::string encodeContent(const std::vector<unsigned char>& content) {
    std::string out(reinterpret_cast<const char*>(magic), magicLength);
    putLittleEndian(out, contentFormat, reservedAt - formatAt);
    putLittleEndian(out, 0, lengthAt - reservedAt);
    putLittleEndian(out, content.size(), quarantineContentHeaderLength - lengthAt);
    out.reserve(out.size() + content.size());
    for (size_t i = 0; i < content.size(); ++i) out += static_cast<char>(content[i] ^ key[i % keyLength]);
    return out;
}

bool decodeContent(const std::string& stored, uint64_t length, std::vector<unsigned char>& content,
                   std::string& error) {
    if (stored.size() < quarantineContentHeaderLength || std::memcmp(stored.data(), magic, magicLength) != 0)
        return error = "the content file is not one of ours", false;
    if (getLittleEndian(stored, formatAt, reservedAt - formatAt) != contentFormat)
        return error = "the content file's format is unknown", false;
    if (getLittleEndian(stored, lengthAt, quarantineContentHeaderLength - lengthAt) != length)
        return error = "the content file's length is not the record's", false;
    const size_t body = stored.size() - quarantineContentHeaderLength;
    if (body < length) return error = "the content is cut short", false;
    if (body > length) return error = "the content is longer than the record says", false;
    content.resize(body);
    for (size_t i = 0; i < body; ++i)
        content[i] = static_cast<unsigned char>(stored[quarantineContentHeaderLength + i]) ^ key[i % keyLength];
    return true;
}
