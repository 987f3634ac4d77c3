#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine_test.h"
#include "restart_delete.h"
#include "version_probe.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>

#include "fake_windows.h"
#endif

namespace {

namespace fs = std::filesystem;

const char* const entrySource = "C:\\QV\\A.EXE";
const std::string entryLine = "NUL=C:\\QV\\A.EXE\r\n";
// The two files the rewrite keeps beside the restart file while it works.
const char* const freshName = "qvwinini.new";
const char* const asideName = "qvwinini.old";

std::string hostPathOf(const std::string& windowsPath) {
#ifdef _WIN32
    return windowsPath;
#else
    return sim::hostPathOf(windowsPath);
#endif
}

bool readHostFile(const std::string& hostPath, std::string& content) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void writeHostFile(const std::string& hostPath, const std::string& content) {
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + hostPath);
}

// Removes whatever lies at the Windows path, read-only or a folder.
void removeEntry(const std::string& windowsPath) {
    const fs::path host = hostPathOf(windowsPath);
    std::error_code ignored;
    fs::permissions(host, fs::perms::owner_write, fs::perm_options::add, ignored);
    SetFileAttributesA(windowsPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(host, ignored);
}

// The restart file in the Windows folder of the machine the test runs on:
// whatever file was there is put back afterwards. Natively the machine is
// fresh and the Windows folder is made when it has none.
class RestartFile : public EngineTest {
protected:
    RestartFile() : windows(windowsFolder()), iniPath(windows + "\\wininit.ini") {
        fs::create_directories(hostPathOf(windows));
        hadFile_ = readHostFile(hostPathOf(iniPath), saved_);
        clearAll();
    }
    ~RestartFile() override {
        clearAll();
        if (hadFile_) writeHostFile(hostPathOf(iniPath), saved_);
    }

    void put(const std::string& content) const { writeHostFile(hostPathOf(iniPath), content); }
    void putBeside(const char* name, const std::string& content) const {
        writeHostFile(hostPathOf(windows + "\\" + name), content);
    }
    bool present() const { return GetFileAttributesA(iniPath.c_str()) != INVALID_FILE_ATTRIBUTES; }
    bool presentBeside(const char* name) const {
        return GetFileAttributesA((windows + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::string content() const {
        std::string text;
        if (!readHostFile(hostPathOf(iniPath), text)) ADD_FAILURE() << "no restart file";
        return text;
    }
    std::set<std::string> windowsFolderNames() const {
        const std::vector<std::string> names = listNames(windows + "\\*");
        return {names.begin(), names.end()};
    }
    static bool add(const char* source = entrySource) { return addRenameEntry("NUL", source); }

    // One restart file before the entry is added, and after.
    struct Rewrite {
        const char* what;
        std::string before;
        std::string after;
    };
    void expectRewrites(const std::vector<Rewrite>& rewrites) const {
        for (const Rewrite& rewrite : rewrites) {
            SCOPED_TRACE(rewrite.what);
            put(rewrite.before);
            EXPECT_TRUE(add());
            EXPECT_EQ(content(), rewrite.after);
        }
    }

    const std::string windows;
    const std::string iniPath;

private:
    void clearAll() const {
        removeEntry(iniPath);
        removeEntry(windows + "\\" + freshName);
        removeEntry(windows + "\\" + asideName);
    }

    bool hadFile_ = false;
    std::string saved_;
};

TEST_F(RestartFile, NoFileGivesOneWithTheHeaderAndTheEntryAlone) {
    ASSERT_FALSE(present());
    EXPECT_TRUE(add());
    EXPECT_EQ(content(), "[rename]\r\n" + entryLine);
}

TEST_F(RestartFile, EntryIsTheLastLineOfTheFirstRenameSection) {
    expectRewrites({
        {"another section follows",
         "[boot]\r\nshell=x\r\n[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nk=v\r\n",
         "[boot]\r\nshell=x\r\n[rename]\r\nNUL=C:\\OLD.EXE\r\n" + entryLine + "[other]\r\nk=v\r\n"},
        {"rename is the last section",
         "[boot]\r\n[rename]\r\nNUL=C:\\OLD.EXE\r\n",
         "[boot]\r\n[rename]\r\nNUL=C:\\OLD.EXE\r\n" + entryLine},
        {"only the first rename section",
         "[rename]\r\nNUL=C:\\ONE.EXE\r\n[x]\r\n[rename]\r\nNUL=C:\\TWO.EXE\r\n",
         "[rename]\r\nNUL=C:\\ONE.EXE\r\n" + entryLine + "[x]\r\n[rename]\r\nNUL=C:\\TWO.EXE\r\n"},
        {"short lines all round",
         "a\r\n[rename]\r\nb\r\n[x]\r\n",
         "a\r\n[rename]\r\nb\r\n" + entryLine + "[x]\r\n"},
        {"a short header right after",
         "[rename]\r\n[a]\r\n",
         "[rename]\r\n" + entryLine + "[a]\r\n"},
    });
}

TEST_F(RestartFile, HeaderIsKnownByItsFirstEightCharactersInAnyCase) {
    expectRewrites({
        {"capitals", "[RENAME]\r\nNUL=C:\\OLD.EXE\r\n[x]\r\n", "[RENAME]\r\nNUL=C:\\OLD.EXE\r\n" + entryLine + "[x]\r\n"},
        {"mixed case", "[ReNaMe]\r\n[x]\r\n", "[ReNaMe]\r\n" + entryLine + "[x]\r\n"},
        {"more after the header", "[rename] old\r\n[x]\r\n", "[rename] old\r\n" + entryLine + "[x]\r\n"},
        {"leading space", " [rename]\r\nNUL=C:\\OLD.EXE\r\n[x]\r\n",
         " [rename]\r\nNUL=C:\\OLD.EXE\r\n[x]\r\n[rename]\r\n" + entryLine},
        {"a shorter name", "[renam]\r\n[x]\r\n", "[renam]\r\n[x]\r\n[rename]\r\n" + entryLine},
        {"a longer name", "[renamed]\r\n[x]\r\n", "[renamed]\r\n[x]\r\n[rename]\r\n" + entryLine},
    });
}

TEST_F(RestartFile, WithoutRenameSectionOneIsAppended) {
    expectRewrites({
        {"other sections", "[boot]\r\nshell=x\r\n[386Enh]\r\n", "[boot]\r\nshell=x\r\n[386Enh]\r\n[rename]\r\n" + entryLine},
        {"empty file", "", "[rename]\r\n" + entryLine},
    });
}

TEST_F(RestartFile, AppendedLinesStartOnALineOfTheirOwn) {
    expectRewrites({
        {"rename last", "[rename]\r\nNUL=C:\\OLD.EXE", "[rename]\r\nNUL=C:\\OLD.EXE\r\n" + entryLine},
        {"no rename section", "[boot]\r\nshell=x", "[boot]\r\nshell=x\r\n[rename]\r\n" + entryLine},
        {"the header alone", "[rename]", "[rename]\r\n" + entryLine},
        {"the header with a bare LF", "[rename]\n", "[rename]\n" + entryLine},
    });
}

TEST_F(RestartFile, LineEndsOfCopiedLinesAreKeptByteForByte) {
    expectRewrites({
        {"LF only", "[boot]\nshell=x\n[rename]\nNUL=C:\\OLD.EXE\n[x]\ny=1\n",
         "[boot]\nshell=x\n[rename]\nNUL=C:\\OLD.EXE\n" + entryLine + "[x]\ny=1\n"},
        {"mixed", "[boot]\r\nshell=x\n[rename]\r\nNUL=C:\\OLD.EXE\n", "[boot]\r\nshell=x\n[rename]\r\nNUL=C:\\OLD.EXE\n" + entryLine},
        {"a lone CR is no line end", "[rename]\r\nNUL=C:\\OLD.EXE\r[x]\r\n",
         "[rename]\r\nNUL=C:\\OLD.EXE\r[x]\r\n" + entryLine},
    });
}

TEST_F(RestartFile, LongLinesAreLinesWholeNeverHeaders) {
    const std::string pad(647, 'x');
    const std::string huge(100000, 'y');
    expectRewrites({
        {"'[' at 647 inside rename", "[rename]\r\nNUL=C:\\OLD.EXE\r\n" + pad + "[other]\r\n",
         "[rename]\r\nNUL=C:\\OLD.EXE\r\n" + pad + "[other]\r\n" + entryLine},
        {"'[rename]' at 647", "[boot]\r\n" + pad + "[rename]\r\n[x]\r\n",
         "[boot]\r\n" + pad + "[rename]\r\n[x]\r\n[rename]\r\n" + entryLine},
        {"a line of 100000 characters", "[rename]\r\n" + huge + "\r\n[x]\r\n",
         "[rename]\r\n" + huge + "\r\n" + entryLine + "[x]\r\n"},
    });
}

TEST_F(RestartFile, HeadersAreFoundAcrossEveryReadBoundary) {
    // Headers start at each offset around the first few 512-byte blocks of
    // a plain reader; wherever they fall, they are seen.
    for (size_t length = 490; length < 530; ++length) {
        SCOPED_TRACE(length);
        const std::string filler = "k=" + std::string(length, 'v') + "\r\n";
        put("[rename]\r\n" + filler + "[x]\r\n");
        ASSERT_TRUE(add());
        ASSERT_EQ(content(), "[rename]\r\n" + filler + entryLine + "[x]\r\n");
        put(filler + "[rename]\r\n" + filler + "[x]\r\n");
        ASSERT_TRUE(add());
        ASSERT_EQ(content(), filler + "[rename]\r\n" + filler + entryLine + "[x]\r\n");
    }
}

TEST_F(RestartFile, CallsInARowAddOneEntryEachInTheirOrder) {
    EXPECT_TRUE(add("C:\\ONE.EXE"));
    EXPECT_TRUE(add("C:\\TWO.EXE"));
    EXPECT_EQ(content(), "[rename]\r\nNUL=C:\\ONE.EXE\r\nNUL=C:\\TWO.EXE\r\n");

    put("[rename]\r\n[x]\r\n");
    EXPECT_TRUE(add("C:\\ONE.EXE"));
    EXPECT_TRUE(add("C:\\TWO.EXE"));
    EXPECT_EQ(content(), "[rename]\r\nNUL=C:\\ONE.EXE\r\nNUL=C:\\TWO.EXE\r\n[x]\r\n");
}

TEST_F(RestartFile, OtherDestinationsAreWrittenAsGiven) {
    EXPECT_TRUE(addRenameEntry("C:\\NEW.EXE", "C:\\OLD.EXE"));
    EXPECT_EQ(content(), "[rename]\r\nC:\\NEW.EXE=C:\\OLD.EXE\r\n");
}

TEST_F(RestartFile, EntriesThatWouldNotReadBackAsOneLineAreRefused) {
    const std::string before = "[rename]\r\nNUL=C:\\OLD.EXE\r\n";
    const char* const refused[][2] = {
        {"", "C:\\A.EXE"},         {"NUL", ""},           {"A=B", "C:\\A.EXE"},
        {"NUL", "C:\\A\r\n[x]"},   {"NUL", "C:\\A\nB"},   {"N\rUL", "C:\\A.EXE"},
    };
    for (const auto& entry : refused) {
        SCOPED_TRACE(std::string(entry[0]) + "=" + entry[1]);
        removeEntry(iniPath);
        EXPECT_FALSE(addRenameEntry(entry[0], entry[1]));
        EXPECT_FALSE(present());
        put(before);
        EXPECT_FALSE(addRenameEntry(entry[0], entry[1]));
        EXPECT_EQ(content(), before);
    }
}

TEST_F(RestartFile, NothingIsLeftBesideTheRestartFile) {
    const std::set<std::string> namesBefore = windowsFolderNames();
    EXPECT_TRUE(add());
    put("[boot]\r\n");
    EXPECT_TRUE(add());
    std::set<std::string> expected = namesBefore;
    expected.insert("wininit.ini");
    EXPECT_EQ(windowsFolderNames(), expected);
}

TEST_F(RestartFile, ReadOnlyRestartFileIsReplacedAllTheSame) {
    put("[rename]\r\nNUL=C:\\OLD.EXE\r\n");
    ASSERT_TRUE(SetFileAttributesA(iniPath.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(add());
    EXPECT_EQ(content(), "[rename]\r\nNUL=C:\\OLD.EXE\r\n" + entryLine);
    EXPECT_FALSE(presentBeside(asideName));
}

TEST_F(RestartFile, AnInterruptedReplacementIsMendedFirst) {
    // Cut short between its two moves: the old content aside, no restart file.
    putBeside(asideName, "[rename]\r\nNUL=C:\\OLD.EXE\r\n");
    EXPECT_TRUE(add());
    EXPECT_EQ(content(), "[rename]\r\nNUL=C:\\OLD.EXE\r\n" + entryLine);
    EXPECT_FALSE(presentBeside(asideName));

    // Cut short after them: the aside file is stale, the restart file counts.
    put("[rename]\r\nNUL=C:\\NEW.EXE\r\n");
    putBeside(asideName, "[rename]\r\nNUL=C:\\STALE.EXE\r\n");
    putBeside(freshName, "[rename]\r\nNUL=C:\\HALF");
    EXPECT_TRUE(add());
    EXPECT_EQ(content(), "[rename]\r\nNUL=C:\\NEW.EXE\r\n" + entryLine);
    EXPECT_FALSE(presentBeside(asideName));
    EXPECT_FALSE(presentBeside(freshName));
}

TEST_F(RestartFile, RestartFileThatCannotBeOpenedIsLeftAsItIs) {
    ASSERT_TRUE(CreateDirectoryA(iniPath.c_str(), nullptr));
    EXPECT_FALSE(add());
    EXPECT_EQ(GetFileAttributesA(iniPath.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(presentBeside(freshName));
    EXPECT_FALSE(presentBeside(asideName));
}

// The file the engine cannot delete now: a long name, so that its short
// path differs from it.
std::string lockedFile(const TestFolder& folder) {
    folder.writeFile("Locked Program File.exe", "locked");
    return folder.path("Locked Program File.exe");
}

const char* const sessionManagerKey = "System\\CurrentControlSet\\Control\\Session Manager";
const char* const pendingValue = "PendingFileRenameOperations";

// The NT delayed-deletion queue as its raw REG_MULTI_SZ bytes; empty when
// there is none.
std::string pendingOperations() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManagerKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
    DWORD type = 0;
    DWORD size = 0;
    std::string bytes;
    if (RegQueryValueExA(key, pendingValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size > 0) {
        bytes.resize(size);
        if (RegQueryValueExA(key, pendingValue, nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size) !=
                ERROR_SUCCESS ||
            type != REG_MULTI_SZ) {
            ADD_FAILURE() << "unreadable " << pendingValue;
        }
        bytes.resize(size);
    }
    RegCloseKey(key);
    return bytes;
}

// Under Wine the queue lives in the prefix's registry: whatever the tests
// add to it goes again.
class DelayedDeletionQueue {
public:
    DelayedDeletionQueue() : saved_(pendingOperations()) {}
    ~DelayedDeletionQueue() {
#ifdef _WIN32
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, sessionManagerKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        if (saved_.empty()) {
            RegDeleteValueA(key, pendingValue);
        } else {
            RegSetValueExA(key, pendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(saved_.data()),
                           static_cast<DWORD>(saved_.size()));
        }
        RegCloseKey(key);
#endif
    }
    DelayedDeletionQueue(const DelayedDeletionQueue&) = delete;
    DelayedDeletionQueue& operator=(const DelayedDeletionQueue&) = delete;

    const std::string& saved() const { return saved_; }

private:
    std::string saved_;
};

// Runs on the 9x family: natively the machine plays one; under Wine the
// harness's version must be one.
class NineXFamily : public RestartFile {
protected:
    void SetUp() override {
#ifndef _WIN32
        sim::setVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
#endif
        if (getWinVersionClass() != winVersion9x) GTEST_SKIP() << "not a 9x system";
    }
    DelayedDeletionQueue queue;
};

TEST_F(NineXFamily, QueuesTheShortPathAsADeletionInTheRestartFile) {
    const std::string path = lockedFile(folder);
    char shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath), 0u);
    ASSERT_NE(std::string(shortPath), path);
    EXPECT_EQ(scheduleDeleteAtRestart(path.c_str()), 1);
    EXPECT_EQ(content(), "[rename]\r\nNUL=" + std::string(shortPath) + "\r\n");
    EXPECT_EQ(pendingOperations(), queue.saved());
}

TEST_F(NineXFamily, FileWithoutShortPathIsNotQueued) {
    EXPECT_EQ(scheduleDeleteAtRestart(folder.path("gone.exe").c_str()), 0);
    EXPECT_FALSE(present());
}

TEST_F(NineXFamily, FailedRewriteIsNotReportedAsQueued) {
    const std::string path = lockedFile(folder);
    ASSERT_TRUE(CreateDirectoryA(iniPath.c_str(), nullptr));
    EXPECT_EQ(scheduleDeleteAtRestart(path.c_str()), 0);
}

// Runs on the NT family, likewise.
class NtFamily : public RestartFile {
protected:
    void SetUp() override {
#ifndef _WIN32
        sim::setVersion(VER_PLATFORM_WIN32_NT, 5, 1);
#endif
        if (getWinVersionClass() != winVersionNt) GTEST_SKIP() << "not an NT system";
    }
    DelayedDeletionQueue queue;
};

TEST_F(NtFamily, QueuesTheFileInTheDelayedDeletionQueue) {
    const std::string path = lockedFile(folder);
    EXPECT_EQ(scheduleDeleteAtRestart(path.c_str()), 1);
    // Each entry is the file's NT path and an empty new name; the list ends
    // in one more zero.
    std::string expected = queue.saved();
    if (!expected.empty()) expected.pop_back();
    expected += "\\??\\" + path + std::string(3, '\0');
    EXPECT_EQ(pendingOperations(), expected);
    EXPECT_FALSE(present());
}

#ifndef _WIN32

// While it lives, no file of the process may grow beyond `bytes`: a write
// past that fails as on a full disk (EFBIG, the signal ignored).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        if (setrlimit(RLIMIT_FSIZE, &limited) != 0) throw std::runtime_error("cannot limit file sizes");
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(RestartFile, FailedWriteInTheMiddleLeavesTheRestartFileAsItWas) {
    std::string before = "[boot]\r\nshell=x\r\n[rename]\r\n";
    for (int i = 0; before.size() < 64 * 1024; ++i) before += "NUL=C:\\OLD" + std::to_string(i) + ".EXE\r\n";
    put(before);
    {
        const FileSizeLimit limit(16 * 1024);
        EXPECT_FALSE(add());
    }
    EXPECT_EQ(content(), before);
    EXPECT_FALSE(presentBeside(freshName));
    EXPECT_FALSE(presentBeside(asideName));
    sim::setVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    const std::string path = lockedFile(folder);
    {
        const FileSizeLimit limit(16 * 1024);
        EXPECT_EQ(scheduleDeleteAtRestart(path.c_str()), 0);
    }
    EXPECT_EQ(content(), before);
}

TEST_F(RestartFile, FailedReadLeavesTheRestartFileAsItWas) {
    const std::string before = "[rename]\r\nNUL=C:\\OLD.EXE\r\n";
    put(before);
    sim::setUnreadable(iniPath, true);
    EXPECT_FALSE(add());
    sim::setUnreadable(iniPath, false);
    EXPECT_EQ(content(), before);
    EXPECT_FALSE(presentBeside(freshName));
    EXPECT_FALSE(presentBeside(asideName));
}

TEST_F(RestartFile, SystemOfNeitherFamilyQueuesNothing) {
    const std::string path = lockedFile(folder);
    const DelayedDeletionQueue queue;
    sim::setVersion(VER_PLATFORM_WIN32s, 3, 11);
    EXPECT_EQ(scheduleDeleteAtRestart(path.c_str()), 0);
    EXPECT_FALSE(present());
    EXPECT_EQ(pendingOperations(), queue.saved());
}

TEST_F(NtFamily, RefusedRequestIsNotReportedAsQueued) {
    // A queue value that is no list of strings: the system will not add to it.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, sessionManagerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const char damaged[] = "not a list";
    ASSERT_EQ(RegSetValueExA(key, pendingValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(damaged), sizeof damaged),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string path = lockedFile(folder);
    ASSERT_FALSE(MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)); // as the machine behaves
    EXPECT_EQ(scheduleDeleteAtRestart(path.c_str()), 0);
    EXPECT_FALSE(present());
}

#endif // _WIN32

} // namespace
