// Opening files on a host disk: only regular files, and never a wait.
#include <gtest/gtest.h>

#include <errno.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine_test.h"
#include "host_tree.h"
#include "machine.h"

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

} // namespace
