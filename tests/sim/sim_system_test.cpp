// The simulated machine's version, folders and environment as its control
// panel sets them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_windows.h"

namespace {

class SimSystem : public ::testing::Test {
protected:
    SimSystem() { sim::reset(); }
    ~SimSystem() override { sim::reset(); }
};

OSVERSIONINFOEXA versionRecord() {
    OSVERSIONINFOEXA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    EXPECT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)));
    return version;
}

std::string folder(UINT (*call)(LPSTR, UINT)) {
    char path[MAX_PATH] = {};
    return std::string(path, call(path, sizeof path));
}

std::string tempPath() {
    char path[MAX_PATH] = {};
    return std::string(path, GetTempPathA(sizeof path, path));
}

std::string expanded(const char* text) {
    char result[MAX_PATH] = {};
    ExpandEnvironmentStringsA(text, result, sizeof result);
    return result;
}

TEST_F(SimSystem, EachTestedSystemReportsWhatWineReportsForIt) {
    struct Expected {
        sim::Release release;
        DWORD platformId, major, minor, build;
        const char* servicePack;
        WORD servicePackMajor;
        BYTE productType;
    };
    const Expected systems[] = {
        {sim::Release::windows98, VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A08AE, " A ", 0, 0},
        {sim::Release::windowsNt4, VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6a", 6, 1},
        {sim::Release::windowsXp, VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 3", 3, 1},
        {sim::Release::windows10, VER_PLATFORM_WIN32_NT, 6, 2, 9200, "", 0, 1},
    };
    EXPECT_EQ(versionRecord().dwMajorVersion, 5u) << "power-on is Windows XP";
    for (const Expected& system : systems) {
        SCOPED_TRACE(system.servicePack);
        sim::setRelease(system.release);
        const OSVERSIONINFOEXA version = versionRecord();
        EXPECT_EQ(version.dwPlatformId, system.platformId);
        EXPECT_EQ(version.dwMajorVersion, system.major);
        EXPECT_EQ(version.dwMinorVersion, system.minor);
        EXPECT_EQ(version.dwBuildNumber, system.build);
        EXPECT_STREQ(version.szCSDVersion, system.servicePack);
        EXPECT_EQ(version.wServicePackMajor, system.servicePackMajor);
        EXPECT_EQ(version.wProductType, system.productType);
    }
}

TEST_F(SimSystem, AVersionByNumbersTakesItsPresetOrNoneAtAll) {
    sim::setVersion(VER_PLATFORM_WIN32_NT, 4, 0);
    EXPECT_EQ(versionRecord().dwBuildNumber, 1381u);
    sim::setVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 90);
    OSVERSIONINFOEXA version = versionRecord();
    EXPECT_EQ(version.dwBuildNumber, 0x045A0000u);
    EXPECT_STREQ(version.szCSDVersion, "");
    sim::setVersion(VER_PLATFORM_WIN32_NT, 5, 0);
    version = versionRecord();
    EXPECT_EQ(version.dwBuildNumber, 0u);
    EXPECT_EQ(sim::currentVersion().major, 5u);
}

TEST_F(SimSystem, TheSystemFolderFollowsTheFamilyUntilItIsSet) {
    EXPECT_EQ(folder(GetWindowsDirectoryA), "C:\\WINDOWS");
    EXPECT_EQ(folder(GetSystemDirectoryA), "C:\\WINDOWS\\SYSTEM32");
    EXPECT_EQ(tempPath(), "C:\\WINDOWS\\TEMP\\");
    sim::setRelease(sim::Release::windows98);
    EXPECT_EQ(folder(GetSystemDirectoryA), "C:\\WINDOWS\\SYSTEM");
    sim::setWindowsFolder("D:\\WIN");
    EXPECT_EQ(folder(GetSystemDirectoryA), "D:\\WIN\\SYSTEM");
    sim::setSystemFolder("E:\\SYS");
    sim::setTempFolder("E:\\T\\");
    EXPECT_EQ(folder(GetWindowsDirectoryA), "D:\\WIN");
    EXPECT_EQ(folder(GetSystemDirectoryA), "E:\\SYS");
    EXPECT_EQ(tempPath(), "E:\\T\\");
    sim::reset();
    EXPECT_EQ(folder(GetSystemDirectoryA), "C:\\WINDOWS\\SYSTEM32");
}

TEST_F(SimSystem, TheEnvironmentFollowsTheFoldersUntilAVariableIsSetOrRemoved) {
    EXPECT_EQ(expanded("%windir%|%SystemRoot%|%TEMP%|%tmp%"),
              "C:\\WINDOWS|C:\\WINDOWS|C:\\WINDOWS\\TEMP|C:\\WINDOWS\\TEMP");
    sim::setWindowsFolder("C:\\WINNT");
    sim::setTempFolder("C:\\TMP\\");
    EXPECT_EQ(expanded("%windir%|%TEMP%"), "C:\\WINNT|C:\\TMP");
    sim::setEnvironmentVariable("WinDir", "D:\\ELSEWHERE");
    sim::setEnvironmentVariable("ProgramFiles", "C:\\Program Files");
    sim::removeEnvironmentVariable("temp");
    EXPECT_EQ(expanded("%WINDIR%|%programfiles%|%TEMP%|%SystemRoot%"),
              "D:\\ELSEWHERE|C:\\Program Files|%TEMP%|C:\\WINNT");
    sim::reset();
    EXPECT_EQ(expanded("%windir%|%ProgramFiles%"), "C:\\WINDOWS|%ProgramFiles%");
}

TEST_F(SimSystem, ATooSmallExpansionBufferGetsWhatFitsAndAZero) {
    char small[5];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(ExpandEnvironmentStringsA("%windir%", small, sizeof small), 11u);
    EXPECT_STREQ(small, "C:\\W");
    EXPECT_EQ(ExpandEnvironmentStringsA(nullptr, small, sizeof small), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

} // namespace
