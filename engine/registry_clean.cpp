// The registry and hosts clean-up that follows a hit.
#include "registry_clean.h"

#include <string.h>

#include <vector>

#include "registry_ops.h"
#include "registry_views.h"
#include "result_lines.h"
#include "run_value.h"
#include "scan_state.h"
#include "text_check.h"
#include "text_util.h"
#include "version_probe.h"

namespace {

const char* const runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const runServicesKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
const char* const familyUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\rhcjg7j0e38v";
// The same two keys as the family's uninstaller spells them.
const char* const familyUninstallKeyUpper = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\rhcjg7j0e38v";
const char* const runKeyUpper = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const uninstallValue = "UninstallString";
const char* const uninstallMark = "uninstall.exe";
const char* const familyRunValue = "SMrhcjg7j0e38v";
const char* const familyRunMark = "rhcjg7j0e38v.exe";
const char* const familyName = "W32/Karvex.Trojan";

const char* const ntHostsSuffix = "\\drivers\\etc\\hosts";
const char* const nineXHostsSuffix = "\\hosts";

constexpr DWORD longestValueName = 16383;

void reportRegistryRemoval(const char* name) {
    if (scanState.resultList != nullptr) reportLine(lineRegistryRemoved, name);
}

// A name too long for runValueName is not remembered; the value it names
// is still deleted where it was found.
void rememberRunValue(const char* valueName) {
    char kept[runValueNameSize];
    if (copyText(kept, sizeof kept, valueName)) copyText(scanState.runValueName, sizeof scanState.runValueName, kept);
}

// One value of the key (in that view): deleted when it starts the file
// under test. Returns whether it was deleted, so that the caller's index
// keeps step.
bool cleanRunValue(HKEY root, const char* subKey, const char* valueName, REGSAM view) {
    std::vector<char> data;
    if (!readRegValue(root, subKey, valueName, data, view)) return false;
    lowerCase(data.data());
    lowerCase(scanState.currentFile);
    std::vector<char> expanded;
    if (!expandEnvironment(data.data(), expanded)) return false;
    lowerCase(expanded.data());
    RunValueVerdict verdict = judgeRunValue(data.data(), expanded.data(), scanState.currentFile);
    if (verdict == RunValueVerdict::notTheFile && namesFileByShortPath(expanded.data(), scanState.currentFile)) {
        verdict = RunValueVerdict::fullPath;
    }
    if (verdict == RunValueVerdict::fullPath) rememberRunValue(valueName); // even if the delete fails
    if (verdict == RunValueVerdict::notTheFile || !deleteRegValue(root, subKey, valueName, view)) return false;
    if (verdict == RunValueVerdict::bareReference) rememberRunValue(valueName);
    reportRegistryRemoval(familyName);
    return true;
}

// Deletes a value of an open key (subKey of the machine's, in that view)
// when its data holds mark.
bool deleteMarkedValue(const char* subKey, HKEY key, const char* valueName, const char* mark, REGSAM view) {
    std::vector<char> data;
    if (!readOpenKeyValue(key, valueName, data)) return false;
    return strstr(data.data(), mark) == nullptr ||
           deleteOpenKeyValue(HKEY_LOCAL_MACHINE, subKey, key, valueName, view);
}

bool cleanMarkedValue(const char* subKey, const char* valueName, const char* mark, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return false;
    const bool cleaned = deleteMarkedValue(subKey, key, valueName, mark, view);
    return RegCloseKey(key) == ERROR_SUCCESS && cleaned;
}

void cleanRunKeyInView(HKEY root, const char* subKey, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    DWORD valueCount = 0;
    // Without a count there is nothing safe to walk.
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return;
    }
    static char valueName[longestValueName + 1];
    DWORD deleted = 0;
    for (DWORD i = 0; i < valueCount; ++i) {
        DWORD nameLength = longestValueName;
        // A deleted value moves the ones after it down by one.
        if (RegEnumValueA(key, i - deleted, valueName, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            continue;
        }
        if (strrchr(scanState.currentFile, '\\') == nullptr || scanState.currentFile[0] == '\0') break;
        if (cleanRunValue(root, subKey, valueName, view)) ++deleted;
    }
    RegCloseKey(key);
}

} // namespace

bool hostsFilePath(char (&path)[MAX_PATH]) {
    const int family = getWinVersionClass();
    UINT length = 0;
    const char* suffix = nullptr;
    if (family == winVersionNt) {
        length = GetSystemDirectoryA(path, MAX_PATH);
        suffix = ntHostsSuffix;
    } else if (family == winVersion9x) {
        length = GetWindowsDirectoryA(path, MAX_PATH);
        suffix = nineXHostsSuffix;
    }
    return suffix != nullptr && length > 0 && length < MAX_PATH && appendText(path, MAX_PATH, suffix);
}

void cleanRunKey(HKEY root, const char* subKey) {
    const RegistryViews views = registryViews();
    for (size_t view = 0; view < views.count; ++view) cleanRunKeyInView(root, subKey, views.flags[view]);
}

int cleanRegistryFor(const char* detectionName) {
    char hosts[MAX_PATH];
    if (hostsFilePath(hosts)) checkTextFile(hosts);
    const RegistryViews views = registryViews();
    if (scanState.runValueName[0] != '\0') {
        for (const char* key : {runKey, runServicesKey, familyUninstallKey}) {
            for (size_t view = 0; view < views.count; ++view) {
                if (deleteRegValue(HKEY_LOCAL_MACHINE, key, scanState.runValueName, views.flags[view])) {
                    reportRegistryRemoval(detectionName);
                }
            }
        }
    }
    if (scanState.currentFile[0] != '\0') {
        cleanRunKey(HKEY_LOCAL_MACHINE, runKey);
        cleanRunKey(HKEY_LOCAL_MACHINE, runServicesKey);
    }
    return 1;
}

bool afterFileRemoved() {
    const RegistryViews views = registryViews();
    bool ranToEnd = false;
    for (size_t view = 0; view < views.count; ++view) {
        // The start-up value is looked at only where the uninstall entry was.
        const REGSAM flag = views.flags[view];
        if (cleanMarkedValue(familyUninstallKeyUpper, uninstallValue, uninstallMark, flag) &&
            cleanMarkedValue(runKeyUpper, familyRunValue, familyRunMark, flag)) {
            ranToEnd = true;
        }
    }
    return ranToEnd;
}
