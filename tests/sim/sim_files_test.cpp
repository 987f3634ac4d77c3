// Behaviour of the simulated machine that tests rely on and that a real
// system shows only on its own terms (sorted listings, files held by another
// program, the call counts).
#include <gtest/gtest.h>


#include <filesystem>
#include <string>
#include <vector>

#include "engine_test.h"
#include "host_tree.h"
#include "fake_windows.h"

namespace {

namespace fs = std::filesystem;

using SimFiles = EngineTest;

TEST_F(SimFiles, ListsInUpperCaseNameOrderLikeNtfs) {
    for (const char* name : {"b.txt", "A.txt", "_x", "a_b", "aab"}) folder.writeFile(name);
    EXPECT_EQ(listNames(folder.path() + "\\*.*"),
              (std::vector<std::string>{".", "..", "A.txt", "aab", "a_b", "b.txt", "_x"}));
}

// Names alike in their first letters are ordered by the rest, a shorter one
// before the longer names it begins, whatever the host's own order.
TEST_F(SimFiles, LongNamesAlikeAtTheStartAreOrderedByTheirWholeNames) {
    for (const char* name : {"setupfile_b.exe", "SETUPFILE_A.EXE", "setupfile", "SetupFil", "setupfil.e", "SETUPFIL~1"}) {
        folder.writeFile(name);
    }
    EXPECT_EQ(listNames(folder.path() + "\\*.*"),
              (std::vector<std::string>{".", "..", "SetupFil", "setupfil.e", "setupfile", "SETUPFILE_A.EXE",
                                        "setupfile_b.exe", "SETUPFIL~1"}));
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
