// The undo file as the registry editor writes it, the report's text, and an
// offline service's image path.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "offline_services.h"
#include "fake_windows.h"
#include "machine.h"
#include "undo_file.h"

namespace {

RegistryValueCopy value(const char* name, DWORD type, const std::string& bytes) {
    return RegistryValueCopy{name, type, std::vector<unsigned char>(bytes.begin(), bytes.end())};
}

// Each test starts, and leaves the machine, in Windows-1252.
class UndoText : public ::testing::Test {
protected:
    UndoText() { sim::reset(); }
    ~UndoText() override { sim::reset(); }
    void utf8() { sim::setAnsiCodePage(sim::AnsiCodePage::utf8); }
};

// As a file holds it: UTF-16LE.
std::string littleEndian(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string fileContent(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST_F(UndoText, EachTypeIsWrittenSoThatImportingGivesTheSameBytes) {
    using namespace std::string_literals;
    EXPECT_EQ(undoValueLine(value("Run", REG_SZ, "C:\\a \"b\".exe\0"s)), u"\"Run\"=\"C:\\\\a \\\"b\\\".exe\"");
    EXPECT_EQ(undoValueLine(value("", REG_SZ, "\0"s)), u"@=\"\"");
    EXPECT_EQ(undoValueLine(value("n", REG_SZ, "\x80\xe9\0"s)), u"\"n\"=\"€é\"");
    // Not text: no closing zero, a zero or a line break before it, no data.
    EXPECT_EQ(undoValueLine(value("n", REG_SZ, "ab"s)), u"\"n\"=hex(1):61,00,62,00");
    EXPECT_EQ(undoValueLine(value("n", REG_SZ, "a\0b\0"s)), u"\"n\"=hex(1):61,00,00,00,62,00,00,00");
    EXPECT_EQ(undoValueLine(value("n", REG_SZ, "a\r\n\0"s)), u"\"n\"=hex(1):61,00,0d,00,0a,00,00,00");
    EXPECT_EQ(undoValueLine(value("n", REG_SZ, ""s)), u"\"n\"=hex(1):");
    EXPECT_EQ(undoValueLine(value("e", REG_EXPAND_SZ, "%a%\0"s)), u"\"e\"=hex(2):25,00,61,00,25,00,00,00");
    EXPECT_EQ(undoValueLine(value("m", REG_MULTI_SZ, "a\0b\0\0"s)), u"\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00");
    EXPECT_EQ(undoValueLine(value("d", REG_DWORD, "\x2a\0\0\x01"s)), u"\"d\"=dword:0100002a");
    EXPECT_EQ(undoValueLine(value("d", REG_DWORD, "\x2a\0"s)), u"\"d\"=hex(4):2a,00");
    EXPECT_EQ(undoValueLine(value("b", REG_BINARY, "\xde\xad"s)), u"\"b\"=hex:de,ad");
    EXPECT_EQ(undoValueLine(value("q", 11, "\x01"s)), u"\"q\"=hex(b):01");
    EXPECT_EQ(undoValueLine(value("\xe9\"\\", REG_BINARY, ""s)), u"\"é\\\"\\\\\"=hex:");
}

TEST_F(UndoText, InUtf8EveryNameAndStringIsExact) {
    using namespace std::string_literals;
    utf8();
    EXPECT_EQ(undoValueLine(value("Jos\xc3\xa9", REG_SZ, "C:\\Users\\Jos\xc3\xa9\\a.exe\0"s)),
              u"\"José\"=\"C:\\\\Users\\\\José\\\\a.exe\"");
    EXPECT_EQ(undoValueLine(value("\xe6\xbc\xa2", REG_SZ, "\xf0\x9f\x98\x80\0"s)), u"\"漢\"=\"\U0001F600\"");
    EXPECT_EQ(undoValueLine(value("m", REG_MULTI_SZ, "\xd0\x9f\xd1\x80\0\xd0\xbc\0\0"s)),
              u"\"m\"=hex(7):1f,04,40,04,00,00,3c,04,00,00,00,00");
    // A half of a pair alone is kept, as bytes: text could not carry it.
    EXPECT_EQ(undoValueLine(value("s", REG_SZ, "\xed\xa0\x80\0"s)), u"\"s\"=hex(1):00,d8,00,00");
    EXPECT_EQ(undoKeyLine(HKEY_LOCAL_MACHINE, "software\\\xd0\x9f\\Jos\xc3\xa9"),
              u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\П\\José]");
    EXPECT_EQ(registryKeyName(HKEY_LOCAL_MACHINE, "Software\\Jos\xc3\xa9"), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Jos\xc3\xa9");
}

TEST_F(UndoText, KeysNameTheirHiveInCapitals) {
    EXPECT_EQ(undoKeyLine(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Run"), u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Run]");
    EXPECT_EQ(registryKeyName(HKEY_LOCAL_MACHINE, "system\\ControlSet001"), "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001");
    EXPECT_EQ(registryKeyName(HKEY_LOCAL_MACHINE, "Systems\\x"), "HKEY_LOCAL_MACHINE\\Systems\\x");
    EXPECT_EQ(registryKeyName(HKEY_CURRENT_USER, "Software"), "HKEY_CURRENT_USER\\SOFTWARE");
    EXPECT_EQ(registryKeyName(HKEY_LOCAL_MACHINE, "Software\\Jos\xe9"), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Jos\xc3\xa9");
}

TEST_F(UndoText, TheFileIsTheRegistryEditorsByteForByte) {
    using namespace std::string_literals;
    utf8();
    const std::string path = ::testing::TempDir() + "quorvane-undo-test.reg";
    UndoFile undo;
    std::string error;
    ASSERT_TRUE(undo.open(path, error)) << error;
    undo.addValue(HKEY_LOCAL_MACHINE, "Software\\Jos\xc3\xa9", value("Jos\xc3\xa9", REG_SZ, "x\0"s));
    undo.addValue(HKEY_LOCAL_MACHINE, "Software\\Jos\xc3\xa9", value("d", REG_DWORD, "\x01\0\0\0"s));
    undo.addKeys(HKEY_LOCAL_MACHINE,
                 {RegistryKeyCopy{"SYSTEM\\\xd0\xa1", {value("\xd0\xa1", REG_MULTI_SZ, "\xd0\xb0\0\0"s)}},
                  RegistryKeyCopy{"SYSTEM\\\xd0\xa1\\E", {}}});
    EXPECT_FALSE(undo.hasFailed());
    ASSERT_TRUE(undo.close());
    EXPECT_EQ(fileContent(path), "\xff\xfe" + littleEndian(u"Windows Registry Editor Version 5.00\r\n"
                                                          u"\r\n"
                                                          u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\José]\r\n"
                                                          u"\"José\"=\"x\"\r\n"
                                                          u"\"d\"=dword:00000001\r\n"
                                                          u"\r\n"
                                                          u"[HKEY_LOCAL_MACHINE\\SYSTEM\\С]\r\n"
                                                          u"\"С\"=hex(7):30,04,00,00,00,00\r\n"
                                                          u"\r\n"
                                                          u"[HKEY_LOCAL_MACHINE\\SYSTEM\\С\\E]\r\n"));
    std::remove(path.c_str());
}

TEST_F(UndoText, AFailedWriteIsKnownAtOnce) {
    using namespace std::string_literals;
    UndoFile undo;
    std::string error;
    EXPECT_FALSE(undo.open(::testing::TempDir() + "no-such-folder/u.reg", error));
    EXPECT_NE(error.find("no-such-folder/u.reg: "), std::string::npos) << error;
    EXPECT_FALSE(undo.hasFailed()) << "nothing was to be written";
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    EXPECT_FALSE(undo.open("/dev/full", error)) << "its first line cannot be written";
    EXPECT_EQ(error.rfind("--undo /dev/full: cannot be written: ", 0), 0u) << error;
    EXPECT_TRUE(undo.hasFailed());
    undo.addValue(HKEY_LOCAL_MACHINE, "Software", value("n", REG_SZ, "x\0"s));
    EXPECT_TRUE(undo.hasFailed());
    EXPECT_FALSE(undo.close());
}

TEST_F(UndoText, CodePageBytesBecomeUtf8AndLoneSurrogatesAReplacement) {
    EXPECT_EQ(ansiToUtf8("a\x80\xe9"), "a\xe2\x82\xac\xc3\xa9");
    EXPECT_EQ(ansiToUtf8(""), "");
    EXPECT_EQ(wideToUtf8({0xD83D, 0xDE00}), "\xf0\x9f\x98\x80");
    EXPECT_EQ(wideToUtf8({0xD83D, 'a'}), "\xef\xbf\xbd" "a");
    EXPECT_EQ(wideToUtf8({0xDE00}), "\xef\xbf\xbd");
    EXPECT_EQ(ansiToWide("a\0b", 3), (std::vector<WCHAR>{'a', 0, 'b'}));
}

TEST_F(UndoText, InUtf8TheReportGetsTheTextItselfAndAlwaysUtf8) {
    utf8();
    const std::string text = "C:\\Users\\Jos\xc3\xa9\\\xd0\x9f\xd1\x80\\\xe6\xbc\xa2\\\xf0\x9f\x98\x80.exe";
    EXPECT_EQ(ansiToUtf8(text.c_str()), text);
    EXPECT_EQ(ansiToUtf8("a\xff" "b"), "a\xef\xbf\xbd" "b");
    EXPECT_EQ(ansiToUtf8("\xed\xa0\x80"), "\xef\xbf\xbd") << "a lone half is no UTF-8";
}

TEST(OfflineServices, AnImagePathStartsTheFileByItsPathInAnySpelling) {
    sim::reset(); // the Windows folder is C:\WINDOWS
    const std::string file = "C:\\WINDOWS\\System32\\kernel16.exe";
    for (const char* image : {"C:\\WINDOWS\\System32\\kernel16.exe", "\"c:\\windows\\system32\\KERNEL16.EXE\" -k",
                              "\\SystemRoot\\System32\\kernel16.exe", "%SystemRoot%\\system32\\kernel16.exe /s",
                              "%windir%\\System32\\kernel16.exe", "System32\\kernel16.exe",
                              "\\??\\C:\\WINDOWS\\System32\\kernel16.exe"}) {
        EXPECT_TRUE(imageRunsFile(image, file)) << image;
    }
    for (const char* image : {"C:\\Program Files\\X\\kernel16.exe", "C:\\WINDOWS\\System32\\kernel16.exe.old",
                              "kernel16.exe", "C:\\WINDOWS\\System32\\xkernel16.exe", "", "\""}) {
        EXPECT_FALSE(imageRunsFile(image, file)) << image;
    }
}

} // namespace
