// The quarantine store on the host's own files: items round trip byte for
// byte, records keep what they were given, damage is refused with a reason,
// a killed run's leftovers never count, a hostile folder is read within
// bounds, and nothing of our samples is recognisable in an item.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#include <process.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "file_time.h"
#include "pe_sample.h"
#include "program_version.h"
#include "quarantine_content.h"
#include "quarantine_files.h"
#include "quarantine_record.h"
#include "quarantine_store.h"
#include "sha256.h"
#include "text_sample.h"

namespace qf = quarantine_files;

namespace {

using Bytes = std::vector<unsigned char>;

constexpr uint64_t fileTimeOf1970 = 116444736000000000; // 1970-01-01 in 100-ns ticks since 1601
constexpr uint32_t readOnlyHiddenSystemArchive = 0x01 | 0x02 | 0x04 | 0x20;
constexpr size_t largeLength = 3 * 1024 * 1024 + 17; // several read and write chunks, and an odd tail
constexpr size_t peHeaderOffsetField = 60;

std::string hostTemporaryFolder() {
#ifdef _WIN32
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof path, path);
    return length > 0 && length < sizeof path ? std::string(path, length) : std::string(".\\");
#else
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? std::string(folder) + "/" : std::string("/tmp/");
#endif
}

int processId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

void removeEmptyFolder(const std::string& path) {
#ifdef _WIN32
    _rmdir(path.c_str());
#else
    rmdir(path.c_str());
#endif
}

// A folder of its own for each test, emptied and removed afterwards.
class QuarantineStore : public ::testing::Test {
  protected:
    void SetUp() override {
        static int made = 0;
        folder_ = hostTemporaryFolder() + "quarantine-test-" + std::to_string(processId()) + "-" + std::to_string(++made);
        std::string error;
        ASSERT_TRUE(qf::makeFolder(folder_, error)) << error;
    }
    void TearDown() override {
        std::vector<std::string> names;
        std::string error;
        qf::listFolder(folder_, names, error);
        for (const std::string& name : names) {
            if (!qf::removeFile(path(name), error)) removeEmptyFolder(path(name));
        }
        removeEmptyFolder(folder_);
    }
    std::string path(const std::string& name) const { return qf::joinPath(folder_, name); }
    void put(const std::string& name, const std::string& bytes) {
        std::string error;
        qf::removeFile(path(name), error);
        ASSERT_TRUE(qf::writeNewFile(path(name), bytes, error)) << error;
    }
    std::string get(const std::string& name) {
        std::string bytes, error;
        EXPECT_TRUE(qf::readFileAtMost(path(name), quarantineMaxContentLength * 2, bytes, error)) << error;
        return bytes;
    }
    std::string store(const Bytes& content, const QuarantineRecord& about = sampleRecord()) {
        std::string name, error;
        EXPECT_TRUE(storeItem(folder_, about, content, name, error)) << error;
        return name;
    }
    std::vector<ListedItem> listed() {
        std::vector<ListedItem> items;
        std::string error;
        EXPECT_TRUE(listItems(folder_, items, error)) << error;
        return items;
    }
    std::string readError(const std::string& name) {
        QuarantineRecord record;
        Bytes content;
        std::string error;
        EXPECT_FALSE(readItem(folder_, name, record, content, error));
        return error;
    }

    static QuarantineRecord sampleRecord() {
        QuarantineRecord r;
        r.originalPath = "C:\\WINDOWS\\SYSTEM\\EVIL.EXE";
        r.hostPath = "/mnt/win/WINDOWS/SYSTEM/EVIL.EXE";
        r.hasWindowsAttributes = true;
        r.windowsAttributes = readOnlyHiddenSystemArchive;
        r.modified = fileTimeOf1970 + 1;
        r.hasCreated = true;
        r.created = fileTimeOf1970 + 2;
        r.hasAccessed = true;
        r.accessed = UINT64_MAX;
        r.detection = "Test.Detection";
        return r;
    }

    std::string folder_;
};

Bytes patterned(size_t length, unsigned seed) {
    Bytes bytes(length);
    uint32_t state = seed;
    for (auto& byte : bytes) {
        state = state * 1103515245u + 12345u; // a plain linear congruential filler
        byte = static_cast<unsigned char>(state >> 24);
    }
    return bytes;
}

bool contains(const std::string& haystack, const void* needle, size_t length) {
    return std::string(haystack).find(std::string(static_cast<const char*>(needle), length)) != std::string::npos;
}

} // namespace

// ---------------------------------------------------------------------------
// The record as text.

namespace {

QuarantineRecord fullRecord() {
    QuarantineRecord r;
    r.originalPath = "C:\\Odd\\a=b\\line\nfeed\rreturn\x01\x7f\\\\x41.exe";
    r.hostPath = "";
    r.length = 1234;
    r.sha256 = std::string(64, 'a');
    r.hasWindowsAttributes = true;
    r.windowsAttributes = UINT32_MAX;
    r.hasPosixMode = true;
    r.posixMode = 07755;
    r.modified = 1;
    r.hasCreated = true;
    r.created = 0;
    r.hasAccessed = true;
    r.accessed = UINT64_MAX;
    r.detection = "Name with spaces and \xc3\xa9";
    r.taken = fileTimeOf1970;
    r.version = "9.9";
    return r;
}

void expectSameRecord(const QuarantineRecord& a, const QuarantineRecord& b) {
    EXPECT_EQ(a.originalPath, b.originalPath);
    EXPECT_EQ(a.hostPath, b.hostPath);
    EXPECT_EQ(a.length, b.length);
    EXPECT_EQ(a.sha256, b.sha256);
    EXPECT_EQ(a.hasWindowsAttributes, b.hasWindowsAttributes);
    EXPECT_EQ(a.windowsAttributes, b.windowsAttributes);
    EXPECT_EQ(a.hasPosixMode, b.hasPosixMode);
    EXPECT_EQ(a.posixMode, b.posixMode);
    EXPECT_EQ(a.modified, b.modified);
    EXPECT_EQ(a.hasCreated, b.hasCreated);
    EXPECT_EQ(a.created, b.created);
    EXPECT_EQ(a.hasAccessed, b.hasAccessed);
    EXPECT_EQ(a.accessed, b.accessed);
    EXPECT_EQ(a.detection, b.detection);
    EXPECT_EQ(a.taken, b.taken);
    EXPECT_EQ(a.version, b.version);
}

std::string parseError(const std::string& text) {
    QuarantineRecord record;
    std::string error;
    EXPECT_FALSE(parseRecord(text, record, error)) << text;
    return error;
}

// The full record's text with the line of `key` replaced (or removed when
// `line` is empty).
std::string withLine(const std::string& key, const std::string& line) {
    std::string text = formatRecord(fullRecord());
    const size_t at = text.find("\n" + key + "=");
    const size_t end = text.find('\n', at + 1);
    return text.substr(0, at + 1) + (line.empty() ? "" : line + "\n") + text.substr(end + 1);
}

} // namespace

TEST(QuarantineRecord, EveryFieldAndAwkwardBytesComeBack) {
    const std::string text = formatRecord(fullRecord());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 14) << "one line per key and the first";
    EXPECT_NE(text.find("original-path=C:\\\\Odd\\\\a=b\\\\line\\nfeed\\rreturn\\x01\\x7F"), std::string::npos) << text;
    QuarantineRecord back;
    std::string error;
    ASSERT_TRUE(parseRecord(text, back, error)) << error;
    expectSameRecord(back, fullRecord());
}

TEST(QuarantineRecord, OptionalKeysMayBeAbsent) {
    QuarantineRecord r = fullRecord();
    r.hasWindowsAttributes = r.hasPosixMode = r.hasCreated = r.hasAccessed = false;
    r.windowsAttributes = r.posixMode = 0;
    r.created = r.accessed = 0;
    const std::string text = formatRecord(r);
    EXPECT_EQ(text.find("created="), std::string::npos);
    QuarantineRecord back = fullRecord();
    std::string error;
    ASSERT_TRUE(parseRecord(text, back, error)) << error;
    expectSameRecord(back, r);
}

TEST(QuarantineRecord, EachRequiredKeyMissingIsRefused) {
    for (const char* key : {"format", "original-path", "host-path", "length", "sha256", "modified", "detection",
                            "taken", "version"}) {
        EXPECT_EQ(parseError(withLine(key, "")), std::string("key ") + key + " missing");
    }
}

TEST(QuarantineRecord, BadNumbersAreRefused) {
    for (const char* value : {"", "12a", "-1", "+1", " 1", "0x10", "18446744073709551616", "000000000000000000001"})
        EXPECT_EQ(parseError(withLine("length", std::string("length=") + value)).substr(0, 10), "key length") << value;
    EXPECT_NE(parseError(withLine("windows-attributes", "windows-attributes=4294967296")), "");
    EXPECT_NE(parseError(withLine("posix-mode", "posix-mode=4096")), "");
    QuarantineRecord r;
    std::string error;
    EXPECT_TRUE(parseRecord(withLine("length", "length=18446744073709551615"), r, error)) << error;
    EXPECT_EQ(r.length, UINT64_MAX);
}

TEST(QuarantineRecord, MalformedTextIsRefused) {
    const std::string good = formatRecord(fullRecord());
    EXPECT_EQ(parseError(""), "not a quarantine record");
    EXPECT_EQ(parseError("quorvane-quarantine-record2\n" + good.substr(good.find('\n') + 1)), "not a quarantine record");
    EXPECT_EQ(parseError(good.substr(0, good.size() - 1)), "the record ends in the middle of a line");
    EXPECT_EQ(parseError(good + "detection=again\n"), "key detection given twice");
    EXPECT_EQ(parseError(good + "no equals sign\n"), "a line of the record has no key");
    EXPECT_EQ(parseError(good + "\n"), "a line of the record has no key");
    EXPECT_EQ(parseError(good + "Upper=1\n"), "a line of the record has no key");
    EXPECT_EQ(parseError(good + "note=\\q\n"), "bad escape in note");
    EXPECT_EQ(parseError(good + "note=\\x4\n"), "bad escape in note");
    EXPECT_EQ(parseError(good + "note=a\\\n"), "bad escape in note");
    EXPECT_EQ(parseError(good + std::string("note=\0\n", 7)), "the record holds a zero byte");
    EXPECT_EQ(parseError(withLine("sha256", "sha256=" + std::string(64, 'A'))), "key sha256 is not 64 lower-case hex digits");
    EXPECT_EQ(parseError(withLine("sha256", "sha256=" + std::string(63, 'a'))), "key sha256 is not 64 lower-case hex digits");
    EXPECT_EQ(parseError(withLine("format", "format=2")), "record format 2 unknown");
    EXPECT_EQ(parseError(good + "note=" + std::string(quarantineRecordMaxLength, 'x') + "\n"), "the record is too long");
}

TEST(QuarantineRecord, UnknownKeysAreIgnored) {
    QuarantineRecord r;
    std::string error;
    EXPECT_TRUE(parseRecord(formatRecord(fullRecord()) + "later-key=\\x41\n", r, error)) << error;
    expectSameRecord(r, fullRecord());
}

TEST(QuarantineRecord, PosixTimesBecomeFileTimes) {
    EXPECT_EQ(fileTimeFromPosix(0, 0), fileTimeOf1970);
    EXPECT_EQ(fileTimeFromPosix(1, 999999999), fileTimeOf1970 + 19999999);
    EXPECT_EQ(fileTimeFromPosix(-11644473600, 0), 0u);
    EXPECT_EQ(fileTimeFromPosix(-11644473601, 0), 0u);
    EXPECT_EQ(formatFileTime(fileTimeOf1970), "1970-01-01 00:00:00");
    EXPECT_EQ(formatFileTime(fileTimeFromPosix(951827696, 0)), "2000-02-29 12:34:56");
    EXPECT_EQ(formatFileTime(0), "1601-01-01 00:00:00");
    const uint64_t now = currentFileTime();
    EXPECT_GT(now, fileTimeFromPosix(1700000000, 0)); // after November 2023
}

// ---------------------------------------------------------------------------
// Items.

TEST_F(QuarantineStore, ContentComesBackByteForByteWithItsRecord) {
    for (const Bytes& content : {Bytes(), Bytes{0}, patterned(1000, 1), patterned(largeLength, 2)}) {
        QuarantineRecord about = sampleRecord();
        about.taken = fileTimeOf1970 + 3;
        const std::string name = store(content, about);
        QuarantineRecord record;
        Bytes back{1, 2, 3};
        std::string error;
        ASSERT_TRUE(readItem(folder_, name, record, back, error)) << error;
        EXPECT_TRUE(back == content) << "length " << content.size();
        about.length = content.size();
        about.sha256 = sha256Hex(content.data(), content.size());
        about.version = QUORVANE_PROGRAM_VERSION;
        expectSameRecord(record, about);
        EXPECT_EQ(get(name + ".qdata").size(), quarantineContentHeaderLength + content.size());
    }
}

TEST_F(QuarantineStore, TakenIsNowUnlessGiven) {
    const uint64_t before = currentFileTime();
    const std::string name = store(patterned(10, 3));
    QuarantineRecord record;
    Bytes content;
    std::string error;
    ASSERT_TRUE(readItem(folder_, name, record, content, error)) << error;
    EXPECT_GE(record.taken, before);
    EXPECT_LE(record.taken, currentFileTime());
}

TEST_F(QuarantineStore, PosixModeIsKept) {
    QuarantineRecord about = sampleRecord();
    about.hasWindowsAttributes = false;
    about.hasPosixMode = true;
    about.posixMode = 0640;
    const std::string name = store(patterned(10, 4), about);
    ASSERT_EQ(listed().size(), 1u);
    EXPECT_FALSE(listed()[0].record.hasWindowsAttributes);
    EXPECT_TRUE(listed()[0].record.hasPosixMode);
    EXPECT_EQ(listed()[0].record.posixMode, 0640u);
}

TEST_F(QuarantineStore, AnItemNeedsPathAndDetection) {
    QuarantineRecord about = sampleRecord();
    about.detection.clear();
    std::string name, error;
    EXPECT_FALSE(storeItem(folder_, about, Bytes{1}, name, error));
    EXPECT_TRUE(listed().empty());
}

TEST_F(QuarantineStore, ItemsOfOnePathAreKeptApartInTheOrderTaken) {
    const std::string first = store(patterned(100, 5));
    const std::string second = store(patterned(100, 6));
    const std::string third = store(patterned(100, 5)); // the same content again
    EXPECT_NE(first, second);
    EXPECT_NE(first, third);
    EXPECT_EQ(first.substr(0, 9), "00000001-");
    EXPECT_EQ(third.substr(0, 9), "00000003-");
    EXPECT_EQ(first.substr(9), third.substr(9)) << "the hash part is the content's";
    const std::vector<ListedItem> items = listed();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].name, first);
    EXPECT_EQ(items[1].name, second);
    EXPECT_EQ(items[2].name, third);
    QuarantineRecord record;
    Bytes content;
    std::string error;
    ASSERT_TRUE(readItem(folder_, second, record, content, error)) << error;
    EXPECT_TRUE(content == patterned(100, 6));
}

TEST_F(QuarantineStore, NamesAreSafeOnEveryFileSystem) {
    const std::string name = store(patterned(7, 7));
    EXPECT_TRUE(isItemName(name));
    for (char c : name) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == '-') << name;
    for (const char* bad : {"", "00000001-abcdef0", "00000001-abcdef0g", "00000001-ABCDEF01", "0000000a-abcdef01",
                            "00000001_abcdef01", "../00001-abcdef01", "00000001-abcdef012"})
        EXPECT_FALSE(isItemName(bad)) << bad;
    EXPECT_EQ(readError("../../etc/passwd"), "no item is named ../../etc/passwd");
    std::string error;
    EXPECT_FALSE(removeItem(folder_, "..\\x\nq", error));
    EXPECT_EQ(error, "no item is named ..\\x<0A>q");
}

TEST_F(QuarantineStore, ListLinesSayWhatWasTaken) {
    QuarantineRecord about = sampleRecord();
    about.taken = fileTimeFromPosix(951827696, 0);
    about.originalPath = "C:\\A\tB\nC.EXE";
    const std::string name = store(patterned(42, 8), about);
    EXPECT_EQ(listLine(listed().at(0)),
              name + "\t2000-02-29 12:34:56\t42\tTest.Detection\tC:\\A<09>B<0A>C.EXE");
}

// ---------------------------------------------------------------------------
// Damage.

TEST_F(QuarantineStore, ContentCutShortIsRefused) {
    const std::string name = store(patterned(500, 9));
    const std::string stored = get(name + ".qdata");
    put(name + ".qdata", stored.substr(0, stored.size() - 1));
    EXPECT_EQ(readError(name), "the content is cut short");
    EXPECT_EQ(listed().at(0).problem, "the content's length is not the record's");
    put(name + ".qdata", stored.substr(0, quarantineContentHeaderLength - 1));
    EXPECT_EQ(readError(name), "the content file is not one of ours");
}

TEST_F(QuarantineStore, ContentLongerThanTheRecordIsRefused) {
    const std::string name = store(patterned(500, 10));
    put(name + ".qdata", get(name + ".qdata") + "x");
    EXPECT_EQ(readError(name), qf::joinPath(folder_, name + ".qdata") + " is longer than expected");
    EXPECT_FALSE(listed().at(0).problem.empty());
}

TEST_F(QuarantineStore, WrongHashIsRefusedAndNothingIsGiven) {
    const std::string name = store(patterned(500, 11));
    std::string stored = get(name + ".qdata");
    stored[quarantineContentHeaderLength + 250] ^= 1;
    put(name + ".qdata", stored);
    QuarantineRecord record;
    record.detection = "untouched";
    Bytes content{9};
    std::string error;
    EXPECT_FALSE(readItem(folder_, name, record, content, error));
    EXPECT_EQ(error, "the content's SHA-256 is not the record's");
    EXPECT_EQ(record.detection, "untouched");
    EXPECT_TRUE(content == Bytes{9});
    EXPECT_TRUE(listed().at(0).problem.empty()) << "listing does not hash";
}

TEST_F(QuarantineStore, DamagedHeaderIsRefused) {
    const std::string name = store(patterned(64, 12));
    const std::string stored = get(name + ".qdata");
    std::string changed = stored;
    changed[0] = 'X';
    put(name + ".qdata", changed);
    EXPECT_EQ(readError(name), "the content file is not one of ours");
    changed = stored;
    changed[8] = 2; // the format version's low byte
    put(name + ".qdata", changed);
    EXPECT_EQ(readError(name), "the content file's format is unknown");
    changed = stored;
    changed[16] ^= 1; // the length's low byte
    put(name + ".qdata", changed);
    EXPECT_EQ(readError(name), "the content file's length is not the record's");
}

TEST_F(QuarantineStore, DamagedRecordIsRefusedAndListedAsDamaged) {
    const std::string name = store(patterned(64, 13));
    const std::string text = get(name + ".qinfo");
    const size_t at = text.find("length=");
    put(name + ".qinfo", text.substr(0, at) + "length=6x" + text.substr(text.find('\n', at)));
    EXPECT_EQ(readError(name), "key length is not a number in range");
    EXPECT_EQ(listLine(listed().at(0)), name + "\tdamaged: key length is not a number in range");
    put(name + ".qinfo", text.substr(0, text.find("sha256=")));
    EXPECT_EQ(readError(name), "key sha256 missing");
}

TEST_F(QuarantineStore, RecordClaimingAHugeLengthIsRefusedUnread) {
    const std::string name = store(patterned(64, 14));
    const std::string text = get(name + ".qinfo");
    const size_t at = text.find("length=");
    put(name + ".qinfo", text.substr(0, at) + "length=18446744073709551615" + text.substr(text.find('\n', at)));
    EXPECT_EQ(readError(name), "the record's length is out of range");
    EXPECT_FALSE(listed().at(0).problem.empty());
}

TEST_F(QuarantineStore, MissingContentIsRefused) {
    const std::string name = store(patterned(64, 15));
    std::string error;
    ASSERT_TRUE(qf::removeFile(path(name + ".qdata"), error));
    EXPECT_NE(readError(name).find("cannot open"), std::string::npos);
    EXPECT_NE(listed().at(0).problem.find("cannot open"), std::string::npos);
}

// ---------------------------------------------------------------------------
// A killed run's leftovers, removal, hostile folders.

TEST_F(QuarantineStore, StaleTemporariesNeverCountAndAreSteppedOver) {
    const std::string whole = store(patterned(64, 16));
    // What a run killed just before its renames leaves: whole files, temporary names.
    const std::string stale = "00000002-0123abcd";
    put(stale + ".qdata.tmp", get(whole + ".qdata"));
    put(stale + ".qinfo.tmp", get(whole + ".qinfo"));
    ASSERT_EQ(listed().size(), 1u);
    EXPECT_EQ(listed()[0].name, whole);
    EXPECT_EQ(readError(stale).substr(0, 11), "cannot open");
    const std::string next = store(patterned(64, 17));
    EXPECT_EQ(next.substr(0, 9), "00000003-") << "the stale sequence number is not reused";
    removeLeftovers(folder_);
    EXPECT_FALSE(qf::pathExists(path(stale + ".qdata.tmp")));
    EXPECT_FALSE(qf::pathExists(path(stale + ".qinfo.tmp")));
    EXPECT_EQ(listed().size(), 2u);
}

TEST_F(QuarantineStore, ContentWithoutRecordIsNoItem) {
    const std::string name = store(patterned(64, 18));
    std::string error;
    ASSERT_TRUE(qf::renameToNew(path(name + ".qinfo"), path(name + ".qinfo.tmp"), error)) << error;
    EXPECT_TRUE(listed().empty());
    removeLeftovers(folder_);
    EXPECT_FALSE(qf::pathExists(path(name + ".qdata")));
    EXPECT_FALSE(qf::pathExists(path(name + ".qinfo.tmp")));
}

TEST_F(QuarantineStore, RemovedItemsAreGoneAndOthersStay) {
    const std::string first = store(patterned(64, 19));
    const std::string second = store(patterned(64, 20));
    std::string error;
    ASSERT_TRUE(removeItem(folder_, first, error)) << error;
    EXPECT_FALSE(qf::pathExists(path(first + ".qdata")));
    EXPECT_FALSE(qf::pathExists(path(first + ".qinfo")));
    ASSERT_EQ(listed().size(), 1u);
    EXPECT_EQ(listed()[0].name, second);
    EXPECT_FALSE(removeItem(folder_, first, error));
    EXPECT_EQ(error, "no item " + first + " in " + folder_);
}

TEST_F(QuarantineStore, RenameNeverReplaces) {
    put("a", "1");
    put("b", "2");
    std::string error;
    EXPECT_FALSE(qf::renameToNew(path("a"), path("b"), error));
    EXPECT_EQ(get("b"), "2");
    EXPECT_FALSE(qf::writeNewFile(path("b"), "3", error));
    EXPECT_EQ(get("b"), "2");
}

TEST_F(QuarantineStore, HostileEntriesAreReadWithinBounds) {
    const std::string whole = store(patterned(64, 21));
    const std::string huge = "00000005-aaaaaaaa";
    put(huge + ".qinfo", "quorvane-quarantine-record\nnote=" + std::string(quarantineRecordMaxLength, 'x') + "\n");
    put(huge + ".qdata", std::string(quarantineContentHeaderLength, '\0'));
    const std::string garbage = "00000006-bbbbbbbb";
    put(garbage + ".qinfo", std::string("\x00\xff\x01\x80garbage\n", 12));
    const std::string folderItem = "00000007-cccccccc";
    std::string error;
    ASSERT_TRUE(qf::makeFolder(path(folderItem + ".qinfo"), error)) << error;
    ASSERT_TRUE(qf::makeFolder(path("00000008-dddddddd.qdata"), error)) << error;
    put("00000008-dddddddd.qinfo", get(whole + ".qinfo"));
    put("00000009-ABCDEF01.qinfo", get(whole + ".qinfo")); // upper-case: not a name we give
    put("00000010-abcdef01.qinfo.bak", get(whole + ".qinfo"));
    put("x.qinfo", get(whole + ".qinfo"));
#ifndef _WIN32
    put("0000001\n-abcdef01.qinfo", get(whole + ".qinfo"));
#endif
    const std::vector<ListedItem> items = listed();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].name, whole);
    EXPECT_TRUE(items[0].problem.empty());
    EXPECT_NE(items[1].problem.find("longer than expected"), std::string::npos) << items[1].problem;
    EXPECT_EQ(items[2].problem, "not a quarantine record");
    EXPECT_FALSE(items[3].problem.empty());
    EXPECT_FALSE(items[4].problem.empty()); // a folder where the content should be
    EXPECT_NE(readError(huge).find("longer than expected"), std::string::npos);
    EXPECT_EQ(readError(garbage), "not a quarantine record");
    EXPECT_FALSE(readError(folderItem).empty());
    const std::string next = store(patterned(64, 22));
    EXPECT_EQ(next.substr(0, 9), "00000011-");
}

TEST_F(QuarantineStore, AMissingFolderIsMadeAndAnUnreadableOneReported) {
    const std::string inner = path("inner");
    std::string name, error;
    ASSERT_TRUE(storeItem(inner, sampleRecord(), Bytes{1, 2}, name, error)) << error;
    std::vector<ListedItem> items;
    EXPECT_TRUE(listItems(inner, items, error)) << error;
    EXPECT_EQ(items.size(), 1u);
    EXPECT_TRUE(removeItem(inner, name, error)) << error;
    removeEmptyFolder(inner);
    EXPECT_FALSE(listItems(path("absent"), items, error));
    EXPECT_FALSE(error.empty());
}

// ---------------------------------------------------------------------------
// Nothing of our samples is recognisable in a quarantine folder.

TEST_F(QuarantineStore, ItemsOfOurSamplesAreHarmless) {
    std::vector<Bytes> taken;
    for (int index = 0; index < exeSignatureCount; ++index) taken.push_back(samples::matchingSample(index));
    const std::string hosts = samples::uuencodedHosts();
    taken.push_back(Bytes(hosts.begin(), hosts.end()));
    for (const Bytes& sample : taken) store(sample);

    std::vector<std::string> names;
    std::string error;
    ASSERT_TRUE(qf::listFolder(folder_, names, error)) << error;
    ASSERT_EQ(names.size(), 2 * taken.size());
    const std::string pattern = samples::textPattern();
    for (const std::string& name : names) {
        const std::string stored = get(name);
        const Bytes bytes(stored.begin(), stored.end());
        EXPECT_EQ(samples::firstMatchingRecord(bytes), -1) << name;
        EXPECT_NE(stored.compare(0, 2, "MZ"), 0) << name;
        EXPECT_FALSE(contains(stored, pattern.data(), pattern.size())) << name;
        for (int index = 0; index < exeSignatureCount; ++index) {
            const ExeSignature& record = exeSignatureTable[index];
            EXPECT_FALSE(contains(stored, record.sig1, signatureLength)) << name << " holds sig1 of " << index;
            EXPECT_FALSE(contains(stored, record.sig2, signatureLength)) << name << " holds sig2 of " << index;
            const Bytes& sample = taken[static_cast<size_t>(index)];
            ASSERT_GT(sample.size(), peHeaderOffsetField + 2);
            const size_t peAt = sample[peHeaderOffsetField] | (sample[peHeaderOffsetField + 1] << 8);
            EXPECT_FALSE(stored.size() > peAt + 1 && stored.compare(peAt, 2, "PE") == 0) << name;
            EXPECT_FALSE(contains(stored, sample.data(), peHeaderOffsetField)) << name << " holds a sample header";
        }
    }
    // And each comes back as it was.
    std::vector<ListedItem> items;
    ASSERT_TRUE(listItems(folder_, items, error)) << error;
    ASSERT_EQ(items.size(), taken.size());
    for (size_t i = 0; i < items.size(); ++i) {
        QuarantineRecord record;
        Bytes content;
        ASSERT_TRUE(readItem(folder_, items[i].name, record, content, error)) << error;
        EXPECT_TRUE(content == taken[i]) << items[i].name;
    }
}
