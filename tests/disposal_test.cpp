#include <gtest/gtest.h>

#include <string>

#include "disposal.h"
#include "engine_test.h"

#ifndef _WIN32
#include "fake_windows.h"
#endif

namespace {

const char* const name = "W32/Karvex.Bds.Trojan";

class Disposal : public EngineTest {
protected:
    std::string infected(const std::string& relative) {
        folder.writeFile(relative, "infected");
        return folder.path(relative);
    }
    void dispose(const std::string& path, int choice) {
        scanState.userChoice = choice;
        disposeFile(path.c_str(), name);
    }
};

TEST_F(Disposal, DeleteRemovesTheFileCountsItAndSaysSo) {
    for (int choice : {choiceDelete, choiceDeleteToo}) {
        const std::string path = infected("b.exe");
        dispose(path, choice);
        EXPECT_FALSE(folder.exists("b.exe")) << choice;
        EXPECT_EQ(window.lines().back(), path + "     W32/Karvex.Bds.Trojan removed");
    }
    EXPECT_EQ(scanState.filesRemoved, 2);
    EXPECT_EQ(scanState.restartNeeded, 0);
}

TEST_F(Disposal, DeletesReadOnlyHiddenSystemFileAfterClearingAttributes) {
    const std::string path = infected("locked.exe");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(),
                                   FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    dispose(path, choiceDelete);
    EXPECT_FALSE(folder.exists("locked.exe"));
    EXPECT_EQ(scanState.filesRemoved, 1);
}

TEST_F(Disposal, FileHeldOpenIsReportedUnableToRemove) {
    const std::string path = infected("held.exe");
    {
        HeldFile hold(path);
        dispose(path, choiceDelete);
    }
    EXPECT_TRUE(folder.exists("held.exe"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Karvex.Bds.Trojan Unable to remove"});
    EXPECT_EQ(scanState.filesRemoved, 0);
}

// The system's delete at the next start refuses a read-only file: a file
// queued for it keeps every attribute but that one.
TEST_F(Disposal, QueuedFileGetsItsAttributesBackButReadOnly) {
    const std::string path = infected("held.exe");
    const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes));
    const DWORD before = GetFileAttributesA(path.c_str()); // the system may add the archive bit
    ASSERT_EQ(before & attributes, attributes);
    {
        HeldFile hold(path);
        dispose(path, choiceDelete);
    }
    EXPECT_TRUE(folder.exists("held.exe"));
    EXPECT_EQ(scanState.restartNeeded, 1);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), before & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Karvex.Bds.Trojan Unable to remove"});
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL)); // so that the folder can go
}

#ifndef _WIN32
// Without a queue that takes it the file stays as it was, read-only too.
TEST_F(Disposal, FileThatCannotBeQueuedGetsEveryAttributeBack) {
    sim::setRestartQueueWritable(false);
    const std::string path = infected("held.exe");
    const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes));
    {
        HeldFile hold(path);
        dispose(path, choiceDelete);
    }
    EXPECT_EQ(GetFileAttributesA(path.c_str()), attributes);
    EXPECT_EQ(scanState.restartNeeded, 0);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
}

TEST_F(Disposal, RestartStaysNeededOnceAFileIsQueued) {
    const std::string first = infected("first.exe");
    const std::string second = infected("second.exe");
    HeldFile holdFirst(first);
    HeldFile holdSecond(second);
    dispose(first, choiceDelete);
    ASSERT_EQ(scanState.restartNeeded, 1);
    sim::setRestartQueueWritable(false);
    dispose(second, choiceDelete);
    EXPECT_EQ(scanState.restartNeeded, 1);
}
#endif

TEST_F(Disposal, VanishedFileIsUnableToRemoveAndNotCounted) {
    const std::string path = folder.path("gone.exe");
    dispose(path, choiceDelete);
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Karvex.Bds.Trojan Unable to remove"});
    EXPECT_EQ(scanState.filesRemoved, 0);
}

TEST_F(Disposal, RenameTurnsTheExtensionsFirstLetterIntoV) {
    const std::string path = infected("a/b.exe");
    dispose(path, choiceRename);
    EXPECT_FALSE(folder.exists("a/b.exe"));
    EXPECT_TRUE(folder.exists("a/b.Vxe"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Karvex.Bds.Trojan renamed"});
    EXPECT_EQ(scanState.filesRenamed, 1);
    EXPECT_EQ(scanState.filesRemoved, 0);
}

TEST_F(Disposal, RenameWithoutExtensionInADottedFolderFails) {
    const std::string path = infected("v1.2/noext");
    dispose(path, choiceRename); // the V lands in the folder's name: "v1.V/noext"
    EXPECT_TRUE(folder.exists("v1.2/noext"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Karvex.Bds.Trojan Rename failed"});
    EXPECT_EQ(scanState.filesRenamed, 0);
}

TEST_F(Disposal, RenameOntoAnExistingNameFailsAndKeepsBoth) {
    const std::string path = infected("c.exe");
    folder.writeFile("c.Vxe", "older");
    dispose(path, choiceRename);
    EXPECT_TRUE(folder.exists("c.exe"));
    EXPECT_EQ(window.lines().back(), path + "     W32/Karvex.Bds.Trojan Rename failed");
}

TEST_F(Disposal, LeaveKeepsTheFileAndSaysWhy) {
    const std::string path = infected("d.exe");
    dispose(path, choiceLeave);
    EXPECT_TRUE(folder.exists("d.exe"));
    EXPECT_EQ(window.lines(),
              std::vector<std::string>{path + "     W32/Karvex.Bds.Trojan not disinfected as per user's selection"});
}

TEST_F(Disposal, UnknownChoiceDoesNothingAndSaysNothing) {
    const std::string path = infected("e.exe");
    for (int choice : {0, 99, 105, -1}) dispose(path, choice);
    EXPECT_TRUE(folder.exists("e.exe"));
    EXPECT_TRUE(window.lines().empty());
}

// The keeper of these tests: what it saw of the file, and its answer.
struct KeeperSeen {
    bool answer = true;
    std::vector<std::string> paths;
    DWORD attributes = 0;
} keeperSeen;

bool testKeeper(const char* path, const char* detectionName) {
    keeperSeen.paths.push_back(std::string(path) + "|" + detectionName);
    keeperSeen.attributes = GetFileAttributesA(path);
    return keeperSeen.answer;
}

class Quarantine : public Disposal {
protected:
    void SetUp() override {
        Disposal::SetUp();
        keeperSeen = KeeperSeen{};
        quarantineKeeper = testKeeper;
    }
    void TearDown() override {
        quarantineKeeper = nullptr;
        Disposal::TearDown();
    }
};

// The keeper sees the file as it was, attributes and all, before the delete.
TEST_F(Quarantine, KeptFileIsThenDeletedAndSaidQuarantined) {
    const std::string path = infected("q.exe");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    dispose(path, choiceQuarantine);
    EXPECT_EQ(keeperSeen.paths, std::vector<std::string>{path + "|" + name});
    EXPECT_EQ(keeperSeen.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(folder.exists("q.exe"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Karvex.Bds.Trojan quarantined"});
    EXPECT_EQ(scanState.filesRemoved, 1);
}

// A file that could not be kept is not deleted; without a keeper none is.
TEST_F(Quarantine, FileNotKeptIsLeftAndSaidSo) {
    const std::string path = infected("r.exe");
    keeperSeen.answer = false;
    dispose(path, choiceQuarantine);
    quarantineKeeper = nullptr;
    dispose(path, choiceQuarantine);
    EXPECT_TRUE(folder.exists("r.exe"));
    const std::string line = path + "     W32/Karvex.Bds.Trojan Unable to quarantine";
    EXPECT_EQ(window.lines(), (std::vector<std::string>{line, line}));
    EXPECT_EQ(scanState.filesRemoved, 0);
}

// Kept, then held open: queued for the next start like a deleted file.
TEST_F(Quarantine, KeptFileThatCannotBeDeletedIsQueued) {
    const std::string path = infected("held.exe");
    {
        HeldFile hold(path);
        dispose(path, choiceQuarantine);
    }
    EXPECT_EQ(keeperSeen.paths.size(), 1u);
    EXPECT_TRUE(folder.exists("held.exe"));
    EXPECT_EQ(scanState.restartNeeded, 1);
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Karvex.Bds.Trojan Unable to remove"});
}

} // namespace
