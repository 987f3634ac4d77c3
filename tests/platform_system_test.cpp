// The version, the system folders, the environment and the process as the
// engine relies on them, checked on the simulated machine and, built for
// Windows, against the real calls under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_machine.h"
#include "win32api.h"

namespace {

constexpr DWORD basicRecordSize = 148;
constexpr DWORD extendedRecordSize = 156;

std::string expanded(const char* text) {
    char result[MAX_PATH] = {};
    const DWORD needed = ExpandEnvironmentStringsA(text, result, sizeof result);
    EXPECT_EQ(needed, std::strlen(result) + 1) << text;
    return result;
}

TEST(PlatformSystem, VersionRecordsOfEitherSizeAgreeAndOtherSizesAreRefused) {
    static_assert(sizeof(OSVERSIONINFOA) == basicRecordSize, "the basic version record");
    static_assert(sizeof(OSVERSIONINFOEXA) == extendedRecordSize, "the extended version record");
    OSVERSIONINFOA basic;
    std::memset(&basic, 0, sizeof basic);
    basic.dwOSVersionInfoSize = basicRecordSize;
    ASSERT_TRUE(GetVersionExA(&basic));
    EXPECT_TRUE(basic.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS || basic.dwPlatformId == VER_PLATFORM_WIN32_NT);
    EXPECT_GE(basic.dwMajorVersion, 4u);
    OSVERSIONINFOEXA extended;
    std::memset(&extended, 0, sizeof extended);
    extended.dwOSVersionInfoSize = extendedRecordSize;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)));
    EXPECT_EQ(extended.dwPlatformId, basic.dwPlatformId);
    EXPECT_EQ(extended.dwMajorVersion, basic.dwMajorVersion);
    EXPECT_EQ(extended.dwMinorVersion, basic.dwMinorVersion);
    EXPECT_EQ(extended.dwBuildNumber, basic.dwBuildNumber);
    EXPECT_STREQ(extended.szCSDVersion, basic.szCSDVersion);
    for (DWORD size : {DWORD{0}, DWORD{100}, basicRecordSize + 4, DWORD{200}}) {
        SCOPED_TRACE(size);
        basic.dwOSVersionInfoSize = size;
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(GetVersionExA(&basic));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    }
}

// Each folder call: the length without the zero when it fits, otherwise
// the size needed with it.
TEST(PlatformSystem, FolderCallsGiveTheirLengthOrTheSizeTheyNeed) {
    char path[MAX_PATH];
    char small[MAX_PATH];
    const UINT windowsLength = GetWindowsDirectoryA(path, sizeof path);
    ASSERT_GT(windowsLength, 0u);
    EXPECT_EQ(std::strlen(path), windowsLength);
    EXPECT_EQ(GetWindowsDirectoryA(small, windowsLength), windowsLength + 1);
    EXPECT_EQ(GetWindowsDirectoryA(small, windowsLength + 1), windowsLength);
    EXPECT_EQ(GetWindowsDirectoryA(nullptr, 0), windowsLength + 1);

    const UINT systemLength = GetSystemDirectoryA(path, sizeof path);
    ASSERT_GT(systemLength, windowsLength + 1);
    EXPECT_EQ(std::string(path, windowsLength + 1), windowsFolder() + "\\");
    EXPECT_EQ(GetSystemDirectoryA(small, systemLength), systemLength + 1);
    EXPECT_EQ(GetSystemDirectoryA(nullptr, 0), systemLength + 1);

    const DWORD tempLength = GetTempPathA(sizeof path, path);
    ASSERT_GT(tempLength, 3u);
    EXPECT_EQ(path[tempLength - 1], '\\');
    EXPECT_EQ(GetTempPathA(tempLength, small), tempLength + 1);
    EXPECT_EQ(GetTempPathA(0, nullptr), tempLength + 1);
}

TEST(PlatformSystem, ExpansionReplacesKnownNamesInAnyCaseAndKeepsTheRestAsWritten) {
    EXPECT_EQ(expanded("%windir%\\a.exe"), windowsFolder() + "\\a.exe");
    EXPECT_EQ(expanded("[%WinDir%]"), "[" + windowsFolder() + "]");
    EXPECT_EQ(expanded("%QUORVANE_NOT_SET%|%%|%windir"), "%QUORVANE_NOT_SET%|%%|%windir");
    EXPECT_EQ(expanded("%NOPE%windir%"), "%NOPE%windir%");
    EXPECT_EQ(expanded(""), "");
    char temp[MAX_PATH] = {};
    const DWORD tempLength = GetTempPathA(sizeof temp, temp);
    ASSERT_GT(tempLength, 1u);
    EXPECT_EQ(expanded("%TEMP%") + "\\", std::string(temp, tempLength));
}

TEST(PlatformSystem, ExpansionTellsTheSizeItNeedsWhenTheBufferIsTooSmall) {
    const DWORD needed = static_cast<DWORD>(windowsFolder().size() + std::strlen("\\x") + 1);
    char small[4];
    EXPECT_EQ(ExpandEnvironmentStringsA("%windir%\\x", small, sizeof small), needed);
    EXPECT_EQ(ExpandEnvironmentStringsA("%windir%\\x", nullptr, 0), needed);
    char exact[4];
    EXPECT_EQ(ExpandEnvironmentStringsA("abc", exact, sizeof exact), 4u);
    EXPECT_STREQ(exact, "abc");
}

TEST(PlatformSystem, TheProcessKnowsItself) {
    EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)));
    EXPECT_NE(GetCurrentProcessId(), 0u);
}

} // namespace
