// The reversible presentation of host names; see names.h.
#include "names.h"

namespace sim {

namespace {

constexpr char escapeOpen = '<';
constexpr char escapeClose = '>';
constexpr size_t escapeLength = 4; // "<XX>"
constexpr unsigned char lastControl = 0x1F;
constexpr unsigned char deleteCharacter = 0x7F;
const char* const hexDigits = "0123456789ABCDEF";

bool needsEscape(unsigned char c) {
    return (c >= 0x01 && c <= lastControl) || c == deleteCharacter || c == '\\' || c == escapeOpen ||
           c == escapeClose;
}

// The value of an upper-case hex digit, or -1.
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the escape at name[at]; false unless it is one presentedName writes.
bool readEscape(const std::string& name, size_t at, unsigned char& byte) {
    if (name.size() - at < escapeLength || name[at + 3] != escapeClose) return false;
    const int high = hexValue(name[at + 1]);
    const int low = hexValue(name[at + 2]);
    if (high < 0 || low < 0) return false;
    byte = static_cast<unsigned char>(high * 16 + low);
    return needsEscape(byte);
}

} // namespace

std::string presentedName(const std::string& hostName) {
    // Nearly every name is shown as it is.
    bool plain = true;
    for (const char c : hostName) plain = plain && !needsEscape(static_cast<unsigned char>(c));
    if (plain) return hostName;
    std::string shown;
    shown.reserve(hostName.size());
    for (char c : hostName) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (!needsEscape(byte)) {
            shown += c;
            continue;
        }
        shown += escapeOpen;
        shown += hexDigits[byte >> 4];
        shown += hexDigits[byte & 0x0F];
        shown += escapeClose;
    }
    return shown;
}

bool decodePresentedName(const std::string& name, std::string& hostName) {
    std::string decoded;
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == escapeOpen) {
            unsigned char byte = 0;
            if (!readEscape(name, i, byte)) return false;
            decoded += static_cast<char>(byte);
            i += escapeLength;
        } else if (needsEscape(c)) {
            return false; // a bare '>', backslash or control character
        } else {
            decoded += name[i++];
        }
    }
    hostName = decoded;
    return true;
}

std::string presentedPrefix(const std::string& name, size_t limit) {
    size_t end = 0;
    while (end < name.size()) {
        const size_t step = name[end] == escapeOpen ? escapeLength : 1;
        if (end + step > limit || end + step > name.size()) break;
        end += step;
    }
    return name.substr(0, end);
}

} // namespace sim
