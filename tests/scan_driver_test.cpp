#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine_test.h"
#include "pe_sample.h"
#include "scan_driver.h"
#include "version_probe.h"

#ifndef _WIN32
#include <filesystem>

#include "fake_windows.h"
#endif

namespace {

class ScanDriver : public EngineTest {
protected:
    void scanFolder(const std::string& relative = "") {
        std::strcpy(scanState.scanTarget, folder.path(relative).c_str());
        runScan();
    }
};

std::vector<std::string> statistics(int scanned, int infected, int removed) {
    return {"Scanning statistics", "------------------------------",
            "Total files scanned\t\t:  " + std::to_string(scanned),
            "Total files infected\t\t:  " + std::to_string(infected),
            "Total files removed\t\t:  " + std::to_string(removed)};
}

TEST_F(ScanDriver, CleanFolderGivesTheStatisticsBlockAndCompleted) {
    folder.writeFile("a.txt");
    folder.writeFile("b/c.txt");
    folder.writeFile("b/d/e.bin");
    scanFolder();
    EXPECT_EQ(window.lines(), statistics(3, 0, 0));
    EXPECT_EQ(window.statuses().back(), "Scanning completed");
    EXPECT_TRUE(scanState.scanFinished);
    EXPECT_FALSE(scanState.probeOnly);
    EXPECT_TRUE(askedQuestions.empty());
}

const char* const restartQuestion =
    "The system has to be restarted to remove the virus completely from your system. \n\n Restart now?";

// A sample held open as a running program holds its image: it cannot be
// deleted, is queued for the next start, and the restart is offered after
// the closing word.
TEST_F(ScanDriver, ALockedDetectionIsQueuedAndTheRestartOfferedAfterTheWalk) {
    const samples::Bytes bytes = samples::matchingSample(8);
    folder.writeFile("held.exe", std::string(bytes.begin(), bytes.end()));
    const std::string path = folder.path("held.exe");
    scanState.userChoice = choiceDelete;
    {
        RunningImage running(path);
        scanFolder();
    }
    const auto lines = window.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], path + "     W32/Karvex.Bds.Trojan Unable to remove") << testing::PrintToString(lines);
    EXPECT_EQ(scanState.restartNeeded, 1);
    ASSERT_EQ(askedQuestions.size(), 1u);
    EXPECT_EQ(askedQuestions[0].text, restartQuestion);
    EXPECT_EQ(askedQuestions[0].caption, "Quorvane Ver 1.0");
    EXPECT_EQ(askedQuestions[0].style, 36u);
    EXPECT_EQ(window.statuses().back(), "Scanning completed"); // shown before the question
    EXPECT_TRUE(folder.exists("held.exe"));
}


#ifndef _WIN32
// Under Wine a restart would end the test run: natively it is recorded.
TEST_F(ScanDriver, AYesToTheRestartRestartsOnceAndANoNever) {
    const samples::Bytes bytes = samples::matchingSample(8);
    folder.writeFile("held.exe", std::string(bytes.begin(), bytes.end()));
    RunningImage running(folder.path("held.exe"));
    scanState.userChoice = choiceDelete;
    scriptedAnswers.push_back(IDYES);
    scanFolder();
    ASSERT_EQ(sim::exitRequests().size(), 1u);
    EXPECT_EQ(sim::exitRequests()[0].flags, static_cast<UINT>(EWX_REBOOT | EWX_FORCE));
    EXPECT_TRUE(sim::exitRequests()[0].granted);
    resetScanState();
    resetQuestions();
    scanState.resultList = window.handle();
    scanState.probeOnly = false;
    scanState.userChoice = choiceDelete;
    scanFolder();
    EXPECT_EQ(askedQuestions.size(), 1u);
    EXPECT_EQ(sim::exitRequests().size(), 1u);
}
#endif

TEST_F(ScanDriver, AHitPutsABlankLineBeforeTheStatistics) {
    scanState.filesInfected = 1; // as left by a hit
    scanState.filesRemoved = 1;
    scanFolder();
    std::vector<std::string> expected{" "};
    const auto block = statistics(0, 1, 1);
    expected.insert(expected.end(), block.begin(), block.end());
    EXPECT_EQ(window.lines(), expected);
}

TEST_F(ScanDriver, CountsAreTotalsSinceStartNotReset) {
    folder.writeFile("a.txt");
    scanState.filesScanned = 40;
    scanFolder();
    EXPECT_EQ(window.lines()[2], "Total files scanned\t\t:  41");
}

TEST_F(ScanDriver, EmptyTargetWalksNothingButStillReports) {
    folder.writeFile("a.txt");
    runScan();
    EXPECT_EQ(window.lines(), statistics(0, 0, 0));
    EXPECT_EQ(window.statuses(), std::vector<std::string>{"Scanning completed"});
}

TEST_F(ScanDriver, CancelledScanStillWritesStatisticsAndSaysTerminated) {
    folder.writeFile("a.txt");
    PostMessageA(window.handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    scriptedAnswers.push_back(IDYES);
    scanFolder();
    EXPECT_EQ(window.lines(), statistics(0, 0, 0));
    EXPECT_EQ(window.statuses().back(), "Scanning terminated");
}

TEST_F(ScanDriver, ProgramFilesFollowUpWalksTheNotedFolderOnce) {
    folder.writeFile("target/a.txt");
    folder.writeFile("elsewhere/b.txt");
    folder.writeFile("elsewhere/c.txt");
    scanState.programFilesPending = 1; // noted by an earlier drive root
    std::strcpy(scanState.programFilesPattern, (folder.path("elsewhere") + "\\*.*").c_str());
    scanFolder("target");
    EXPECT_EQ(scanState.filesScanned, 3);
    EXPECT_EQ(scanState.programFilesPending, 0);
}

TEST_F(ScanDriver, NoFollowUpOnceAProgramFilesFolderWasEntered) {
    folder.writeFile("elsewhere/b.txt");
    scanState.programFilesPending = 1;
    scanState.programFilesSeen = 1;
    std::strcpy(scanState.programFilesPattern, (folder.path("elsewhere") + "\\*.*").c_str());
    scanFolder("target");
    EXPECT_EQ(scanState.filesScanned, 0);
    EXPECT_EQ(scanState.programFilesPending, 1);
}

#ifndef _WIN32
// Whole drives can be arranged only on the simulated machine.
class DriveScan : public ScanDriver {
protected:
    std::string hostDrive(const std::string& name) {
        const std::string host = folder.hostPath(name);
        std::filesystem::create_directories(host);
        return host;
    }
    void write(const std::string& host, const std::string& name) {
        std::filesystem::create_directories(std::filesystem::path(host + "/" + name).parent_path());
        std::FILE* file = std::fopen((host + "/" + name).c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
    }
};

TEST_F(DriveScan, WalksOnlyFixedDrivesFromCToZ) {
    const std::string a = hostDrive("a"), d = hostDrive("d"), e = hostDrive("e"), z = hostDrive("z");
    write(a, "one.exe");
    write(d, "two.exe");
    write(e, "three.exe");
    write(z, "x/four.exe");
    sim::reset();
    sim::mapDrive('A', a);
    sim::mapDrive('D', d, DRIVE_REMOVABLE);
    sim::mapDrive('E', e);
    sim::mapDrive('Z', z);
    ReportWindow drives; // the machine was reset: a new window
    std::strcpy(scanState.scanTarget, "!:");
    runScan();
    EXPECT_EQ(scanState.filesScanned, 2);
    EXPECT_EQ(drives.statuses().front(), "E:\\three.exe");
}

TEST_F(DriveScan, AnyOtherTargetTextIsAFolder) {
    std::strcpy(scanState.scanTarget, "!:x");
    runScan();
    EXPECT_EQ(scanState.filesScanned, 0);
    EXPECT_EQ(window.statuses().back(), "Scanning completed");
}

TEST_F(DriveScan, RootFilesComeFirstAndProgramFilesIsWalkedOnce) {
    const std::string c = hostDrive("c");
    write(c, "PROGRAM FILES/app/app.exe");
    write(c, "boot.ini");
    sim::reset();
    sim::mapDrive('C', c);
    ReportWindow drives;
    std::strcpy(scanState.scanTarget, "!:");
    runScan();
    EXPECT_EQ(scanState.filesScanned, 2);
    EXPECT_EQ(drives.statuses().front(), "C:\\boot.ini"); // a root lists no dot entries
    EXPECT_EQ(scanState.programFilesPending, 1);           // noted, but walked by the drive walk
    EXPECT_STREQ(scanState.programFilesPattern, "C:\\Program Files\\*.*");
}

TEST_F(DriveScan, FollowUpWalksProgramFilesWhenTheDriveWalkDidNot) {
    const std::string c = hostDrive("c");
    write(c, "Program Files/app.exe");
    sim::reset();
    sim::mapDrive('C', c);
    ReportWindow drives;
    PostQuitMessage(0); // the drive walk stops at once; the follow-up still runs
    std::strcpy(scanState.scanTarget, "!:");
    runScan();
    EXPECT_EQ(scanState.programFilesPending, 0);
    EXPECT_EQ(drives.statuses().back(), "Scanning terminated");
}
#endif

} // namespace
