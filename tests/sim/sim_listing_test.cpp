// A folder listed again, as the walk lists each one twice: served from the
// last reading only while nothing in it has come, gone or been renamed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine_test.h"
#include "fake_windows.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

bool later(const timespec& a, const timespec& b) {
    return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec > b.tv_nsec);
}

class SimListing : public EngineTest {
protected:
    unsigned folderReads() const { return sim::fileCallCounts().folderReads; }
    // Until the clock the host stamps a folder's changes with has moved past
    // its last change time: only a reading begun after that may be served
    // again (its modification time, too, must lie behind).
    static void letTheFolderAge(const std::string& host) {
        struct stat info {};
        ASSERT_EQ(stat(host.c_str(), &info), 0);
        const timespec changed = info.st_ctim;
        timespec now{};
        const timespec pause{0, 1000000}; // 1 ms
        for (clock_gettime(CLOCK_REALTIME_COARSE, &now); !later(now, changed); clock_gettime(CLOCK_REALTIME_COARSE, &now)) {
            nanosleep(&pause, nullptr);
        }
    }
};

TEST_F(SimListing, AnUnchangedFolderIsReadOnceForBothPasses) {
    folder.writeFile("d/a.txt");
    folder.makeFolder("d/sub");
    letTheFolderAge(folder.hostPath("d"));
    const unsigned before = folderReads();
    EXPECT_EQ(listNames(folder.path("d\\*.*")), (Names{".", "..", "a.txt", "sub"}));
    EXPECT_EQ(listNames(folder.path("d\\*")), (Names{".", "..", "a.txt", "sub"}));
    EXPECT_EQ(listNames(folder.path("d\\*.txt")), (Names{"a.txt"}));
    EXPECT_EQ(folderReads() - before, 1u);
}

// Changes made within one tick of the clock leave the folder's times as they
// were: a folder changed in the tick its reading began is read again.
TEST_F(SimListing, WhatComesGoesOrIsRenamedRightAfterAListingIsSeenByTheNext) {
    constexpr int rounds = 20; // at least one falls within a single tick
    for (int round = 0; round < rounds; ++round) {
        const std::string name = "d" + std::to_string(round);
        folder.writeFile(name + "/a.txt");
        ASSERT_EQ(listNames(folder.path(name + "\\*")), (Names{".", "..", "a.txt"}));
        folder.writeFile(name + "/b.txt");
        ASSERT_EQ(listNames(folder.path(name + "\\*")), (Names{".", "..", "a.txt", "b.txt"})) << round;
        fs::rename(folder.hostPath(name + "/a.txt"), folder.hostPath(name + "/c.txt"));
        ASSERT_EQ(listNames(folder.path(name + "\\*")), (Names{".", "..", "b.txt", "c.txt"})) << round;
        fs::remove(folder.hostPath(name + "/b.txt"));
        ASSERT_EQ(listNames(folder.path(name + "\\*")), (Names{".", "..", "c.txt"})) << round;
    }
}

// A folder whose times do not lie behind the clock (changed in the very tick
// its reading began, or stamped by a machine whose clock ran ahead) cannot
// tell a later change from an earlier one: it is read afresh every time.
TEST_F(SimListing, AFolderChangedNoEarlierThanItsReadingIsReadAgain) {
    folder.writeFile("d/a.txt");
    const timespec hourAhead{time(nullptr) + 3600, 0};
    const timespec times[2] = {hourAhead, hourAhead};
    ASSERT_EQ(utimensat(AT_FDCWD, folder.hostPath("d").c_str(), times, 0), 0);
    letTheFolderAge(folder.hostPath("d")); // its change time, that is
    const unsigned before = folderReads();
    EXPECT_EQ(listNames(folder.path("d\\*.*")), (Names{".", "..", "a.txt"}));
    EXPECT_EQ(listNames(folder.path("d\\*")), (Names{".", "..", "a.txt"}));
    EXPECT_EQ(folderReads() - before, 2u);
}

// The host's listing tells each entry's kind: only a link needs a look of
// its own, to see where it leads. Files, folders and links come out as such.
TEST_F(SimListing, OnlyLinksAreLookedAtOneByOne) {
    folder.writeFile("d/a.txt");
    folder.writeFile("d/b.exe", std::string(5000, 'b'));
    folder.makeFolder("d/sub");
    fs::create_symlink("a.txt", folder.hostPath("d/link.txt"));
    fs::create_directory_symlink("sub", folder.hostPath("d/linked"));
    const unsigned before = sim::fileCallCounts().entryLooks;
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA(folder.path("d\\*").c_str(), &found);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    std::vector<std::pair<std::string, bool>> entries; // name, is a folder
    do {
        entries.emplace_back(found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(listing, &found));
    FindClose(listing);
    // The two links, looked at to be known as aliases inside the drive, are left out.
    EXPECT_EQ(sim::fileCallCounts().entryLooks - before, 2u);
    EXPECT_EQ(entries, (std::vector<std::pair<std::string, bool>>{
                           {".", true}, {"..", true}, {"a.txt", false}, {"b.exe", false}, {"sub", true}}));
}

// Another folder read in between does not make the first one's reading stale
// or serve it for the other.
TEST_F(SimListing, EachFolderIsServedOnlyItsOwnReading) {
    folder.writeFile("x/one.txt");
    folder.writeFile("y/two.txt");
    EXPECT_EQ(listNames(folder.path("x\\*")), (Names{".", "..", "one.txt"}));
    EXPECT_EQ(listNames(folder.path("y\\*")), (Names{".", "..", "two.txt"}));
    EXPECT_EQ(listNames(folder.path("x\\*")), (Names{".", "..", "one.txt"}));
}

} // namespace
