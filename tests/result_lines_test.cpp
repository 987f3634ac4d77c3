#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine_test.h"
#include "result_lines.h"

namespace {

using ResultLines = EngineTest;

TEST_F(ResultLines, PathsAndNamesAreTakenLiterallyNeverAsFormats) {
    reportLine(lineRemoved, "C:\\%n%s%s.exe", "W32/Karvex.%d.Trojan");
    reportLine(lineRegistryRemoved, "W32/Karvex.Trojan");
    reportCountLine(lineFilesScanned, -2147483647 - 1);
    EXPECT_EQ(window.lines(), (std::vector<std::string>{"C:\\%n%s%s.exe     W32/Karvex.%d.Trojan removed",
                                                        "System Registry     W32/Karvex.Trojan removed",
                                                        "Total files scanned\t\t:  -2147483648"}));
}

TEST_F(ResultLines, ALineTooLongForTheBufferIsCutAndStaysTerminated) {
    const std::string path(2 * lineTextSize, 'p');
    reportLine(lineUnableToRemove, path.c_str(), "W32/Karvex.Bds.Trojan");
    ASSERT_EQ(window.lines().size(), 1u);
    EXPECT_EQ(window.lines()[0], std::string(lineTextSize - 1, 'p'));
}

TEST(ResultLineFormat, MissingTextsLeaveTheirPlaceEmptyAndTinyBuffersAreSafe) {
    char text[64];
    formatResultLine(text, sizeof text, lineRenamed, "C:\\a.exe", nullptr);
    EXPECT_STREQ(text, "C:\\a.exe      renamed");
    char tiny[4] = {'x', 'x', 'x', 'x'};
    formatResultLine(tiny, sizeof tiny, lineStatisticsHeading, nullptr, nullptr);
    EXPECT_STREQ(tiny, "Sca");
    formatResultLine(tiny, 0, lineStatisticsHeading, nullptr, nullptr); // writes nothing at all
    EXPECT_STREQ(tiny, "Sca");
}

} // namespace
