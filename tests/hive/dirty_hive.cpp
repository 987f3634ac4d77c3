// Dirty hives for the tests; see dirty_hive.h.
#include "dirty_hive.h"

#include <cstring>

namespace hive {

namespace {

constexpr uint32_t oldLogPage = 512;   // one bit of an old-format dirty vector
const char dirtySignature[] = "DIRT"; // its first four bytes
constexpr size_t dirtySignatureSize = 4;

size_t roundUpToSector(size_t bytes) { return (bytes + logSectorSize - 1) / logSectorSize * logSectorSize; }

Bytes oldFormatLog(const Bytes& before, const Bytes& after) {
    Bytes log(after.begin(), after.begin() + logHeaderSize);
    std::memcpy(&log[lastWrittenAt], &before[lastWrittenAt], sizeof(uint64_t));
    writeU32(&log[fileTypeAt], fileTypeOldLog);
    sealBaseBlock(log.data());
    const uint32_t bits = readU32(&after[binsSizeAt]) / oldLogPage;
    const std::vector<PageRange> pages = changedPages(before, after, oldLogPage);
    Bytes bitmap(bits / 8, 0);
    for (const PageRange& page : pages) {
        const uint32_t bit = page.offset / oldLogPage;
        if (bit < bits) bitmap[bit / 8] = static_cast<uint8_t>(bitmap[bit / 8] | 1u << (bit % 8));
    }
    log.insert(log.end(), dirtySignature, dirtySignature + dirtySignatureSize);
    log.insert(log.end(), bitmap.begin(), bitmap.end());
    log.resize(roundUpToSector(log.size()), 0);
    for (const PageRange& page : pages) {
        if (page.offset / oldLogPage >= bits) continue;
        const auto from = after.begin() + static_cast<std::ptrdiff_t>(baseBlockSize + page.offset);
        log.insert(log.end(), from, from + oldLogPage);
    }
    return log;
}

} // namespace

std::vector<PageRange> changedPages(const Bytes& before, const Bytes& after, uint32_t pageBytes) {
    std::vector<PageRange> pages;
    for (size_t at = baseBlockSize; at + pageBytes <= after.size(); at += pageBytes) {
        const bool changed = at + pageBytes > before.size() || std::memcmp(&before[at], &after[at], pageBytes) != 0;
        if (changed) pages.push_back(PageRange{static_cast<uint32_t>(at - baseBlockSize), pageBytes});
    }
    return pages;
}

Bytes logOf(const Bytes& header, const std::vector<Bytes>& entries) {
    Bytes log = header;
    for (const Bytes& entry : entries) log.insert(log.end(), entry.begin(), entry.end());
    return log;
}

DirtyHive makeDirty(const Bytes& before, const Bytes& after) {
    DirtyHive dirty;
    dirty.primary = before;
    dirty.sequence = readU32(&before[secondarySequenceAt]);
    writeU32(&dirty.primary[primarySequenceAt], dirty.sequence + 1);
    sealBaseBlock(dirty.primary.data());
    dirty.pages = changedPages(before, after, pageSize);
    dirty.log1 = logOf(logHeader(before.data(), dirty.sequence), {logEntry(after, dirty.sequence, dirty.pages)});
    dirty.oldLog = oldFormatLog(before, after);
    return dirty;
}

} // namespace hive
