#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine_test.h"
#include "folder_walk.h"

namespace {

class FolderWalk : public EngineTest {
protected:
    // Walks the test folder the way the driver walks a folder target.
    int walk(const std::string& relative = "") {
        const std::string pattern = folder.path(relative) + "\\*.*";
        return walkFolder(pattern.c_str());
    }

    size_t statusIndex(const std::string& status) const {
        const auto statuses = window.statuses();
        const auto found = std::find(statuses.begin(), statuses.end(), status);
        return found == statuses.end() ? std::string::npos : static_cast<size_t>(found - statuses.begin());
    }
};

TEST_F(FolderWalk, CountsEveryRegularFileWhateverItsAttributes) {
    folder.writeFile("a.exe");
    folder.writeFile("b.txt");
    folder.writeFile("noextension");
    folder.writeFile("sub/c.dll");
    folder.writeFile("sub/deeper/d");
    EXPECT_EQ(walk(), 5);
    EXPECT_EQ(scanState.filesScanned, 5);
    EXPECT_FALSE(scanState.terminateRequested);
}

TEST_F(FolderWalk, ShowsEveryEntryIncludingDotEntriesAsStatus) {
    folder.writeFile("a.exe");
    folder.makeFolder("sub");
    walk();
    for (const char* entry : {"\\.", "\\..", "\\a.exe", "\\sub", "\\sub\\.", "\\sub\\.."}) {
        EXPECT_NE(statusIndex(folder.path() + entry), std::string::npos) << entry;
    }
    EXPECT_EQ(window.statuses().size(), 6u);
    EXPECT_TRUE(window.lines().empty());
}

TEST_F(FolderWalk, ChecksAFoldersFilesBeforeEnteringItsSubfolders) {
    folder.writeFile("zzz.txt");
    folder.writeFile("aaa/inner.txt");
    folder.writeFile("mmm.txt");
    walk();
    const size_t inner = statusIndex(folder.path("aaa\\inner.txt"));
    ASSERT_NE(inner, std::string::npos);
    EXPECT_LT(statusIndex(folder.path("zzz.txt")), inner);
    EXPECT_LT(statusIndex(folder.path("mmm.txt")), inner);
}

TEST_F(FolderWalk, StatusShowsLongPathsShortenedToSixtyCharacters) {
    const std::string name = "a-rather-long-folder-name-to-push-the-path/and-a-file-name-too.exe";
    folder.writeFile(name);
    walk();
    const std::string full = folder.path(name);
    ASSERT_GT(full.size(), 60u);
    EXPECT_NE(statusIndex(full.substr(0, 29) + ".." + full.substr(full.size() - 29)), std::string::npos);
}

TEST_F(FolderWalk, EmptyOrMissingFolderContributesNothing) {
    folder.makeFolder("empty");
    EXPECT_EQ(walk("empty"), 0);
    EXPECT_EQ(walk("missing"), 0);
    EXPECT_EQ(scanState.filesScanned, 0);
}

TEST_F(FolderWalk, PatternWithoutADotIsRefused) {
    folder.writeFile("a.txt");
    const std::string pattern = folder.path() + "\\*";
    EXPECT_EQ(walkFolder(pattern.c_str()), -1);
    EXPECT_EQ(scanState.filesScanned, 0);
}

TEST_F(FolderWalk, EscapeAnsweredYesStopsAtTheNextEntry) {
    for (int i = 0; i < 5; ++i) folder.writeFile("f" + std::to_string(i) + ".txt");
    folder.writeFile("sub/g.txt");
    PostMessageA(window.handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    scriptedAnswers.push_back(IDYES);
    EXPECT_EQ(walk(), 0);
    EXPECT_TRUE(scanState.terminateRequested);
    EXPECT_EQ(scanState.filesScanned, 0);
    EXPECT_TRUE(window.statuses().empty()); // stopped before the first entry was shown
}

TEST_F(FolderWalk, CancelInsideASubfolderStopsEveryLevel) {
    folder.writeFile("sub/a.txt");
    folder.writeFile("sub/b.txt");
    folder.writeFile("zlast/c.txt");
    const std::string trigger = folder.path("sub\\a.txt");
    window.onStatus = [&](const std::string& status) {
        if (status == trigger) PostMessageA(window.handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    };
    scriptedAnswers.push_back(IDYES);
    EXPECT_EQ(walk(), 0);
    EXPECT_EQ(scanState.filesScanned, 1);
    EXPECT_EQ(statusIndex(folder.path("sub\\b.txt")), std::string::npos);
    EXPECT_EQ(statusIndex(folder.path("zlast\\.")), std::string::npos); // never entered
}

TEST_F(FolderWalk, ProbeModeChecksTheOneFileOnly) {
    folder.writeFile("abc.exe");
    folder.writeFile("abc.old/inside.exe"); // a folder named like the file
    scanState.probeOnly = true;
    scanState.probeHit = true; // cleared on entry
    const std::string file = folder.path("abc.exe");
    walkFolder(file.c_str());
    EXPECT_FALSE(scanState.probeHit);
    EXPECT_EQ(scanState.filesScanned, 0);
    EXPECT_EQ(window.statuses(), std::vector<std::string>{file});
}

TEST_F(FolderWalk, ProgramFilesInAnyLetterCaseCountsAsSeen) {
    folder.writeFile("PROGRAM FILES/app.exe");
    walk();
    EXPECT_EQ(scanState.programFilesSeen, 1);
}

} // namespace
