#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "version_probe.h"
#include "win32api.h"

#ifndef _WIN32
#include "fake_windows.h"
#endif

namespace {

#ifdef _WIN32

// The Windows version the Wine harness set, empty when none is set (or on
// Windows itself).
std::string wineVersionSetting() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
    char value[32] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, "Version", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::string(value) : std::string();
}

struct ExpectedClasses {
    const char* setting;
    int32_t winClass;
    int32_t ntClass;
};

TEST(VersionProbe, ClassesAreThoseOfTheVersionWineReports) {
    const ExpectedClasses table[] = {
        {"win98", winVersion9x, ntVersionOther},
        {"nt40", winVersionNt, ntVersion4},
        {"winxp", winVersionNt, ntVersion5},
        {"win10", winVersionNt, ntVersionOther},
    };
    const std::string setting = wineVersionSetting();
    for (const ExpectedClasses& expected : table) {
        if (setting != expected.setting) continue;
        EXPECT_EQ(getWinVersionClass(), expected.winClass) << setting;
        EXPECT_EQ(getNtVersionClass(), expected.ntClass) << setting;
        return;
    }
    GTEST_SKIP() << "no Wine version setting this test knows: '" << setting << "'";
}

#else // the simulated machine plays each version in turn

struct VersionCase {
    DWORD platformId;
    DWORD major;
    int32_t winClass;
    int32_t ntClass;
};

TEST(VersionProbe, EachPlatformAndMajorVersionHasItsClasses) {
    const VersionCase table[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 4, winVersion9x, ntVersionOther}, // 95, 98, ME
        {VER_PLATFORM_WIN32_NT, 3, winVersionNt, ntVersion4},          // NT 3.51
        {VER_PLATFORM_WIN32_NT, 4, winVersionNt, ntVersion4},
        {VER_PLATFORM_WIN32_NT, 5, winVersionNt, ntVersion5},          // 2000, XP, Server 2003
        {VER_PLATFORM_WIN32_NT, 6, winVersionNt, ntVersionOther},      // Vista and later
        {VER_PLATFORM_WIN32_NT, 10, winVersionNt, ntVersionOther},
        {VER_PLATFORM_WIN32_NT, 0xFFFFFFFF, winVersionNt, ntVersionOther}, // compared unsigned
        {VER_PLATFORM_WIN32s, 5, winVersionOtherPlatform, ntVersionOther},
        {3, 5, winVersionOtherPlatform, ntVersionOther}, // Windows CE
    };
    for (const VersionCase& version : table) {
        SCOPED_TRACE(testing::Message() << "platform " << version.platformId << ", major " << version.major);
        sim::reset();
        sim::setVersion(version.platformId, version.major, 0);
        EXPECT_EQ(getWinVersionClass(), version.winClass);
        EXPECT_EQ(getNtVersionClass(), version.ntClass);
    }
}

TEST(VersionProbe, EveryCallAsksTheSystemAgain) {
    sim::reset();
    sim::setRelease(sim::Release::windows98);
    EXPECT_EQ(getWinVersionClass(), winVersion9x);
    EXPECT_EQ(getNtVersionClass(), ntVersionOther);
    sim::setRelease(sim::Release::windowsNt4);
    EXPECT_EQ(getWinVersionClass(), winVersionNt);
    EXPECT_EQ(getNtVersionClass(), ntVersion4);
    sim::setRelease(sim::Release::windowsXp);
    EXPECT_EQ(getNtVersionClass(), ntVersion5);
}

// Restarting ends every process of a Wine prefix, so the restart is only
// ever asked for of the simulated machine, which records the request.
class Restart : public ::testing::Test {
protected:
    Restart() { sim::reset(); }

    static void expectOneForcedReboot() {
        const std::vector<sim::ExitRequest> requests = sim::exitRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].flags, static_cast<UINT>(EWX_REBOOT | EWX_FORCE));
        EXPECT_EQ(requests[0].reason, 0u);
        EXPECT_TRUE(requests[0].granted);
    }

    const char* const shutdown = "SeShutdownPrivilege";
};

TEST_F(Restart, NineXFamilyRestartsWithoutThePrivilegeStep) {
    sim::setRelease(sim::Release::windows98);
    EXPECT_NE(restartWindows(), 0);
    expectOneForcedReboot();
    EXPECT_FALSE(sim::privilegeEnabled(shutdown)); // held, but never touched

    sim::reset();
    sim::setRelease(sim::Release::windows98);
    ASSERT_TRUE(sim::setPrivilegeHeld(shutdown, false));
    EXPECT_NE(restartWindows(), 0);
    expectOneForcedReboot();
}

TEST_F(Restart, NtFamilyEnablesTheShutdownPrivilegeFirst) {
    for (sim::Release release : {sim::Release::windowsNt4, sim::Release::windowsXp, sim::Release::windows10}) {
        SCOPED_TRACE(static_cast<int>(release));
        sim::reset();
        sim::setRelease(release);
        EXPECT_NE(restartWindows(), 0);
        EXPECT_TRUE(sim::privilegeEnabled(shutdown));
        expectOneForcedReboot();
    }
}

TEST_F(Restart, WithoutThePrivilegeNoRestartIsAskedFor) {
    sim::setRelease(sim::Release::windowsXp);
    ASSERT_TRUE(sim::setPrivilegeHeld(shutdown, false));
    EXPECT_EQ(restartWindows(), 1300); // ERROR_NOT_ALL_ASSIGNED
    EXPECT_TRUE(sim::exitRequests().empty());
}

TEST_F(Restart, ASystemOfNeitherFamilyNeedsThePrivilegeToo) {
    sim::setVersion(VER_PLATFORM_WIN32s, 3, 11);
    ASSERT_TRUE(sim::setPrivilegeHeld(shutdown, false));
    EXPECT_EQ(restartWindows(), 1300);
    EXPECT_TRUE(sim::exitRequests().empty());
}

#endif // _WIN32

} // namespace
