// Writes the log replay target's first inputs into a folder: an empty hive
// and the same hive grown by one bin with a key's time changed, made dirty
// as a crash leaves it (tests/hive/dirty_hive.h), with one log, the change
// split over two logs, a stale log beside the right one, a damaged base
// block, an old-format log, and a clean hive beside logs. Each seed is the
// primary's length and LOG1's length (32 bits, little-endian), then the
// primary, LOG1 and LOG2 (see hive_log_replay_fuzz.cpp).
//
// usage: make_log_replay_seeds FOLDER
#include <algorithm>
#include <string>
#include <vector>

#include "dirty_hive.h"
#include "empty_hive.h"
#include "seed_files.h"

namespace {

using hive::Bytes;

constexpr size_t rootTimeAt = hive::baseBlockSize + 0x20 + 8; // in the root key's record: its last-written time
constexpr uint32_t firstSequence = 20;

std::string seed(const Bytes& primary, const Bytes& log1, const Bytes& log2) {
    Bytes lengths(8);
    hive::writeU32(&lengths[0], static_cast<uint32_t>(primary.size()));
    hive::writeU32(&lengths[4], static_cast<uint32_t>(log1.size()));
    std::string bytes(lengths.begin(), lengths.end());
    for (const Bytes* part : {&primary, &log1, &log2}) bytes.append(part->begin(), part->end());
    return bytes;
}

// The empty hive with clean sequence numbers, and that hive grown by a bin
// holding one free cell, its root key's time changed.
void twoStates(Bytes& before, Bytes& after) {
    const std::string empty = emptyHiveImage("ROOT");
    before.assign(empty.begin(), empty.end());
    hive::writeU32(&before[hive::primarySequenceAt], firstSequence);
    hive::writeU32(&before[hive::secondarySequenceAt], firstSequence);
    hive::sealBaseBlock(before.data());
    after = before;
    const size_t oldBins = after.size() - hive::baseBlockSize;
    after.resize(after.size() + hive::pageSize, 0);
    uint8_t* bin = &after[hive::baseBlockSize + oldBins];
    const char hbin[] = {'h', 'b', 'i', 'n'};
    std::copy(hbin, hbin + sizeof hbin, bin);
    hive::writeU32(bin + 4, static_cast<uint32_t>(oldBins));
    hive::writeU32(bin + 8, hive::pageSize);
    hive::writeU32(bin + 0x20, hive::pageSize - 0x20); // one free cell fills the bin
    after[rootTimeAt] ^= 0x5A;
    hive::writeU32(&after[hive::binsSizeAt], static_cast<uint32_t>(oldBins + hive::pageSize));
    hive::sealBaseBlock(after.data());
}

bool writeAll(const std::string& folder) {
    Bytes before, after;
    twoStates(before, after);
    const hive::DirtyHive dirty = hive::makeDirty(before, after);
    const uint32_t s = dirty.sequence;
    const std::vector<hive::PageRange> first(dirty.pages.begin(), dirty.pages.end() - 1);
    const std::vector<hive::PageRange> rest(dirty.pages.end() - 1, dirty.pages.end());
    const Bytes split1 = hive::logOf(hive::logHeader(before.data(), s), {hive::logEntry(after, s, first)});
    const Bytes split2 = hive::logOf(hive::logHeader(before.data(), s + 1), {hive::logEntry(after, s + 1, rest)});
    const Bytes stale = hive::logOf(hive::logHeader(before.data(), s - 2),
                                    {hive::logEntry(before, s - 2, {{0, hive::pageSize}})});
    Bytes damaged = dirty.primary;
    damaged[hive::rootCellAt] ^= 1;
    const struct {
        const char* name;
        std::string bytes;
    } seeds[] = {
        {"dirty-one-log", seed(dirty.primary, dirty.log1, {})},
        {"dirty-two-logs", seed(dirty.primary, split2, split1)},
        {"dirty-stale-log", seed(dirty.primary, dirty.log1, stale)},
        {"damaged-base-block", seed(damaged, stale, dirty.log1)},
        {"old-format", seed(dirty.primary, dirty.oldLog, {})},
        {"clean-with-logs", seed(after, dirty.log1, split2)},
        {"dirty-no-log", seed(dirty.primary, {}, {})},
    };
    bool written = true;
    for (const auto& one : seeds) written = fuzz::writeSeed(folder, one.name, one.bytes) && written;
    return written;
}

} // namespace

int main(int argc, char** argv) { return fuzz::seedMain(argc, argv, "make_log_replay_seeds", writeAll); }
