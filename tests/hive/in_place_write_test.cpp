// Writing a change into a hive file in place through its log, stopped at
// each step as a kill would stop it: whatever is on disk then reads back,
// after the replay any reader of the logs makes, as the hive before the
// change or the hive after it, never anything between; and the file stays
// the same file.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "cell_edit.h"
#include "cells.h"
#include "empty_hive.h"
#include "in_place_write.h"
#include "log_replay.h"
#include "../sim/host_tree.h"

namespace {

using hive::Bytes;

constexpr uint32_t stringType = 1;          // REG_SZ
constexpr size_t largerThanOneCell = 40000; // big data, in a new bin
constexpr int stepCount = 4;
constexpr int stoppedExit = 7;

Bytes fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The bins, and the fields of the base block a reader goes by.
bool sameHive(const Bytes& a, const Bytes& b) {
    hive::BaseBlock first, second;
    if (!hive::readBaseBlock(a.data(), a.size(), first) || !hive::readBaseBlock(b.data(), b.size(), second) ||
        first.binsSize != second.binsSize || first.rootCell != second.rootCell ||
        a.size() < hive::baseBlockSize + first.binsSize || b.size() < hive::baseBlockSize + second.binsSize) {
        return false;
    }
    return std::equal(a.begin() + hive::baseBlockSize, a.begin() + hive::baseBlockSize + first.binsSize,
                      b.begin() + hive::baseBlockSize);
}

struct Change {
    Bytes before;
    Bytes after;
    std::vector<hive::PageRange> pages;
};

Change valueAdded() {
    Change change;
    const std::string empty = emptyHiveImage("ROOT");
    change.before.assign(empty.begin(), empty.end());
    change.after = change.before;
    hive::HiveView view(change.after);
    std::string problem;
    EXPECT_TRUE(view.valid(problem)) << problem;
    hive::HiveEditor editor(change.after);
    hive::CellOffset value = 0;
    const Bytes data(largerThanOneCell, 'q');
    EXPECT_TRUE(editor.setValue(view.root(), hive::Name{u"Probe", false}, stringType, data, value, problem))
        << problem;
    change.pages = hive::pageRanges(editor.dirtyPages());
    return change;
}

hive::OpenHive openHive(const std::string& primary) {
    hive::OpenHive disk;
    disk.primary = open(primary.c_str(), O_RDWR);
    disk.log = open((primary + ".LOG1").c_str(), O_RDWR | O_CREAT, 0644);
    disk.sequence = 1;
    return disk;
}

// Runs the write in a child that stops dead after step `stopAt` (0: never).
void writeStoppedAfter(const std::string& primary, Change change, int stopAt) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        hive::OpenHive disk = openHive(primary);
        disk.watch = [stopAt](hive::WriteStep step) {
            if (static_cast<int>(step) == stopAt) _exit(stoppedExit);
        };
        std::string problem;
        bool leftDirty = false;
        const bool written = hive::writeInPlace(disk, change.after, change.pages, problem, leftDirty);
        _exit(written && !leftDirty ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), stopAt == 0 ? 0 : stoppedExit);
}

TEST(InPlaceWrite, AStopAfterEachStepLeavesTheHiveBeforeOrAfterTheChange) {
    const Change change = valueAdded();
    ASSERT_FALSE(change.pages.empty());
    for (int stopAt = 0; stopAt <= stepCount; ++stopAt) {
        SCOPED_TRACE("stopped after step " + std::to_string(stopAt));
        hosttree::OutsideFolder folder;
        const std::string primary = folder.path() + "/SYSTEM";
        writeFile(primary, change.before);
        struct stat was {};
        ASSERT_EQ(stat(primary.c_str(), &was), 0);
        writeStoppedAfter(primary, change, stopAt);

        Bytes onDisk = fileBytes(primary);
        const std::vector<hive::LogFile> logs{hive::LogFile{"SYSTEM.LOG1", fileBytes(primary + ".LOG1")}};
        EXPECT_EQ(hive::primaryDirty(onDisk.data(), onDisk.size()), stopAt == 2 || stopAt == 3);
        hive::Recovery recovery;
        std::string problem;
        ASSERT_TRUE(hive::recoverHive(onDisk, logs, recovery, problem)) << problem;
        EXPECT_TRUE(sameHive(onDisk, stopAt == 1 ? change.before : change.after));
        struct stat now {};
        ASSERT_EQ(stat(primary.c_str(), &now), 0);
        EXPECT_EQ(now.st_ino, was.st_ino);
        if (stopAt == 0 || stopAt == stepCount) {
            hive::BaseBlock fields;
            ASSERT_TRUE(hive::readBaseBlock(onDisk.data(), onDisk.size(), fields));
            EXPECT_GT(fields.secondarySequence, hive::highestLogSequence(logs))
                << "a clean hive is numbered above every entry its log holds";
        }
    }
}

TEST(InPlaceWrite, EachLaterChangeIsNumberedAboveTheLastAndTheFileIsTheImage) {
    Change change = valueAdded();
    hosttree::OutsideFolder folder;
    const std::string primary = folder.path() + "/SOFTWARE";
    writeFile(primary, change.before);
    hive::OpenHive disk = openHive(primary);
    std::string problem;
    bool leftDirty = true;
    ASSERT_TRUE(hive::writeInPlace(disk, change.after, change.pages, problem, leftDirty)) << problem;
    EXPECT_FALSE(leftDirty);
    const uint32_t first = disk.sequence;

    hive::HiveView view(change.after);
    ASSERT_TRUE(view.valid(problem));
    hive::HiveEditor editor(change.after);
    std::vector<hive::CellOffset> values;
    ASSERT_TRUE(view.values(view.root(), values));
    ASSERT_EQ(values.size(), 1u);
    ASSERT_TRUE(editor.deleteValue(view.root(), values[0], problem)) << problem;
    ASSERT_TRUE(hive::writeInPlace(disk, change.after, hive::pageRanges(editor.dirtyPages()), problem, leftDirty));
    EXPECT_GT(disk.sequence, first);
    close(disk.primary);
    close(disk.log);
    EXPECT_EQ(fileBytes(primary), change.after) << "the file is the image, byte for byte";
}

TEST(InPlaceWrite, PagesAreMergedIntoRanges) {
    const std::vector<hive::PageRange> ranges = hive::pageRanges({8192, 0, 4096, 4096, 16384});
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].offset, 0u);
    EXPECT_EQ(ranges[0].size, 3u * 4096);
    EXPECT_EQ(ranges[1].offset, 16384u);
    EXPECT_EQ(ranges[1].size, 4096u);
}

} // namespace
