#include <gtest/gtest.h>

#include <string>

#include "short_path.h"

namespace {

std::string shortened(const std::string& source, int maxLength) {
    char buffer[512];
    shortenPath(source.c_str(), buffer, maxLength);
    return buffer;
}

TEST(ShortenPath, KeepsPathsOfSixtyCharactersOrFewer) {
    const std::string sixty(60, 'a');
    EXPECT_EQ(shortened(sixty, 60), sixty);
    EXPECT_EQ(shortened("C:\\a.exe", 60), "C:\\a.exe");
    EXPECT_EQ(shortened("", 60), "");
}

TEST(ShortenPath, ElidesTheMiddleOfALongerPathWithTwoDots) {
    std::string source;
    for (int i = 0; i < 61; ++i) source += static_cast<char>('A' + i % 26);
    const std::string result = shortened(source, 60);
    ASSERT_EQ(result.size(), 60u);
    EXPECT_EQ(result, source.substr(0, 29) + ".." + source.substr(61 - 29));
}

TEST(ShortenPath, OddLimitGivesThreeDots) {
    const std::string source(100, 'x');
    const std::string result = shortened(source, 61); // 29 + 3 + 29
    EXPECT_EQ(result, std::string(29, 'x') + "..." + std::string(29, 'x'));
}

TEST(ShortenPath, NeverWritesPastTheLimitWhenNothingCanBeKept) {
    char buffer[4] = {'#', '#', '#', '#'};
    shortenPath("C:\\long\\path.exe", buffer, 3); // too small to keep both ends
    EXPECT_STREQ(buffer, "C:\\");
}

} // namespace
