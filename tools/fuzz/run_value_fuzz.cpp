// libFuzzer target of the start-up value tests. Each value's data (to its
// first zero, lower-cased as the clean-up reads it) is judged against the
// file under test, and the verdict must be the one the rules of run_value.h
// give, worked out here on their own; an expansion must be terminated, and
// leave a text without '%' as it is. Then the values go into the machine's
// Run key with their type, and the clean-up of that key must delete exactly
// the values so judged and leave every other one, type and bytes, as it was.
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_machine.h"
#include "registry_clean.h"
#include "run_value.h"
#include "run_value_input.h"
#include "scan_state.h"
#include "text_util.h"

namespace {

const char* const runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr size_t largestReadData = 64 * 1024; // the clean-up reads no longer data
constexpr DWORD longestValueName = 16383;

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string withoutQuote(const std::string& text) { return !text.empty() && text[0] == '"' ? text.substr(1) : text; }

bool startsWithPath(const std::string& text, const std::string& path) {
    if (text.compare(0, path.size(), path) != 0) return false;
    return text.size() == path.size() || text[path.size()] == '"' || isSpace(text[path.size()]);
}

// The file name of the command that data starts with.
std::string commandName(const std::string& data) {
    const bool quoted = !data.empty() && data[0] == '"';
    const std::string command = withoutQuote(data);
    size_t end = 0;
    while (end < command.size() && (quoted ? command[end] != '"' : !isSpace(command[end]))) ++end;
    const std::string word = command.substr(0, end);
    const size_t slash = word.rfind('\\');
    return slash == std::string::npos ? word : word.substr(slash + 1);
}

RunValueVerdict expectedVerdict(const std::string& data, const std::string& expanded, const std::string& file) {
    const size_t slash = file.rfind('\\');
    if (slash == std::string::npos || slash + 1 == file.size()) return RunValueVerdict::notTheFile;
    if (data.find('\\') == std::string::npos || data[0] == '\\') {
        const bool systemFolder = file.find("\\system\\") != std::string::npos ||
                                  file.find("\\system32\\") != std::string::npos;
        return commandName(data) == file.substr(slash + 1) && systemFolder ? RunValueVerdict::bareReference
                                                                           : RunValueVerdict::notTheFile;
    }
    return startsWithPath(withoutQuote(data), file) || startsWithPath(withoutQuote(expanded), file)
               ? RunValueVerdict::fullPath
               : RunValueVerdict::notTheFile;
}

std::string untilZero(const std::string& bytes) { return std::string(bytes.c_str()); }

// The verdict on one value's bytes, checked against the rules on the way.
RunValueVerdict judged(const std::string& bytes, const std::string& file) {
    const std::string data = lower(untilZero(bytes));
    std::vector<char> expansion;
    if (!expandEnvironment(data.c_str(), expansion)) return RunValueVerdict::notTheFile; // not deleted then
    fuzz::require(!expansion.empty() && expansion.back() == '\0', "an expansion is terminated");
    const std::string expanded = lower(expansion.data());
    if (data.find('%') == std::string::npos) fuzz::require(expanded == data, "a text without % expands to itself");
    const RunValueVerdict verdict = judgeRunValue(data.c_str(), expanded.c_str(), file.c_str());
    fuzz::require(verdict == expectedVerdict(data, expanded, file), "the verdict follows the start-up value rules");
    return verdict;
}

struct StoredValue {
    std::string name;
    DWORD type;
    std::string data;
};

std::vector<StoredValue> storedValues() {
    std::vector<StoredValue> values;
    HKEY key;
    fuzz::require(RegOpenKeyExA(HKEY_LOCAL_MACHINE, runKey, 0, KEY_READ, &key) == ERROR_SUCCESS, "the Run key stays");
    static char name[longestValueName + 1];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::string data(size, '\0');
        DWORD got = size;
        fuzz::require(RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]), &got) ==
                          ERROR_SUCCESS && got == size,
                      "a listed value can be read");
        values.push_back({std::string(name, nameLength), type, data});
    }
    RegCloseKey(key);
    return values;
}

void fillRunKey(const fuzz::RunValueInput& input) {
    HKEY key;
    fuzz::require(RegCreateKeyExA(HKEY_LOCAL_MACHINE, runKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr) == ERROR_SUCCESS,
                  "the Run key can be made");
    for (const fuzz::StartupValue& value : input.values) {
        const std::string name = untilZero(value.name);
        RegSetValueExA(key, name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
                       static_cast<DWORD>(value.data.size()));
    }
    RegCloseKey(key);
}

const StoredValue* findStored(const std::vector<StoredValue>& values, const std::string& name) {
    for (const StoredValue& value : values) {
        if (value.name == name) return &value;
    }
    return nullptr;
}

void cleanAndCheck(const fuzz::RunValueInput& input, const std::string& file) {
    fuzz::freshMachine(sim::Release::windowsXp);
    fillRunKey(input);
    const std::vector<StoredValue> before = storedValues();
    copyText(scanState.currentFile, sizeof scanState.currentFile, untilZero(input.file).c_str());
    cleanRunKey(HKEY_LOCAL_MACHINE, runKey);
    const std::vector<StoredValue> after = storedValues();
    for (const StoredValue& value : before) {
        const bool readable = value.data.size() <= largestReadData;
        const RunValueVerdict verdict = judged(value.data, file);
        const StoredValue* kept = findStored(after, value.name);
        const bool startsFile = readable && verdict != RunValueVerdict::notTheFile;
        fuzz::require((kept == nullptr) == startsFile, "exactly the values that start the file are deleted");
        if (kept != nullptr) {
            fuzz::require(kept->type == value.type && kept->data == value.data, "a value kept is as it was");
        }
    }
    fuzz::require(after.size() <= before.size(), "the clean-up adds no value");
    if (scanState.runValueName[0] == '\0') return;
    const StoredValue* noted = findStored(before, scanState.runValueName);
    fuzz::require(noted != nullptr && judged(noted->data, file) != RunValueVerdict::notTheFile,
                  "the value name noted is one that starts the file");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::RunValueInput input = fuzz::readRunValueInput(data, size);
    std::string file = lower(untilZero(input.file));
    if (file.size() >= size_t(currentFileTextSize)) file.clear(); // as copyText leaves it: empty
    cleanAndCheck(input, file);
    return 0;
}
