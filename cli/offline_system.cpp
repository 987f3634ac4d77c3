// The volume's own system in an offline scan; see offline_system.h.
#include "offline_system.h"

#include <vector>

#include "registry_ops.h"
#include "volume_environment.h"
#include "volume_version.h"
#include "win32api.h"

namespace {

const char* const currentVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char* const kernelFile = "\\KERNEL32.DLL";
// A 9x KERNEL32.DLL is well under a megabyte; its version record is read
// from no further in.
constexpr unsigned kernelReadLimit = 4u << 20;
constexpr unsigned readChunk = 64u << 10;

std::string textValue(HKEY key, const char* name) {
    std::vector<char> data;
    if (!readOpenKeyValue(key, name, data)) return std::string();
    return std::string(data.data()); // readOpenKeyValue ends it with a zero
}

uint32_t numberValue(HKEY key, const char* name) {
    DWORD type = 0;
    DWORD number = 0;
    DWORD size = sizeof number;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&number), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof number)
        return NtVersionValues::absent;
    return number;
}

VolumeSystem adopted;

NtVersionValues ntVersionValues() {
    NtVersionValues values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, currentVersionKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        values.currentVersion = textValue(key, "CurrentVersion");
        values.currentBuildNumber = textValue(key, "CurrentBuildNumber");
        values.csdVersion = textValue(key, "CSDVersion");
        values.majorVersionNumber = numberValue(key, "CurrentMajorVersionNumber");
        values.minorVersionNumber = numberValue(key, "CurrentMinorVersionNumber");
        RegCloseKey(key);
    }
    return values;
}

// The version the engine is told, and the one the volume names.
void adoptNtVersion() {
    const NtVersionValues values = ntVersionValues();
    const sim::VersionInfo told = ntVersionFrom(values);
    sim::setVersion(told);
    // Without the volume's SOFTWARE hive its version is not known.
    if (!realNtVersion(values, adopted.version)) adopted.version = sim::VersionInfo{};
}

// The start of the file, up to the read limit; empty when it cannot be read.
std::vector<unsigned char> readStart(const std::string& path) {
    std::vector<unsigned char> bytes;
    const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
    if (fd < 0) return bytes;
    while (bytes.size() < kernelReadLimit) {
        const size_t had = bytes.size();
        bytes.resize(had + readChunk);
        const int got = _read(fd, bytes.data() + had, readChunk);
        bytes.resize(had + (got > 0 ? static_cast<size_t>(got) : 0));
        if (got <= 0) break;
    }
    _close(fd);
    return bytes;
}

sim::VersionInfo nineXVersion(const std::string& systemFolder) {
    const std::vector<unsigned char> kernel = readStart(systemFolder + kernelFile);
    FileVersion version;
    if (!findFileVersion(kernel.data(), kernel.size(), version)) return nineXVersionFrom(nullptr);
    return nineXVersionFrom(&version);
}

} // namespace

void adoptVolumeSystem(const sim::WindowsInstallation& found) {
    if (found.family == sim::SystemFamily::none) return;
    sim::setWindowsFolder(found.windowsFolder);
    sim::setSystemFolder(found.systemFolder);
    sim::setTempFolder(found.tempFolder);
    adopted.present = true;
    // The registry read here is the volume's when its SOFTWARE hive is
    // loaded; without it, the values are not there and the family's
    // usual answer stands.
    if (found.family == sim::SystemFamily::nt) {
        adoptNtVersion();
        adoptVolumeEnvironment();
    } else {
        adopted.version = nineXVersion(found.systemFolder);
        sim::setVersion(adopted.version);
    }
}

const VolumeSystem& volumeSystem() { return adopted; }
