// Which registry views the clean-up goes through, and where a key of each
// view really lies; natively and under Wine, a 64-bit program both times.
#include <gtest/gtest.h>

#include "registry_views.h"

#ifndef _WIN32
#include "fake_windows.h"
#endif

namespace {

const char* const runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const runKey32 = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";

void expectBothViews(const RegistryViews& views) {
    ASSERT_EQ(views.count, 2u);
    EXPECT_EQ(views.flags[0], static_cast<REGSAM>(KEY_WOW64_64KEY));
    EXPECT_EQ(views.flags[1], static_cast<REGSAM>(KEY_WOW64_32KEY));
}

TEST(RegistryViews, ASystemThatRunsBothKindsOfProgramHasBothViews) {
    expectBothViews(viewsFor(true, false));
    expectBothViews(viewsFor(false, true)); // the x86 build on a 64-bit system
    expectBothViews(registryViews());       // this program is a 64-bit one
    EXPECT_FALSE(runsUnderWow64());
}

TEST(RegistryViews, A32BitSystemHasOneViewOpenedWithoutAFlag) {
    const RegistryViews views = viewsFor(false, false);
    ASSERT_EQ(views.count, 1u);
    EXPECT_EQ(views.flags[0], 0u);
}

TEST(RegistryViews, OnlyTheMachinesSoftwareIsElsewhereInThe32BitView) {
    EXPECT_EQ(keyPathInView(HKEY_LOCAL_MACHINE, runKey, KEY_WOW64_32KEY), runKey32);
    EXPECT_EQ(keyPathInView(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft", KEY_WOW64_32KEY),
              "SOFTWARE\\Wow6432Node\\Microsoft");
    EXPECT_EQ(keyPathInView(HKEY_LOCAL_MACHINE, "Software", KEY_WOW64_32KEY), "Software\\Wow6432Node");
    for (const char* same : {runKey32, "software\\WOW6432NODE", "SoftwareX\\Run", "SYSTEM\\ControlSet001\\Services"}) {
        EXPECT_EQ(keyPathInView(HKEY_LOCAL_MACHINE, same, KEY_WOW64_32KEY), same);
    }
    EXPECT_EQ(keyPathInView(HKEY_LOCAL_MACHINE, runKey, KEY_WOW64_64KEY), runKey);
    EXPECT_EQ(keyPathInView(HKEY_LOCAL_MACHINE, runKey, 0), runKey);
    EXPECT_EQ(keyPathInView(HKEY_CURRENT_USER, runKey, KEY_WOW64_32KEY), runKey);
}

#ifndef _WIN32
// The x86 build's question, asked of a machine whose answer a test sets:
// a 64-bit program can only ever hear no.
TEST(RegistryViews, Wow64IsWhatIsWow64ProcessSaysWhereTheSystemHasIt) {
    sim::reset();
    sim::setProgramUnderWow64(true);
    EXPECT_TRUE(runsUnderWow64());
    sim::setFunctionAvailable("kernel32.dll", "IsWow64Process", false);
    EXPECT_FALSE(runsUnderWow64());
    for (sim::Release release : {sim::Release::windows98, sim::Release::windowsNt4}) {
        sim::reset();
        sim::setRelease(release);
        sim::setProgramUnderWow64(true);
        EXPECT_FALSE(runsUnderWow64()) << "a release without IsWow64Process";
    }
    sim::reset();
}
#endif

} // namespace
