#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ansi_text.h"
#include "offline_services.h"
#include "fake_windows.h"
#include "undo_file.h"

namespace {

RegistryValueCopy value(const char* name, DWORD type, const std::string& bytes) {
    return RegistryValueCopy{name, type, std::vector<unsigned char>(bytes.begin(), bytes.end())};
}

TEST(UndoFile, EachTypeIsWrittenSoThatImportingGivesTheSameBytes) {
    using namespace std::string_literals;
    EXPECT_EQ(undoValueLine(value("Run", REG_SZ, "C:\\a \"b\".exe\0"s)), "\"Run\"=\"C:\\\\a \\\"b\\\".exe\"");
    EXPECT_EQ(undoValueLine(value("", REG_SZ, "\0"s)), "@=\"\"");
    // Not plain text: no closing zero, a character outside ASCII.
    EXPECT_EQ(undoValueLine(value("n", REG_SZ, "ab"s)), "\"n\"=hex(1):61,00,62,00");
    EXPECT_EQ(undoValueLine(value("n", REG_SZ, "\x80\0"s)), "\"n\"=hex(1):ac,20,00,00");
    EXPECT_EQ(undoValueLine(value("e", REG_EXPAND_SZ, "%a%\0"s)), "\"e\"=hex(2):25,00,61,00,25,00,00,00");
    EXPECT_EQ(undoValueLine(value("m", REG_MULTI_SZ, "a\0b\0\0"s)), "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00");
    EXPECT_EQ(undoValueLine(value("d", REG_DWORD, "\x2a\0\0\x01"s)), "\"d\"=dword:0100002a");
    EXPECT_EQ(undoValueLine(value("d", REG_DWORD, "\x2a\0"s)), "\"d\"=hex(4):2a,00");
    EXPECT_EQ(undoValueLine(value("b", REG_BINARY, "\xde\xad"s)), "\"b\"=hex:de,ad");
    EXPECT_EQ(undoValueLine(value("q", 11, "\x01"s)), "\"q\"=hex(b):01");
    EXPECT_EQ(undoValueLine(value("\xe9", REG_BINARY, ""s)), "\"\xc3\xa9\"=hex:");
}

TEST(UndoFile, KeysNameTheirHiveInCapitals) {
    EXPECT_EQ(undoKeyLine(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Run"), "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Run]");
    EXPECT_EQ(registryKeyName(HKEY_LOCAL_MACHINE, "system\\ControlSet001"), "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001");
    EXPECT_EQ(registryKeyName(HKEY_LOCAL_MACHINE, "Systems\\x"), "HKEY_LOCAL_MACHINE\\Systems\\x");
    EXPECT_EQ(registryKeyName(HKEY_CURRENT_USER, "Software"), "HKEY_CURRENT_USER\\SOFTWARE");
}

TEST(AnsiText, CodePageBytesBecomeUtf8AndLoneSurrogatesAReplacement) {
    EXPECT_EQ(ansiToUtf8("a\x80\xe9"), "a\xe2\x82\xac\xc3\xa9");
    EXPECT_EQ(ansiToUtf8(""), "");
    EXPECT_EQ(wideToUtf8({0xD83D, 0xDE00}), "\xf0\x9f\x98\x80");
    EXPECT_EQ(wideToUtf8({0xD83D, 'a'}), "\xef\xbf\xbd" "a");
    EXPECT_EQ(wideToUtf8({0xDE00}), "\xef\xbf\xbd");
    EXPECT_EQ(ansiToWide("a\0b", 3), (std::vector<WCHAR>{'a', 0, 'b'}));
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
