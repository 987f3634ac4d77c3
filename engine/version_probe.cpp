// The system version probes and the restart.
#include "version_probe.h"

#include <string.h>

#include "privileges.h"
#include "win32api.h"

namespace {

// The size of the basic version record, OSVERSIONINFOA: 9x systems know no
// other, so the extended one is never asked for.
constexpr DWORD basicVersionRecordSize = 148;

const char* const shutdownPrivilege = "SeShutdownPrivilege";
constexpr UINT forcedReboot = EWX_REBOOT | EWX_FORCE;

bool readVersion(OSVERSIONINFOA& version) {
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = basicVersionRecordSize;
    return GetVersionExA(&version) != 0;
}

int32_t requestRestart() { return ExitWindowsEx(forcedReboot, 0); }

} // namespace

static_assert(sizeof(OSVERSIONINFOA) == basicVersionRecordSize, "OSVERSIONINFOA has the size GetVersionExA expects");

int32_t getWinVersionClass() {
    OSVERSIONINFOA version;
    if (!readVersion(version)) return winVersionUnreadable;
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        return winVersion9x;
    case VER_PLATFORM_WIN32_NT:
        return winVersionNt;
    default:
        return winVersionOtherPlatform;
    }
}

int32_t getNtVersionClass() {
    OSVERSIONINFOA version;
    if (!readVersion(version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) return ntVersionOther;
    if (version.dwMajorVersion <= 4) return ntVersion4;
    if (version.dwMajorVersion == 5) return ntVersion5;
    return ntVersionOther;
}

int32_t restartWindows() {
    // Only the 9x family restarts without a privilege; a system whose
    // version cannot be read is treated like NT.
    if (getWinVersionClass() == winVersion9x) return requestRestart();
    DWORD error = ERROR_SUCCESS;
    if (!enablePrivilege(shutdownPrivilege, error)) return 0;
    if (error != ERROR_SUCCESS) return static_cast<int32_t>(error);
    return requestRestart();
}
