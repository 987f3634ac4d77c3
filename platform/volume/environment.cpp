// The environment of the simulated machine's process, and the expansion of
// %NAME% references in text.
#include <cstring>
#include <optional>

#include "sim_state.h"

namespace sim {

namespace {

constexpr char referenceMark = '%';

std::string withoutTrailingBackslash(std::string path) {
    if (path.size() > 1 && path.back() == '\\') path.pop_back();
    return path;
}

// The variables every Windows process starts with, as the folders are now.
std::optional<std::string> defaultVariable(const std::string& upperName) {
    if (upperName == "WINDIR" || upperName == "SYSTEMROOT") return windowsFolder();
    if (upperName == "TEMP" || upperName == "TMP") return withoutTrailingBackslash(tempFolder());
    return std::nullopt;
}

std::optional<std::string> variable(const std::string& name) {
    const std::string upperName = upperCase(name);
    const auto& set = machine().environment;
    const auto found = set.find(upperName);
    if (found != set.end()) return found->second;
    return defaultVariable(upperName);
}

// Each %NAME% of a variable that exists becomes its value; anything else,
// an unknown name or a lone '%', stays as written.
std::string expanded(const std::string& source) {
    std::string result;
    size_t at = 0;
    while (at < source.size()) {
        const size_t open = source.find(referenceMark, at);
        const size_t close = open == std::string::npos ? open : source.find(referenceMark, open + 1);
        if (close == std::string::npos) {
            result.append(source, at, std::string::npos);
            break;
        }
        result.append(source, at, open - at);
        const std::optional<std::string> value = variable(source.substr(open + 1, close - open - 1));
        result += value ? *value : source.substr(open, close - open + 1);
        at = close + 1;
    }
    return result;
}

} // namespace

void setEnvironmentVariable(const std::string& name, const std::string& value) {
    machine().environment[upperCase(name)] = value;
}

void removeEnvironmentVariable(const std::string& name) { machine().environment[upperCase(name)] = std::nullopt; }

} // namespace sim

// The size needed, zero included, whether or not it fitted; a buffer too
// small gets as much as fits and a zero.
DWORD ExpandEnvironmentStringsA(LPCSTR source, LPSTR destination, DWORD size) {
    if (source == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string result = sim::expanded(source);
    const DWORD needed = static_cast<DWORD>(result.size() + 1);
    if (destination != nullptr && size > 0) {
        const size_t kept = needed <= size ? result.size() : size - 1;
        std::memcpy(destination, result.data(), kept);
        destination[kept] = '\0';
    }
    return needed;
}
