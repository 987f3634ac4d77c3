// Registry scenarios from export text, and reading the registry back, on
// the simulated machine and on Windows alike; see registry_fixture.h.
#include "registry_fixture.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>

#ifndef _WIN32
#include "fake_windows.h"
#endif

namespace {

const char* const exportHeader = "REGEDIT4";
const char* const dwordPrefix = "dword:";
const char* const hexPrefix = "hex";
constexpr size_t dwordDigits = 8;
constexpr size_t hexByteDigits = 2;
constexpr int hexBase = 16;
constexpr DWORD byteBits = 8;
constexpr DWORD byteMask = 0xff;

// One line of the export, continuation lines (after a trailing backslash)
// joined on, with the number of the line it starts on.
struct Line {
    size_t number;
    std::string text;
};

std::string withoutLineEnd(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string withoutLeadingBlanks(const std::string& text) {
    const size_t start = text.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : text.substr(start);
}

std::vector<Line> logicalLines(const std::string& text) {
    std::vector<Line> lines;
    bool continuing = false;
    size_t number = 0;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string line = withoutLineEnd(text.substr(at, end - at));
        at = end + 1;
        ++number;
        if (continuing) {
            lines.back().text += withoutLeadingBlanks(line);
        } else {
            lines.push_back({number, line});
        }
        continuing = !lines.back().text.empty() && lines.back().text.back() == '\\';
        if (continuing) lines.back().text.pop_back();
    }
    return lines;
}

bool parseRoot(const std::string& name, HKEY& root) {
    if (name == "HKEY_LOCAL_MACHINE") {
        root = HKEY_LOCAL_MACHINE;
    } else if (name == "HKEY_CURRENT_USER") {
        root = HKEY_CURRENT_USER;
    } else {
        return false;
    }
    return true;
}

bool parseSection(const std::string& text, RegistrySection& section, std::string& why) {
    if (text.back() != ']') {
        why = "a key line ends in ']'";
        return false;
    }
    const std::string inside = text.substr(1, text.size() - 2);
    const size_t cut = inside.find('\\');
    if (!parseRoot(inside.substr(0, cut), section.root)) {
        why = "unknown root key";
        return false;
    }
    section.path = cut == std::string::npos ? std::string() : inside.substr(cut + 1);
    section.values.clear();
    return true;
}

// A quoted string at text[at] with its \\ and \" escapes; `at` ends past
// the closing quote.
bool parseQuoted(const std::string& text, size_t& at, std::string& out) {
    out.clear();
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            at = i + 1;
            return true;
        }
        if (text[i] == '\\') {
            if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) return false;
            ++i;
        }
        out += text[i];
    }
    return false;
}

bool isHexText(const std::string& text) {
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return !text.empty();
}

// Two-digit hex bytes between commas; an empty list is no bytes.
bool parseHexBytes(const std::string& list, std::string& bytes) {
    bytes.clear();
    if (list.empty()) return true;
    size_t at = 0;
    for (;;) {
        const size_t comma = std::min(list.find(',', at), list.size());
        const std::string digits = withoutLeadingBlanks(list.substr(at, comma - at));
        if (digits.size() != hexByteDigits || !isHexText(digits)) return false;
        bytes += static_cast<char>(std::strtoul(digits.c_str(), nullptr, hexBase));
        if (comma == list.size()) return true;
        at = comma + 1;
    }
}

// "hex:" is REG_BINARY and "hex(N):" type N.
bool parseHexData(const std::string& text, DWORD& type, std::string& data) {
    size_t at = std::string(hexPrefix).size();
    type = REG_BINARY;
    if (at < text.size() && text[at] == '(') {
        const size_t close = text.find(')', at);
        if (close == std::string::npos || !isHexText(text.substr(at + 1, close - at - 1))) return false;
        type = static_cast<DWORD>(std::strtoul(text.substr(at + 1, close - at - 1).c_str(), nullptr, hexBase));
        at = close + 1;
    }
    if (at >= text.size() || text[at] != ':') return false;
    return parseHexBytes(text.substr(at + 1), data);
}

bool parseData(const std::string& text, DWORD& type, std::string& data) {
    if (!text.empty() && text[0] == '"') {
        size_t end = 0;
        if (!parseQuoted(text, end, data) || end != text.size()) return false;
        type = REG_SZ;
        data = stringData(data);
        return true;
    }
    const std::string dword = dwordPrefix;
    if (text.compare(0, dword.size(), dword) == 0) {
        const std::string digits = text.substr(dword.size());
        if (digits.size() > dwordDigits || !isHexText(digits)) return false;
        type = REG_DWORD;
        data = dwordData(static_cast<DWORD>(std::strtoul(digits.c_str(), nullptr, hexBase)));
        return true;
    }
    return text.compare(0, std::string(hexPrefix).size(), hexPrefix) == 0 && parseHexData(text, type, data);
}

bool parseValueLine(const std::string& text, RegistryValue& value, std::string& why) {
    size_t at = 0;
    value.name.clear();
    if (text[0] == '@') {
        at = 1;
    } else if (!parseQuoted(text, at, value.name)) {
        why = "a value name is quoted, with only \\\\ and \\\" escaped";
        return false;
    }
    if (at >= text.size() || text[at] != '=') {
        why = "'=' after the value name";
        return false;
    }
    if (!parseData(text.substr(at + 1), value.type, value.data)) {
        why = "unreadable data";
        return false;
    }
    return true;
}

bool failAt(const Line& line, const std::string& why, std::string& error) {
    error = "line " + std::to_string(line.number) + ": " + why + ": " + line.text;
    return false;
}

} // namespace

bool operator==(const RegistryValue& a, const RegistryValue& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
}

std::ostream& operator<<(std::ostream& out, const RegistryValue& value) {
    static const char* const digits = "0123456789abcdef";
    out << '"' << value.name << "\" type " << value.type << ':';
    for (char c : value.data) {
        const unsigned char byte = static_cast<unsigned char>(c);
        out << ' ' << digits[byte >> 4] << digits[byte & 0x0f];
    }
    return out;
}

std::string stringData(const std::string& text) { return text + '\0'; }

std::string dwordData(DWORD value) {
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((value >> (byteBits * i)) & byteMask);
    return data;
}

bool parseRegistryExport(const std::string& text, std::vector<RegistrySection>& sections, std::string& error) {
    sections.clear();
    bool headerSeen = false;
    for (const Line& line : logicalLines(text)) {
        const std::string content = withoutLeadingBlanks(line.text);
        if (content.empty() || content[0] == ';') continue;
        std::string why;
        if (!headerSeen) {
            if (content != exportHeader) return failAt(line, "the export starts with REGEDIT4", error);
            headerSeen = true;
        } else if (content[0] == '[') {
            sections.emplace_back();
            if (!parseSection(content, sections.back(), why)) return failAt(line, why, error);
        } else if (sections.empty()) {
            return failAt(line, "a value before any key", error);
        } else {
            RegistryValue value;
            if (!parseValueLine(content, value, why)) return failAt(line, why, error);
            sections.back().values.push_back(value);
        }
    }
    if (!headerSeen) error = "empty export";
    return headerSeen;
}

namespace {

// A key handle that closes itself.
class OpenedKey {
public:
    OpenedKey() = default;
    ~OpenedKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    bool open(HKEY root, const std::string& path, REGSAM access) {
        return RegOpenKeyExA(root, path.c_str(), 0, access, &key_) == ERROR_SUCCESS || (key_ = nullptr, false);
    }
    HKEY* slot() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

const BYTE* bytesOf(const std::string& data) { return reinterpret_cast<const BYTE*>(data.data()); }

bool writeValue(HKEY root, const std::string& path, const RegistryValue& value, REGSAM view) {
    OpenedKey key;
    return key.open(root, path, KEY_SET_VALUE | view) &&
           RegSetValueExA(key.get(), value.name.c_str(), 0, value.type, bytesOf(value.data),
                          static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

// The data of the value at `index`, with buffers as large as the key says
// it needs; ERROR_NO_MORE_ITEMS past the end.
LONG enumValue(HKEY key, DWORD index, DWORD nameCapacity, DWORD dataCapacity, RegistryValue& value) {
    std::string name(nameCapacity + 1, '\0');
    std::string data(dataCapacity, '\0');
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataLength = static_cast<DWORD>(data.size());
    const LONG status = RegEnumValueA(key, index, &name[0], &nameLength, nullptr, &value.type,
                                      reinterpret_cast<BYTE*>(&data[0]), &dataLength);
    if (status != ERROR_SUCCESS) return status;
    value.name = name.substr(0, nameLength);
    value.data = data.substr(0, dataLength);
    return ERROR_SUCCESS;
}

// Deletes the key through its parent opened in the view, since deleting by
// a path from the root knows no views.
void deleteKeyInView(HKEY root, const std::string& path, REGSAM view) {
    const size_t cut = path.rfind('\\');
    if (cut == std::string::npos) {
        RegDeleteKeyA(root, path.c_str());
        return;
    }
    OpenedKey parent;
    if (parent.open(root, path.substr(0, cut), KEY_ALL_ACCESS | view)) {
        RegDeleteKeyA(parent.get(), path.substr(cut + 1).c_str());
    }
}

} // namespace

RegistryScenario::~RegistryScenario() {
    for (auto it = earlier_.rbegin(); it != earlier_.rend(); ++it) {
        if (it->existed) {
            writeValue(it->root, it->path, it->value, view_);
            continue;
        }
        OpenedKey key;
        if (key.open(it->root, it->path, KEY_SET_VALUE | view_)) RegDeleteValueA(key.get(), it->value.name.c_str());
    }
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) deleteKeyInView(it->root, it->path, view_);
}

bool RegistryScenario::load(const std::string& text) {
    std::vector<RegistrySection> sections;
    if (!parseRegistryExport(text, sections, error_)) return false;
    for (const RegistrySection& section : sections) {
        if (!loadSection(section)) return false;
    }
    return true;
}

bool RegistryScenario::loadSection(const RegistrySection& section) {
    bool newKey = false;
    if (!createKey(section.root, section.path, newKey)) return false;
    for (const RegistryValue& value : section.values) {
        if (!newKey) rememberEarlierValue(section.root, section.path, value.name);
        if (!writeValue(section.root, section.path, value, view_)) {
            error_ = "cannot set \"" + value.name + "\" in " + section.path;
            return false;
        }
    }
    return true;
}

// Creates the key one level at a time, to know which levels are new.
bool RegistryScenario::createKey(HKEY root, const std::string& path, bool& newKey) {
    newKey = false;
    size_t end = 0;
    while (end < path.size()) {
        end = std::min(path.find('\\', end + 1), path.size());
        const std::string level = path.substr(0, end);
        OpenedKey key;
        DWORD disposition = 0;
        if (RegCreateKeyExA(root, level.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view_,
                            nullptr, key.slot(), &disposition) != ERROR_SUCCESS) {
            error_ = "cannot create " + level;
            return false;
        }
        newKey = disposition == REG_CREATED_NEW_KEY;
        if (newKey) created_.push_back({root, level});
    }
    return true;
}

void RegistryScenario::rememberEarlierValue(HKEY root, const std::string& path, const std::string& name) {
    for (const EarlierValue& known : earlier_) {
        if (known.root == root && known.path == path && known.value.name == name) return;
    }
    EarlierValue earlier{root, path, false, RegistryValue{name, REG_NONE, ""}};
    earlier.existed = readRegistryValue(root, path, name, earlier.value, view_);
    earlier_.push_back(earlier);
}

SavedRegistryValue::SavedRegistryValue(HKEY root, std::string path, std::string name)
    : root_(root), path_(std::move(path)), saved_{std::move(name), REG_NONE, ""} {
    existed_ = readRegistryValue(root_, path_, saved_.name, saved_);
}

SavedRegistryValue::~SavedRegistryValue() {
    if (existed_) {
        writeValue(root_, path_, saved_, 0);
        return;
    }
    OpenedKey key;
    if (key.open(root_, path_, KEY_SET_VALUE)) RegDeleteValueA(key.get(), saved_.name.c_str());
}

bool readRegistryValues(HKEY root, const std::string& path, std::vector<RegistryValue>& values) {
    values.clear();
    OpenedKey key;
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (!key.open(root, path, KEY_QUERY_VALUE) ||
        RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    for (DWORD index = 0;; ++index) {
        RegistryValue value{"", REG_NONE, ""};
        const LONG status = enumValue(key.get(), index, longestName, longestData, value);
        if (status == ERROR_NO_MORE_ITEMS) return values.size() == count;
        if (status != ERROR_SUCCESS) return false;
        values.push_back(value);
    }
}

bool readRegistryValue(HKEY root, const std::string& path, const std::string& name, RegistryValue& value,
                       REGSAM view) {
    OpenedKey key;
    DWORD size = 0;
    if (!key.open(root, path, KEY_QUERY_VALUE | view) ||
        RegQueryValueExA(key.get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
        return false;
    }
    std::string data(size, '\0');
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(&data[0]), &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    value.name = name;
    value.data = data.substr(0, size);
    return true;
}

bool readSubkeyNames(HKEY root, const std::string& path, std::vector<std::string>& names) {
    names.clear();
    OpenedKey key;
    DWORD longest = 0;
    if (!key.open(root, path, KEY_READ) ||
        RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    for (DWORD index = 0;; ++index) {
        std::string name(longest + 1, '\0');
        DWORD length = static_cast<DWORD>(name.size());
        const LONG status = RegEnumKeyExA(key.get(), index, &name[0], &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        if (status != ERROR_SUCCESS) return false;
        names.push_back(name.substr(0, length));
    }
}

bool registryKeyExists(HKEY root, const std::string& path, REGSAM view) {
    OpenedKey key;
    return key.open(root, path, KEY_QUERY_VALUE | view);
}

bool playsFamily(DWORD platformId) {
#ifndef _WIN32
    sim::setRelease(platformId == VER_PLATFORM_WIN32_WINDOWS ? sim::Release::windows98 : sim::Release::windowsXp);
#endif
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == platformId;
}
