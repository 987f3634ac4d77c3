// Escaping of control bytes in printed text.
#include "escape.h"

namespace {
constexpr unsigned char lastControlByte = 0x1F;
constexpr unsigned char deleteByte = 0x7F;
const char* const hexDigits = "0123456789ABCDEF";
} // namespace

std::string escapeControlBytes(const char* text, bool keepTabs) {
    std::string shown;
    for (const char* at = text; *at != '\0'; ++at) {
        const unsigned char byte = static_cast<unsigned char>(*at);
        const bool control = byte <= lastControlByte || byte == deleteByte;
        if (!control || (keepTabs && byte == '\t')) {
            shown += *at;
            continue;
        }
        shown += '<';
        shown += hexDigits[byte >> 4];
        shown += hexDigits[byte & 0x0F];
        shown += '>';
    }
    return shown;
}
