// A disk that changes under the scan: entries that vanish or change kind
// between the listing and the opening, files that shrink or grow between
// the listing's size and the read. Whatever happens, the walk goes on,
// scans nothing twice, deletes only what it read as detected, and names
// what it could not look at.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine_test.h"
#include "folder_walk.h"
#include "fake_windows.h"
#include "pe_sample.h"

namespace fs = std::filesystem;

namespace {

std::string bytesOf(const samples::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class HostileFiles : public EngineTest {
protected:
    HostileFiles() { scanState.userChoice = choiceDelete; }
    ~HostileFiles() override { sim::setBeforeOpenHook(nullptr); }

    int walk() {
        const std::string pattern = folder.path() + "\\*.*";
        return walkFolder(pattern.c_str());
    }
    // Runs change once, just before the file whose host path ends in name is opened.
    void whenOpening(const std::string& name, std::function<void(const std::string&)> change) {
        sim::setBeforeOpenHook([name, change, done = false](const std::string& host) mutable {
            if (done || host.size() < name.size() || host.compare(host.size() - name.size(), name.size(), name) != 0)
                return;
            done = true;
            change(host);
        });
    }
    bool lineMentions(const std::string& text) const {
        for (const std::string& line : window.lines()) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    }
};

TEST_F(HostileFiles, AFileThatVanishesBeforeItIsOpenedIsNamedAndTheWalkGoesOn) {
    folder.writeFile("a.exe", bytesOf(samples::matchingSample(0)));
    folder.writeFile("b.exe", bytesOf(samples::matchingSample(1)));
    whenOpening("a.exe", [](const std::string& host) { fs::remove(host); });
    walk();
    EXPECT_FALSE(lineMentions("a.exe"));
    EXPECT_TRUE(lineMentions("b.exe"));
    EXPECT_FALSE(folder.exists("b.exe"));
    EXPECT_EQ(scanState.itemsNotScanned, 1);
}

TEST_F(HostileFiles, AFileReplacedByAFolderIsNeitherReadNorDeleted) {
    folder.writeFile("a.exe", bytesOf(samples::matchingSample(0)));
    folder.writeFile("z.exe", bytesOf(samples::matchingSample(2)));
    whenOpening("a.exe", [](const std::string& host) {
        fs::remove(host);
        fs::create_directory(host);
        std::ofstream(host + "/inside.txt") << "kept";
    });
    walk();
    EXPECT_TRUE(fs::is_directory(folder.hostPath("a.exe")));
    EXPECT_TRUE(fs::exists(folder.hostPath("a.exe/inside.txt")));
    EXPECT_FALSE(folder.exists("z.exe"));
    EXPECT_FALSE(lineMentions("a.exe"));
}

TEST_F(HostileFiles, ASampleSwappedForACleanFileIsLeftAlone) {
    folder.writeFile("a.exe", bytesOf(samples::matchingSample(3)));
    whenOpening("a.exe", [](const std::string& host) { std::ofstream(host, std::ios::trunc) << "clean now"; });
    walk();
    EXPECT_TRUE(folder.exists("a.exe"));
    EXPECT_TRUE(window.lines().empty());
    EXPECT_EQ(scanState.filesInfected, 0);
}

// The listing gave the sample's size; by the read the file is shorter, or
// longer, than any signature's size.
TEST_F(HostileFiles, AFileThatShrinksOrGrowsAfterTheListingIsReadAsItIsNow) {
    const samples::Bytes sample = samples::matchingSample(4);
    folder.writeFile("short.exe", bytesOf(sample));
    folder.writeFile("long.exe", bytesOf(sample));
    folder.writeFile("empty.exe", bytesOf(sample));
    sim::setBeforeOpenHook([](const std::string& host) {
        const std::string name = fs::path(host).filename().string();
        if (name == "short.exe") fs::resize_file(host, 100);
        if (name == "long.exe") std::ofstream(host, std::ios::app) << std::string(4096, 'x');
        if (name == "empty.exe") fs::resize_file(host, 0);
    });
    walk();
    EXPECT_TRUE(folder.exists("short.exe"));
    EXPECT_TRUE(folder.exists("empty.exe"));
    EXPECT_EQ(fs::file_size(folder.hostPath("short.exe")), 100u);
    EXPECT_EQ(scanState.filesScanned, 3);
    EXPECT_FALSE(lineMentions("short.exe"));
    EXPECT_FALSE(lineMentions("empty.exe"));
}

// The parent's listing has named both subfolders; while the first is walked
// the second goes, so entering it finds nothing there.
TEST_F(HostileFiles, AFolderThatVanishesBeforeItIsEnteredIsNamed) {
    folder.writeFile("a/x.exe", bytesOf(samples::matchingSample(5)));
    folder.writeFile("b/y.exe", bytesOf(samples::matchingSample(6)));
    whenOpening("x.exe", [this](const std::string&) { fs::remove_all(folder.hostPath("b")); });
    walk();
    EXPECT_FALSE(folder.exists("a/x.exe"));
    EXPECT_FALSE(lineMentions("y.exe"));
    EXPECT_EQ(scanState.filesScanned, 1);
    EXPECT_EQ(scanState.itemsNotScanned, 1);
}

} // namespace
