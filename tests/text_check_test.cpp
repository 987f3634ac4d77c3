#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine_test.h"
#include "disposal.h"
#include "text_check.h"
#include "signatures/text_signatures.h"
#include "text_sample.h"
#include "text_table.h"

namespace {

const char* const wormName = "W32/Nyxem.Worm";

class TextCheck : public EngineTest {
protected:
    TextCheck() { scanState.userChoice = choiceLeave; }

    std::string hosts(const std::string& content, const std::string& name = "hosts") {
        folder.writeFile(name, content);
        return folder.path(name);
    }
    bool check(const std::string& path) { return checkTextFile(path.c_str()); }
};

TEST_F(TextCheck, APayloadSpreadOverIndentedLinesIsFoundAndLeftInItsOwnWords) {
    const std::string path = hosts(samples::uuencodedHosts(40));
    EXPECT_TRUE(check(path));
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Nyxem.Worm Not Disinfected As Per User's Selection"});
    EXPECT_EQ(scanState.filesInfected, 1);
    EXPECT_STREQ(scanState.detectedName, wormName);
    EXPECT_EQ(scanState.detectedPath, path);
    EXPECT_TRUE(folder.exists("hosts"));
}

TEST_F(TextCheck, ADeletedFileIsCountedAndReported) {
    scanState.userChoice = choiceDelete;
    const std::string path = hosts(samples::uuencodedHosts());
    EXPECT_TRUE(check(path));
    EXPECT_FALSE(folder.exists("hosts"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Nyxem.Worm removed"});
    EXPECT_EQ(scanState.filesRemoved, 1);
    EXPECT_EQ(scanState.restartNeeded, 0);
}

TEST_F(TextCheck, AFileThatCannotBeDeletedSaysRemoveFailedAndIsNotQueued) {
    scanState.userChoice = choiceDelete;
    const std::string path = hosts(samples::uuencodedHosts());
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY)); // not cleared first, unlike executables
    EXPECT_TRUE(check(path));
    EXPECT_TRUE(folder.exists("hosts"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Nyxem.Worm Remove failed"});
    EXPECT_EQ(scanState.filesRemoved, 0);
    EXPECT_EQ(scanState.restartNeeded, 0);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

bool keepNothing(const char*, const char*) { return false; }
bool keepAll(const char*, const char*) { return true; }

// Kept, then deleted with the delete's line wording; not kept, left.
TEST_F(TextCheck, AQuarantinedFileIsDeletedOnlyOnceKept) {
    scanState.userChoice = choiceQuarantine;
    quarantineKeeper = keepNothing;
    const std::string path = hosts(samples::uuencodedHosts());
    EXPECT_TRUE(check(path));
    EXPECT_TRUE(folder.exists("hosts"));
    quarantineKeeper = keepAll;
    EXPECT_TRUE(check(path));
    quarantineKeeper = nullptr;
    EXPECT_FALSE(folder.exists("hosts"));
    EXPECT_EQ(window.lines(), (std::vector<std::string>{path + "     W32/Nyxem.Worm Unable to quarantine",
                                                        path + "     W32/Nyxem.Worm quarantined"}));
    EXPECT_EQ(scanState.filesRemoved, 1);
}

TEST_F(TextCheck, ARenamedFileGetsAVInItsExtension) {
    scanState.userChoice = choiceRename;
    const std::string path = hosts(samples::uuencodedHosts(), "hosts.txt");
    EXPECT_TRUE(check(path));
    EXPECT_TRUE(folder.exists("hosts.Vxt"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{path + "     W32/Nyxem.Worm renamed"});
    EXPECT_EQ(scanState.filesRenamed, 1);
}

TEST_F(TextCheck, AnUnknownChoiceCountsTheHitButDoesAndSaysNothing) {
    scanState.userChoice = 105;
    EXPECT_TRUE(check(hosts(samples::uuencodedHosts())));
    EXPECT_TRUE(window.lines().empty());
    EXPECT_EQ(scanState.filesInfected, 1);
    EXPECT_TRUE(folder.exists("hosts"));
}

TEST_F(TextCheck, TheFirstWordMustBeBeginInAnyLetterCase) {
    EXPECT_TRUE(check(hosts(samples::uuencodedHosts(0, 300, "BEGIN"), "a")));
    EXPECT_TRUE(check(hosts(samples::uuencodedHosts(0, 300, "Begin"), "b")));
    EXPECT_FALSE(check(hosts(samples::uuencodedHosts(0, 300, " begin"), "c")));
    EXPECT_FALSE(check(hosts(samples::uuencodedHosts(0, 300, "begun"), "d")));
    EXPECT_FALSE(check(hosts("begi", "e")));
    EXPECT_FALSE(check(folder.path("missing")));
    EXPECT_EQ(scanState.filesInfected, 2);
}

TEST_F(TextCheck, FilesWithoutTheWholePatternAreLeftAloneSilently) {
    std::string cut = samples::uuencodedHosts();
    const std::string pattern = samples::textPattern();
    cut.erase(cut.find(pattern.substr(0, 30)) + 29, 1); // one character short
    for (const std::string& content : {samples::plainHosts(), cut, std::string()}) {
        const std::string path = hosts(content);
        EXPECT_FALSE(check(path));
        EXPECT_TRUE(folder.exists("hosts"));
    }
    EXPECT_TRUE(window.lines().empty());
    EXPECT_EQ(scanState.filesInfected, 0);
}

// In a long file only its first 4096 bytes, stripped, are searched.
TEST_F(TextCheck, InALongFileThePatternMustLieWhollyInTheHead) {
    const size_t bodyLength = 8000;
    const std::string inside = samples::uuencodedHosts(3600, bodyLength);
    const std::string pattern = samples::textPattern();
    ASSERT_GT(inside.size(), static_cast<size_t>(2 * textWindowSize));
    EXPECT_TRUE(check(hosts(inside, "inside")));
    EXPECT_FALSE(check(hosts(samples::uuencodedHosts(3800, bodyLength), "across")));
    EXPECT_FALSE(check(hosts(samples::uuencodedHosts(7000, bodyLength), "tail")));
    EXPECT_EQ(scanState.filesInfected, 1);
}

// A record that wants its pattern at one place of the head. The table ships
// none, so the one record is turned into one for the test and put back.
class PlacedPattern : public TextCheck {
protected:
    static constexpr int16_t place = 11; // after "begin644xxx", the start of the files below stripped
    PlacedPattern() : saved(textSignatures[0]) {
        readyTextTable();
        textSignatures[0].matchMode = 0;
        textSignatures[0].position = place;
    }
    ~PlacedPattern() override { textSignatures[0] = saved; }
    const TextSignature saved;
};

TEST_F(PlacedPattern, TextLeftFromAnEarlierFileNeverCompletesAPattern) {
    const std::string pattern = samples::textPattern();
    EXPECT_TRUE(check(hosts("begin 644\nxxx\n" + pattern + "\n", "whole")));
    // Stripped, this one ends halfway through the pattern, where the whole
    // file above went on with its second half; blank lines make it as long.
    EXPECT_FALSE(check(hosts("begin 644\nxxx\n" + pattern.substr(0, 50) + std::string(100, '\n'), "half")));
    EXPECT_EQ(scanState.filesInfected, 1);
}

TEST(TextMatcher, WhiteSpaceOfEveryKindIsStripped) {
    const unsigned char source[] = "a b\tc\nd\ve\ff\rg";
    unsigned char stripped[sizeof source] = {};
    EXPECT_EQ(stripWhitespace(source, sizeof source - 1, stripped), 7u);
    EXPECT_STREQ(reinterpret_cast<const char*>(stripped), "abcdefg");
}

TEST(TextMatcher, APatternMustEndInsideTheWindow) {
    const unsigned char window[] = "xxabcabd";
    const unsigned char pattern[] = "abd";
    EXPECT_TRUE(findPattern(window, 8, pattern, 3));  // after a false start at "abc"
    EXPECT_FALSE(findPattern(window, 7, pattern, 3)); // its last byte is outside
    EXPECT_FALSE(findPattern(window, 8, pattern, 0));
    EXPECT_FALSE(findPattern(window, 2, pattern, 3));
}

} // namespace
