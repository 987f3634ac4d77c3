// What the engine relies on from the system, checked on the simulated
// machine and, built for Windows, against the real calls under Wine: the
// simulated machine must not promise what a real one does not do.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine_test.h"

namespace {

using Platform = EngineTest;

std::set<std::string> asSet(const std::vector<std::string>& names) { return {names.begin(), names.end()}; }

TEST_F(Platform, StarDotStarListsEverythingWithDotEntriesFirst) {
    folder.writeFile("b.txt");
    folder.writeFile("noext");
    folder.makeFolder("sub");
    const auto names = listNames(folder.path() + "\\*.*");
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(names[0], ".");
    EXPECT_EQ(names[1], "..");
    EXPECT_EQ(asSet(names), (std::set<std::string>{".", "..", "b.txt", "noext", "sub"}));
    EXPECT_EQ(asSet(listNames(folder.path() + "\\*")), asSet(names));
}

TEST_F(Platform, NameDotStarMatchesTheBareNameAndAnyExtension) {
    folder.writeFile("abc");
    folder.writeFile("abc.exe");
    folder.writeFile("ABC.TXT");
    folder.makeFolder("abc.old");
    folder.writeFile("abcd.exe");
    EXPECT_EQ(asSet(listNames(folder.path() + "\\abc.*")),
              (std::set<std::string>{"abc", "abc.exe", "ABC.TXT", "abc.old"}));
}

TEST_F(Platform, WildcardsMatchAnyCaseAndStarsAloneMatchEverything) {
    folder.writeFile("abc.exe");
    folder.writeFile("ABD.EXE");
    folder.writeFile("abcd.txt");
    folder.writeFile("x");
    const std::set<std::string> all{".", "..", "abc.exe", "ABD.EXE", "abcd.txt", "x"};
    EXPECT_EQ(asSet(listNames(folder.path() + "\\*")), all);
    EXPECT_EQ(asSet(listNames(folder.path() + "\\**")), all);
    EXPECT_EQ(asSet(listNames(folder.path() + "\\*.*")), all);
    EXPECT_EQ(asSet(listNames(folder.path() + "\\a*.EXE")), (std::set<std::string>{"abc.exe", "ABD.EXE"}));
    EXPECT_EQ(asSet(listNames(folder.path() + "\\A?C.*")), (std::set<std::string>{"abc.exe"}));
    EXPECT_EQ(asSet(listNames(folder.path() + "\\*.t?t")), (std::set<std::string>{"abcd.txt"}));
}

TEST_F(Platform, PlainPathListsThatOneEntryWithItsOwnSpelling) {
    folder.writeFile("Setup.Exe");
    EXPECT_EQ(listNames(folder.path("SETUP.EXE")), std::vector<std::string>{"Setup.Exe"});
}

TEST_F(Platform, ListingErrorsSayWhatIsMissing) {
    WIN32_FIND_DATAA found;
    EXPECT_EQ(FindFirstFileA((folder.path("nope") + "\\*.*").c_str(), &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    folder.writeFile("a.txt");
    EXPECT_EQ(FindFirstFileA((folder.path() + "\\zzz*.q").c_str(), &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Platform, AttributesTellFoldersFilesAndReadOnly) {
    folder.writeFile("plain.txt");
    folder.makeFolder("dir");
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA(folder.path("dir").c_str(), &found);
    ASSERT_NE(listing, INVALID_HANDLE_VALUE);
    FindClose(listing);
    EXPECT_TRUE(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);

    const std::string plain = folder.path("plain.txt");
    EXPECT_FALSE(GetFileAttributesA(plain.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(SetFileAttributesA(plain.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesA(plain.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(DeleteFileA(plain.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(SetFileAttributesA(plain.c_str(), FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(DeleteFileA(plain.c_str()));
    EXPECT_FALSE(folder.exists("plain.txt"));
}

TEST_F(Platform, NamesMatchWhateverTheirLetterCase) {
    folder.writeFile("Dir/File.Bin", "12345");
    EXPECT_EQ(_access(folder.path("DIR\\FILE.BIN").c_str(), 0), 0);
    EXPECT_EQ(_access(folder.path("dir\\nope.bin").c_str(), 0), -1);
    const int fd = _open(folder.path("dir\\file.bin").c_str(), _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(_filelength(fd), 5);
    char buffer[8] = {};
    EXPECT_EQ(_lseek(fd, 3, SEEK_SET), 3);
    EXPECT_EQ(_read(fd, buffer, sizeof buffer), 2);
    EXPECT_STREQ(buffer, "45");
    EXPECT_EQ(_close(fd), 0);
}

TEST_F(Platform, FoldersCannotBeOpenedAsFiles) {
    folder.makeFolder("dir");
    EXPECT_EQ(_open(folder.path("dir").c_str(), _O_RDONLY | _O_BINARY), -1);
}

TEST_F(Platform, RootOfDriveCIsFixed) {
    EXPECT_EQ(GetDriveTypeA("C:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeA("Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

} // namespace
