// Copying and moving on the simulated machine where a real one shows its
// own terms only: the 9x family without MoveFileExA, files held or guarded,
// read-only targets (which a root user's Wine lets through), links, other
// host file systems, and a restart queue that is not a list.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine_test.h"
#include "host_tree.h"
#include "fake_windows.h"
#include "registry_fixture.h"

namespace {

namespace fs = std::filesystem;
using hosttree::contentThrough;

const char* const sessionManager = "System\\CurrentControlSet\\Control\\Session Manager";
const char* const pendingOperations = "PendingFileRenameOperations";

using SimFileOps = EngineTest;

TEST_F(SimFileOps, The9xFamilyHasNoMoveFileExAndNothingChanges) {
    sim::setRelease(sim::Release::windows98);
    folder.writeFile("a.txt", "a");
    const std::string from = folder.path("a.txt");
    const std::string to = folder.path("b.txt");
    for (DWORD flags : {DWORD{0}, DWORD{MOVEFILE_REPLACE_EXISTING}, DWORD{MOVEFILE_DELAY_UNTIL_REBOOT}}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(MoveFileExA(from.c_str(), to.c_str(), flags));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    }
    EXPECT_TRUE(folder.exists("a.txt"));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, sessionManager));
    EXPECT_TRUE(MoveFileA(from.c_str(), to.c_str())) << "MoveFileA is there on every system";
}

TEST_F(SimFileOps, TheRestartQueueWantsAFullPathAndNoCopyingAndNothingOnTheDrives) {
    const std::string missing = folder.path("never-there.exe");
    EXPECT_FALSE(MoveFileExA(missing.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(MoveFileExA("relative.exe", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, sessionManager));
    ASSERT_TRUE(MoveFileExA("Q:/a/./b//c.exe", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    RegistryValue value;
    ASSERT_TRUE(readRegistryValue(HKEY_LOCAL_MACHINE, sessionManager, pendingOperations, value));
    EXPECT_EQ(value.data, std::string("\\??\\Q:\\a\\b\\c.exe\0\0\0", 19));
}

TEST_F(SimFileOps, AQueueThatIsNoListIsLeftAsItIs) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(std::string("REGEDIT4\n[HKEY_LOCAL_MACHINE\\") + sessionManager + "]\n\"" +
                              pendingOperations + "\"=\"text\"\n"))
        << scenario.error();
    EXPECT_FALSE(MoveFileExA(folder.path("x.exe").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    RegistryValue value;
    ASSERT_TRUE(readRegistryValue(HKEY_LOCAL_MACHINE, sessionManager, pendingOperations, value));
    EXPECT_EQ(value, (RegistryValue{pendingOperations, REG_SZ, stringData("text")}));
}

TEST_F(SimFileOps, AReadOnlyHeldOrRunningTargetIsNeitherReplacedNorCopiedOver) {
    folder.writeFile("new.exe", "new");
    folder.writeFile("target.exe", "old");
    const std::string from = folder.path("new.exe");
    const std::string target = folder.path("target.exe");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(MoveFileExA(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CopyFileA(from.c_str(), target.c_str(), FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL));
    {
        HeldFile held(target);
        EXPECT_FALSE(MoveFileExA(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(CopyFileA(from.c_str(), target.c_str(), FALSE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    {
        RunningImage running(target);
        EXPECT_FALSE(MoveFileExA(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_EQ(contentThrough(target), "old");
    EXPECT_EQ(listNames(folder.path("*")), (std::vector<std::string>{".", "..", "new.exe", "target.exe"}))
        << "no copy is left behind";
}

TEST_F(SimFileOps, AHeldOrRunningSourceStaysWhereItIs) {
    folder.writeFile("image.exe", "image");
    const std::string image = folder.path("image.exe");
    {
        RunningImage running(image);
        EXPECT_FALSE(MoveFileExA(image.c_str(), folder.path("moved.exe").c_str(), 0));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_TRUE(CopyFileA(image.c_str(), folder.path("copy.exe").c_str(), TRUE)) << "a running image reads";
    }
    HeldFile held(image);
    EXPECT_FALSE(CopyFileA(image.c_str(), folder.path("again.exe").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(folder.exists("image.exe"));
}

TEST_F(SimFileOps, ACopyTakesTheModeAndTheAttributeBitsAlong) {
    folder.writeFile("plain.txt", "p");
    ASSERT_TRUE(SetFileAttributesA(folder.path("plain.txt").c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(CopyFileA(folder.path("plain.txt").c_str(), folder.path("copy.txt").c_str(), TRUE));
    EXPECT_EQ(GetFileAttributesA(folder.path("copy.txt").c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(hosttree::hostMode(folder.hostPath("copy.txt")), hosttree::hostMode(folder.hostPath("plain.txt")));
}

TEST_F(SimFileOps, NeitherCopyNorMoveGoesThroughALinkOutOfTheDrives) {
    hosttree::OutsideFolder outside;
    std::ofstream(outside.path() + "/victim.txt") << "outside";
    folder.writeFile("a.txt", "a");
    fs::create_symlink(outside.path() + "/victim.txt", folder.hostPath("link.txt"));
    fs::create_directory_symlink(outside.path(), folder.hostPath("out"));
    EXPECT_FALSE(CopyFileA(folder.path("a.txt").c_str(), folder.path("link.txt").c_str(), FALSE));
    EXPECT_FALSE(MoveFileExA(folder.path("a.txt").c_str(), folder.path("link.txt").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(CopyFileA(folder.path("a.txt").c_str(), folder.path("out\\new.txt").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(hosttree::hostContent(outside.path() + "/victim.txt"), "outside");
    EXPECT_FALSE(fs::exists(outside.path() + "/new.txt"));
}

// A drive on another host file system, when the host has one to offer.
TEST_F(SimFileOps, AMoveToAnotherFileSystemCopiesOnlyWhenThatIsAllowed) {
    const char* const memoryFolder = "/dev/shm";
    struct stat here {};
    struct stat there {};
    if (stat(memoryFolder, &there) != 0 || stat(folder.hostPath().c_str(), &here) != 0 || here.st_dev == there.st_dev ||
        access(memoryFolder, W_OK) != 0) {
        GTEST_SKIP() << "no second host file system";
    }
    hosttree::OutsideFolder other(std::string(memoryFolder) + "/quorvane-drive-" + std::to_string(getpid()));
    ASSERT_TRUE(sim::mapDrive('D', other.path()));
    folder.writeFile("a.txt", "a");
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(MoveFileExA(folder.path("a.txt").c_str(), "D:\\a.txt", 0));
    EXPECT_EQ(GetLastError(), 17u) << "ERROR_NOT_SAME_DEVICE";
    EXPECT_TRUE(folder.exists("a.txt"));
    ASSERT_TRUE(MoveFileA(folder.path("a.txt").c_str(), "D:\\a.txt"));
    EXPECT_FALSE(folder.exists("a.txt"));
    EXPECT_EQ(contentThrough("D:\\a.txt"), "a");
}

} // namespace
