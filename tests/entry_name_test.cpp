#include <gtest/gtest.h>

#include <cstring>

#include "entry_name.h"

namespace {

WIN32_FIND_DATAA entry(const char* name, const char* shortName) {
    WIN32_FIND_DATAA found{};
    std::strncpy(found.cFileName, name, sizeof found.cFileName - 1);
    std::strncpy(found.cAlternateFileName, shortName, sizeof found.cAlternateFileName - 1);
    return found;
}

TEST(EntryName, NamesThatPathsChangeOrRefuseAreTold) {
    for (const char* kept : {"a.exe", ".", "..", "...x", "caf\xe9.txt", "a b", "~$x"}) {
        EXPECT_TRUE(nameSurvivesPaths(kept)) << kept;
    }
    for (const char* lost : {"a.", "a ", "a. ", "", "a:b", "a?b", "a*", "a\"b", "a<0A>b", "a|b", "a\\b", "a\tb"}) {
        EXPECT_FALSE(nameSurvivesPaths(lost)) << lost;
    }
}

TEST(EntryName, ShortNameStandsInOnlyForANameThatPathsCannotCarry) {
    EXPECT_STREQ(reachableName(entry("x.exe.", "XEXE~1")), "XEXE~1");
    EXPECT_STREQ(reachableName(entry("sub ", "SUB_~CGZ")), "SUB_~CGZ");
    EXPECT_STREQ(reachableName(entry("Long Name.exe", "LONGNA~1.EXE")), "Long Name.exe");
    EXPECT_STREQ(reachableName(entry("x.exe.", "")), "x.exe."); // no short name: the own name, and its failure is seen
}

TEST(EntryName, AShortNameWithoutItsTerminatorIsNotTrusted) {
    WIN32_FIND_DATAA found = entry("x.exe.", "");
    std::memset(found.cAlternateFileName, 'A', sizeof found.cAlternateFileName);
    EXPECT_STREQ(reachableName(found), "x.exe.");
}

} // namespace
