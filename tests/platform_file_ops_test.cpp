// Copying, moving, short names and the C runtime's writing as the engine
// relies on them, checked on the simulated machine and, built for Windows,
// against the real calls under Wine.
#include <gtest/gtest.h>

#include <errno.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <string>

#include "engine_test.h"
#include "registry_fixture.h"

namespace {

std::string contentOf(const TestFolder& folder, const std::string& relative) {
    std::ifstream in(folder.hostPath(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A name an 8.3 directory entry can hold as it stands.
bool fitsEightDotThree(const std::string& name) {
    const size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || extension.size() > 3 || extension.find('.') != std::string::npos) {
        return false;
    }
    return name.find(' ') == std::string::npos;
}

std::string shortPath(const std::string& path) {
    char result[MAX_PATH] = {};
    const DWORD length = GetShortPathNameA(path.c_str(), result, sizeof result);
    EXPECT_EQ(length, std::string(result).size()) << path;
    return result;
}

int openFile(const std::string& path, int flags) { return _open(path.c_str(), flags, _S_IREAD | _S_IWRITE); }

using PlatformFileOps = EngineTest;

TEST_F(PlatformFileOps, CopyKeepsTheContentAndRefusesAnExistingTargetWhenAsked) {
    folder.writeFile("a.txt", "first");
    folder.writeFile("b.txt", "second");
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CopyFileA(folder.path("a.txt").c_str(), folder.path("b.txt").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(contentOf(folder, "b.txt"), "second");
    EXPECT_TRUE(CopyFileA(folder.path("a.txt").c_str(), folder.path("B.TXT").c_str(), FALSE));
    EXPECT_EQ(contentOf(folder, "b.txt"), "first");
    EXPECT_TRUE(CopyFileA(folder.path("a.txt").c_str(), folder.path("c.txt").c_str(), TRUE));
    EXPECT_EQ(contentOf(folder, "c.txt"), "first");
    EXPECT_EQ(contentOf(folder, "a.txt"), "first");
}

TEST_F(PlatformFileOps, CopySaysWhatIsMissingOrWrong) {
    folder.writeFile("a.txt");
    folder.makeFolder("dir");
    EXPECT_FALSE(CopyFileA(folder.path("nope.txt").c_str(), folder.path("c.txt").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(CopyFileA(folder.path("a.txt").c_str(), folder.path("nodir\\c.txt").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(CopyFileA(folder.path("dir").c_str(), folder.path("d").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(PlatformFileOps, ACopyHasTheAttributesOfTheOriginalAndIsArchived) {
    folder.writeFile("hidden.txt", "x");
    ASSERT_TRUE(SetFileAttributesA(folder.path("hidden.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CopyFileA(folder.path("hidden.txt").c_str(), folder.path("copy.txt").c_str(), TRUE));
    EXPECT_EQ(GetFileAttributesA(folder.path("copy.txt").c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(PlatformFileOps, AShortPathIsEightDotThreeThroughoutAndReachesTheSameFile) {
    folder.writeFile("Long Folder Name/short.txt", "s");
    folder.writeFile("Long Folder Name/Locked Program File.exe", "locked");
    const std::string longPath = folder.path("Long Folder Name\\Locked Program File.exe");
    const std::string result = shortPath(longPath);
    ASSERT_FALSE(result.empty());
    ASSERT_EQ(result.compare(0, 3, "C:\\"), 0) << result;
    size_t start = 3;
    while (start < result.size()) {
        const size_t end = std::min(result.find('\\', start), result.size());
        EXPECT_TRUE(fitsEightDotThree(result.substr(start, end - start))) << result;
        start = end + 1;
    }
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA(result.c_str(), &found);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE) << result;
    FindClose(listing);
    EXPECT_STREQ(found.cFileName, "Locked Program File.exe");
    const std::string shortFile = shortPath(folder.path("Long Folder Name\\short.txt"));
    EXPECT_EQ(shortFile.substr(shortFile.size() - 10), "\\short.txt") << "an 8.3 name keeps its spelling";
}

TEST_F(PlatformFileOps, AShortPathGivesItsLengthOrTheSizeItNeeds) {
    folder.writeFile("Locked Program File.exe");
    const std::string path = folder.path("Locked Program File.exe");
    const DWORD length = static_cast<DWORD>(shortPath(path).size());
    ASSERT_GT(length, 0u);
    char small[8];
    EXPECT_EQ(GetShortPathNameA(path.c_str(), small, sizeof small), length + 1);
    EXPECT_EQ(GetShortPathNameA(path.c_str(), nullptr, 0), length + 1);
    char exact[MAX_PATH];
    EXPECT_EQ(GetShortPathNameA(path.c_str(), exact, length + 1), length);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetShortPathNameA(folder.path("missing.exe").c_str(), exact, sizeof exact), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetShortPathNameA(folder.path("nodir\\missing.exe").c_str(), exact, sizeof exact), 0u);
    EXPECT_TRUE(GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND) << GetLastError();
}

TEST_F(PlatformFileOps, TheRuntimeCreatesWritesAppendsAndTruncates) {
    const std::string path = folder.path("new.bin");
    int fd = openFile(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_write(fd, "hello", 5), 5);
    EXPECT_EQ(_close(fd), 0);
    errno = 0;
    EXPECT_EQ(openFile(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY), -1);
    EXPECT_EQ(errno, EEXIST);
    fd = openFile(path, _O_WRONLY | _O_APPEND | _O_BINARY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_write(fd, "!", 1), 1);
    _close(fd);
    fd = openFile(path, _O_RDWR | _O_BINARY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_lseek(fd, 1, SEEK_SET), 1);
    EXPECT_EQ(_write(fd, "E", 1), 1);
    _close(fd);
    EXPECT_EQ(contentOf(folder, "new.bin"), "hEllo!");
    fd = openFile(path, _O_WRONLY | _O_TRUNC | _O_BINARY);
    ASSERT_GE(fd, 0);
    _close(fd);
    EXPECT_EQ(contentOf(folder, "new.bin"), "");
    fd = openFile(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_write(fd, "again", 5), 5);
    _close(fd);
    EXPECT_EQ(contentOf(folder, "new.bin"), "again");
}

TEST_F(PlatformFileOps, AFileCreatedWithoutWritePermissionIsReadOnlyButItsDescriptorWrites) {
    const int fd = _open(folder.path("ro.bin").c_str(), _O_WRONLY | _O_CREAT | _O_BINARY, _S_IREAD);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_write(fd, "x", 1), 1);
    _close(fd);
    EXPECT_TRUE(GetFileAttributesA(folder.path("ro.bin").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(contentOf(folder, "ro.bin"), "x");
}

TEST_F(PlatformFileOps, TextModeWritesCarriageReturnsAndReadsThemAway) {
    int fd = openFile(folder.path("t.txt"), _O_WRONLY | _O_CREAT | _O_TEXT);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_write(fd, "a\nb\n", 4), 4);
    _close(fd);
    EXPECT_EQ(contentOf(folder, "t.txt"), "a\r\nb\r\n");
    fd = _open(folder.path("t.txt").c_str(), _O_RDONLY | _O_TEXT);
    ASSERT_GE(fd, 0);
    char buffer[16];
    const int got = _read(fd, buffer, sizeof buffer);
    _close(fd);
    ASSERT_EQ(got, 4);
    EXPECT_EQ(std::string(buffer, 4), "a\nb\n");
}

TEST_F(PlatformFileOps, TheRuntimeOpensOnlyFilesAndCreatesOnlyInFoldersThatAreThere) {
    folder.makeFolder("dir");
    errno = 0;
    EXPECT_EQ(openFile(folder.path("dir"), _O_WRONLY | _O_BINARY), -1);
    EXPECT_EQ(errno, EACCES);
    errno = 0;
    EXPECT_EQ(openFile(folder.path("dir"), _O_WRONLY | _O_CREAT | _O_BINARY), -1);
    EXPECT_EQ(errno, EACCES);
    errno = 0;
    EXPECT_EQ(openFile(folder.path("nodir\\x.bin"), _O_WRONLY | _O_CREAT | _O_BINARY), -1);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(openFile(folder.path("nope.bin"), _O_WRONLY | _O_BINARY), -1);
    EXPECT_EQ(errno, ENOENT);
}

// MoveFileExA and its restart queue belong to the NT family.
class NtFileOps : public EngineTest {
protected:
    void SetUp() override {
        if (!playsFamily(VER_PLATFORM_WIN32_NT)) GTEST_SKIP() << "not an NT system";
    }
};

TEST_F(NtFileOps, AMoveReplacesAnExistingFileOnlyWhenAsked) {
    folder.writeFile("a.txt", "new");
    folder.writeFile("b.txt", "old");
    folder.makeFolder("dir");
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(MoveFileExA(folder.path("a.txt").c_str(), folder.path("b.txt").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(contentOf(folder, "b.txt"), "old");
    EXPECT_FALSE(MoveFileExA(folder.path("a.txt").c_str(), folder.path("dir").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(MoveFileExA(folder.path("a.txt").c_str(), folder.path("b.txt").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(contentOf(folder, "b.txt"), "new");
    EXPECT_FALSE(folder.exists("a.txt"));
    EXPECT_FALSE(MoveFileExA(folder.path("a.txt").c_str(), folder.path("c.txt").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

const char* const sessionManager = "System\\CurrentControlSet\\Control\\Session Manager";
const char* const pendingOperations = "PendingFileRenameOperations";

TEST_F(NtFileOps, MovesAtRestartJoinTheQueueAndLeaveTheFilesAlone) {
    SavedRegistryValue queue(HKEY_LOCAL_MACHINE, sessionManager, pendingOperations);
    std::string before = queue.data();
    if (!before.empty() && before.back() == '\0') before.pop_back();
    folder.writeFile("doomed.exe", "d");
    folder.writeFile("swap.exe", "s");
    const std::string doomed = folder.path("doomed.exe");
    const std::string swap = folder.path("swap.exe");
    ASSERT_TRUE(MoveFileExA(doomed.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA((folder.path("sub") + "\\..\\swap.exe").c_str(), doomed.c_str(),
                            MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(MoveFileExA(swap.c_str(), doomed.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));
    RegistryValue value;
    ASSERT_TRUE(readRegistryValue(HKEY_LOCAL_MACHINE, sessionManager, pendingOperations, value));
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_MULTI_SZ));
    const std::string expected = before + "\\??\\" + doomed + '\0' + '\0' + "\\??\\" + swap + '\0' + "!\\??\\" +
                                 doomed + '\0' + "\\??\\" + swap + '\0' + "\\??\\" + doomed + '\0' + '\0';
    EXPECT_EQ(value.data, expected);
    EXPECT_EQ(contentOf(folder, "doomed.exe"), "d");
    EXPECT_EQ(contentOf(folder, "swap.exe"), "s");
}

} // namespace
