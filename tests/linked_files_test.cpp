// Files of several names (hard links): read once while clean, and every
// name dealt with when detected.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "engine_test.h"
#include "exe_check.h"
#include "folder_walk.h"
#include "linked_files.h"
#include "fake_windows.h"
#include "pe_sample.h"

namespace {

class LinkedFiles : public EngineTest {
protected:
    LinkedFiles() { scanState.userChoice = choiceDelete; }

    void write(const std::string& relative, const samples::Bytes& bytes) {
        folder.writeFile(relative, std::string(bytes.begin(), bytes.end()));
    }
    void hardLink(const std::string& from, const std::string& to) {
        ASSERT_EQ(::link(folder.hostPath(from).c_str(), folder.hostPath(to).c_str()), 0);
    }
    // A clean file the matcher must read: a near miss of a sample's own length.
    static samples::Bytes cleanOfSampleLength() {
        const samples::Bytes sample = samples::matchingSample(0);
        for (const samples::NearMiss& miss : samples::nearMisses(0)) {
            if (miss.bytes.size() == sample.size()) return miss.bytes;
        }
        ADD_FAILURE() << "no near miss of the sample's length";
        return {};
    }
    int walk() { return walkFolder((folder.path() + "\\*.*").c_str()); }
    unsigned reads() const { return sim::fileCallCounts().reads; }
};

TEST_F(LinkedFiles, ACleanFileOfTwoNamesIsReadOnceAndCountedUnderBoth) {
    write("a/clean.exe", cleanOfSampleLength());
    folder.makeFolder("b");
    hardLink("a/clean.exe", "b/same.exe");
    write("c/single.exe", cleanOfSampleLength());
    const unsigned before = reads();
    EXPECT_EQ(walk(), 3);
    const unsigned walkReads = reads() - before;
    EXPECT_TRUE(window.lines().empty());
    EXPECT_EQ(scanState.itemsNotScanned, 0);

    // Each name of its own, the same walk reads the file twice as often.
    resetScanState();
    scanState.probeOnly = false;
    ::unlink(folder.hostPath("b/same.exe").c_str());
    write("b/same.exe", cleanOfSampleLength());
    const unsigned separate = reads();
    EXPECT_EQ(walk(), 3);
    EXPECT_GT(walkReads, 0u);
    EXPECT_EQ(reads() - separate, walkReads * 3 / 2);
}

TEST_F(LinkedFiles, EveryNameOfADetectedFileIsDetectedAndDeleted) {
    write("a/one.exe", samples::matchingSample(4));
    folder.makeFolder("b");
    hardLink("a/one.exe", "b/two.exe");
    EXPECT_EQ(walk(), 2);
    EXPECT_EQ(scanState.filesInfected, 2);
    EXPECT_EQ(scanState.filesRemoved, 2);
    EXPECT_FALSE(folder.exists("a/one.exe"));
    EXPECT_FALSE(folder.exists("b/two.exe"));
}

TEST_F(LinkedFiles, OnlyFilesOfSeveralNamesAreRememberedAndOnlyForOneScan) {
    const LinkedFile single{false, 1, 2, 3};
    noteFoundClean(single);
    EXPECT_FALSE(wasFoundClean(single));
    const LinkedFile linked{true, 1, 2, 3};
    EXPECT_FALSE(wasFoundClean(linked));
    noteFoundClean(linked);
    EXPECT_TRUE(wasFoundClean(linked));
    EXPECT_FALSE(wasFoundClean(LinkedFile{true, 1, 2, 4}));
    EXPECT_FALSE(wasFoundClean(LinkedFile{true, 9, 2, 3}));
    resetScanState();
    EXPECT_FALSE(wasFoundClean(linked));
}

TEST_F(LinkedFiles, TheSystemTellsTheNamesAndIdentityOfAnOpenFile) {
    write("one.exe", samples::matchingSample(0));
    write("two.exe", samples::matchingSample(0));
    hardLink("one.exe", "also.exe");
    const int first = _open(folder.path("one.exe").c_str(), _O_RDONLY | _O_BINARY);
    const int other = _open(folder.path("also.exe").c_str(), _O_RDONLY | _O_BINARY);
    const int single = _open(folder.path("two.exe").c_str(), _O_RDONLY | _O_BINARY);
    ASSERT_GE(first, 0);
    ASSERT_GE(other, 0);
    ASSERT_GE(single, 0);
    const LinkedFile a = linkedFileOf(first);
    const LinkedFile b = linkedFileOf(other);
    EXPECT_TRUE(a.linked);
    EXPECT_EQ(std::vector<DWORD>({a.volume, a.indexHigh, a.indexLow}), std::vector<DWORD>({b.volume, b.indexHigh, b.indexLow}));
    EXPECT_FALSE(linkedFileOf(single).linked);
    EXPECT_FALSE(linkedFileOf(-1).linked);
    for (int fd : {first, other, single}) _close(fd);
}

} // namespace
