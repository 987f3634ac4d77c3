#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_value.h"

namespace {

const char* const inSystem = "c:\\windows\\system\\bad.exe";
const char* const inSystem32 = "c:\\windows\\system32\\bad.exe";
const char* const inTemp = "c:\\temp\\bad.exe";

RunValueVerdict judge(const char* data, const char* file, const char* expanded = nullptr) {
    return judgeRunValue(data, expanded != nullptr ? expanded : data, file);
}

TEST(RunValue, AFullPathCountsAsACommandWhateverFollowsIt) {
    EXPECT_EQ(judge("\"c:\\windows\\system\\bad.exe\" -start", inSystem), RunValueVerdict::fullPath);
    EXPECT_EQ(judge("c:\\windows\\system\\bad.exe", inSystem), RunValueVerdict::fullPath);
    EXPECT_EQ(judge("c:\\windows\\system\\bad.exe\t/s", inSystem), RunValueVerdict::fullPath);
    EXPECT_EQ(judge("c:\\temp\\bad.exe", inTemp), RunValueVerdict::fullPath);
}

TEST(RunValue, AnotherFileThatMerelyBeginsWithThePathIsNotTheFile) {
    EXPECT_EQ(judge("c:\\windows\\system\\bad.exe.old", inSystem), RunValueVerdict::notTheFile);
    EXPECT_EQ(judge("c:\\windows\\system\\bad.exe2 /s", inSystem), RunValueVerdict::notTheFile);
    EXPECT_EQ(judge("c:\\windows\\system\\bad", inSystem), RunValueVerdict::notTheFile);
    EXPECT_EQ(judge("d:\\windows\\system\\bad.exe", inSystem), RunValueVerdict::notTheFile);
}

TEST(RunValue, TheExpandedDataCountsToo) {
    EXPECT_EQ(judge("%windir%\\system\\bad.exe -x", inSystem, "c:\\windows\\system\\bad.exe -x"),
              RunValueVerdict::fullPath);
    EXPECT_EQ(judge("\"%windir%\\system\\bad.exe\"", inSystem, "\"c:\\windows\\system\\bad.exe\""),
              RunValueVerdict::fullPath);
    EXPECT_EQ(judge("%windir%\\system\\bad.exe.bak", inSystem, "c:\\windows\\system\\bad.exe.bak"),
              RunValueVerdict::notTheFile);
}

TEST(RunValue, ABareReferenceCountsOnlyForItsOwnNameInASystemFolder) {
    for (const char* data : {"bad.exe", "bad.exe /s", "\"bad.exe\" -x", "\\bad.exe", "\\windows\\system\\bad.exe"}) {
        EXPECT_EQ(judge(data, inSystem), RunValueVerdict::bareReference) << data;
        EXPECT_EQ(judge(data, inSystem32), RunValueVerdict::bareReference) << data;
        EXPECT_EQ(judge(data, inTemp), RunValueVerdict::notTheFile) << data;
    }
    for (const char* data : {"notbad.exe", "bad.exe2", "bad", "rundll32.exe bad.exe", "\"not bad.exe\""}) {
        EXPECT_EQ(judge(data, inSystem), RunValueVerdict::notTheFile) << data;
    }
}

TEST(RunValue, AFileWithoutAFolderIsNeverJudgedTheirs) {
    EXPECT_EQ(judge("bad.exe", "bad.exe"), RunValueVerdict::notTheFile);
    EXPECT_EQ(judge("c:\\", "c:\\"), RunValueVerdict::notTheFile);
}

TEST(RunValueExpansion, LongExpansionsAreReadWhole) {
    std::vector<char> expanded;
    const std::string longText(3 * 260, 'x');
    ASSERT_TRUE(expandEnvironment(longText.c_str(), expanded));
    EXPECT_EQ(std::string(expanded.data()), longText);
    ASSERT_TRUE(expandEnvironment("%windir%\\x", expanded));
    EXPECT_EQ(std::string(expanded.data()).find('%'), std::string::npos);
}

} // namespace
