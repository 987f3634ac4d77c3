// Judging start-up values against the detected file.
#include "run_value.h"

#include <string.h>

#include "text_util.h"
#include "win32api.h"

namespace {

const char* const systemFolders[] = {"\\system\\", "\\system32\\"};
constexpr DWORD firstExpansionSize = MAX_PATH + 1;
constexpr char shortNameMark = '~'; // every generated short name has one
// No command line of any system is longer than this.
constexpr DWORD largestExpansion = 64 * 1024;

bool isCommandSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

const char* withoutQuote(const char* text) { return text[0] == '"' ? text + 1 : text; }

// The file name of the command at the start of data: up to the closing
// quote of a quoted command, else up to the first white space, and after
// the last backslash in that.
bool commandNameIs(const char* data, const char* name) {
    const bool quoted = data[0] == '"';
    const char* command = withoutQuote(data);
    const char* end = command;
    while (*end != '\0' && (quoted ? *end != '"' : !isCommandSpace(*end))) ++end;
    const char* start = command;
    for (const char* at = command; at < end; ++at) {
        if (*at == '\\') start = at + 1;
    }
    const size_t length = static_cast<size_t>(end - start);
    return length == strlen(name) && strncmp(start, name, length) == 0;
}

bool startsWithPath(const char* text, const char* path) {
    const size_t length = strlen(path);
    if (strncmp(text, path, length) != 0) return false;
    const char next = text[length];
    return next == '\0' || next == '"' || isCommandSpace(next);
}

bool inSystemFolder(const char* file) {
    for (const char* folder : systemFolders) {
        if (strstr(file, folder) != nullptr) return true;
    }
    return false;
}

} // namespace

RunValueVerdict judgeRunValue(const char* data, const char* expanded, const char* file) {
    const char* slash = strrchr(file, '\\');
    if (slash == nullptr || slash[1] == '\0') return RunValueVerdict::notTheFile;
    const bool bare = strchr(data, '\\') == nullptr || data[0] == '\\';
    if (bare) {
        return commandNameIs(data, slash + 1) && inSystemFolder(file) ? RunValueVerdict::bareReference
                                                                     : RunValueVerdict::notTheFile;
    }
    if (startsWithPath(withoutQuote(data), file) || startsWithPath(withoutQuote(expanded), file)) {
        return RunValueVerdict::fullPath;
    }
    return RunValueVerdict::notTheFile;
}

bool namesFileByShortPath(const char* expanded, const char* file) {
    const bool quoted = expanded[0] == '"';
    const char* command = withoutQuote(expanded);
    const char* end = command;
    while (*end != '\0' && (quoted ? *end != '"' : !isCommandSpace(*end))) ++end;
    const size_t length = static_cast<size_t>(end - command);
    if (length == 0 || length >= MAX_PATH || memchr(command, shortNameMark, length) == nullptr) return false;
    char path[MAX_PATH];
    memcpy(path, command, length);
    path[length] = '\0';
    char shortCommand[MAX_PATH];
    char shortFile[MAX_PATH];
    const DWORD commandLength = GetShortPathNameA(path, shortCommand, sizeof shortCommand);
    const DWORD fileLength = GetShortPathNameA(file, shortFile, sizeof shortFile);
    return commandLength > 0 && commandLength < sizeof shortCommand && fileLength > 0 &&
           fileLength < sizeof shortFile && sameTextNoCase(shortCommand, shortFile);
}

bool expandEnvironment(const char* source, std::vector<char>& expanded) {
    expanded.assign(firstExpansionSize, '\0');
    DWORD needed = ExpandEnvironmentStringsA(source, expanded.data(), firstExpansionSize);
    if (needed > firstExpansionSize && needed <= largestExpansion) {
        expanded.assign(needed, '\0');
        needed = ExpandEnvironmentStringsA(source, expanded.data(), needed);
    }
    if (needed == 0 || needed > expanded.size()) return false;
    expanded.back() = '\0'; // terminated whatever the call left
    return true;
}
