// Bringing dirty hives up to date from their transaction logs: a real
// Windows 10 hive with its logs, and hives the tests build through the hive
// library and make dirty (dirty_hive.h), checked with the hive library and
// with libregf's regfinfo as readers written apart from this program.
#include <gtest/gtest.h>

#include <hivex.h>
#include <stdio.h>
#include <stdlib.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "../sim/hive_builder.h"
#include "../sim/host_tree.h"
#include "dirty_hive.h"
#include "log_replay.h"
#include "marvin32.h"

namespace {

using hive::Bytes;
using hive::LogFile;
using hive::PageRange;
using hive::Recovery;

// --- Files and outside readers ----------------------------------------------

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Standard output of a shell command, empty when it cannot be run.
std::string commandOutput(const std::string& command, int& status) {
    std::string output;
    status = -1;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    status = pclose(pipe);
    return output;
}

bool haveCommand(const char* name) {
    return system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Keys as regfinfo lists them (the root included); -1 when it refuses the file.
long regfinfoKeys(const std::string& path) {
    int status = 0;
    const std::string listing = commandOutput("regfinfo '" + path + "' 2>/dev/null", status);
    if (status != 0) return -1;
    long keys = 0;
    for (size_t at = listing.find("(key:)"); at != std::string::npos; at = listing.find("(key:)", at + 1)) ++keys;
    return keys;
}

// Keys as the hive library finds them (the root included); -1 when it
// refuses the file.
long hivexKeys(const std::string& path) {
    hive_h* handle = hivex_open(path.c_str(), 0);
    if (handle == nullptr) return -1;
    long keys = 0;
    std::vector<hive_node_h> waiting{hivex_root(handle)};
    while (!waiting.empty() && keys < 1000000) {
        const hive_node_h node = waiting.back();
        waiting.pop_back();
        ++keys;
        hive_node_h* children = hivex_node_children(handle, node);
        for (hive_node_h* child = children; child != nullptr && *child != 0; ++child) waiting.push_back(*child);
        free(children);
    }
    hivex_close(handle);
    return keys;
}

Bytes bins(const Bytes& image) { return Bytes(image.begin() + hive::baseBlockSize, image.end()); }

Bytes pageOf(const Bytes& image, uint32_t offset) {
    const auto at = image.begin() + static_cast<std::ptrdiff_t>(hive::baseBlockSize + offset);
    return Bytes(at, at + hive::pageSize);
}

// --- Entries edited on purpose ----------------------------------------------

// Puts right hashes into an entry edited by a test, so that only the edit
// is wrong with it.
void rehash(Bytes& entry) {
    const size_t size = std::min<size_t>(hive::readU32(&entry[hive::logEntrySizeAt]), entry.size());
    hive::writeU64(&entry[hive::logEntryHash1At],
                   hive::marvin32(&entry[hive::logEntryHeaderSize], size - hive::logEntryHeaderSize));
    hive::writeU64(&entry[hive::logEntryHash2At], hive::marvin32(entry.data(), 32));
}

constexpr size_t sizeAt = hive::logEntrySizeAt;
constexpr size_t sequenceAt = hive::logEntrySequenceAt;
constexpr size_t binsAt = hive::logEntryBinsSizeAt;
constexpr size_t firstPageSizeAt = hive::logEntryHeaderSize + 4; // after the first page's offset

uint32_t fieldOf(const Bytes& entry, size_t at) { return hive::readU32(&entry[at]); }

// Sets a field of an entry, with right hashes: only the field is wrong.
void setField(Bytes& entry, size_t at, uint32_t value) {
    hive::writeU32(&entry[at], value);
    rehash(entry);
}

// An entry of pages holding one byte value throughout: stale or foreign
// data that must never reach the hive.
Bytes junkEntry(const Bytes& shape, uint32_t sequence, uint8_t fill) {
    Bytes junk(shape.size(), fill);
    std::copy(shape.begin(), shape.begin() + hive::baseBlockSize, junk.begin());
    return hive::logEntry(junk, sequence, {PageRange{0, hive::pageSize}});
}

// --- The real Windows 10 hive -----------------------------------------------

const std::string realFolder = std::string(QUORVANE_SHARED_TESTDATA) + "/dirty-user-hive/";

class LogReplayRealHive : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::ifstream(realFolder + "transactions_NTUSER.DAT.xz") || !haveCommand("xz")) {
            GTEST_SKIP() << "the real dirty hive is not at " << realFolder << " (or xz is missing)";
        }
        primary = unpack("transactions_NTUSER.DAT.xz");
        log1 = LogFile{"NTUSER.DAT.LOG1", unpack("transactions_ntuser.dat.log1.xz")};
        log2 = LogFile{"NTUSER.DAT.LOG2", unpack("transactions_ntuser.dat.log2.xz")};
        ASSERT_FALSE(primary.empty());
    }

    static Bytes unpack(const std::string& name) {
        int status = 0;
        const std::string bytes = commandOutput("xz -dc '" + realFolder + name + "'", status);
        return status == 0 ? Bytes(bytes.begin(), bytes.end()) : Bytes();
    }

    Bytes primary;
    LogFile log1;
    LogFile log2;
};

TEST_F(LogReplayRealHive, Marvin32GivesBothHashesOfEveryEntryWindowsWrote) {
    unsigned entries = 0;
    for (const LogFile* log : {&log1, &log2}) {
        size_t at = hive::logHeaderSize;
        while (at + hive::logEntryHeaderSize <= log->bytes.size() && std::memcmp(&log->bytes[at], "HvLE", 4) == 0) {
            const uint8_t* entry = &log->bytes[at];
            const size_t size = hive::readU32(entry + hive::logEntrySizeAt);
            ASSERT_LE(size, log->bytes.size() - at);
            EXPECT_EQ(hive::marvin32(entry + hive::logEntryHeaderSize, size - hive::logEntryHeaderSize),
                      hive::readU64(entry + hive::logEntryHash1At)) << log->name << " at " << at;
            EXPECT_EQ(hive::marvin32(entry, 32), hive::readU64(entry + hive::logEntryHash2At))
                << log->name << " at " << at;
            hive::LogEntry read;
            EXPECT_EQ(hive::readLogEntry(log->bytes.data(), log->bytes.size(), at, read), hive::EntryCheck::sound);
            ++entries;
            at += size;
        }
    }
    EXPECT_EQ(entries, 23u + 1u);
}

TEST_F(LogReplayRealHive, ReplayAppliesTheNewerLogAndTheHiveReadsWhole) {
    Bytes image = primary;
    Recovery recovery;
    std::string problem;
    ASSERT_TRUE(hive::recoverHive(image, {log1, log2}, recovery, problem)) << problem;
    EXPECT_TRUE(recovery.wasDirty);
    EXPECT_EQ(recovery.entriesApplied, 23u);
    EXPECT_EQ(recovery.pagesApplied, 132u);
    EXPECT_EQ(recovery.lastSequence, 588u);
    EXPECT_FALSE(hive::primaryDirty(image.data(), image.size()));
    EXPECT_EQ(hive::readU32(&image[hive::primarySequenceAt]), 588u);
    EXPECT_EQ(hive::readU32(&image[hive::binsSizeAt]), 925696u);
    EXPECT_EQ(hive::highestLogSequence({log1, log2}), 588u);

    // The order the logs are given in does not matter; recovering again changes nothing.
    Bytes other = primary;
    ASSERT_TRUE(hive::recoverHive(other, {log2, log1}, recovery, problem)) << problem;
    EXPECT_EQ(other, image);
    ASSERT_TRUE(hive::recoverHive(other, {log2, log1}, recovery, problem));
    EXPECT_FALSE(recovery.wasDirty);
    EXPECT_EQ(other, image);

    hosttree::OutsideFolder folder;
    writeFile(folder.path() + "/recovered", image);
    writeFile(folder.path() + "/primary", primary);
    EXPECT_EQ(hivexKeys(folder.path() + "/recovered"), 3105);
    if (haveCommand("regfinfo")) {
        EXPECT_EQ(regfinfoKeys(folder.path() + "/recovered"), 3105);
        EXPECT_EQ(regfinfoKeys(folder.path() + "/primary"), 2590);
    }
}

TEST_F(LogReplayRealHive, TheOlderLogAloneIsNotEnough) {
    Bytes image = primary;
    Recovery recovery;
    std::string problem;
    EXPECT_FALSE(hive::recoverHive(image, {log2}, recovery, problem));
    EXPECT_NE(problem.find("no log holds entry 566"), std::string::npos) << problem;
    EXPECT_EQ(image, primary);
}

// --- Hives built here -------------------------------------------------------

// Two states of one hive, written by the hive library: `before` with a few
// keys and values, `after` with more keys, a value changed and data large
// enough to make the bins grow.
class LogReplay : public ::testing::Test {
protected:
    static constexpr uint32_t cleanSequence = 100; // room below it for older entries

    static void SetUpTestSuite() {
        hosttree::OutsideFolder folder;
        const std::string path = folder.path() + "/hive";
        hives::HiveBuilder builder(path);
        for (int i = 0; i < 30; ++i) builder.text("Software\\Vendor\\Tool" + std::to_string(i), "Path", "C:\\tool.exe");
        builder.dword("Software\\Vendor", "Flags", 1);
        builder.commit();
        before_ = new Bytes(readFile(path));
        for (int i = 0; i < 40; ++i) builder.key("Software\\Added\\Key" + std::to_string(i));
        builder.dword("Software\\Vendor", "Flags", 2);
        builder.raw("Software\\Added", "Blob", REG_BINARY, std::string(12000, 'b'));
        builder.commit();
        after_ = new Bytes(readFile(path));
        for (Bytes* state : {before_, after_}) {
            hive::writeU32(&(*state)[hive::primarySequenceAt], cleanSequence);
            hive::writeU32(&(*state)[hive::secondarySequenceAt], cleanSequence);
            hive::sealBaseBlock(state->data());
        }
    }

    static void TearDownTestSuite() {
        delete before_;
        delete after_;
    }

    void SetUp() override {
        ASSERT_GT(after_->size(), before_->size()) << "the change must grow the bins";
        dirty = hive::makeDirty(*before_, *after_);
        // Split the change in two: `grown` holds the new pages and all but
        // one changed page, `last` that one page inside the old bins.
        for (const PageRange& page : dirty.pages) {
            const bool old = hive::baseBlockSize + page.offset + page.size <= before_->size();
            (old && last.empty() ? last : grown).push_back(page);
        }
        ASSERT_FALSE(last.empty());
        ASSERT_NE(pageOf(before(), last[0].offset), pageOf(after(), last[0].offset));
    }

    const Bytes& before() const { return *before_; }
    const Bytes& after() const { return *after_; }
    Bytes header(uint32_t sequence) const { return hive::logHeader(before().data(), sequence); }
    Bytes entry(uint32_t sequence, const std::vector<PageRange>& pages) const {
        return hive::logEntry(after(), sequence, pages);
    }

    // Replays into a copy of the dirty primary; the problem is kept.
    bool replay(const std::vector<LogFile>& logs) {
        image = dirty.primary;
        return hive::recoverHive(image, logs, recovery, problem);
    }

    // The change of `grown` is in; the one page of `last` is still old.
    void expectOnlyTheFirstPart() {
        EXPECT_EQ(recovery.entriesApplied, 1u);
        EXPECT_EQ(recovery.lastSequence, dirty.sequence);
        EXPECT_EQ(pageOf(image, last[0].offset), pageOf(before(), last[0].offset));
        EXPECT_EQ(pageOf(image, grown.back().offset), pageOf(after(), grown.back().offset));
        EXPECT_FALSE(hive::primaryDirty(image.data(), image.size()));
    }

    hive::DirtyHive dirty;
    std::vector<PageRange> grown;
    std::vector<PageRange> last;
    Bytes image;
    Recovery recovery;
    std::string problem;

private:
    static Bytes* before_;
    static Bytes* after_;
};

Bytes* LogReplay::before_ = nullptr;
Bytes* LogReplay::after_ = nullptr;

TEST_F(LogReplay, ReplayGivesTheChangedStateByteForByte) {
    ASSERT_TRUE(hive::primaryDirty(dirty.primary.data(), dirty.primary.size()));
    ASSERT_TRUE(replay({{"SYSTEM.LOG1", dirty.log1}})) << problem;
    EXPECT_TRUE(recovery.wasDirty);
    EXPECT_EQ(recovery.entriesApplied, 1u);
    EXPECT_EQ(recovery.pagesApplied, dirty.pages.size());
    EXPECT_EQ(bins(image), bins(after()));
    EXPECT_EQ(hive::readU32(&image[hive::binsSizeAt]), hive::readU32(&after()[hive::binsSizeAt]));
    EXPECT_EQ(hive::readU32(&image[hive::primarySequenceAt]), dirty.sequence);
    EXPECT_EQ(hive::readU32(&image[hive::secondarySequenceAt]), dirty.sequence);
    EXPECT_TRUE(hive::baseBlockValid(image.data(), image.size()));
    // Every range written, merged: the pages of the entry, ending at the new end.
    ASSERT_FALSE(recovery.written.empty());
    EXPECT_EQ(recovery.written.back().offset + recovery.written.back().size, after().size() - hive::baseBlockSize);
    for (size_t i = 1; i < recovery.written.size(); ++i) {
        EXPECT_GT(recovery.written[i].offset, recovery.written[i - 1].offset + recovery.written[i - 1].size);
    }

    hosttree::OutsideFolder folder;
    const std::string path = folder.path() + "/SYSTEM";
    writeFile(path, image);
    EXPECT_TRUE(hives::hiveHasKey(path, "Software\\Added\\Key39"));
    EXPECT_EQ(hivexKeys(path), 1 + 2 + 30 + 1 + 40);
    if (haveCommand("regfinfo")) {
        EXPECT_EQ(regfinfoKeys(path), 1 + 2 + 30 + 1 + 40);
    }
}

TEST_F(LogReplay, EntriesFollowAcrossTwoLogsInTheOrderOfTheirNumbers) {
    const Bytes first = hive::logOf(header(dirty.sequence), {entry(dirty.sequence, grown)});
    const Bytes second = hive::logOf(header(dirty.sequence + 1), {entry(dirty.sequence + 1, last)});
    ASSERT_TRUE(replay({{"SYSTEM.LOG2", second}, {"SYSTEM.LOG1", first}})) << problem;
    EXPECT_EQ(recovery.entriesApplied, 2u);
    EXPECT_EQ(recovery.lastSequence, dirty.sequence + 1);
    EXPECT_EQ(bins(image), bins(after()));
    EXPECT_EQ(hive::highestLogSequence({{"a", first}, {"b", second}}), dirty.sequence + 1);

    // The other log is taken only where it carries the next number.
    const Bytes later = hive::logOf(header(dirty.sequence + 2), {entry(dirty.sequence + 2, last)});
    ASSERT_TRUE(replay({{"SYSTEM.LOG1", first}, {"SYSTEM.LOG2", later}})) << problem;
    expectOnlyTheFirstPart();
}

TEST_F(LogReplay, ReplayStopsAtTheFirstEntryThatIsNotSound) {
    const uint32_t s = dirty.sequence;
    const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> faults = {
        {"a number skipped", [s](Bytes& e) { setField(e, sequenceAt, s + 2); }},
        {"a number repeated", [s](Bytes& e) { setField(e, sequenceAt, s); }},
        {"a page changed after hashing", [](Bytes& e) { e.back() ^= 1; }},
        {"the header changed after hashing", [](Bytes& e) { e[hive::logEntryFlagsAt] ^= 1; }},
        {"a size not whole sectors", [](Bytes& e) { setField(e, sizeAt, fieldOf(e, sizeAt) - 8); }},
        {"a size past the log", [](Bytes& e) { setField(e, sizeAt, fieldOf(e, sizeAt) + 512); }},
        {"bins not whole pages", [](Bytes& e) { setField(e, binsAt, fieldOf(e, binsAt) + 512); }},
        {"a page past the bins", [](Bytes& e) { setField(e, hive::logEntryHeaderSize, fieldOf(e, binsAt)); }},
        {"a page longer than the entry", [](Bytes& e) { setField(e, firstPageSizeAt, 2 * hive::pageSize); }},
        {"more pages than it holds", [](Bytes& e) { setField(e, hive::logEntryPageCountAt, 1000); }},
        {"absurd bins", [](Bytes& e) { setField(e, binsAt, 0x80001000u); }},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.first);
        Bytes second = entry(s + 1, last);
        fault.second(second);
        ASSERT_TRUE(replay({{"SYSTEM.LOG1", hive::logOf(header(s), {entry(s, grown), second})}})) << problem;
        expectOnlyTheFirstPart();
    }
}

TEST_F(LogReplay, EntriesOlderThanTheHiveAreSkipped) {
    const uint32_t s = dirty.sequence;
    // A log of an earlier round, whose pages the hive already holds.
    const Bytes stale = hive::logOf(header(s - 3), {junkEntry(after(), s - 3, 0xEE), junkEntry(after(), s - 2, 0xEE)});
    ASSERT_TRUE(replay({{"SYSTEM.LOG1", dirty.log1}, {"SYSTEM.LOG2", stale}})) << problem;
    EXPECT_EQ(recovery.entriesApplied, 1u);
    EXPECT_EQ(bins(image), bins(after()));
    // Older entries at the start of the log that then carries the right one.
    const Bytes mixed = hive::logOf(header(s - 1), {junkEntry(after(), s - 1, 0xEE), entry(s, dirty.pages)});
    ASSERT_TRUE(replay({{"SYSTEM.LOG1", mixed}})) << problem;
    EXPECT_EQ(recovery.entriesApplied, 1u);
    EXPECT_EQ(bins(image), bins(after()));
    // A stale entry left past the end of the current ones is not taken.
    const Bytes tail = hive::logOf(header(s), {entry(s, grown), junkEntry(after(), s - 5, 0xEE), entry(s + 1, last)});
    ASSERT_TRUE(replay({{"SYSTEM.LOG1", tail}})) << problem;
    expectOnlyTheFirstPart();
}

TEST_F(LogReplay, ACleanHiveIsLeftAsItIsWhateverItsLogsHold) {
    Bytes clean = after();
    const std::vector<LogFile> logs = {{"SYSTEM.LOG1", dirty.log1}, {"SYSTEM.LOG", dirty.oldLog}};
    ASSERT_TRUE(hive::recoverHive(clean, logs, recovery, problem));
    EXPECT_FALSE(recovery.wasDirty);
    EXPECT_EQ(recovery.entriesApplied, 0u);
    EXPECT_TRUE(recovery.written.empty());
    EXPECT_EQ(clean, after());
}

TEST_F(LogReplay, ADamagedBaseBlockIsRebuiltFromTheNewestLog) {
    const uint32_t s = dirty.sequence;
    const Bytes older = hive::logOf(header(s), {junkEntry(after(), s, 0xEE)});
    const Bytes newest = hive::logOf(header(s + 1), {entry(s + 1, dirty.pages)});
    Bytes damaged = dirty.primary;
    damaged[200] ^= 0x40; // the checksum no longer matches
    image = damaged;
    ASSERT_TRUE(hive::recoverHive(image, {{"SYSTEM.LOG1", older}, {"SYSTEM.LOG2", newest}}, recovery, problem))
        << problem;
    EXPECT_EQ(recovery.entriesApplied, 1u);
    EXPECT_EQ(recovery.lastSequence, s + 1);
    EXPECT_EQ(bins(image), bins(after()));
    EXPECT_TRUE(hive::baseBlockValid(image.data(), image.size()));
    EXPECT_EQ(hive::readU32(&image[hive::fileTypeAt]), hive::fileTypePrimary);
    EXPECT_EQ(image[200], before()[200]); // the log's copy, not the damaged block

    // A primary cut down to nothing comes back whole from a log carrying every page.
    const std::vector<PageRange> everyPage = hive::changedPages(Bytes(), after(), hive::pageSize);
    image.clear();
    ASSERT_TRUE(hive::recoverHive(image, {{"SYSTEM.LOG1", hive::logOf(header(s), {entry(s, everyPage)})}}, recovery,
                                  problem)) << problem;
    EXPECT_EQ(image.size(), after().size());
    EXPECT_EQ(bins(image), bins(after()));
    // But not from one carrying only part of them: the rest would be zeros.
    image.clear();
    EXPECT_FALSE(hive::recoverHive(image, {{"SYSTEM.LOG1", dirty.log1}}, recovery, problem));
    EXPECT_NE(problem.find("do not carry"), std::string::npos) << problem;
    EXPECT_TRUE(image.empty());
}

TEST_F(LogReplay, AnOldFormatLogAppliesWhenWrittenWithTheHive) {
    ASSERT_TRUE(replay({{"SYSTEM.LOG", dirty.oldLog}})) << problem;
    EXPECT_EQ(recovery.entriesApplied, 1u);
    EXPECT_EQ(recovery.pagesApplied, hive::changedPages(before(), after(), 512).size());
    EXPECT_EQ(bins(image), bins(after()));
    EXPECT_FALSE(hive::primaryDirty(image.data(), image.size()));

    Bytes otherTime = dirty.oldLog;
    otherTime[hive::lastWrittenAt] ^= 1;
    hive::sealBaseBlock(otherTime.data());
    EXPECT_FALSE(replay({{"SYSTEM.LOG", otherTime}}));
    EXPECT_NE(problem.find("SYSTEM.LOG: it was not written at the same time"), std::string::npos) << problem;
    EXPECT_EQ(image, dirty.primary);

    Bytes cut = dirty.oldLog;
    cut.resize(cut.size() - 1);
    EXPECT_FALSE(replay({{"SYSTEM.LOG", cut}}));
    EXPECT_NE(problem.find("dirty vector does not fit"), std::string::npos) << problem;
}

TEST_F(LogReplay, ADirtyHiveThatCannotBeMadeConsistentIsRefusedWithAReason) {
    Bytes damagedHeader = dirty.log1;
    damagedHeader[100] ^= 1;
    EXPECT_FALSE(replay({{"SYSTEM.LOG1", {}}, {"SYSTEM.LOG2", damagedHeader}}));
    EXPECT_NE(problem.find("SYSTEM.LOG1: it is empty"), std::string::npos) << problem;
    EXPECT_NE(problem.find("SYSTEM.LOG2: its header is damaged"), std::string::npos) << problem;
    EXPECT_EQ(image, dirty.primary);

    EXPECT_FALSE(replay({}));
    EXPECT_NE(problem.find("there is no log"), std::string::npos) << problem;

    // The log starts past the entry the hive needs first.
    const uint32_t s = dirty.sequence;
    EXPECT_FALSE(replay({{"SYSTEM.LOG1", hive::logOf(header(s + 1), {entry(s + 1, dirty.pages)})}}));
    EXPECT_NE(problem.find("no log holds entry " + std::to_string(s)), std::string::npos) << problem;
    EXPECT_EQ(image, dirty.primary);

    // Bins larger than the file and not carried by the log.
    Bytes larger = after();
    hive::writeU32(&larger[hive::binsSizeAt], hive::readU32(&larger[hive::binsSizeAt]) + 16 * hive::pageSize);
    EXPECT_FALSE(replay({{"SYSTEM.LOG1", hive::logOf(header(s), {hive::logEntry(larger, s, dirty.pages)})}}));
    EXPECT_NE(problem.find("do not carry"), std::string::npos) << problem;
    EXPECT_EQ(image, dirty.primary);
}

TEST_F(LogReplay, TheHighestNumberCountsEveryEntryStillInALog) {
    const uint32_t s = dirty.sequence;
    Bytes broken = entry(s + 1, last);
    broken.back() ^= 1; // Hash-1 wrong: never replayed, but Windows could chain it later
    const Bytes log = hive::logOf(header(s), {entry(s, grown), broken, entry(s + 7, last)});
    EXPECT_EQ(hive::highestLogSequence({{"SYSTEM.LOG1", log}}), s + 7);
    Bytes damagedHeader = log;
    damagedHeader[100] ^= 1;
    EXPECT_EQ(hive::highestLogSequence({{"SYSTEM.LOG1", damagedHeader}}), s + 7);
    EXPECT_EQ(hive::highestLogSequence({{"SYSTEM.LOG1", header(s + 3)}}), s + 3);
    const Bytes backToBack = hive::logOf(header(s), {entry(s, last), entry(s + 4, last)});
    EXPECT_EQ(hive::highestLogSequence({{"SYSTEM.LOG1", backToBack}}), s + 4);
    EXPECT_EQ(hive::highestLogSequence({{"SYSTEM.LOG1", {}}, {"SYSTEM.LOG2", Bytes(700, 0xFF)}}), 0u);
    EXPECT_EQ(hive::highestLogSequence({}), 0u);
}

// --- Writing entries --------------------------------------------------------

TEST_F(LogReplay, AnEntryWrittenReadsBackAsWritten) {
    const Bytes written = entry(7, dirty.pages);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.size() % hive::logSectorSize, 0u);
    hive::LogEntry read;
    ASSERT_EQ(hive::readLogEntry(written.data(), written.size(), 0, read), hive::EntryCheck::sound);
    EXPECT_EQ(read.sequence, 7u);
    EXPECT_EQ(read.size, written.size());
    EXPECT_EQ(read.binsSize, hive::readU32(&after()[hive::binsSizeAt]));
    ASSERT_EQ(read.pages.size(), dirty.pages.size());
    for (size_t i = 0; i < read.pages.size(); ++i) {
        EXPECT_EQ(read.pages[i].range.offset, dirty.pages[i].offset);
        EXPECT_EQ(Bytes(written.begin() + static_cast<std::ptrdiff_t>(read.pages[i].from),
                        written.begin() + static_cast<std::ptrdiff_t>(read.pages[i].from + hive::pageSize)),
                  pageOf(after(), dirty.pages[i].offset));
    }
    // Only whole pages inside the bins.
    EXPECT_TRUE(hive::logEntry(after(), 7, {PageRange{512, hive::pageSize}}).empty());
    EXPECT_TRUE(hive::logEntry(after(), 7, {PageRange{0, 100}}).empty());
    EXPECT_TRUE(hive::logEntry(after(), 7, {PageRange{0, 0}}).empty());
    EXPECT_TRUE(hive::logEntry(after(), 7, {PageRange{static_cast<uint32_t>(after().size()), hive::pageSize}}).empty());
    EXPECT_TRUE(hive::logEntry(Bytes(100, 0), 7, {}).empty());
}

TEST_F(LogReplay, ALogHeaderIsTheBaseBlockAsANewFormatLog) {
    const Bytes made = header(42);
    ASSERT_EQ(made.size(), hive::logHeaderSize);
    EXPECT_TRUE(hive::baseBlockValid(made.data(), made.size()));
    hive::BaseBlock fields;
    ASSERT_TRUE(hive::readBaseBlock(made.data(), made.size(), fields));
    EXPECT_EQ(fields.fileType, hive::fileTypeNewLog);
    EXPECT_EQ(fields.primarySequence, 42u);
    EXPECT_EQ(fields.secondarySequence, 42u);
    EXPECT_EQ(fields.rootCell, hive::readU32(&before()[hive::rootCellAt]));
    EXPECT_EQ(fields.lastWritten, hive::readU64(&before()[hive::lastWrittenAt]));
}

// --- Marvin32 ---------------------------------------------------------------

TEST(Marvin32, EveryLengthOfTheTailCounts) {
    // The 0x80 after the last byte tells zeros at the end from none.
    const Bytes zeros(9, 0);
    std::vector<uint64_t> seen;
    for (size_t length = 0; length <= zeros.size(); ++length) {
        const uint64_t hash = hive::marvin32(zeros.data(), length);
        for (uint64_t earlier : seen) EXPECT_NE(hash, earlier) << length;
        seen.push_back(hash);
    }
    EXPECT_EQ(hive::marvin32(nullptr, 0), seen[0]);
    const uint8_t one[] = {1, 0, 0, 0, 0};
    const uint8_t other[] = {0, 1, 0, 0, 0};
    EXPECT_NE(hive::marvin32(one, sizeof one), hive::marvin32(other, sizeof other));
}

} // namespace
