// Symbolic links on a host disk: followed only where they stay inside the
// folders given as drives, and there aliases of places listed under their
// own paths, which listings leave out.
#include <gtest/gtest.h>


#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine_test.h"
#include "folder_walk.h"
#include "host_tree.h"
#include "fake_windows.h"

namespace {

namespace fs = std::filesystem;
using hosttree::contentThrough;
using hosttree::hostContent;
using hosttree::OutsideFolder;
using hosttree::PassedOverRecord;

// Links on the host disk: followed only where they stay inside the drives.
class SimLinks : public EngineTest {
protected:
    SimLinks() {
        folder.writeFile("real/inside.txt", "inside");
        hosttree::makeFifo(folder.hostPath("real/pipe"));
        folder.makeFolder("links");
        fs::create_directory_symlink("../real", folder.hostPath("links/in"));
    }
    void link(const std::string& target, const std::string& name) const {
        fs::create_symlink(target, folder.hostPath("links/" + name));
    }
    std::string links(const std::string& rest = "") const { return folder.path("links") + "\\" + rest; }
};

TEST_F(SimLinks, ALinkInsideTheDriveIsLeftOutOfListingsQuietlyButReachableByPath) {
    link("../real/inside.txt", "file");
    link("../real/pipe", "pipe");
    PassedOverRecord record;
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA(links("in").c_str(), &found);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    FindClose(listing);
    EXPECT_TRUE(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(listNames(links("*")), (std::vector<std::string>{".", ".."}));
    EXPECT_EQ(listNames(links("*.*")), (std::vector<std::string>{".", ".."}));
    EXPECT_TRUE(record.items().empty());
    EXPECT_EQ(listNames(links("in\\*")), (std::vector<std::string>{".", "..", "inside.txt"}));
    EXPECT_EQ(contentThrough(links("in\\inside.txt")), "inside");
    EXPECT_EQ(contentThrough(links("file")), "inside");
    ASSERT_TRUE(DeleteFileA(links("file").c_str()));
    EXPECT_FALSE(fs::is_symlink(folder.hostPath("links/file")));
    ASSERT_TRUE(RemoveDirectoryA(links("in").c_str()));
    EXPECT_FALSE(fs::is_symlink(folder.hostPath("links/in")));
    EXPECT_EQ(hostContent(folder.hostPath("real/inside.txt")), "inside");
}

TEST_F(SimLinks, ALinkOutOfTheDrivesIsReportedOnceAndNeverFollowed) {
    OutsideFolder outside;
    std::ofstream(outside.path() + "/keep.txt") << "keep";
    // Beside the drive and sharing its name's start, but not inside it.
    const std::string driveRoot = fs::path(folder.hostPath()).parent_path().string();
    OutsideFolder sibling(driveRoot + "-sibling");
    link(outside.path(), "out");
    link(outside.path() + "/keep.txt", "outfile");
    link("/", "root");
    link(sibling.path(), "sibling");
    PassedOverRecord record;
    EXPECT_EQ(listNames(links("*")), (std::vector<std::string>{".", ".."}));
    EXPECT_EQ(listNames(links("*.*")), (std::vector<std::string>{".", ".."}));
    const char* const reason = "link leads out of the drives";
    EXPECT_EQ(record.items(), (std::vector<PassedOverRecord::Item>{{links("out"), reason},
                                                                     {links("outfile"), reason},
                                                                     {links("root"), reason},
                                                                     {links("sibling"), reason}}));
    EXPECT_EQ(_open(links("out\\keep.txt").c_str(), _O_RDONLY | _O_BINARY), -1);
    EXPECT_EQ(_open(links("outfile").c_str(), _O_RDONLY | _O_BINARY), -1);
    EXPECT_EQ(GetFileAttributesA(links("root\\etc").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileA(links("out\\keep.txt").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileA(links("outfile").c_str()));
    EXPECT_FALSE(MoveFileA(links("out\\keep.txt").c_str(), links("taken.txt").c_str()));
    EXPECT_FALSE(MoveFileA(links("in\\inside.txt").c_str(), links("out\\moved.txt").c_str()));
    EXPECT_EQ(CreateFileA(links("out").c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(hostContent(outside.path() + "/keep.txt"), "keep");
    EXPECT_FALSE(fs::exists(outside.path() + "/moved.txt"));
    EXPECT_TRUE(folder.exists("real/inside.txt"));
}

// A file just listed is opened through the folder the listing read; a link
// put in the file's or the folder's place afterwards must not lead out.
TEST_F(SimLinks, ALinkSwappedInAfterTheListingLeadsNowhereOutside) {
    OutsideFolder outside;
    std::ofstream(outside.path() + "/inside.txt") << "outside";
    folder.writeFile("real/other.txt", "other");
    ASSERT_EQ(listNames(folder.path("real\\*.*")), (std::vector<std::string>{".", "..", "inside.txt", "other.txt"}));
    fs::remove(folder.hostPath("real/other.txt"));
    fs::create_symlink(outside.path() + "/inside.txt", folder.hostPath("real/other.txt"));
    EXPECT_EQ(contentThrough(folder.path("real\\other.txt")), "");

    fs::rename(folder.hostPath("real"), folder.hostPath("moved"));
    fs::create_directory_symlink(outside.path(), folder.hostPath("real"));
    EXPECT_NE(contentThrough(folder.path("real\\inside.txt")), "outside");
    EXPECT_FALSE(DeleteFileA(folder.path("real\\inside.txt").c_str()));
    EXPECT_EQ(hostContent(outside.path() + "/inside.txt"), "outside");
    EXPECT_EQ(hostContent(folder.hostPath("moved/inside.txt")), "inside");
}

// A folder the machine itself moves away is looked up afresh.
TEST_F(SimLinks, AListedFolderMovedAwayIsResolvedAgain) {
    ASSERT_EQ(listNames(folder.path("real\\*.*")), (std::vector<std::string>{".", "..", "inside.txt"}));
    ASSERT_TRUE(MoveFileA(folder.path("real").c_str(), folder.path("gone").c_str()));
    folder.writeFile("real/inside.txt", "new");
    EXPECT_EQ(contentThrough(folder.path("real\\inside.txt")), "new");
}

TEST_F(SimLinks, ALinkToAnotherDriveIsAnAliasOfThatDrivesPlace) {
    OutsideFolder other;
    std::ofstream(other.path() + "/there.txt") << "there";
    link(other.path(), "other");
    link(other.path() + "/there.txt", "otherfile");
    ASSERT_TRUE(sim::mapDrive('D', other.path()));
    PassedOverRecord record;
    EXPECT_EQ(listNames(links("*")), (std::vector<std::string>{".", ".."}));
    EXPECT_TRUE(record.items().empty());
    EXPECT_EQ(listNames("D:\\*"), (std::vector<std::string>{"there.txt"}));
    EXPECT_EQ(contentThrough(links("other\\there.txt")), "there");
    EXPECT_EQ(contentThrough(links("otherfile")), "there");
}

// The walk meets each file once, under its own path, however many links
// and junctions lead to it; a link back up the tree adds nothing either.
TEST_F(SimLinks, AWalkSeesEveryFileOnceUnderItsOwnPath) {
    link("../real", "again");
    link("../real/inside.txt", "file");
    link("..", "up");
    fs::create_directory_symlink("../links", folder.hostPath("real/back"));
    PassedOverRecord record;
    const std::string pattern = folder.path() + "\\*.*";
    EXPECT_EQ(walkFolder(pattern.c_str()), 1);
    const std::vector<std::string> statuses = window.statuses();
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), folder.path("real\\inside.txt")), 1);
    for (const std::string& status : statuses) {
        EXPECT_TRUE(status.find("inside.txt") == std::string::npos || status == folder.path("real\\inside.txt"));
    }
    EXPECT_TRUE(record.items().empty());
}

TEST_F(SimLinks, ALinkToNothingIsReportedAsLeadingNowhere) {
    link("missing", "gone");
    link("loop", "loop");
    PassedOverRecord record;
    EXPECT_EQ(listNames(links("*")), (std::vector<std::string>{".", ".."}));
    const char* const reason = "link leads nowhere";
    EXPECT_EQ(record.items(),
              (std::vector<PassedOverRecord::Item>{{links("gone"), reason}, {links("loop"), reason}}));
    EXPECT_EQ(GetFileAttributesA(links("gone").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(MoveFileA(links("in\\inside.txt").c_str(), links("gone").c_str()));
    EXPECT_TRUE(folder.exists("real/inside.txt"));
}

} // namespace
