// Opening files on a host disk: only regular files, and never a wait.
#include <gtest/gtest.h>

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_test.h"
#include "host_tree.h"
#include "fake_windows.h"

namespace {

namespace fs = std::filesystem;
using hosttree::contentThrough;

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

// The host files the process holds open, as the host names them.
std::vector<std::string> hostFilesHeld() {
    std::vector<std::string> held;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const fs::path target = fs::read_symlink(entry.path(), error);
        if (!error) held.push_back(target.string());
    }
    return held;
}

bool isHeld(const std::string& hostPath) {
    const std::vector<std::string> held = hostFilesHeld();
    return std::find(held.begin(), held.end(), fs::canonical(hostPath).string()) != held.end();
}

// A file the walk just listed is opened on the host only once its content
// is asked for: its length is known from a look at it.
TEST_F(SimOpening, AListedFileIsOpenedOnTheHostOnlyWhenItIsRead) {
    folder.writeFile("d/a.bin", "12345");
    ASSERT_EQ(listNames(folder.path("d\\*")), (std::vector<std::string>{".", "..", "a.bin"}));
    const int fd = _open(folder.path("d\\a.bin").c_str(), _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_filelength(fd), 5);
    EXPECT_FALSE(isHeld(folder.hostPath("d/a.bin")));
    char buffer[8] = {};
    EXPECT_EQ(_read(fd, buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer), "12345");
    EXPECT_TRUE(isHeld(folder.hostPath("d/a.bin")));
    EXPECT_EQ(_lseek(fd, 1, SEEK_SET), 1);
    EXPECT_EQ(_read(fd, buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "23");
    EXPECT_EQ(_close(fd), 0);
    EXPECT_FALSE(isHeld(folder.hostPath("d/a.bin")));
    EXPECT_EQ(_close(fd), -1);
}

// What is read is always the file that was opened: one put in its place
// in between is not read in its stead.
TEST_F(SimOpening, AFileReplacedAfterItWasOpenedIsNotReadInItsStead) {
    folder.writeFile("d/a.exe", "sample");
    folder.writeFile("d/clean.tmp", "clean!");
    ASSERT_EQ(listNames(folder.path("d\\*")), (std::vector<std::string>{".", "..", "a.exe", "clean.tmp"}));
    const int fd = _open(folder.path("d\\a.exe").c_str(), _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    fs::rename(folder.hostPath("d/clean.tmp"), folder.hostPath("d/a.exe"));
    char buffer[8] = {};
    EXPECT_EQ(_read(fd, buffer, sizeof buffer), -1);
    EXPECT_EQ(_close(fd), 0);
    EXPECT_EQ(contentThrough(folder.path("d\\a.exe")), "clean!");
}

} // namespace
