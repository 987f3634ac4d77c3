// The offline volume's own environment; see volume_environment.h.
#include "volume_environment.h"

#include <string>
#include <vector>

#include "machine.h"
#include "registry_ops.h"
#include "win32api.h"

namespace {

const char* const systemDriveName = "SystemDrive";
const char* const systemDrive = "C:"; // the volume is C:, as its Windows starts from it
const char* const sessionEnvironmentKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const char* const currentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char* const profileListKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr DWORD longestValueName = 16383;

struct Variable {
    const char* valueName;
    const char* variableName;
};
const Variable programFolders[] = {{"ProgramFilesDir", "ProgramFiles"},
                                   {"ProgramFilesDir (x86)", "ProgramFiles(x86)"},
                                   {"CommonFilesDir", "CommonProgramFiles"},
                                   {"CommonFilesDir (x86)", "CommonProgramFiles(x86)"}};
const Variable profileFolders[] = {{"ProgramData", "ProgramData"},
                                   {"ProgramData", "ALLUSERSPROFILE"},
                                   {"Public", "PUBLIC"}};

bool isText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

std::string expandedText(const char* text) {
    const DWORD needed = ExpandEnvironmentStringsA(text, nullptr, 0);
    if (needed == 0) return text;
    std::vector<char> result(needed);
    const DWORD written = ExpandEnvironmentStringsA(text, result.data(), needed);
    return written == 0 || written > needed ? std::string(text) : std::string(result.data());
}

// The text value valueName of key, expanded, becomes the variable.
void adoptValue(HKEY key, const char* valueName, const char* variableName) {
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS || !isText(type)) return;
    std::vector<char> data;
    if (readOpenKeyValue(key, valueName, data)) sim::setEnvironmentVariable(variableName, expandedText(data.data()));
}

void adoptValues(const char* subKey, const Variable* variables, size_t count) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (size_t i = 0; i < count; ++i) adoptValue(key, variables[i].valueName, variables[i].variableName);
    RegCloseKey(key);
}

// Every text value of the Session Manager's environment, in the key's order.
void adoptSessionEnvironment() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionEnvironmentKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    static char name[longestValueName + 1];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof name;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        adoptValue(key, name, name);
    }
    RegCloseKey(key);
}

} // namespace

void adoptVolumeEnvironment() {
    sim::setEnvironmentVariable(systemDriveName, systemDrive);
    adoptSessionEnvironment();
    adoptValues(currentVersionKey, programFolders, sizeof programFolders / sizeof programFolders[0]);
    adoptValues(profileListKey, profileFolders, sizeof profileFolders / sizeof profileFolders[0]);
}
