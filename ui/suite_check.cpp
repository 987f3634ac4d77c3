#include "suite_check.h"

#include <vector>

#include "win32api.h"

const char* const suiteKeyPath = "Software\\Tessary\\Wardmere 2000";
const char* const suiteValueName = "Installed Folder";

namespace {

// A value that keeps growing between the size query and the read is given a
// few more tries before it counts as unreadable.
constexpr int valueReadTries = 3;

bool readWholeValue(HKEY key) {
    DWORD size = 0;
    if (RegQueryValueExA(key, suiteValueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
    for (int attempt = 0; attempt < valueReadTries; ++attempt) {
        std::vector<BYTE> data(size ? size : 1);
        DWORD length = static_cast<DWORD>(data.size());
        const LONG status = RegQueryValueExA(key, suiteValueName, nullptr, nullptr, data.data(), &length);
        if (status == ERROR_SUCCESS) return true;
        if (status != ERROR_MORE_DATA) return false;
        size = length;
    }
    return false;
}

} // namespace

bool suiteInstalled() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, suiteKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    const bool read = readWholeValue(key);
    return RegCloseKey(key) == ERROR_SUCCESS && read;
}
