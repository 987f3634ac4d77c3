// The quarantine record as text: written field by field, read back into a
// table of keys first and then checked field by field.
#include "quarantine_record.h"

#include <cstdint>
#include <map>

namespace {

const char* const firstLine = "quorvane-quarantine-record";
constexpr size_t sha256HexLength = 64;
constexpr uint32_t posixModeMask = 07777; // permission, set-id and sticky bits
constexpr size_t hexEscapeLength = 4;     // "\xHH"

std::string escapeValue(const std::string& value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0x0F];
        } else out += static_cast<char>(c);
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// False for a backslash that starts no escape the writer makes.
bool unescapeValue(const std::string& text, std::string& value) {
    value.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            value += text[i];
            continue;
        }
        const size_t left = text.size() - i; // the backslash included
        const char kind = left >= 2 ? text[i + 1] : '\0';
        if (kind == '\\') value += '\\';
        else if (kind == 'n') value += '\n';
        else if (kind == 'r') value += '\r';
        else if (kind == 'x' && left >= hexEscapeLength) {
            const int high = hexValue(text[i + 2]);
            const int low = hexValue(text[i + 3]);
            if (high < 0 || low < 0) return false;
            value += static_cast<char>(high * 16 + low);
            i += hexEscapeLength - 2;
        } else return false;
        ++i;
    }
    return true;
}

void addLine(std::string& out, const char* key, const std::string& value) {
    out += key;
    out += '=';
    out += escapeValue(value);
    out += '\n';
}

void addNumber(std::string& out, const char* key, uint64_t value) { addLine(out, key, std::to_string(value)); }

} // namespace

std::string formatRecord(const QuarantineRecord& r) {
    std::string out = std::string(firstLine) + "\n";
    addNumber(out, "format", quarantineRecordFormat);
    addLine(out, "original-path", r.originalPath);
    addLine(out, "host-path", r.hostPath);
    addNumber(out, "length", r.length);
    addLine(out, "sha256", r.sha256);
    if (r.hasWindowsAttributes) addNumber(out, "windows-attributes", r.windowsAttributes);
    if (r.hasPosixMode) addNumber(out, "posix-mode", r.posixMode);
    addNumber(out, "modified", r.modified);
    if (r.hasCreated) addNumber(out, "created", r.created);
    if (r.hasAccessed) addNumber(out, "accessed", r.accessed);
    addLine(out, "detection", r.detection);
    addNumber(out, "taken", r.taken);
    addLine(out, "version", r.version);
    return out;
}

namespace {

using Fields = std::map<std::string, std::string>;

bool validKey(const std::string& key) {
    if (key.empty()) return false;
    for (char c : key)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
    return true;
}

// The lines after the first into a table of keys and unescaped values.
bool readFields(const std::string& text, Fields& fields, std::string& error) {
    const std::string head = std::string(firstLine) + "\n";
    if (text.compare(0, head.size(), head) != 0) return error = "not a quarantine record", false;
    if (text.find('\0') != std::string::npos) return error = "the record holds a zero byte", false;
    if (text.back() != '\n') return error = "the record ends in the middle of a line", false;
    size_t at = head.size();
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const size_t equals = line.find('=');
        const std::string key = line.substr(0, equals);
        if (equals == std::string::npos || !validKey(key)) return error = "a line of the record has no key", false;
        std::string value;
        if (!unescapeValue(line.substr(equals + 1), value)) return error = "bad escape in " + key, false;
        if (!fields.emplace(key, value).second) return error = "key " + key + " given twice", false;
    }
    return true;
}

// Decimal digits only, no sign or space, at most `limit`.
bool readNumber(const std::string& text, uint64_t limit, uint64_t& value) {
    constexpr size_t maxDigits = 20; // UINT64_MAX has 20
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (limit - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

class FieldReader {
  public:
    FieldReader(const Fields& fields, std::string& error) : fields_(fields), error_(error) {}

    bool text(const char* key, std::string& value, bool mayBeEmpty) {
        const auto found = fields_.find(key);
        if (found == fields_.end()) return fail("key ", key, " missing");
        if (!mayBeEmpty && found->second.empty()) return fail("key ", key, " empty");
        value = found->second;
        return true;
    }
    bool number(const char* key, uint64_t limit, uint64_t& value) {
        std::string digits;
        if (!text(key, digits, false)) return false;
        return readNumber(digits, limit, value) || fail("key ", key, " is not a number in range");
    }
    bool optionalNumber(const char* key, uint64_t limit, bool& given, uint64_t& value) {
        given = fields_.count(key) != 0;
        return !given || number(key, limit, value);
    }

  private:
    bool fail(const char* before, const char* key, const char* after) {
        error_ = std::string(before) + key + after;
        return false;
    }
    const Fields& fields_;
    std::string& error_;
};

bool validDigest(const std::string& text) {
    if (text.size() != sha256HexLength) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

} // namespace

bool parseRecord(const std::string& text, QuarantineRecord& record, std::string& error) {
    if (text.size() > quarantineRecordMaxLength) return error = "the record is too long", false;
    QuarantineRecord r; // given only when whole
    Fields fields;
    if (!readFields(text, fields, error)) return false;
    FieldReader read(fields, error);
    const uint64_t any = UINT64_MAX;
    uint64_t format = 0, attributes = 0, mode = 0;
    if (!read.number("format", any, format)) return false;
    if (format != quarantineRecordFormat) return error = "record format " + std::to_string(format) + " unknown", false;
    if (!read.text("original-path", r.originalPath, false) || !read.text("host-path", r.hostPath, true) ||
        !read.number("length", any, r.length) || !read.text("sha256", r.sha256, false) ||
        !read.optionalNumber("windows-attributes", UINT32_MAX, r.hasWindowsAttributes, attributes) ||
        !read.optionalNumber("posix-mode", posixModeMask, r.hasPosixMode, mode) ||
        !read.number("modified", any, r.modified) || !read.optionalNumber("created", any, r.hasCreated, r.created) ||
        !read.optionalNumber("accessed", any, r.hasAccessed, r.accessed) ||
        !read.text("detection", r.detection, false) || !read.number("taken", any, r.taken) ||
        !read.text("version", r.version, false))
        return false;
    if (!validDigest(r.sha256)) return error = "key sha256 is not 64 lower-case hex digits", false;
    r.windowsAttributes = static_cast<uint32_t>(attributes);
    r.posixMode = static_cast<uint32_t>(mode);
    record = r;
    return true;
}
