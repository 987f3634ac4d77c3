// The process listings of the 9x family (Toolhelp) and of the NT family
// (PSAPI), on releases that have the libraries and on ones that lack them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test.h"
#include "fake_windows.h"
#include "process_list.h"

namespace {

class ProcessList : public EngineTest {
protected:
    DWORD start(const std::string& image) {
        sim::ProcessSetup setup;
        setup.imagePath = image;
        return sim::startProcess(setup);
    }
    static std::vector<std::string> images(const ProcessListing& listing) {
        std::vector<std::string> found;
        for (const ProcessRecord& record : listing) found.push_back(record.imageFile);
        return found;
    }
};

TEST_F(ProcessList, ToolhelpListsEveryProcessWithItsPathOnNineX) {
    sim::setRelease(sim::Release::windows98);
    const DWORD first = start("C:\\WINDOWS\\EXPLORER.EXE");
    start("C:\\TOOLS\\A.EXE");
    const ProcessListing listing = listProcessesToolhelp();
    EXPECT_EQ(images(listing), (std::vector<std::string>{"C:\\WINDOWS\\EXPLORER.EXE", "C:\\TOOLS\\A.EXE"}));
    ASSERT_FALSE(listing.empty());
    EXPECT_EQ(listing.front().processId, first);
}

TEST_F(ProcessList, ToolhelpGivesBareNamesOnNt) {
    start("C:\\TOOLS\\A.EXE");
    const std::vector<std::string> found = images(listProcessesToolhelp());
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.back(), "A.EXE");
}

TEST_F(ProcessList, MissingLibraryOrFunctionGivesAnEmptyListing) {
    start("C:\\TOOLS\\A.EXE");
    sim::setFunctionAvailable("kernel32.dll", "Process32Next", false);
    EXPECT_TRUE(listProcessesToolhelp().empty());
    sim::setFunctionAvailable("psapi.dll", "GetModuleFileNameExA", false);
    EXPECT_TRUE(listProcessesPsapi(false).empty());
    sim::setLibraryAvailable("psapi.dll", false);
    EXPECT_TRUE(listProcessesPsapi(false).empty());
}

TEST_F(ProcessList, NtFourHasNoToolhelpAndNineXNoPsapi) {
    sim::setRelease(sim::Release::windowsNt4);
    start("C:\\TOOLS\\A.EXE");
    EXPECT_TRUE(listProcessesToolhelp().empty());
    EXPECT_EQ(images(listProcessesPsapi(false)), std::vector<std::string>{"C:\\TOOLS\\A.EXE"});
    sim::setRelease(sim::Release::windows98);
    EXPECT_TRUE(listProcessesPsapi(false).empty());
}

TEST_F(ProcessList, PsapiLeavesOutProcessesWhosePathCannotBeRead) {
    sim::ProcessSetup locked;
    locked.imagePath = "C:\\TOOLS\\LOCKED.EXE";
    locked.opens = false;
    sim::startProcess(locked);
    sim::ProcessSetup protectedOne;
    protectedOne.imagePath = "C:\\TOOLS\\GUARDED.EXE";
    protectedOne.moduleReadable = false;
    sim::startProcess(protectedOne);
    start("C:\\TOOLS\\A.EXE");
    EXPECT_EQ(images(listProcessesPsapi(true)), std::vector<std::string>{"C:\\TOOLS\\A.EXE"});
}

TEST_F(ProcessList, DeniedProcessRaisesTheDebugPrivilegeOnlyWhenAsked) {
    sim::ProcessSetup system;
    system.imagePath = "C:\\WINDOWS\\SYSTEM32\\SERVICES.EXE";
    system.needsDebugPrivilege = true;
    sim::startProcess(system);
    EXPECT_TRUE(listProcessesPsapi(false).empty());
    EXPECT_FALSE(sim::privilegeEnabled("SeDebugPrivilege"));

    EXPECT_EQ(images(listProcessesPsapi(true)), std::vector<std::string>{system.imagePath});
    EXPECT_TRUE(sim::privilegeEnabled("SeDebugPrivilege"));
    EXPECT_TRUE(givenNotices.empty());
}

TEST_F(ProcessList, DebugPrivilegeNotHeldLeavesTheProcessOut) {
    sim::setPrivilegeHeld("SeDebugPrivilege", false);
    sim::ProcessSetup system;
    system.imagePath = "C:\\WINDOWS\\SYSTEM32\\SERVICES.EXE";
    system.needsDebugPrivilege = true;
    sim::startProcess(system);
    EXPECT_TRUE(listProcessesPsapi(true).empty());
}

TEST_F(ProcessList, OverlongImagePathIsCutToTheRecord) {
    const std::string longPath = "C:\\" + std::string(300, 'd') + ".EXE";
    start(longPath);
    const ProcessListing listing = listProcessesPsapi(false);
    ASSERT_EQ(listing.size(), 1u);
    EXPECT_EQ(std::string(listing[0].imageFile), longPath.substr(0, MAX_PATH - 1));
}

} // namespace
