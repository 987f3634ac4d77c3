// The version and the system folders of the simulated machine.
#include <unistd.h>

#include <cstring>

#include "sim_state.h"

namespace sim {

namespace {

constexpr DWORD basicVersionSize = sizeof(OSVERSIONINFOA);
constexpr DWORD extendedVersionSize = sizeof(OSVERSIONINFOEXA);
constexpr BYTE workstationProduct = 1; // VER_NT_WORKSTATION
const char* const systemFolderNt = "\\SYSTEM32";
const char* const systemFolder9x = "\\SYSTEM";

constexpr size_t presetCount = 4;

// What the four systems the program is tested on report, as Wine gives it;
// made on first use, since the machine itself may be made before this
// file's statics are.
const VersionInfo (&presets())[presetCount] {
    static const VersionInfo table[presetCount] = {
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A08AE, " A ", 0},
        {VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6a", 6},
        {VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 3", 3},
        {VER_PLATFORM_WIN32_NT, 6, 2, 9200, "", 0},
    };
    return table;
}

// A 9x build number carries the version in its high word.
DWORD buildNumberOf(DWORD platformId, DWORD major, DWORD minor) {
    if (platformId != VER_PLATFORM_WIN32_WINDOWS) return 0;
    return (major & 0xff) << 24 | (minor & 0xff) << 16;
}

// The real calls' contract: the length without the zero when it fits,
// otherwise the size needed with the zero, and the buffer left alone.
DWORD copyFolder(const std::string& folder, LPSTR buffer, DWORD size) {
    const DWORD length = static_cast<DWORD>(folder.size());
    if (buffer == nullptr || size <= length) return length + 1;
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return length;
}

} // namespace

const VersionInfo& versionPreset(Release release) { return presets()[static_cast<size_t>(release)]; }

void setVersion(const VersionInfo& version) { machine().version = version; }

void setVersion(DWORD platformId, DWORD major, DWORD minor) {
    for (const VersionInfo& preset : presets()) {
        if (preset.platformId == platformId && preset.major == major && preset.minor == minor) {
            setVersion(preset);
            return;
        }
    }
    setVersion(VersionInfo{platformId, major, minor, buildNumberOf(platformId, major, minor), "", 0});
}

void setRelease(Release release) { setVersion(versionPreset(release)); }

VersionInfo currentVersion() { return machine().version; }

bool isNineX() { return machine().version.platformId == VER_PLATFORM_WIN32_WINDOWS; }

void setWindowsFolder(const std::string& path) { machine().windowsFolder = path; }

void setSystemFolder(const std::string& path) { machine().systemFolder = path; }

void setTempFolder(const std::string& path) { machine().tempFolder = path; }

std::string windowsFolder() { return machine().windowsFolder; }

std::string systemFolder() {
    const Machine& m = machine();
    if (!m.systemFolder.empty()) return m.systemFolder;
    return m.windowsFolder + (isNineX() ? systemFolder9x : systemFolderNt);
}

std::string tempFolder() { return machine().tempFolder; }

} // namespace sim

// A record of any size but the two the system knows is refused, with the
// error the system gives for it.
BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (info->dwOSVersionInfoSize != sim::basicVersionSize && info->dwOSVersionInfoSize != sim::extendedVersionSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const sim::VersionInfo& version = sim::machine().version;
    info->dwMajorVersion = version.major;
    info->dwMinorVersion = version.minor;
    info->dwBuildNumber = version.build;
    info->dwPlatformId = version.platformId;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    std::strncpy(info->szCSDVersion, version.servicePack.c_str(), sizeof info->szCSDVersion - 1);
    if (info->dwOSVersionInfoSize == sim::extendedVersionSize) {
        auto* extended = reinterpret_cast<LPOSVERSIONINFOEXA>(info);
        extended->wServicePackMajor = version.servicePackMajor;
        extended->wServicePackMinor = 0;
        extended->wSuiteMask = 0;
        extended->wProductType = version.platformId == VER_PLATFORM_WIN32_NT ? sim::workstationProduct : 0;
        extended->wReserved = 0;
    }
    return TRUE;
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) { return sim::copyFolder(sim::windowsFolder(), buffer, size); }

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) { return sim::copyFolder(sim::systemFolder(), buffer, size); }

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
    return sim::copyFolder(sim::tempFolder(), buffer, bufferLength);
}

// The pseudo-handle that stands for the calling process.
HANDLE GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
