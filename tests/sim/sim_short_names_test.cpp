// The simulated machine's short names: the names it makes, the order that
// numbers them, and paths that reach a file through them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test.h"
#include "host_tree.h"
#include "fake_windows.h"
#include "short_names.h"

namespace {

using Names = std::vector<std::string>;

TEST(SimShortNames, AValidShortNameIsItsOwnAsItIsSpelled) {
    EXPECT_EQ(sim::shortNamesOf({"short.txt", "lower.TXT", "noext", "12345678.123", "A~1.B", ".", ".."}),
              (Names{"short.txt", "lower.TXT", "noext", "12345678.123", "A~1.B", ".", ".."}));
    for (const char* name : {"123456789.12", "a.b.c", "abc.", "a b.txt", "x+y.z", ".hidden", "long.text"}) {
        EXPECT_FALSE(sim::isShortName(name)) << name;
    }
}

TEST(SimShortNames, OtherNamesGetABaseOfSixTheNumberAndThreeOfTheExtension) {
    EXPECT_EQ(sim::shortNamesOf({"Locked Program File.exe", "a.b.c.d", "x+y=z.longext", "Ab cD.E F", ".hidden",
                                 "MixedCase.Tx", "toolongname", "end.", "caf\xe9 menu.txt"}),
              (Names{"LOCKED~1.EXE", "ABC~1.D", "X_Y_Z~1.LON", "ABCD~1.EF", "HIDDEN~1", "MIXEDC~1.TX", "TOOLON~1",
                     "END~1", "CAF_ME~1.TXT"}));
}

TEST(SimShortNames, NumbersCountUpInListingOrderPastNamesTakenAlready) {
    EXPECT_EQ(sim::shortNamesOf({"Locked Program Folder.exe", "LOCKED~1.EXE", "Locked Program File.exe",
                                 "Locked notes.txt"}),
              (Names{"LOCKED~3.EXE", "LOCKED~1.EXE", "LOCKED~2.EXE", "LOCKED~1.TXT"}));
}

TEST(SimShortNames, TheBaseShortensAsTheNumberGrows) {
    Names names;
    for (int i = 0; i < 11; ++i) names.push_back("Program Entry " + std::string(1, static_cast<char>('a' + i)));
    const Names shortNames = sim::shortNamesOf(names);
    EXPECT_EQ(shortNames[8], "PROGRA~9");
    EXPECT_EQ(shortNames[9], "PROGR~10");
    EXPECT_EQ(shortNames[10], "PROGR~11");
}

TEST(SimShortNames, TheOrderTheHostGivesNamesInChangesNothing) {
    EXPECT_EQ(sim::shortNameIn({"Program B.txt", "Program A.txt"}, "Program A.txt"), "PROGRA~1.TXT");
    EXPECT_EQ(sim::shortNameIn({"Program A.txt", "Program B.txt"}, "Program A.txt"), "PROGRA~1.TXT");
    EXPECT_EQ(sim::shortNameIn({"a\nb.exe"}, "a\nb.exe"), "A_0A_B~1.EXE") << "presented as a<0A>b.exe";
}

using SimShortPaths = EngineTest;

TEST_F(SimShortPaths, AShortPathKeepsTheDriveAndSeparatorsAsGivenAndReachesTheFile) {
    folder.writeFile("Long Folder Name/Inner File.txt", "inner");
    char result[MAX_PATH] = {};
    const std::string given = "c:/" + folder.path().substr(3) + "/long folder name\\Inner File.txt";
    ASSERT_GT(GetShortPathNameA(given.c_str(), result, sizeof result), 0u);
    EXPECT_EQ(std::string(result), "c:/QVTEST~1/LONGFO~1\\INNERF~1.TXT");
    EXPECT_EQ(hosttree::contentThrough(result), "inner");
    EXPECT_EQ(sim::hostPathOf("C:\\qvtest~1\\longfo~1"), folder.hostPath("Long Folder Name"));
}

TEST_F(SimShortPaths, ANameThatLooksShortIsItselfBeforeItIsAnothersShortName) {
    folder.writeFile("Locked Program File.exe", "long");
    folder.writeFile("LOCKED~1.EXE", "literal");
    EXPECT_EQ(hosttree::contentThrough(folder.path("locked~1.exe")), "literal");
    EXPECT_EQ(hosttree::contentThrough(folder.path("LOCKED~2.EXE")), "long");
    EXPECT_EQ(hosttree::contentThrough(folder.path("LOCKED~3.EXE")), "");
}

} // namespace
