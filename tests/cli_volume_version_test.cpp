#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "volume_version.h"

namespace {

struct Expected {
    DWORD major;
    DWORD minor;
    DWORD build;
};

void expectVersion(const sim::VersionInfo& got, DWORD platformId, const Expected& wanted) {
    EXPECT_EQ(got.platformId, platformId);
    EXPECT_EQ(got.major, wanted.major);
    EXPECT_EQ(got.minor, wanted.minor);
    EXPECT_EQ(got.build, wanted.build);
}

NtVersionValues ntValues(const char* currentVersion, const char* build, const char* csd = "") {
    NtVersionValues values;
    values.currentVersion = currentVersion;
    values.currentBuildNumber = build;
    values.csdVersion = csd;
    return values;
}

TEST(VolumeVersion, NtReleasesAsTheirCurrentVersionKeyNamesThem) {
    const sim::VersionInfo nt4 = ntVersionFrom(ntValues("4.0", "1381", "Service Pack 6"));
    expectVersion(nt4, VER_PLATFORM_WIN32_NT, {4, 0, 1381});
    EXPECT_EQ(nt4.servicePack, "Service Pack 6");
    EXPECT_EQ(nt4.servicePackMajor, 6);
    const sim::VersionInfo w2000 = ntVersionFrom(ntValues("5.0", "2195"));
    expectVersion(w2000, VER_PLATFORM_WIN32_NT, {5, 0, 2195});
    EXPECT_EQ(w2000.servicePack, "");
    EXPECT_EQ(w2000.servicePackMajor, 0);
    expectVersion(ntVersionFrom(ntValues("6.1", "7601", "Service Pack 1")), VER_PLATFORM_WIN32_NT, {6, 1, 7601});
}

// What a program that declares no newer release is told on them.
TEST(VolumeVersion, ReleasesAfterWindows8AnswerAsWindows8) {
    expectVersion(ntVersionFrom(ntValues("6.3", "9600")), VER_PLATFORM_WIN32_NT, {6, 2, 9200});
    NtVersionValues ten = ntValues("6.3", "19045");
    ten.majorVersionNumber = 10;
    ten.minorVersionNumber = 0;
    expectVersion(ntVersionFrom(ten), VER_PLATFORM_WIN32_NT, {6, 2, 9200});
}

TEST(VolumeVersion, NtValuesThatSayNothingUsableGiveWindowsXp) {
    for (const char* text : {"", "5", "5.", ".1", "5.1.2", "five.one", "5.1 ", "1234567890.1"}) {
        SCOPED_TRACE(text);
        const sim::VersionInfo version = ntVersionFrom(ntValues(text, "2195", "Service Pack 9"));
        expectVersion(version, VER_PLATFORM_WIN32_NT, {5, 1, 2600});
        EXPECT_EQ(version.servicePack, "Service Pack 3");
    }
    // A build number that is no number is none.
    expectVersion(ntVersionFrom(ntValues("5.0", "2195a")), VER_PLATFORM_WIN32_NT, {5, 0, 0});
}

TEST(VolumeVersion, AServicePackTextLongerThanTheRecordIsCut) {
    const std::string longText = "Service Pack 2" + std::string(300, 'x');
    const sim::VersionInfo version = ntVersionFrom(ntValues("5.1", "2600", longText.c_str()));
    EXPECT_EQ(version.servicePack.size(), 127u);
    EXPECT_EQ(version.servicePackMajor, 2);
}

// An image's bytes with a version record at `at`.
std::vector<unsigned char> imageWithVersion(size_t size, size_t at, uint32_t high, uint32_t low) {
    std::vector<unsigned char> bytes(size, 0xCC);
    const uint32_t record[] = {0xFEEF04BDu, 0x00010000u, high, low};
    for (size_t i = 0; i < 4; ++i) {
        for (size_t b = 0; b < 4; ++b) bytes[at + i * 4 + b] = static_cast<unsigned char>(record[i] >> (8 * b));
    }
    return bytes;
}

TEST(VolumeVersion, TheFileVersionIsFoundOnlyWholeAndOnAFourByteBoundary) {
    FileVersion version;
    std::vector<unsigned char> bytes = imageWithVersion(4096, 1024, 0x0004000A, 0x08AE0000);
    ASSERT_TRUE(findFileVersion(bytes.data(), bytes.size(), version));
    EXPECT_EQ(version.mostSignificant, 0x0004000Au);
    EXPECT_EQ(version.leastSignificant, 0x08AE0000u);
    // The record must fit: 52 bytes from its signature.
    EXPECT_TRUE(findFileVersion(bytes.data(), 1024 + 52, version));
    EXPECT_FALSE(findFileVersion(bytes.data(), 1024 + 51, version));
    EXPECT_FALSE(findFileVersion(imageWithVersion(4096, 1026, 0x0004000A, 0).data(), 4096, version));
    EXPECT_FALSE(findFileVersion(nullptr, 0, version));
    EXPECT_FALSE(findFileVersion(bytes.data(), 10, version));
}

TEST(VolumeVersion, NineXReleasesFromTheirKernelsFileVersion) {
    const FileVersion w95{0x00040000, 0x03B60000};
    expectVersion(nineXVersionFrom(&w95), VER_PLATFORM_WIN32_WINDOWS, {4, 0, 0x040003B6});
    const FileVersion w98{0x0004000A, 0x07CE0000};
    expectVersion(nineXVersionFrom(&w98), VER_PLATFORM_WIN32_WINDOWS, {4, 10, 0x040A07CE});
    const FileVersion me{0x0004005A, 0x0BB80000};
    expectVersion(nineXVersionFrom(&me), VER_PLATFORM_WIN32_WINDOWS, {4, 90, 0x045A0BB8});
    // The second edition, as the machine's preset has it.
    const FileVersion second{0x0004000A, 0x08AE0000};
    EXPECT_EQ(nineXVersionFrom(&second).servicePack, " A ");
}

TEST(VolumeVersion, NoKernelOrNoFamilyVersionGivesWindows98) {
    const FileVersion nt{0x00050001, 0x0A280000};
    const FileVersion odd{0x0004000B, 0};
    for (const FileVersion* version : {static_cast<const FileVersion*>(nullptr), &nt, &odd}) {
        const sim::VersionInfo got = nineXVersionFrom(version);
        expectVersion(got, VER_PLATFORM_WIN32_WINDOWS, {4, 10, 0x040A08AE});
    }
}

} // namespace
