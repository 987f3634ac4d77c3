#include <gtest/gtest.h>

#include <cstring>

#include "text_util.h"

namespace {

TEST(BoundedText, CopyRefusesWhatDoesNotFitAndLeavesItEmpty) {
    char buffer[6] = "xxxxx";
    EXPECT_TRUE(copyText(buffer, sizeof buffer, "abcde"));
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_FALSE(copyText(buffer, sizeof buffer, "abcdef"));
    EXPECT_STREQ(buffer, "");
}

TEST(BoundedText, PrefixCopyStopsAtTheCountOrTheEnd) {
    char buffer[10];
    EXPECT_TRUE(copyTextPrefix(buffer, sizeof buffer, "C:\\dir\\*.*", 7));
    EXPECT_STREQ(buffer, "C:\\dir\\");
    EXPECT_TRUE(copyTextPrefix(buffer, sizeof buffer, "ab", 7));
    EXPECT_STREQ(buffer, "ab");
}

TEST(BoundedText, AppendKeepsTheTextWhenTheResultWouldNotFit) {
    char buffer[8] = "C:\\";
    EXPECT_TRUE(appendText(buffer, sizeof buffer, "abc"));
    EXPECT_STREQ(buffer, "C:\\abc");
    EXPECT_FALSE(appendText(buffer, sizeof buffer, "de"));
    EXPECT_STREQ(buffer, "C:\\abc");
    EXPECT_TRUE(appendText(buffer, sizeof buffer, "d"));
    EXPECT_STREQ(buffer, "C:\\abcd");
}

TEST(BoundedText, FindsTextWhateverTheLetterCase) {
    const char* path = "C:\\PROGRAM FILES\\x\\*.*";
    EXPECT_EQ(findTextNoCase(path, "\\Program Files\\"), path + 2);
    EXPECT_EQ(findTextNoCase(path, "\\Program Files\\y"), nullptr);
    EXPECT_EQ(findTextNoCase("C:\\Program Filesx", "\\Program Files\\"), nullptr);
}

} // namespace
