// Ending the process that runs a file: the Toolhelp way on the 9x family,
// the PSAPI way on NT 5.x, and what disposal does with the outcome.
#include <gtest/gtest.h>

#include <string>

#include "disposal.h"
#include "engine_test.h"
#include "fake_windows.h"
#include "process_kill.h"

namespace {

const char* const couldNotKill = "Could not kill process";

class ProcessKill : public EngineTest {
protected:
    // A running program whose image is the file `relative` of the folder.
    DWORD run(const std::string& relative, bool terminates = true) {
        if (!folder.exists(relative)) folder.writeFile(relative, "running");
        sim::ProcessSetup setup;
        setup.imagePath = folder.path(relative);
        setup.terminates = terminates;
        return sim::startProcess(setup);
    }
};

TEST_F(ProcessKill, ToolhelpEndsOnlyTheFirstOfTwoCopies) {
    sim::setRelease(sim::Release::windows98);
    const DWORD first = run("A.EXE");
    const DWORD second = run("A.EXE");
    EXPECT_EQ(killProcessByPath(folder.path("a.exe").c_str()), 1);
    EXPECT_FALSE(sim::processRunning(first));
    EXPECT_TRUE(sim::processRunning(second));
    EXPECT_EQ(sim::processExitCode(first), 0u);
}

TEST_F(ProcessKill, ToolhelpLeavesASameNamedProgramInAnotherFolder) {
    sim::setRelease(sim::Release::windows98);
    folder.makeFolder("other");
    const DWORD elsewhere = run("other\\A.EXE");
    const DWORD target = run("A.EXE");
    EXPECT_EQ(killByToolhelp(folder.path("A.EXE").c_str()), 1);
    EXPECT_TRUE(sim::processRunning(elsewhere));
    EXPECT_FALSE(sim::processRunning(target));
}

TEST_F(ProcessKill, ToolhelpComparesFileNamesWhereTheSnapshotGivesBareNames) {
    const DWORD target = run("A.EXE"); // NT: the snapshot names the file only
    EXPECT_EQ(killByToolhelp(folder.path("a.exe").c_str()), 1);
    EXPECT_FALSE(sim::processRunning(target));
}

TEST_F(ProcessKill, ToolhelpFailureIsToldAndReported) {
    sim::setRelease(sim::Release::windows98);
    run("A.EXE", false);
    const std::string path = folder.path("A.EXE");
    EXPECT_EQ(killProcessByPath(path.c_str()), 0);
    ASSERT_EQ(givenNotices.size(), 1u);
    EXPECT_EQ(givenNotices[0].text, couldNotKill);
    EXPECT_EQ(givenNotices[0].caption, path);
    EXPECT_EQ(killProcessByPath(folder.path("NONE.EXE").c_str()), 0);
    EXPECT_EQ(givenNotices.size(), 2u);
}

TEST_F(ProcessKill, PsapiEndsEveryProcessOfTheWholePathWhateverItsCase) {
    folder.makeFolder("other");
    const DWORD first = run("A.EXE");
    const DWORD second = run("A.EXE");
    const DWORD elsewhere = run("other\\A.EXE");
    std::string path = folder.path("a.exe");
    EXPECT_EQ(killProcessByPath(path.c_str()), 1);
    EXPECT_FALSE(sim::processRunning(first));
    EXPECT_FALSE(sim::processRunning(second));
    EXPECT_TRUE(sim::processRunning(elsewhere));
}

TEST_F(ProcessKill, PsapiCountsAsEndedWhenNothingMatchedAndSaysNothing) {
    run("B.EXE");
    EXPECT_EQ(killProcessByPath(folder.path("A.EXE").c_str()), 1);
    EXPECT_TRUE(givenNotices.empty());
    sim::setLibraryAvailable("psapi.dll", false);
    EXPECT_EQ(killProcessByPath(folder.path("A.EXE").c_str()), 0);
    EXPECT_TRUE(givenNotices.empty());
}

TEST_F(ProcessKill, UnknownFamilyTriesNothing) {
    const DWORD target = run("A.EXE");
    sim::setVersion(VER_PLATFORM_WIN32s, 3, 1);
    EXPECT_EQ(killProcessByPath(folder.path("A.EXE").c_str()), 1);
    EXPECT_TRUE(sim::processRunning(target));
    EXPECT_TRUE(sim::processCalls().empty());
}

TEST_F(ProcessKill, RunningFileIsDeletedOnceItsProcessIsEnded) {
    for (sim::Release release : {sim::Release::windows98, sim::Release::windowsXp}) {
        sim::setRelease(release);
        const DWORD process = run("A.EXE");
        scanState.userChoice = choiceDelete;
        const std::string path = folder.path("A.EXE");
        disposeFile(path.c_str(), "W32/Karvex.Bds.Trojan");
        EXPECT_FALSE(sim::processRunning(process));
        EXPECT_FALSE(folder.exists("A.EXE"));
        EXPECT_EQ(window.lines().back(), path + "     W32/Karvex.Bds.Trojan removed");
    }
    EXPECT_EQ(scanState.filesRemoved, 2);
    EXPECT_EQ(scanState.restartNeeded, 0);
}

TEST_F(ProcessKill, FileOfAProcessThatWillNotEndIsQueuedForTheRestart) {
    folder.makeFolder("WINDOWS"); // where the 9x family keeps its restart file
    sim::setWindowsFolder(folder.path("WINDOWS"));
    for (sim::Release release : {sim::Release::windows98, sim::Release::windowsXp}) {
        sim::setRelease(release);
        run("A.EXE", false);
        scanState.userChoice = choiceDelete;
        scanState.restartNeeded = 0;
        const std::string path = folder.path("A.EXE");
        disposeFile(path.c_str(), "W32/Karvex.Bds.Trojan");
        EXPECT_TRUE(folder.exists("A.EXE"));
        EXPECT_EQ(window.lines().back(), path + "     W32/Karvex.Bds.Trojan Unable to remove");
        EXPECT_EQ(scanState.restartNeeded, 1);
    }
    EXPECT_EQ(givenNotices.size(), 1u); // the PSAPI way fails silently
}

} // namespace
