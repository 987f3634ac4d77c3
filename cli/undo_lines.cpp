// The undo file's lines; see undo_lines.h.
#include "undo_lines.h"

#include <cstdio>

#include "ansi_text.h"
#include "text_util.h"

namespace {

const char* const hiveNames[] = {"SOFTWARE", "SYSTEM"};
constexpr char16_t firstPrintable = 0x20;
constexpr char16_t highSurrogateFirst = 0xD800;
constexpr char16_t lowSurrogateFirst = 0xDC00;
constexpr char16_t surrogateEnd = 0xE000;
constexpr DWORD binaryType = 3; // REG_BINARY, written as plain "hex:"
constexpr unsigned byteBits = 8;
constexpr unsigned char byteMask = 0xFF;

// ASCII text (names of hives and types, numbers) as units.
std::u16string units(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::u16string ansiUnits(const char* bytes, size_t count) {
    const std::vector<WCHAR> wide = ansiToWide(bytes, count);
    return std::u16string(wide.begin(), wide.end());
}

std::u16string ansiUnits(const std::string& text) { return ansiUnits(text.data(), text.size()); }

std::string rootName(HKEY root) { return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE"; }

std::u16string quoted(const std::u16string& text) {
    std::u16string result = u"\"";
    for (char16_t unit : text) {
        if (unit == u'\\' || unit == u'"') result += u'\\';
        result += unit;
    }
    return result + u"\"";
}

// @ stands for the key's default value, which has no name.
std::u16string quotedName(const std::string& name) { return name.empty() ? u"@" : quoted(ansiUnits(name)); }

bool isHigh(char16_t unit) { return unit >= highSurrogateFirst && unit < lowSurrogateFirst; }
bool isLow(char16_t unit) { return unit >= lowSurrogateFirst && unit < surrogateEnd; }

// One closing zero and, before it, no control character (a line break
// would end the line) and no half of a surrogate pair on its own (which a
// reader of the text could not give back).
bool isPlainText(const std::u16string& text) {
    if (text.empty() || text.back() != 0) return false;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] < firstPrintable) return false;
        if (isHigh(text[i]) && isLow(text[i + 1])) {
            ++i;
        } else if (isHigh(text[i]) || isLow(text[i])) {
            return false;
        }
    }
    return true;
}

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::u16string hexBytes(const std::vector<unsigned char>& bytes) {
    static const char16_t digits[] = u"0123456789abcdef";
    std::u16string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += u',';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

// A string value's bytes as the registry keeps them: UTF-16, little-endian.
std::vector<unsigned char> storedBytes(const RegistryValueCopy& value) {
    if (!isStringType(value.type)) return value.data;
    std::vector<unsigned char> bytes;
    for (char16_t unit : ansiUnits(reinterpret_cast<const char*>(value.data.data()), value.data.size())) {
        bytes.push_back(static_cast<unsigned char>(unit & byteMask));
        bytes.push_back(static_cast<unsigned char>(unit >> byteBits));
    }
    return bytes;
}

std::u16string hexData(const RegistryValueCopy& value) {
    char prefix[sizeof "hex(ffffffff):"];
    if (value.type == binaryType) {
        std::snprintf(prefix, sizeof prefix, "hex:");
    } else {
        std::snprintf(prefix, sizeof prefix, "hex(%lx):", static_cast<unsigned long>(value.type));
    }
    return units(prefix) + hexBytes(storedBytes(value));
}

std::u16string dataText(const RegistryValueCopy& value) {
    if (value.type == REG_SZ) {
        const std::u16string text = ansiUnits(reinterpret_cast<const char*>(value.data.data()), value.data.size());
        if (isPlainText(text)) return quoted(text.substr(0, text.size() - 1));
    }
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        const DWORD number = static_cast<DWORD>(value.data[0]) | static_cast<DWORD>(value.data[1]) << 8 |
                             static_cast<DWORD>(value.data[2]) << 16 | static_cast<DWORD>(value.data[3]) << 24;
        char text[sizeof "dword:00000000"];
        std::snprintf(text, sizeof text, "dword:%08lx", static_cast<unsigned long>(number));
        return units(text);
    }
    return hexData(value);
}

} // namespace

std::u16string registryKeyUnits(HKEY root, const std::string& path) {
    std::string spelled = path;
    const std::string first = path.substr(0, path.find('\\'));
    for (const char* hive : hiveNames) {
        if (sameTextNoCase(first.c_str(), hive)) spelled = hive + path.substr(first.size());
    }
    return units(rootName(root) + "\\") + ansiUnits(spelled);
}

std::string registryKeyName(HKEY root, const std::string& path) {
    const std::u16string name = registryKeyUnits(root, path);
    return wideToUtf8(std::vector<WCHAR>(name.begin(), name.end()));
}

std::u16string undoKeyLine(HKEY root, const std::string& path) { return u"[" + registryKeyUnits(root, path) + u"]"; }

std::u16string undoValueLine(const RegistryValueCopy& value) {
    return quotedName(value.name) + u"=" + dataText(value);
}
