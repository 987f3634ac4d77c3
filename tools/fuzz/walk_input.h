// How the walk target's input is laid out, shared by the target and its
// seed program: a status width, then the names of a folder's entries.
//
//   width (2 bytes, little-endian, signed), then names separated by '/'
//   (which no host name can hold); a zero byte ends a name too.
#ifndef QUORVANE_TOOLS_FUZZ_WALK_INPUT_H
#define QUORVANE_TOOLS_FUZZ_WALK_INPUT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace fuzz {

struct WalkInput {
    int16_t width = 0;
    std::vector<std::string> names;
};

constexpr char nameSeparator = '/';

inline WalkInput readWalkInput(const uint8_t* data, size_t size) {
    WalkInput input;
    if (size < 2) return input;
    input.width = static_cast<int16_t>(data[0] | (data[1] << 8));
    std::string name;
    for (size_t i = 2; i < size; ++i) {
        if (data[i] == nameSeparator || data[i] == '\0') {
            input.names.push_back(name);
            name.clear();
        } else {
            name += static_cast<char>(data[i]);
        }
    }
    input.names.push_back(name);
    return input;
}

inline std::string writeWalkInput(const WalkInput& input) {
    const uint16_t width = static_cast<uint16_t>(input.width);
    std::string bytes = {static_cast<char>(width & 0xFF), static_cast<char>(width >> 8)};
    for (size_t i = 0; i < input.names.size(); ++i) {
        if (i > 0) bytes += nameSeparator;
        bytes += input.names[i];
    }
    return bytes;
}

} // namespace fuzz

#endif // QUORVANE_TOOLS_FUZZ_WALK_INPUT_H
