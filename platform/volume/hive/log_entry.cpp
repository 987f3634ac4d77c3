// Reading and writing one new-format log entry; see log_entry.h.
#include "log_entry.h"

#include <cstring>
#include <limits>

#include "marvin32.h"

namespace hive {

namespace {

const char entrySignature[] = {'H', 'v', 'L', 'E'};
constexpr size_t hashedHeaderSize = 32; // Hash-2 covers the header up to itself
constexpr uint32_t noFlags = 0;

bool wholePages(uint64_t bytes) { return bytes % pageSize == 0; }

// The header's own fields; `size` is the entry's, within the log.
EntryCheck checkHeader(const uint8_t* log, size_t length, size_t at, size_t& size) {
    if (at > length || length - at < logEntryHeaderSize) return EntryCheck::absent;
    const uint8_t* entry = log + at;
    if (std::memcmp(entry, entrySignature, sizeof entrySignature) != 0) return EntryCheck::absent;
    size = readU32(entry + logEntrySizeAt);
    if (size < logSectorSize || size % logSectorSize != 0 || size > length - at) return EntryCheck::badSize;
    const uint32_t binsSize = readU32(entry + logEntryBinsSizeAt);
    if (binsSize == 0 || !wholePages(binsSize) || binsSize > largestBinsSize) return EntryCheck::badBinsSize;
    if (readU64(entry + logEntryHash2At) != marvin32(entry, hashedHeaderSize)) return EntryCheck::badHash;
    return EntryCheck::sound;
}

// The page references of a sound header: each whole pages inside the bins
// data, their bytes all inside the entry.
EntryCheck readPages(const uint8_t* log, LogEntry& entry) {
    const uint8_t* header = log + entry.at;
    const uint32_t count = readU32(header + logEntryPageCountAt);
    if (count > (entry.size - logEntryHeaderSize) / pageReferenceSize) return EntryCheck::badPages;
    size_t from = entry.at + logEntryHeaderSize + count * pageReferenceSize;
    const size_t end = entry.at + entry.size;
    entry.pages.clear();
    entry.pages.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* reference = header + logEntryHeaderSize + i * pageReferenceSize;
        const PageRange range{readU32(reference), readU32(reference + 4)};
        if (range.size == 0 || !wholePages(range.offset) || !wholePages(range.size) ||
            uint64_t{range.offset} + range.size > entry.binsSize || range.size > end - from) {
            return EntryCheck::badPages;
        }
        entry.pages.push_back(LogPage{range, from});
        from += range.size;
    }
    return EntryCheck::sound;
}

} // namespace

const char* describe(EntryCheck check) {
    switch (check) {
    case EntryCheck::sound: return "it is sound";
    case EntryCheck::absent: return "there is no entry there";
    case EntryCheck::badSize: return "its size is not whole sectors within the log";
    case EntryCheck::badBinsSize: return "its hive bins size is not whole pages or is absurd";
    case EntryCheck::badHash: return "its hash is wrong";
    case EntryCheck::badPages: return "its pages do not fit the entry or the hive bins";
    }
    return "it is not understood";
}

bool logEntryHeaderSound(const uint8_t* log, size_t length, size_t at, uint32_t& sequence, size_t& size) {
    if (checkHeader(log, length, at, size) != EntryCheck::sound) return false;
    sequence = readU32(log + at + logEntrySequenceAt);
    return true;
}

EntryCheck readLogEntry(const uint8_t* log, size_t length, size_t at, LogEntry& entry) {
    size_t size = 0;
    const EntryCheck header = checkHeader(log, length, at, size);
    if (header != EntryCheck::sound) return header;
    const uint8_t* start = log + at;
    if (readU64(start + logEntryHash1At) != marvin32(start + logEntryHeaderSize, size - logEntryHeaderSize)) {
        return EntryCheck::badHash;
    }
    entry.at = at;
    entry.size = size;
    entry.sequence = readU32(start + logEntrySequenceAt);
    entry.binsSize = readU32(start + logEntryBinsSizeAt);
    return readPages(log, entry);
}

Bytes logHeader(const uint8_t* primaryBaseBlock, uint32_t sequence) {
    Bytes header(primaryBaseBlock, primaryBaseBlock + logHeaderSize);
    writeU32(&header[fileTypeAt], fileTypeNewLog);
    writeU32(&header[primarySequenceAt], sequence);
    writeU32(&header[secondarySequenceAt], sequence);
    sealBaseBlock(header.data());
    return header;
}

Bytes logEntry(const Bytes& image, uint32_t sequence, const std::vector<PageRange>& pages) {
    if (image.size() < baseBlockSize || pages.size() > std::numeric_limits<uint32_t>::max()) return {};
    const size_t bins = image.size() - baseBlockSize;
    uint64_t total = logEntryHeaderSize + uint64_t{pageReferenceSize} * pages.size();
    for (const PageRange& page : pages) {
        if (page.size == 0 || !wholePages(page.offset) || !wholePages(page.size) ||
            uint64_t{page.offset} + page.size > bins) {
            return {};
        }
        total += page.size;
    }
    const uint64_t padded = (total + logSectorSize - 1) / logSectorSize * logSectorSize;
    if (padded > std::numeric_limits<uint32_t>::max()) return {};
    Bytes entry(static_cast<size_t>(padded), 0);
    std::memcpy(entry.data(), entrySignature, sizeof entrySignature);
    writeU32(&entry[logEntrySizeAt], static_cast<uint32_t>(padded));
    writeU32(&entry[logEntryFlagsAt], noFlags);
    writeU32(&entry[logEntrySequenceAt], sequence);
    writeU32(&entry[logEntryBinsSizeAt], readU32(&image[binsSizeAt]));
    writeU32(&entry[logEntryPageCountAt], static_cast<uint32_t>(pages.size()));
    size_t to = logEntryHeaderSize + pageReferenceSize * pages.size();
    for (size_t i = 0; i < pages.size(); ++i) {
        writeU32(&entry[logEntryHeaderSize + i * pageReferenceSize], pages[i].offset);
        writeU32(&entry[logEntryHeaderSize + i * pageReferenceSize + 4], pages[i].size);
        std::memcpy(&entry[to], &image[baseBlockSize + pages[i].offset], pages[i].size);
        to += pages[i].size;
    }
    writeU64(&entry[logEntryHash1At], marvin32(&entry[logEntryHeaderSize], entry.size() - logEntryHeaderSize));
    writeU64(&entry[logEntryHash2At], marvin32(entry.data(), hashedHeaderSize));
    return entry;
}

} // namespace hive
