// The machine's text conversion in each of its system code pages: UTF-8
// exact each way (lone surrogates included), Windows-1252 as before, and the
// real calls' sizes and errors.
#include <gtest/gtest.h>

#include <string>

#include "ansi_units.h"
#include "machine.h"
#include "win32api.h"

namespace {

using namespace std::string_literals;

// Every string is converted with room to spare, through the calls' own size.
std::string narrowOf(UINT codePage, const std::u16string& units) {
    std::u16string copy = units;
    const WCHAR* wide = reinterpret_cast<const WCHAR*>(copy.data());
    const int count = static_cast<int>(copy.size());
    const int needed = WideCharToMultiByte(codePage, 0, wide, count, nullptr, 0, nullptr, nullptr);
    EXPECT_GT(needed, 0);
    std::string narrow(static_cast<size_t>(needed) + 4, '#');
    EXPECT_EQ(WideCharToMultiByte(codePage, 0, wide, count, &narrow[0], static_cast<int>(narrow.size()), nullptr,
                                  nullptr),
              needed);
    narrow.resize(static_cast<size_t>(needed));
    return narrow;
}

std::u16string unitsOf(UINT codePage, const std::string& narrow) {
    const int count = static_cast<int>(narrow.size());
    const int needed = MultiByteToWideChar(codePage, 0, narrow.data(), count, nullptr, 0);
    EXPECT_GT(needed, 0);
    std::u16string units(static_cast<size_t>(needed) + 4, u'#');
    WCHAR* wide = reinterpret_cast<WCHAR*>(&units[0]);
    EXPECT_EQ(MultiByteToWideChar(codePage, 0, narrow.data(), count, wide, static_cast<int>(units.size())), needed);
    units.resize(static_cast<size_t>(needed));
    return units;
}

class SimText : public ::testing::Test {
protected:
    SimText() { sim::reset(); }
    ~SimText() override { sim::reset(); }
    void utf8() { sim::setAnsiCodePage(sim::AnsiCodePage::utf8); }
};

struct Exact {
    std::u16string units;
    std::string bytes;
};
const Exact exactTexts[] = {
    {u"C:\\Users\\José\\a.exe", "C:\\Users\\Jos\xc3\xa9\\a.exe"},
    {u"Привет", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82"},
    {u"漢字", "\xe6\xbc\xa2\xe5\xad\x97"},
    {u"\U0001F600", "\xf0\x9f\x98\x80"},
    {u"\U0010FFFF", "\xf4\x8f\xbf\xbf"},
    {u"\uFFFF\u0800\u07FF\u0080\u007F", "\xef\xbf\xbf\xe0\xa0\x80\xdf\xbf\xc2\x80\x7f"},
    // Lone surrogates keep the three bytes of their number.
    {u"a\xD800", "a\xed\xa0\x80"},
    {u"\xDC00z", "\xed\xb0\x80z"},
    {u"\xDBFF\x0041\xDFFF", "\xed\xaf\xbf" "A\xed\xbf\xbf"},
    {u"\xDC00\xD800", "\xed\xb0\x80\xed\xa0\x80"}, // a pair the wrong way round is two lone halves
    {u"a\0b"s, "a\0b"s},
};

TEST_F(SimText, Utf8IsExactEachWayForEveryScript) {
    utf8();
    for (const Exact& text : exactTexts) {
        EXPECT_EQ(narrowOf(CP_ACP, text.units), text.bytes) << text.bytes;
        EXPECT_EQ(unitsOf(CP_ACP, text.bytes), text.units) << text.bytes;
        EXPECT_EQ(sim::ansiOfUnits(text.units), text.bytes) << text.bytes;
        EXPECT_EQ(sim::unitsOfAnsi(text.bytes), text.units) << text.bytes;
    }
}

TEST_F(SimText, EveryUnitAloneComesBackAsItWas) {
    utf8();
    for (char32_t unit = 1; unit <= 0xFFFF; ++unit) {
        const std::u16string units{u'<', static_cast<char16_t>(unit), u'>'};
        const std::string bytes = sim::ansiOfUnits(units);
        ASSERT_EQ(sim::unitsOfAnsi(bytes), units) << static_cast<unsigned>(unit);
        ASSERT_EQ(bytes.size(), 2 + (unit < 0x80 ? 1u : unit < 0x800 ? 2u : 3u)) << static_cast<unsigned>(unit);
    }
}

TEST_F(SimText, BytesThatAreNoUtf8ReadAsReplacementsOneByOne) {
    utf8();
    const struct {
        std::string bytes;
        std::u16string units;
    } cases[] = {
        {"\xc3", u"\uFFFD"},                               // cut short at the end
        {"\xe2\x82" "A", u"\uFFFD\uFFFD" "A"},             // cut short before a character
        {"\x80\xbf", u"\uFFFD\uFFFD"},                     // continuations alone
        {"\xc0\xaf", u"\uFFFD\uFFFD"},                     // '/' spelled long
        {"\xc1\xbf", u"\uFFFD\uFFFD"},
        {"\xe0\x9f\xbf", u"\uFFFD\uFFFD\uFFFD"},           // U+07FF spelled long
        {"\xf0\x8f\xbf\xbf", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // U+FFFF spelled long
        {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // past U+10FFFF
        {"\xf5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xfe\xff", u"\uFFFD\uFFFD"},
        {"Jos\xe9.exe", u"Jos\uFFFD.exe"},                 // Windows-1252 is no UTF-8
        {"\xed\xa0\xbd\xed\xb8\x80", u"\xD83D\xDE00"},     // two halves written apart read as halves
    };
    for (const auto& c : cases) {
        EXPECT_EQ(unitsOf(CP_ACP, c.bytes), c.units) << c.bytes;
        EXPECT_EQ(sim::unitsOfAnsi(c.bytes), c.units) << c.bytes;
    }
}

TEST_F(SimText, SizesCountsAndShortBuffersAreTheRealCalls) {
    utf8();
    const WCHAR wide[] = {0x0416, 0xD83D, 0xDE00, 0}; // Ж and U+1F600: 2 + 4 bytes and the zero
    char narrow[16] = {};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr), 7);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 3, nullptr, 0, nullptr, nullptr), 6);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 2, nullptr, 0, nullptr, nullptr), 5) << "the pair cut in two";
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, 6, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, 7, nullptr, nullptr), 7);
    EXPECT_EQ(std::string(narrow, 7), "\xd0\x96\xf0\x9f\x98\x80\0"s);

    WCHAR back[8] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow, 6, nullptr, 0), 3);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow, -1, back, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, narrow, -1, back, 4), 4);
    EXPECT_EQ(std::u16string(back, back + 4), (std::u16string{0x0416, 0xD83D, 0xDE00, 0}));
}

TEST_F(SimText, Utf8RefusesWhatItHasNoUseFor) {
    utf8();
    const WCHAR lone[] = {'a', 0xD800, 0};
    char narrow[16];
    BOOL used = FALSE;
    const auto failsWith = [](int result, DWORD error) { return result == 0 && GetLastError() == error; };
    EXPECT_TRUE(failsWith(WideCharToMultiByte(CP_ACP, 0, lone, -1, narrow, 16, "?", nullptr), ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(failsWith(WideCharToMultiByte(CP_UTF8, 0, lone, -1, narrow, 16, nullptr, &used), ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(failsWith(WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, lone, -1, narrow, 16, nullptr, nullptr),
                          ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, lone, 1, narrow, 16, nullptr, nullptr), 1);
    EXPECT_TRUE(failsWith(WideCharToMultiByte(CP_ACP, 0x400, lone, -1, narrow, 16, nullptr, nullptr), ERROR_INVALID_FLAGS));
    WCHAR wide[8];
    EXPECT_TRUE(failsWith(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "a\xff", 2, wide, 8),
                          ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_TRUE(failsWith(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "\xed\xa0\x80", 3, wide, 8),
                          ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "\xc3\xa9", 2, wide, 8), 1);
    EXPECT_TRUE(failsWith(MultiByteToWideChar(CP_ACP, 0x1, "a", 1, wide, 8), ERROR_INVALID_FLAGS));
    EXPECT_TRUE(failsWith(MultiByteToWideChar(CP_ACP, 0, "a", 0, wide, 8), ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(failsWith(MultiByteToWideChar(437, 0, "a", 1, wide, 8), ERROR_INVALID_PARAMETER));
}

TEST_F(SimText, PowerOnIsWindows1252AndUtf8IsThereByNumber) {
    EXPECT_EQ(sim::ansiCodePage(), sim::AnsiCodePage::western);
    EXPECT_EQ(narrowOf(CP_ACP, u"José €"), "Jos\xe9 \x80");
    EXPECT_EQ(narrowOf(CP_ACP, u"Привет\xD800"), "???????");
    EXPECT_EQ(unitsOf(CP_ACP, "\x80\x81\xe9"), u"€\u0081é");
    EXPECT_EQ(narrowOf(CP_UTF8, u"José"), "Jos\xc3\xa9");
    EXPECT_EQ(unitsOf(CP_UTF8, "Jos\xc3\xa9"), u"José");
    EXPECT_EQ(sim::ansiOfUnits(u"José Привет"), "Jos\xe9 ??????");
    EXPECT_EQ(sim::unitsOfAnsi("Jos\xe9\x80\x81"), u"José€\u0081");
    utf8();
    EXPECT_EQ(narrowOf(1252, u"José"), "Jos\xe9") << "1252 by number stays Windows-1252";
    BOOL used = FALSE;
    char narrow[4];
    const WCHAR cyrillic[] = {0x0416};
    EXPECT_EQ(WideCharToMultiByte(1252, 0, cyrillic, 1, narrow, 4, "#", &used), 1);
    EXPECT_EQ(narrow[0], '#');
    EXPECT_TRUE(used);
    sim::reset();
    EXPECT_EQ(sim::ansiCodePage(), sim::AnsiCodePage::western) << "a new volume starts in Windows-1252";
    EXPECT_EQ(narrowOf(CP_ACP, u"é"), "\xe9");
}

} // namespace
