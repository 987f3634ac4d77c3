// What version of Windows a volume holds, from what the volume itself says:
// the values of SOFTWARE\Microsoft\Windows NT\CurrentVersion for the NT
// family, the version record of its KERNEL32.DLL for the 9x family. The
// answer is the one GetVersionExA would give this program on that system.
#ifndef QUORVANE_CLI_VOLUME_VERSION_H
#define QUORVANE_CLI_VOLUME_VERSION_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "machine.h"

// The CurrentVersion key's values, as text; a number value that is not
// there is left at `absent`.
struct NtVersionValues {
    static constexpr uint32_t absent = 0xFFFFFFFFu;
    std::string currentVersion;     // "5.1"
    std::string currentBuildNumber; // "2600"
    std::string csdVersion;         // "Service Pack 3"
    uint32_t majorVersionNumber = absent; // CurrentMajorVersionNumber (Windows 10 on)
    uint32_t minorVersionNumber = absent;
};

// The NT version those values describe, as the system itself names it
// (Windows 10 22H2 is 10.0.19045); false when they say nothing usable.
bool realNtVersion(const NtVersionValues& values, sim::VersionInfo& version);

// The NT version those values describe; Windows XP when they say nothing
// usable. A release after Windows 8 answers as Windows 8 (6.2, build
// 9200), as it does to a program that does not declare it knows newer ones.
sim::VersionInfo ntVersionFrom(const NtVersionValues& values);

// The file version of an executable image: the fixed part of its version
// resource, found by its signature on a four-byte boundary. False when the
// bytes hold none whole.
struct FileVersion {
    uint32_t mostSignificant = 0;  // major in the high word, minor in the low
    uint32_t leastSignificant = 0; // build in the high word
};
bool findFileVersion(const unsigned char* data, size_t size, FileVersion& version);

// The 9x version of a KERNEL32.DLL with that file version (Windows 95,
// 98 or ME); Windows 98 when there is no such file or its version is not
// one of the family's.
sim::VersionInfo nineXVersionFrom(const FileVersion* kernelVersion);

#endif // QUORVANE_CLI_VOLUME_VERSION_H
