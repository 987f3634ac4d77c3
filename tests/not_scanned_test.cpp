// What the scan cannot look at, it says: a scan that passed over anything
// must not pass for a clean one.
#include <gtest/gtest.h>

#include <string>

#include "engine_test.h"
#include "folder_walk.h"
#include "not_scanned_recorder.h"
#include "pe_sample.h"
#include "scan_driver.h"
#include "text_util.h"

#ifndef _WIN32
#include "fake_windows.h"
#endif

namespace {

using Item = NotScannedRecorder::Item;

class NotScanned : public EngineTest {
protected:
    NotScanned() { scanState.userChoice = choiceLeave; }

    int walk(const std::string& relative = "") {
        const std::string pattern = folder.path(relative) + "\\*.*";
        return walkFolder(pattern.c_str());
    }
    std::string writeSample(const std::string& relative) {
        const samples::Bytes bytes = samples::matchingSample(0);
        folder.writeFile(relative, std::string(bytes.begin(), bytes.end()));
        return folder.path(relative);
    }

    NotScannedRecorder recorder;
};

TEST_F(NotScanned, AnOrdinaryTreeWithASampleLeavesNothingOut) {
    writeSample("sub/sample.exe");
    folder.writeFile("a.txt");
    folder.makeFolder("empty");
    const std::string target = folder.path();
    copyText(scanState.scanTarget, sizeof scanState.scanTarget, target.c_str());
    runScan();
    EXPECT_EQ(scanState.filesInfected, 1);
    EXPECT_TRUE(recorder.items.empty());
    EXPECT_EQ(scanState.itemsNotScanned, 0);
}

// Every real system volume holds a page file or a hibernation file over
// 2 GiB: too large for any signature, they are scanned by their length.
TEST_F(NotScanned, FilesOverTwoGibibytesAreScannedByTheirLengthAlone) {
    constexpr unsigned long long gibibyte = 1ull << 30;
    folder.writeSparseFile("pagefile.sys", 3 * gibibyte);
    folder.writeSparseFile("hiberfil.sys", 2 * gibibyte + gibibyte / 5);
    folder.writeSparseFile("swapfile.sys", 4 * gibibyte + 45568); // a record's length in the low half
    folder.writeSparseFile("just-under.bin", 2 * gibibyte - 1);
    walk();
    EXPECT_EQ(scanState.filesScanned, 4);
    EXPECT_EQ(scanState.filesInfected, 0);
    EXPECT_TRUE(recorder.items.empty());
    EXPECT_EQ(scanState.itemsNotScanned, 0);
#ifndef _WIN32
    EXPECT_EQ(sim::fileCallCounts().reads, 0u); // no record's length: none is read
#endif
}

TEST_F(NotScanned, AFileThatCannotBeOpenedIsNamedAndTheWalkGoesOn) {
    const std::string held = writeSample("held.exe");
    folder.writeFile("next.txt");
    {
        HeldFile hold(held);
        walk();
    }
    EXPECT_EQ(recorder.items, (std::vector<Item>{{held, "cannot be opened"}}));
    EXPECT_EQ(scanState.itemsNotScanned, 1);
    EXPECT_EQ(scanState.filesScanned, 2);
    EXPECT_EQ(scanState.filesInfected, 0); // never read, so never detected
}

TEST_F(NotScanned, AFolderThatIsNotThereCannotBeListed) {
    EXPECT_EQ(walk("gone"), 0);
    EXPECT_EQ(recorder.items, (std::vector<Item>{{folder.path("gone"), "folder cannot be listed"}}));
}

TEST_F(NotScanned, AnEmptyListingIsNoFailure) {
    const std::string pattern = folder.path() + "\\*.none";
    walkFolder(pattern.c_str());
    EXPECT_TRUE(recorder.items.empty());
}

TEST_F(NotScanned, AProbeOfAMissingImageIsTheSweepsBusiness) {
    scanState.probeOnly = true;
    const std::string image = folder.path("gone.exe");
    walkFolder(image.c_str());
    EXPECT_TRUE(recorder.items.empty());
}

TEST(NotScannedText, AnOverLongPathIsShownWholeWhenItFitsAndCutVisiblyWhenNot) {
    resetScanState();
    NotScannedRecorder recorder;
    const std::string folder = "C:\\" + std::string(200, 'f') + "\\";
    noteNotScannedTooLong(folder.c_str(), std::string(100, 'n').c_str());
    const std::string hugeFolder = "C:\\" + std::string(MAX_PATH - 4, 'f') + "\\";
    const std::string hugeName(MAX_PATH - 1, 'n');
    noteNotScannedTooLong(hugeFolder.c_str(), hugeName.c_str());
    ASSERT_EQ(recorder.items.size(), 2u);
    EXPECT_EQ(recorder.items[0], Item(folder + std::string(100, 'n'), "path too long"));
    const std::string& cut = recorder.items[1].first;
    EXPECT_LT(cut.size(), static_cast<size_t>(2 * MAX_PATH));
    EXPECT_EQ(cut.substr(0, hugeFolder.size()), hugeFolder);
    EXPECT_EQ(cut.substr(cut.size() - 3), "...");
    EXPECT_EQ(scanState.itemsNotScanned, 2);
}

#ifndef _WIN32
// Paths this long cannot be made through the Windows calls the test uses;
// the console test under Wine covers them with a tree made on the host.
TEST_F(NotScanned, EntriesWhosePathsDoNotFitAreNamedNotSkippedSilently) {
    const std::string deep(200, 'd');
    const std::string longName(70, 'x');
    folder.writeFile(deep + "/" + longName + ".exe");
    folder.makeFolder(deep + "/" + std::string(60, 's'));
    folder.writeFile(deep + "/short.txt");
    walk();
    const std::string inside = folder.path(deep) + "\\";
    EXPECT_EQ(recorder.items, (std::vector<Item>{{inside + longName + ".exe", "path too long"},
                                                 {inside + std::string(60, 's'), "path too long"}}));
    EXPECT_EQ(scanState.filesScanned, 1); // short.txt
}

TEST_F(NotScanned, AFileThatCannotBeReadIsNamed) {
    const std::string path = writeSample("bad-sector.exe");
    sim::setUnreadable(path, true);
    walk();
    EXPECT_EQ(recorder.items, (std::vector<Item>{{path, "cannot be read"}}));
    EXPECT_EQ(scanState.filesInfected, 0);
}
#endif

} // namespace
