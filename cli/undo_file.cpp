// The undo file; see undo_file.h.
#include "undo_file.h"

#include <cerrno>
#include <cstring>

namespace {

const char16_t* const undoHeader = u"\uFEFFWindows Registry Editor Version 5.00\r\n"; // the mark first
const char16_t* const lineEnd = u"\r\n";
constexpr unsigned byteBits = 8;
constexpr unsigned char byteMask = 0xFF;

// Little-endian, as the mark says.
std::string fileBytes(const std::u16string& text) {
    std::string bytes;
    bytes.reserve(text.size() * sizeof(char16_t));
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & byteMask);
        bytes += static_cast<char>(unit >> byteBits);
    }
    return bytes;
}

} // namespace

UndoFile::~UndoFile() { close(); }

bool UndoFile::open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        error = "--undo " + path + ": " + std::strerror(errno);
        return false;
    }
    write(undoHeader);
    if (failed_) error = "--undo " + path + ": cannot be written: " + std::strerror(errno);
    return !failed_;
}

void UndoFile::write(const std::u16string& text) {
    if (file_ == nullptr || failed_) return;
    const std::string bytes = fileBytes(text);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() || std::fflush(file_) == EOF) failed_ = true;
}

void UndoFile::addValue(HKEY root, const char* keyPath, const RegistryValueCopy& value) {
    const std::u16string key = undoKeyLine(root, keyPath);
    std::u16string block;
    if (key != lastKey_) block = lineEnd + key + lineEnd;
    lastKey_ = key;
    write(block + undoValueLine(value) + lineEnd);
}

void UndoFile::addKeys(HKEY root, const std::vector<RegistryKeyCopy>& tree) {
    for (const RegistryKeyCopy& key : tree) {
        lastKey_ = undoKeyLine(root, key.path);
        std::u16string block = lineEnd + lastKey_ + lineEnd;
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
