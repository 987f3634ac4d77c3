// Behaviour of the simulated machine that tests rely on and that a real
// system shows only on its own terms (sorted listings, files held by another
// program, the call counts), and how it shows a host disk: every name, links
// kept inside the drives, only regular files opened.
#include <gtest/gtest.h>

#include <errno.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine_test.h"
#include "host_tree.h"
#include "machine.h"

namespace {

namespace fs = std::filesystem;
using hosttree::contentThrough;
using hosttree::hostContent;
using hosttree::OutsideFolder;
using hosttree::PassedOverRecord;

using SimFiles = EngineTest;

TEST_F(SimFiles, ListsInUpperCaseNameOrderLikeNtfs) {
    for (const char* name : {"b.txt", "A.txt", "_x", "a_b", "aab"}) folder.writeFile(name);
    EXPECT_EQ(listNames(folder.path() + "\\*.*"),
              (std::vector<std::string>{".", "..", "A.txt", "aab", "a_b", "b.txt", "_x"}));
}

TEST_F(SimFiles, DriveRootHasNoDotEntries) {
    const auto names = listNames("C:\\*.*");
    ASSERT_FALSE(names.empty());
    EXPECT_NE(names[0], ".");
}

TEST_F(SimFiles, FileInUseCannotBeOpenedDeletedOrMoved) {
    folder.writeFile("held.exe");
    const std::string held = folder.path("held.exe");
    sim::setFileInUse(held, true);
    EXPECT_EQ(_open(held.c_str(), _O_RDONLY | _O_BINARY), -1);
    EXPECT_FALSE(DeleteFileA(held.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileA(held.c_str(), folder.path("held.Vxe").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    sim::setFileInUse(held, false);
    EXPECT_TRUE(DeleteFileA(held.c_str()));
}

TEST_F(SimFiles, MoveRefusesAnExistingTargetAndKeepsAttributes) {
    folder.writeFile("a.exe");
    folder.writeFile("b.exe");
    EXPECT_FALSE(MoveFileA(folder.path("a.exe").c_str(), folder.path("B.EXE").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ASSERT_TRUE(SetFileAttributesA(folder.path("a.exe").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(MoveFileA(folder.path("a.exe").c_str(), folder.path("a.Vxe").c_str()));
    EXPECT_EQ(GetFileAttributesA(folder.path("a.Vxe").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(SimFiles, TrailingDotsAndSpacesOfANameAreDropped) {
    folder.writeFile("name");
    EXPECT_EQ(_access(folder.path("name. ").c_str(), 0), 0);
}

TEST_F(SimFiles, PathsOfMaxPathOrMoreAreRefused) {
    const std::string tooLong = "C:\\" + std::string(MAX_PATH, 'a');
    EXPECT_EQ(GetFileAttributesA(tooLong.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
}

TEST_F(SimFiles, CountsFileCallsAndHonoursTheThirtyTwoBitOffset) {
    folder.writeFile("f.bin", "abc");
    const int fd = _open(folder.path("f.bin").c_str(), _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    _filelength(fd);
    EXPECT_EQ(_lseek(fd, 0x100000000L, SEEK_SET), -1L);
    char byte;
    _read(fd, &byte, 1);
    _close(fd);
    const sim::FileCallCounts counts = sim::fileCallCounts();
    EXPECT_EQ(counts.opens, 1u);
    EXPECT_EQ(counts.lengthQueries, 1u);
    EXPECT_EQ(counts.seeks, 1u);
    EXPECT_EQ(counts.reads, 1u);
    EXPECT_EQ(counts.closes, 1u);
}

TEST_F(SimFiles, SymbolicLinksAreFollowedAndShareTheirTargetsIdentity) {
    folder.makeFolder("real");
    std::filesystem::create_directory_symlink(folder.hostPath("real"), folder.hostPath("link"));
    BY_HANDLE_FILE_INFORMATION viaReal{}, viaLink{};
    HANDLE a = CreateFileA(folder.path("real").c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    HANDLE b = CreateFileA(folder.path("link").c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    GetFileInformationByHandle(a, &viaReal);
    GetFileInformationByHandle(b, &viaLink);
    EXPECT_EQ(viaReal.nFileIndexLow, viaLink.nFileIndexLow);
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_TRUE(CloseHandle(b));
    EXPECT_FALSE(CloseHandle(b));
    EXPECT_EQ(CreateFileA(folder.path("real").c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SimFiles, SleepAdvancesTheVirtualClock) {
    Sleep(1000);
    Sleep(50);
    EXPECT_EQ(sim::sleptMilliseconds(), 1050u);
}

TEST(SimDrives, OnlyExistingFoldersBecomeDrives) {
    sim::reset();
    EXPECT_FALSE(sim::mapDrive('C', "/nonexistent/quorvane"));
    EXPECT_FALSE(sim::mapDrive('1', "/tmp"));
    EXPECT_TRUE(sim::mapDrive('d', "/tmp", DRIVE_CDROM));
    EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(GetDriveTypeA("D:"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(GetDriveTypeA("D:\\tmp"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    EXPECT_EQ(sim::hostPathOf("Q:\\x"), "");
    sim::reset();
}

// Host names and the names they are listed under.
struct AwkwardName {
    const char* host;
    const char* shown;
};
const AwkwardName awkwardNames[] = {
    {"end", "end"},          {"end.", "end."},         {"end ", "end "},
    {"a:b", "a:b"},          {"a|b", "a|b"},           {"q\"t", "q\"t"},
    {"what?.txt", "what?.txt"}, {"x\\y", "x<5C>y"},    {"a\nb.exe", "a<0A>b.exe"},
    {"tab\there", "tab<09>here"}, {"\xff.bin", "\xff.bin"}, {"a<b", "a<3C>b"},
    {"c>d", "c<3E>d"},
};

class SimNames : public EngineTest {
protected:
    SimNames() {
        folder.makeFolder("odd");
        // Written by host path: a backslash in the name is no separator here.
        for (const AwkwardName& name : awkwardNames) std::ofstream(hostOdd(name.host)) << name.host;
    }
    std::string odd(const std::string& shown) const { return folder.path("odd") + "\\" + shown; }
    std::string hostOdd(const std::string& host) const { return folder.hostPath("odd") + "/" + host; }
};

TEST_F(SimNames, EveryHostNameIsListedUnderItsPresentedName) {
    EXPECT_EQ(listNames(folder.path("odd") + "\\*"),
              (std::vector<std::string>{".", "..", "a:b", "a<0A>b.exe", "a<3C>b", "a|b", "c<3E>d", "end", "end ",
                                        "end.", "q\"t", "tab<09>here", "what?.txt", "x<5C>y", "\xff.bin"}));
}

TEST_F(SimNames, EachPresentedNameReadsMovesAndDeletesItsOwnHostFile) {
    for (const AwkwardName& name : awkwardNames) {
        SCOPED_TRACE(name.shown);
        EXPECT_EQ(contentThrough(odd(name.shown)), name.host);
        const std::string moved = std::string(name.shown) + "-moved";
        ASSERT_TRUE(MoveFileA(odd(name.shown).c_str(), odd(moved).c_str()));
        EXPECT_FALSE(fs::exists(hostOdd(name.host)));
        EXPECT_EQ(hostContent(hostOdd(std::string(name.host) + "-moved")), name.host);
        ASSERT_TRUE(DeleteFileA(odd(moved).c_str()));
    }
    EXPECT_TRUE(fs::is_empty(folder.hostPath("odd")));
}

TEST_F(SimNames, ARenameTargetKeepsItsSpellingExactly) {
    ASSERT_TRUE(MoveFileA(odd("a<0A>b.exe").c_str(), odd("a<0A>b.exe.").c_str()));
    EXPECT_EQ(hostContent(hostOdd("a\nb.exe.")), "a\nb.exe");
    ASSERT_TRUE(MoveFileA(odd("end").c_str(), odd("new. ").c_str()));
    EXPECT_EQ(hostContent(hostOdd("new. ")), "end");
    // A name the host holds once trimmed is that name, as on the system.
    EXPECT_FALSE(MoveFileA(odd("end.").c_str(), odd("a:b. ").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST_F(SimNames, FoldersDifferingInATrailingDotOrSpaceKeepTheirOwnContents) {
    folder.writeFile("sub/in-plain");
    folder.writeFile("sub./in-dot");
    folder.writeFile("sub /in-space");
    EXPECT_EQ(listNames(folder.path("sub") + "\\*"), (std::vector<std::string>{".", "..", "in-plain"}));
    EXPECT_EQ(listNames(folder.path("sub.") + "\\*"), (std::vector<std::string>{".", "..", "in-dot"}));
    EXPECT_EQ(listNames(folder.path("sub ") + "\\*"), (std::vector<std::string>{".", "..", "in-space"}));
    ASSERT_TRUE(DeleteFileA(folder.path("sub.\\in-dot").c_str()));
    EXPECT_TRUE(folder.exists("sub/in-plain"));
    EXPECT_TRUE(folder.exists("sub /in-space"));
}

TEST_F(SimNames, OtherSpellingsFallBackToTrimmingAndLetterCase) {
    // Lower-case hex is no presented name, but matches one but for case.
    EXPECT_EQ(sim::hostPathOf(odd("A<0a>B.EXE")), hostOdd("a\nb.exe"));
    EXPECT_EQ(sim::hostPathOf(odd("WHAT?.TXT. ")), hostOdd("what?.txt"));
    // Of names that differ only in case, the one listed first, whatever
    // order the host keeps them in.
    for (const char* order : {"case1/dup case1/Dup case1/DUP", "case2/DUP case2/Dup case2/dup"}) {
        std::istringstream names(order);
        std::string name;
        while (names >> name) folder.writeFile(name);
        const std::string caseFolder = name.substr(0, name.find('/'));
        ASSERT_EQ(listNames(folder.path(caseFolder) + "\\d*"), (std::vector<std::string>{"DUP", "Dup", "dup"}));
        EXPECT_EQ(sim::hostPathOf(folder.path(caseFolder + "\\dUp")), folder.hostPath(caseFolder + "/DUP"));
    }
    // A missing last component is decoded, never trimmed.
    EXPECT_EQ(sim::hostPathOf(odd("new<0D>one. ")), hostOdd("new\rone. "));
    EXPECT_EQ(sim::hostPathOf(odd("<5c>")), hostOdd("<5c>"));
}

TEST_F(SimNames, ANameTooLongToPresentIsReportedNotListed) {
    const std::string controls(70, '\x01'); // presented in 280 characters
    folder.writeFile("long/" + controls);
    folder.writeFile("long/short");
    PassedOverRecord record;
    EXPECT_EQ(listNames(folder.path("long") + "\\*"), (std::vector<std::string>{".", "..", "short"}));
    std::string shownPrefix;
    for (int i = 0; i < 64; ++i) shownPrefix += "<01>"; // 256 characters: one more escape would not fit
    EXPECT_EQ(record.items(), (std::vector<PassedOverRecord::Item>{
                                  {folder.path("long") + "\\" + shownPrefix, "name too long"}}));
}

// Resolving names that the system would trim costs no folder reads.
TEST_F(SimFiles, TrailingDotNamesResolveWithoutReadingTheirFolder) {
    constexpr int nameCount = 20000;
    constexpr unsigned listingReads = 1; // the one listing below
    folder.makeFolder("many");
    for (int i = 0; i < nameCount; ++i) folder.writeFile("many/f" + std::to_string(i) + ".", "");
    folder.writeFile("many/plain", "");
    const unsigned before = sim::fileCallCounts().folderReads;
    const auto names = listNames(folder.path("many") + "\\*");
    ASSERT_EQ(names.size(), static_cast<size_t>(nameCount + 3));
    for (const std::string& name : names) {
        ASSERT_NE(GetFileAttributesA((folder.path("many") + "\\" + name).c_str()), INVALID_FILE_ATTRIBUTES) << name;
    }
    EXPECT_EQ(sim::fileCallCounts().folderReads - before, listingReads);
    // Only a spelling the host does not hold reads the folder, once.
    EXPECT_NE(GetFileAttributesA(folder.path("many\\PLAIN").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(sim::fileCallCounts().folderReads - before, listingReads + 1);
}

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

TEST_F(SimLinks, ALinkInsideTheDriveIsListedEnteredAndDeletedItself) {
    link("../real/inside.txt", "file");
    link("../real/pipe", "pipe");
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA(links("in").c_str(), &found);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    FindClose(listing);
    EXPECT_TRUE(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(listNames(links("*")), (std::vector<std::string>{".", "..", "file", "in"}));
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
    EXPECT_EQ(listNames(links("*")), (std::vector<std::string>{".", "..", "in"}));
    EXPECT_EQ(listNames(links("*.*")), (std::vector<std::string>{".", "..", "in"}));
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

TEST_F(SimLinks, ALinkToAnotherDriveIsFollowed) {
    OutsideFolder other;
    std::ofstream(other.path() + "/there.txt") << "there";
    link(other.path(), "other");
    ASSERT_TRUE(sim::mapDrive('D', other.path()));
    EXPECT_EQ(listNames(links("*")), (std::vector<std::string>{".", "..", "in", "other"}));
    EXPECT_EQ(contentThrough(links("other\\there.txt")), "there");
}

TEST_F(SimLinks, ALinkToNothingIsReportedAsLeadingNowhere) {
    link("missing", "gone");
    link("loop", "loop");
    PassedOverRecord record;
    EXPECT_EQ(listNames(links("*")), (std::vector<std::string>{".", "..", "in"}));
    const char* const reason = "link leads nowhere";
    EXPECT_EQ(record.items(),
              (std::vector<PassedOverRecord::Item>{{links("gone"), reason}, {links("loop"), reason}}));
    EXPECT_EQ(GetFileAttributesA(links("gone").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(MoveFileA(links("in\\inside.txt").c_str(), links("gone").c_str()));
    EXPECT_TRUE(folder.exists("real/inside.txt"));
}

// Only regular files are opened, and nothing ever waits on the host.
using SimOpening = EngineTest;

TEST_F(SimOpening, AFileSwappedForAPipeBeforeTheOpenIsRefusedAtOnce) {
    folder.writeFile("swap.exe");
    folder.writeFile("swap.dir");
    ASSERT_EQ(listNames(folder.path("swap.*")), (std::vector<std::string>{"swap.dir", "swap.exe"}));
    std::vector<std::string> opened;
    sim::setBeforeOpenHook([&opened](const std::string& host) {
        opened.push_back(host);
        fs::remove(host);
        hosttree::makeFifo(host);
    });
    errno = 0;
    EXPECT_EQ(_open(folder.path("swap.exe").c_str(), _O_RDONLY | _O_BINARY), -1);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(CreateFileA(folder.path("swap.dir").c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(opened, (std::vector<std::string>{folder.hostPath("swap.exe"), folder.hostPath("swap.dir")}));
}

TEST_F(SimOpening, APipeIsNeitherListedNorOpened) {
    hosttree::makeFifo(folder.hostPath("pipe"));
    folder.writeFile("file");
    EXPECT_EQ(listNames(folder.path("*")), (std::vector<std::string>{".", "..", "file"}));
    for (DWORD flags : {DWORD{0}, DWORD{FILE_FLAG_BACKUP_SEMANTICS}}) {
        EXPECT_EQ(CreateFileA(folder.path("pipe").c_str(), 0, 0, nullptr, OPEN_EXISTING, flags, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(_open(folder.path("pipe").c_str(), _O_RDONLY | _O_BINARY), -1);
    EXPECT_FALSE(DeleteFileA(folder.path("pipe").c_str()));
    EXPECT_TRUE(fs::is_fifo(folder.hostPath("pipe")));
}

TEST_F(SimOpening, AFolderThatCannotBeListedIsAccessDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
    folder.writeFile("locked/inside");
    hosttree::LockedFolder locked(folder.hostPath("locked"));
    WIN32_FIND_DATAA found;
    EXPECT_EQ(FindFirstFileA((folder.path("locked") + "\\*.*").c_str(), &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SimOpening, AnUnreadableFileOpensButFailsToRead) {
    folder.writeFile("bad.bin", "bad");
    folder.writeFile("good.bin", "good");
    sim::setUnreadable(folder.path("bad.bin"), true);
    const int fd = _open(folder.path("bad.bin").c_str(), _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    char buffer[8];
    errno = 0;
    EXPECT_EQ(_read(fd, buffer, sizeof buffer), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(_close(fd), 0);
    EXPECT_EQ(contentThrough(folder.path("good.bin")), "good");
    sim::setUnreadable(folder.path("bad.bin"), false);
    EXPECT_EQ(contentThrough(folder.path("bad.bin")), "bad");
}

TEST_F(SimFiles, ClearingAndRestoringReadOnlyGivesBackTheHostMode) {
    for (const mode_t mode : {mode_t{0444}, mode_t{0464}}) {
        SCOPED_TRACE(mode);
        folder.writeFile("ro");
        const std::string host = folder.hostPath("ro");
        ASSERT_EQ(chmod(host.c_str(), mode), 0);
        ASSERT_TRUE(SetFileAttributesA(folder.path("ro").c_str(), FILE_ATTRIBUTE_NORMAL));
        EXPECT_EQ(hosttree::hostMode(host), mode | S_IWUSR);
        ASSERT_TRUE(SetFileAttributesA(folder.path("ro").c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(hosttree::hostMode(host), mode);
        ASSERT_EQ(chmod(host.c_str(), 0644), 0);
        fs::remove(host);
    }
}

} // namespace
