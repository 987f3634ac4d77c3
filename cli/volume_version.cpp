// The version of the Windows a volume holds; see volume_version.h.
#include "volume_version.h"

#include <cstring>

namespace {

// VS_FIXEDFILEINFO: a signature, the record's version, then the file
// version's two halves; thirteen 32-bit fields in all.
constexpr uint32_t fixedInfoSignature = 0xFEEF04BDu;
constexpr size_t fixedInfoSize = 13 * 4;
constexpr size_t fileVersionHighAt = 8;
constexpr size_t fileVersionLowAt = 12;
constexpr size_t recordAlignment = 4;

// The last release a program is told about without declaring it knows the
// newer ones; newer releases answer with it.
constexpr uint32_t lastToldMajor = 6;
constexpr uint32_t lastToldMinor = 2;

constexpr uint32_t nineXMajor = 4;
constexpr uint32_t nineXMinors[] = {0, 10, 90}; // 95, 98, ME

constexpr size_t longestNumber = 9; // digits read of a number; more is no number
const char* const servicePackPrefix = "Service Pack ";
constexpr size_t longestServicePack = 127; // szCSDVersion holds 128 with its zero

uint32_t littleEndian32(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

// Reads the decimal number at text[at], moving `at` past it. False when
// there is none, or it is too long to be a version number.
bool readNumber(const std::string& text, size_t& at, uint32_t& number) {
    const size_t start = at;
    number = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (at - start == longestNumber) return false;
        number = number * 10 + static_cast<uint32_t>(text[at] - '0');
        ++at;
    }
    return at > start;
}

// "MAJOR.MINOR", the whole text.
bool parseVersionText(const std::string& text, uint32_t& major, uint32_t& minor) {
    size_t at = 0;
    if (!readNumber(text, at, major) || at >= text.size() || text[at] != '.') return false;
    ++at;
    return readNumber(text, at, minor) && at == text.size();
}

uint32_t wholeNumberOr(const std::string& text, uint32_t otherwise) {
    size_t at = 0;
    uint32_t number = 0;
    return readNumber(text, at, number) && at == text.size() ? number : otherwise;
}

WORD servicePackNumber(const std::string& csdVersion) {
    const size_t prefixLength = std::strlen(servicePackPrefix);
    if (csdVersion.compare(0, prefixLength, servicePackPrefix) != 0) return 0;
    size_t at = prefixLength;
    uint32_t number = 0;
    return readNumber(csdVersion, at, number) && number <= 0xFFFF ? static_cast<WORD>(number) : 0;
}

bool isAfterLastTold(uint32_t major, uint32_t minor) {
    return major > lastToldMajor || (major == lastToldMajor && minor > lastToldMinor);
}

bool isNineXRelease(uint32_t major, uint32_t minor) {
    if (major != nineXMajor) return false;
    for (uint32_t familyMinor : nineXMinors) {
        if (minor == familyMinor) return true;
    }
    return false;
}

} // namespace

bool realNtVersion(const NtVersionValues& values, sim::VersionInfo& version) {
    uint32_t major = values.majorVersionNumber;
    uint32_t minor = values.minorVersionNumber == NtVersionValues::absent ? 0 : values.minorVersionNumber;
    if (major == NtVersionValues::absent && !parseVersionText(values.currentVersion, major, minor)) return false;
    version = sim::VersionInfo{VER_PLATFORM_WIN32_NT, major, minor, wholeNumberOr(values.currentBuildNumber, 0),
                               values.csdVersion.substr(0, longestServicePack), servicePackNumber(values.csdVersion)};
    return true;
}

sim::VersionInfo ntVersionFrom(const NtVersionValues& values) {
    sim::VersionInfo version;
    if (!realNtVersion(values, version)) return sim::versionPreset(sim::Release::windowsXp);
    if (isAfterLastTold(version.major, version.minor)) return sim::versionPreset(sim::Release::windows10);
    return version;
}

bool findFileVersion(const unsigned char* data, size_t size, FileVersion& version) {
    if (data == nullptr || size < fixedInfoSize) return false;
    for (size_t at = 0; at <= size - fixedInfoSize; at += recordAlignment) {
        if (littleEndian32(data + at) != fixedInfoSignature) continue;
        version.mostSignificant = littleEndian32(data + at + fileVersionHighAt);
        version.leastSignificant = littleEndian32(data + at + fileVersionLowAt);
        return true;
    }
    return false;
}

sim::VersionInfo nineXVersionFrom(const FileVersion* kernelVersion) {
    const sim::VersionInfo& fallback = sim::versionPreset(sim::Release::windows98);
    if (kernelVersion == nullptr) return fallback;
    const uint32_t major = kernelVersion->mostSignificant >> 16;
    const uint32_t minor = kernelVersion->mostSignificant & 0xFFFF;
    if (!isNineXRelease(major, minor)) return fallback;
    // The 9x build number carries the version in its high word.
    const DWORD build = major << 24 | minor << 16 | kernelVersion->leastSignificant >> 16;
    if (build == fallback.build) return fallback; // with the second edition's " A "
    return sim::VersionInfo{VER_PLATFORM_WIN32_WINDOWS, major, minor, build, "", 0};
}
