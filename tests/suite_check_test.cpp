// The check for the maker's suite, through the real registry calls.
#include <gtest/gtest.h>

#include <string>

#include "registry_fixture.h"
#include "suite_check.h"

namespace {

std::string suiteExport(const std::string& valueLine) {
    return "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Tessary\\Wardmere 2000]\n" + valueLine + "\n";
}

TEST(SuiteCheck, AbsentWithoutTheKey) { EXPECT_FALSE(suiteInstalled()); }

TEST(SuiteCheck, AbsentWhenTheKeyHasNoFolderValue) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(suiteExport("\"Version\"=\"5\""))) << scenario.error();
    EXPECT_FALSE(suiteInstalled());
}

TEST(SuiteCheck, InstalledWithTheFolderValue) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(suiteExport("\"Installed Folder\"=\"C:\\\\Program Files\\\\Wardmere\""))) << scenario.error();
    EXPECT_TRUE(suiteInstalled());
}

TEST(SuiteCheck, AValueOfAnyLengthOrTypeIsReadWhole) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(suiteExport("\"Installed Folder\"=\"" + std::string(20000, 'w') + "\"")))
        << scenario.error();
    EXPECT_TRUE(suiteInstalled());
    RegistryScenario empty;
    ASSERT_TRUE(empty.load(suiteExport("\"Installed Folder\"=hex:"))) << empty.error();
    EXPECT_TRUE(suiteInstalled());
}

} // namespace
