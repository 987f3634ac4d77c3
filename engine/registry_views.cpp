// The registry views of the running system; see registry_views.h.
#include "registry_views.h"

#include <string.h>

#include "text_util.h"

namespace {

const char* const kernelLibrary = "kernel32.dll";
const char* const wow64Query = "IsWow64Process";
const char* const softwareKey = "Software";
const char* const redirectionKey = "Wow6432Node";

// The x86_64 build; natively the program and its simulated machine are
// 64-bit too.
constexpr bool sixtyFourBitProgram = sizeof(void*) > 4;

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE process, BOOL* wow64);

// The length of the first name of path: up to its first backslash.
size_t firstNameLength(const char* path) {
    const char* separator = strchr(path, '\\');
    return separator == nullptr ? strlen(path) : static_cast<size_t>(separator - path);
}

bool isName(const char* text, size_t length, const char* name) {
    return length == strlen(name) && sameLettersNoCase(text, name, length);
}

} // namespace

RegistryViews viewsFor(bool sixtyFourBit, bool underWow64) {
    if (sixtyFourBit || underWow64) return RegistryViews{{KEY_WOW64_64KEY, KEY_WOW64_32KEY}, 2};
    return RegistryViews{{0, 0}, 1};
}

bool runsUnderWow64() {
    // Looked up rather than linked: the 9x family and NT before XP SP2
    // would refuse to start a program that imports it.
    const HMODULE kernel = GetModuleHandleA(kernelLibrary);
    if (kernel == nullptr) return false;
    const auto query =
        reinterpret_cast<IsWow64ProcessFunction>(reinterpret_cast<void*>(GetProcAddress(kernel, wow64Query)));
    BOOL wow64 = FALSE;
    return query != nullptr && query(GetCurrentProcess(), &wow64) && wow64;
}

RegistryViews registryViews() { return viewsFor(sixtyFourBitProgram, !sixtyFourBitProgram && runsUnderWow64()); }

std::string keyPathInView(HKEY root, const char* subKey, REGSAM view) {
    const std::string path = subKey;
    if (root != HKEY_LOCAL_MACHINE || (view & KEY_WOW64_32KEY) == 0) return path;
    const size_t first = firstNameLength(subKey);
    if (!isName(subKey, first, softwareKey)) return path;
    const char* rest = subKey + first; // empty, or from the backslash on
    if (*rest != '\0' && isName(rest + 1, firstNameLength(rest + 1), redirectionKey)) return path;
    return path.substr(0, first) + "\\" + redirectionKey + rest;
}
