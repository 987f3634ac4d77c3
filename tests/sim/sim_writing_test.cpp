// Writing and creating through the C runtime on the simulated machine: only
// regular files inside the drives, never through a link out of them, and
// the read-only, held and running files a real system guards.
#include <gtest/gtest.h>

#include <errno.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine_test.h"
#include "host_tree.h"
#include "fake_windows.h"

namespace {

namespace fs = std::filesystem;
using hosttree::contentThrough;
using hosttree::hostContent;

int openToWrite(const std::string& path, int extra = 0) {
    return _open(path.c_str(), _O_WRONLY | _O_BINARY | extra, _S_IREAD | _S_IWRITE);
}

// errno after a failed open, or 0 when it opened (and was closed again).
int refusal(const std::string& path, int extra = 0) {
    errno = 0;
    const int fd = openToWrite(path, extra);
    if (fd < 0) return errno;
    _close(fd);
    return 0;
}

using SimWriting = EngineTest;

// A root user's Wine opens a read-only file for writing; Windows does not.
TEST_F(SimWriting, AReadOnlyHeldOrRunningFileIsNotOpenedForWriting) {
    folder.writeFile("guarded.exe", "kept");
    const std::string path = folder.path("guarded.exe");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(refusal(path), EACCES);
    EXPECT_EQ(refusal(path, _O_TRUNC), EACCES);
    errno = 0;
    EXPECT_EQ(_open(path.c_str(), _O_RDONLY | _O_TRUNC | _O_BINARY), -1);
    EXPECT_EQ(errno, EACCES);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    {
        HeldFile held(path);
        EXPECT_EQ(refusal(path), EACCES);
    }
    {
        RunningImage running(path);
        EXPECT_EQ(refusal(path), EACCES);
        EXPECT_EQ(contentThrough(path), "kept") << "a running image reads";
    }
    EXPECT_EQ(hostContent(folder.hostPath("guarded.exe")), "kept");
    EXPECT_EQ(refusal(path), 0);
}

TEST_F(SimWriting, ALinkInsideTheDrivesIsWrittenThroughAndOneOutOfThemIsRefused) {
    hosttree::OutsideFolder outside;
    std::ofstream(outside.path() + "/victim.txt") << "outside";
    folder.writeFile("target.txt", "inside");
    fs::create_symlink(folder.hostPath("target.txt"), folder.hostPath("inner-link.txt"));
    fs::create_symlink(outside.path() + "/victim.txt", folder.hostPath("outer-link.txt"));
    fs::create_directory_symlink(outside.path(), folder.hostPath("out"));
    const int fd = openToWrite(folder.path("inner-link.txt"), _O_TRUNC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_write(fd, "through", 7), 7);
    _close(fd);
    EXPECT_EQ(hostContent(folder.hostPath("target.txt")), "through");
    EXPECT_EQ(refusal(folder.path("outer-link.txt"), _O_TRUNC), EACCES);
    EXPECT_EQ(refusal(folder.path("out\\new.txt"), _O_CREAT), EACCES);
    EXPECT_EQ(hostContent(outside.path() + "/victim.txt"), "outside");
    EXPECT_FALSE(fs::exists(outside.path() + "/new.txt"));
}

TEST_F(SimWriting, AFileSwappedForALinkOutOfTheDrivesJustBeforeTheOpenIsRefused) {
    hosttree::OutsideFolder outside;
    std::ofstream(outside.path() + "/victim.txt") << "outside";
    folder.writeFile("swap.txt", "inside");
    sim::setBeforeOpenHook([&outside](const std::string& host) {
        fs::remove(host);
        fs::create_symlink(outside.path() + "/victim.txt", host);
    });
    EXPECT_EQ(refusal(folder.path("swap.txt"), _O_TRUNC), EACCES);
    EXPECT_EQ(hostContent(outside.path() + "/victim.txt"), "outside");
}

TEST_F(SimWriting, AFolderSwappedForALinkOutOfTheDrivesLeavesNoNewFileOutThere) {
    hosttree::OutsideFolder outside;
    folder.makeFolder("dir");
    const std::string dirHost = folder.hostPath("dir");
    sim::setBeforeOpenHook([&outside, &dirHost](const std::string&) {
        fs::remove(dirHost);
        fs::create_directory_symlink(outside.path(), dirHost);
    });
    EXPECT_EQ(refusal(folder.path("dir\\created.txt"), _O_CREAT | _O_EXCL), EACCES);
    EXPECT_FALSE(fs::exists(outside.path() + "/created.txt"));
}

TEST_F(SimWriting, AskingToWriteBothWaysAtOnceIsInvalid) {
    folder.writeFile("a.txt");
    errno = 0;
    EXPECT_EQ(_open(folder.path("a.txt").c_str(), _O_WRONLY | _O_RDWR), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(SimWriting, ADescriptorOpenedToReadDoesNotWrite) {
    folder.writeFile("a.txt", "a");
    const int fd = _open(folder.path("a.txt").c_str(), _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    errno = 0;
    EXPECT_EQ(_write(fd, "x", 1), -1);
    EXPECT_EQ(errno, EBADF);
    _close(fd);
    EXPECT_EQ(sim::fileCallCounts().writes, 1u);
}

// Text mode across read boundaries: a carriage return and line feed split
// between two reads are still one line feed; a lone carriage return stays;
// a Ctrl-Z ends the text for good.
TEST_F(SimWriting, TextModeReadsTranslateAcrossEveryReadBoundary) {
    folder.writeFile("t.txt", std::string("a\r\nb\rc\r\n\x1Atail"));
    const int fd = _open(folder.path("t.txt").c_str(), _O_RDONLY | _O_TEXT);
    ASSERT_GE(fd, 0);
    std::string text;
    char c = 0;
    while (_read(fd, &c, 1) == 1) text += c;
    EXPECT_EQ(text, "a\nb\rc\n");
    EXPECT_EQ(_read(fd, &c, 1), 0);
    _close(fd);
}

} // namespace
