// The undo file; see undo_file.h.
#include "undo_file.h"

#include <cerrno>
#include <cstring>

#include "ansi_text.h"
#include "text_util.h"

namespace {

const char* const undoHeader = "Windows Registry Editor Version 5.00\r\n";
const char* const lineEnd = "\r\n";
const char* const hiveNames[] = {"SOFTWARE", "SYSTEM"};
constexpr unsigned char firstPrintable = 0x20;
constexpr unsigned char lastPrintable = 0x7E;
constexpr DWORD binaryType = 3; // REG_BINARY, written as plain "hex:"

std::string rootName(HKEY root) {
    return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

// The ANSI text in quotes, with backslashes and quotes escaped.
std::string quoted(const std::string& text) {
    std::string result = "\"";
    for (char c : ansiToUtf8(text.c_str())) {
        if (c == '\\' || c == '"') result += '\\';
        result += c;
    }
    return result + "\"";
}

// @ stands for the key's default value, which has no name.
std::string quotedName(const std::string& name) { return name.empty() ? "@" : quoted(name); }

// Printable ASCII and one closing zero: the text form gives the same bytes back.
bool isPlainText(const RegistryValueCopy& value) {
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0) return false;
    for (size_t i = 0; i + 1 < value.data.size(); ++i) {
        if (value.data[i] < firstPrintable || value.data[i] > lastPrintable) return false;
    }
    return true;
}

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::string hexBytes(const std::vector<unsigned char>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += ',';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

// A string value's bytes as the registry keeps them: UTF-16, little-endian.
std::vector<unsigned char> storedBytes(const RegistryValueCopy& value) {
    if (!isStringType(value.type)) return value.data;
    const std::vector<WCHAR> wide =
        ansiToWide(reinterpret_cast<const char*>(value.data.data()), value.data.size());
    std::vector<unsigned char> bytes;
    for (WCHAR unit : wide) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

std::string dataText(const RegistryValueCopy& value) {
    if (isPlainText(value)) return quoted(std::string(value.data.begin(), value.data.end() - 1));
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        const DWORD number = static_cast<DWORD>(value.data[0]) | static_cast<DWORD>(value.data[1]) << 8 |
                             static_cast<DWORD>(value.data[2]) << 16 | static_cast<DWORD>(value.data[3]) << 24;
        char text[sizeof "dword:00000000"];
        std::snprintf(text, sizeof text, "dword:%08lx", static_cast<unsigned long>(number));
        return text;
    }
    char prefix[sizeof "hex(ffffffff):"];
    if (value.type == binaryType) {
        std::snprintf(prefix, sizeof prefix, "hex:");
    } else {
        std::snprintf(prefix, sizeof prefix, "hex(%lx):", static_cast<unsigned long>(value.type));
    }
    return prefix + hexBytes(storedBytes(value));
}

} // namespace

std::string undoKeyLine(HKEY root, const std::string& path) { return "[" + registryKeyName(root, path) + "]"; }

std::string registryKeyName(HKEY root, const std::string& path) {
    std::string spelled = path;
    const std::string first = path.substr(0, path.find('\\'));
    for (const char* hive : hiveNames) {
        if (sameTextNoCase(first.c_str(), hive))
            spelled = hive + path.substr(first.size());
    }
    return rootName(root) + "\\" + ansiToUtf8(spelled.c_str());
}

std::string undoValueLine(const RegistryValueCopy& value) { return quotedName(value.name) + "=" + dataText(value); }

UndoFile::~UndoFile() { close(); }

bool UndoFile::open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        error = "--undo " + path + ": " + std::strerror(errno);
        return false;
    }
    write(undoHeader);
    return !failed_;
}

void UndoFile::write(const std::string& text) {
    if (file_ == nullptr || failed_) return;
    if (std::fputs(text.c_str(), file_) == EOF || std::fflush(file_) == EOF) failed_ = true;
}

void UndoFile::addValue(HKEY root, const char* keyPath, const RegistryValueCopy& value) {
    const std::string key = undoKeyLine(root, keyPath);
    std::string block;
    if (key != lastKey_) block = lineEnd + key + lineEnd;
    lastKey_ = key;
    write(block + undoValueLine(value) + lineEnd);
}

void UndoFile::addKeys(HKEY root, const std::vector<RegistryKeyCopy>& tree) {
    for (const RegistryKeyCopy& key : tree) {
        lastKey_ = undoKeyLine(root, key.path);
        std::string block = lineEnd + lastKey_ + lineEnd;
        for (const RegistryValueCopy& value : key.values) block += undoValueLine(value) + lineEnd;
        write(block);
    }
}

bool UndoFile::close() {
    if (file_ == nullptr) return !failed_;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}
