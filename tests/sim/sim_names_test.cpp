// How the simulated machine shows a host disk's names: every one, under a
// name a Windows path can carry, reaching exactly its own host file.
#include <gtest/gtest.h>


#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine_test.h"
#include "host_tree.h"
#include "fake_windows.h"

namespace {

namespace fs = std::filesystem;
using hosttree::contentThrough;
using hosttree::hostContent;
using hosttree::PassedOverRecord;

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
TEST_F(SimNames, TrailingDotNamesResolveWithoutReadingTheirFolder) {
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

} // namespace
