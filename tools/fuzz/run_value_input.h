// How a start-up value target's input is laid out, shared by the target and
// its seed program: the file under test, then any number of values.
//
//   file length (1 byte), file path
//   then for each value: type (1 byte), name length (1 byte), name,
//   data length (2 bytes, little-endian), data
//
// A field cut short by the input's end takes what is left.
#ifndef QUORVANE_TOOLS_FUZZ_RUN_VALUE_INPUT_H
#define QUORVANE_TOOLS_FUZZ_RUN_VALUE_INPUT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace fuzz {

struct StartupValue {
    uint8_t type = 0;
    std::string name;
    std::string data;
};

struct RunValueInput {
    std::string file;
    std::vector<StartupValue> values;
};

class InputReader {
public:
    InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool atEnd() const { return at_ == size_; }
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t word() {
        const uint16_t low = byte();
        return static_cast<uint16_t>(low | (byte() << 8));
    }
    std::string text(size_t length) {
        const size_t taken = length < size_ - at_ ? length : size_ - at_;
        std::string read(reinterpret_cast<const char*>(data_ + at_), taken);
        at_ += taken;
        return read;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

inline RunValueInput readRunValueInput(const uint8_t* data, size_t size) {
    InputReader in(data, size);
    RunValueInput input;
    input.file = in.text(in.byte());
    while (!in.atEnd()) {
        StartupValue value;
        value.type = in.byte();
        value.name = in.text(in.byte());
        value.data = in.text(in.word());
        input.values.push_back(value);
    }
    return input;
}

constexpr size_t largestInputName = 0xFF;
constexpr size_t largestInputData = 0xFFFF;

// The input that reads back as these; false when a field is too long.
inline bool writeRunValueInput(const RunValueInput& input, std::string& bytes) {
    if (input.file.size() > largestInputName) return false;
    bytes = std::string(1, static_cast<char>(input.file.size())) + input.file;
    for (const StartupValue& value : input.values) {
        if (value.name.size() > largestInputName || value.data.size() > largestInputData) return false;
        bytes += static_cast<char>(value.type);
        bytes += static_cast<char>(value.name.size());
        bytes += value.name;
        bytes += static_cast<char>(value.data.size() & 0xFF);
        bytes += static_cast<char>(value.data.size() >> 8);
        bytes += value.data;
    }
    return true;
}

} // namespace fuzz

#endif // QUORVANE_TOOLS_FUZZ_RUN_VALUE_INPUT_H
