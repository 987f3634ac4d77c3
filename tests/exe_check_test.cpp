#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine_test.h"
#include "exe_check.h"
#include "folder_walk.h"
#include "pe_sample.h"
#include "scan_driver.h"
#include "signatures/exe_signatures.h"

#ifndef _WIN32
#include "fake_windows.h"
#endif

namespace {

class ExeCheck : public EngineTest {
protected:
    ExeCheck() { scanState.userChoice = choiceDelete; }

    std::string write(const std::string& relative, const samples::Bytes& bytes) {
        folder.writeFile(relative, std::string(bytes.begin(), bytes.end()));
        return folder.path(relative);
    }
    std::string sample(int index, const std::string& relative) {
        return write(relative, samples::matchingSample(index));
    }
    static std::string removedLine(const std::string& path, const char* name) {
        return path + "     " + name + " removed";
    }
};

TEST_F(ExeCheck, EverySampleIsDetectedUnderItsOwnNameAndDeleted) {
    for (int i = 0; i < exeSignatureCount; ++i) {
        const std::string relative = "sample" + std::to_string(i) + ".exe";
        const std::string path = sample(i, relative);
        window.reports.clear();
        EXPECT_EQ(checkExecutable(exeCheckName, path.c_str()), 1) << relative;
        EXPECT_EQ(window.lines(), std::vector<std::string>{removedLine(path, exeSignatureTable[i].name)}) << relative;
        EXPECT_FALSE(folder.exists(relative)) << relative;
        EXPECT_STREQ(scanState.detectedName, exeSignatureTable[i].name);
    }
    EXPECT_EQ(scanState.filesInfected, exeSignatureCount);
    EXPECT_EQ(scanState.filesRemoved, exeSignatureCount);
    EXPECT_STREQ(scanState.currentFile, "");
}

TEST_F(ExeCheck, NearMissesAreLeftAloneAndUnreported) {
    for (int i = 0; i < exeSignatureCount; i += 7) {
        for (const samples::NearMiss& miss : samples::nearMisses(i)) {
            const std::string relative = "miss" + std::to_string(i) + "-" + miss.label + ".exe";
            EXPECT_EQ(checkExecutable(exeCheckName, write(relative, miss.bytes).c_str()), 0) << relative;
            EXPECT_TRUE(folder.exists(relative)) << relative;
        }
    }
    EXPECT_TRUE(window.lines().empty());
    EXPECT_EQ(scanState.filesInfected, 0);
}

TEST_F(ExeCheck, OnlyTheLowHalfOfTheHeaderOffsetCounts) {
    const std::string path = write("high.exe", samples::sampleWithHighHeaderOffset(3));
    EXPECT_EQ(checkExecutable(exeCheckName, path.c_str()), 1);
    EXPECT_STREQ(scanState.detectedName, exeSignatureTable[3].name);
}

TEST_F(ExeCheck, ProbeModeNotesTheHitAndLeavesTheFile) {
    const std::string path = sample(8, "probe.exe");
    scanState.probeOnly = true;
    walkFolder(path.c_str());
    EXPECT_TRUE(scanState.probeHit);
    EXPECT_EQ(scanState.filesInfected, 1);
    EXPECT_EQ(scanState.filesScanned, 0);
    EXPECT_STREQ(scanState.detectedName, "W32/Karvex.Bds.Trojan");
    EXPECT_EQ(std::string(scanState.detectedPath), path);
    EXPECT_TRUE(folder.exists("probe.exe"));
    EXPECT_TRUE(window.lines().empty());
}

TEST_F(ExeCheck, ForcedDisposalSkipsMatchingAndSaysSystemMemoryFirst) {
    folder.writeFile("image.exe", "not even a PE file");
    const std::string path = folder.path("image.exe");
    scanState.forcedChoice = choiceDelete;
    scanState.userChoice = choiceLeave;
    EXPECT_EQ(checkExecutable(exeCheckName, path.c_str()), 0);
    EXPECT_EQ(window.lines(), (std::vector<std::string>{"System Memory    W32/Karvex.Trojan  removed",
                                                        path + "     W32/Karvex.Trojan  removed"}));
    EXPECT_EQ(scanState.userChoice, choiceDelete);
    EXPECT_EQ(scanState.filesInfected, 0);
    EXPECT_FALSE(folder.exists("image.exe"));
}

TEST_F(ExeCheck, ForcedDisposalNeedsAWindow) {
    folder.writeFile("image.exe", "text");
    scanState.forcedChoice = choiceDelete;
    scanState.resultList = nullptr;
    EXPECT_EQ(checkExecutable(exeCheckName, folder.path("image.exe").c_str()), 0);
    EXPECT_TRUE(folder.exists("image.exe"));
}

TEST_F(ExeCheck, RunValueNameIsClearedUntilTheFirstHit) {
    folder.writeFile("plain.txt", "text");
    std::strcpy(scanState.runValueName, "stale");
    checkExecutable(exeCheckName, folder.path("plain.txt").c_str());
    EXPECT_STREQ(scanState.runValueName, "");
    std::strcpy(scanState.runValueName, "kept");
    scanState.filesInfected = 1;
    checkExecutable(exeCheckName, folder.path("plain.txt").c_str());
    EXPECT_STREQ(scanState.runValueName, "kept");
}

TEST_F(ExeCheck, UnreadableFileIsNeitherDetectedNorReported) {
    const std::string path = sample(0, "held.exe");
    {
        HeldFile hold(path);
        EXPECT_EQ(checkExecutable(exeCheckName, path.c_str()), 0);
    }
    EXPECT_TRUE(folder.exists("held.exe"));
    EXPECT_TRUE(window.lines().empty());
}

TEST_F(ExeCheck, ScanOfOneDeletedSampleGivesTheFullReport) {
    const std::string path = sample(12, "dir/one.exe");
    folder.writeFile("dir/readme.txt", "clean");
    std::strcpy(scanState.scanTarget, folder.path().c_str());
    scanState.userChoice = choiceDelete;
    runScan();
    EXPECT_EQ(window.lines(), (std::vector<std::string>{
                                  removedLine(path, "W32/Karvex.Bfh.Trojan"), " ", "Scanning statistics",
                                  "------------------------------", "Total files scanned\t\t:  2",
                                  "Total files infected\t\t:  1", "Total files removed\t\t:  1"}));
}

TEST_F(ExeCheck, RenamedSampleIsInfectedButNotRemoved) {
    const std::string path = sample(20, "b.exe");
    scanState.userChoice = choiceRename;
    EXPECT_EQ(checkExecutable(exeCheckName, path.c_str()), 1);
    EXPECT_TRUE(folder.exists("b.Vxe"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Karvex.Se.Dl.Trojan renamed"});
    EXPECT_EQ(scanState.filesInfected, 1);
    EXPECT_EQ(scanState.filesRemoved, 0);
}

#ifndef _WIN32
// How much a check reads can be counted only on the simulated machine.
// A length that no record asks for rules a file out before anything is
// read of it: it costs an open, a length and a close.
TEST_F(ExeCheck, FileOfALengthNoRecordAsksForIsNotRead) {
    std::vector<std::string> paths{write("notes.txt", samples::Bytes(5000, 'n'))};
    for (const samples::NearMiss& miss : samples::nearMisses(0)) {
        if (miss.label == samples::nearMissLabel::longer) paths.push_back(write("long.exe", miss.bytes));
    }
    ASSERT_EQ(paths.size(), 2u) << "no one-byte-longer near miss";
    for (const std::string& path : paths) {
        const sim::FileCallCounts before = sim::fileCallCounts();
        EXPECT_EQ(checkExecutable(exeCheckName, path.c_str()), 0) << path;
        const sim::FileCallCounts after = sim::fileCallCounts();
        EXPECT_EQ(after.opens - before.opens, 1u) << path;
        EXPECT_EQ(after.lengthQueries - before.lengthQueries, 1u) << path;
        EXPECT_EQ(after.reads - before.reads, 0u) << path;
        EXPECT_EQ(after.closes - before.closes, 1u) << path;
    }
}

// A file of a record's length is read, its headers in one read: a file of
// that length that is no PE file is read once and passed.
TEST_F(ExeCheck, FileOfARecordsLengthIsReadOnceForItsHeaders) {
    const samples::Bytes sampleBytes = samples::matchingSample(0);
    const std::string text = write("same-length.txt", samples::Bytes(sampleBytes.size(), 0));
    sim::FileCallCounts before = sim::fileCallCounts();
    EXPECT_EQ(checkExecutable(exeCheckName, text.c_str()), 0);
    sim::FileCallCounts after = sim::fileCallCounts();
    EXPECT_EQ(after.reads - before.reads, 1u);
    EXPECT_EQ(after.seeks - before.seeks, 0u);
    EXPECT_TRUE(folder.exists("same-length.txt"));
    EXPECT_TRUE(window.lines().empty());
}

#endif

} // namespace
