#include <gtest/gtest.h>

#include <cstring>

#include "engine_test.h"

namespace {

using ScanStateReports = EngineTest;

TEST(ScanStateStart, EverythingIsZeroButProbeMode) {
    resetScanState();
    EXPECT_EQ(scanState.resultList, nullptr);
    EXPECT_TRUE(scanState.probeOnly);
    EXPECT_FALSE(scanState.terminateRequested);
    EXPECT_FALSE(scanState.scanFinished);
    EXPECT_EQ(scanState.filesScanned + scanState.filesInfected + scanState.filesRemoved + scanState.filesRenamed, 0);
    EXPECT_EQ(scanState.userChoice, 0);
    EXPECT_EQ(scanState.restartNeeded, 0);
    EXPECT_STREQ(scanState.scanTarget, "");
    EXPECT_EQ(sizeof scanState.lineText, 500u);
    EXPECT_EQ(sizeof scanState.currentFile, 261u);
    EXPECT_EQ(sizeof scanState.runValueName, 128u);
    EXPECT_EQ(sizeof scanState.detectedPath, 260u);
}

TEST_F(ScanStateReports, ResultLineReachesTheWindowBeforeTheCallReturns) {
    std::strcpy(scanState.lineText, "first");
    addResultLine();
    std::strcpy(scanState.lineText, "second"); // the buffer is free again at once
    addResultLine();
    EXPECT_EQ(window.lines(), (std::vector<std::string>{"first", "second"}));
}

TEST_F(ScanStateReports, StatusSendsTheDetectedPathAsMessageTen) {
    std::strcpy(scanState.detectedPath, "C:\\x.exe");
    showStatus();
    ASSERT_EQ(window.reports.size(), 1u);
    EXPECT_EQ(window.reports[0].message, 10u);
    EXPECT_EQ(window.reports[0].text, "C:\\x.exe");
}

TEST_F(ScanStateReports, NoWindowMeansReportsGoNowhere) {
    scanState.resultList = nullptr;
    std::strcpy(scanState.lineText, "lost");
    addResultLine();
    showStatus();
    EXPECT_TRUE(window.reports.empty());
}

} // namespace
