// Replaying a dirty hive's logs; see log_replay.h.
//
// Nothing is written until the whole replay is known: the logs are read
// into a plan of page writes first, the plan is checked (the bins it makes
// must be carried by the logs), and only then is the image changed.
#include "log_replay.h"

#include <algorithm>
#include <cstring>

namespace hive {

namespace {

const char dirtySignature[] = {'D', 'I', 'R', 'T'};
constexpr size_t dirtyVectorAt = logHeaderSize; // old format: "DIRT", then the bitmap
constexpr size_t dirtyBitmapAt = dirtyVectorAt + sizeof dirtySignature;
constexpr size_t oldLogPageSize = 512; // one bit of the dirty vector
constexpr unsigned bitsPerByte = 8;

enum class LogKind { unusable, newFormat, oldFormat };

struct LogHeader {
    const LogFile* file = nullptr;
    LogKind kind = LogKind::unusable;
    BaseBlock fields;
};

struct Write {
    PageRange to;
    const uint8_t* from;
};

// What a replay will do, decided before the image is touched.
struct Plan {
    std::vector<Write> writes;
    uint32_t binsSize = 0;
    uint32_t sequence = 0;
    unsigned entries = 0;
    const uint8_t* baseBlockFrom = nullptr; // a log's copy, when the hive's own is not kept
};

std::string numbered(const char* what, uint64_t number) { return what + std::to_string(number); }

LogHeader examine(const LogFile& log, std::vector<std::string>& reasons) {
    LogHeader header;
    header.file = &log;
    const Bytes& bytes = log.bytes;
    if (bytes.empty()) {
        reasons.push_back(log.name + ": it is empty");
    } else if (!baseBlockValid(bytes.data(), bytes.size()) ||
               !readBaseBlock(bytes.data(), bytes.size(), header.fields)) {
        reasons.push_back(log.name + ": its header is damaged");
    } else if (header.fields.fileType == fileTypeNewLog) {
        if (header.fields.primarySequence == header.fields.secondarySequence) {
            header.kind = LogKind::newFormat;
        } else {
            reasons.push_back(log.name + ": its header's two sequence numbers differ");
        }
    } else if (header.fields.fileType == fileTypeOldLog || header.fields.fileType == fileTypeOldLogWindows2000) {
        header.kind = LogKind::oldFormat;
    } else {
        reasons.push_back(log.name + numbered(": its header is not a log's (file type ", header.fields.fileType) + ")");
    }
    return header;
}

void addEntry(const LogEntry& entry, const Bytes& log, Plan& plan) {
    for (const LogPage& page : entry.pages) plan.writes.push_back(Write{page.range, log.data() + page.from});
    plan.binsSize = entry.binsSize;
    plan.sequence = entry.sequence;
    ++plan.entries;
}

// Walks one log's entries, which must carry its header's number and each
// the next after it. Takes the one that carries `next` (and so on), skips
// older ones, and stops at the first entry that is not sound, breaks the
// order or leaves a gap, saying why in `reasons`.
void follow(const LogHeader& log, uint32_t& next, Plan& plan, std::vector<std::string>& reasons) {
    const Bytes& bytes = log.file->bytes;
    uint32_t due = log.fields.primarySequence;
    LogEntry entry;
    for (size_t at = logHeaderSize;; at += entry.size) {
        const EntryCheck check = readLogEntry(bytes.data(), bytes.size(), at, entry);
        const std::string where = log.file->name + numbered(": the entry at offset ", at);
        if (check != EntryCheck::sound) {
            if (check != EntryCheck::absent) reasons.push_back(where + ": " + describe(check));
            return;
        }
        if (entry.sequence != due || entry.sequence > next) {
            const uint32_t wanted = entry.sequence != due ? due : next;
            reasons.push_back(where + numbered(" carries number ", entry.sequence) + numbered(" where ", wanted) +
                              " was due");
            return;
        }
        ++due;
        if (entry.sequence == next) {
            addEntry(entry, bytes, plan);
            ++next;
        }
    }
}

// A hive with a sound base block: entries from its secondary sequence number
// on, the log whose entries start earlier first.
bool planFromEntries(const std::vector<LogHeader>& headers, const BaseBlock& primary, Plan& plan,
                     std::vector<std::string>& reasons) {
    std::vector<const LogHeader*> usable;
    for (const LogHeader& header : headers) {
        if (header.kind == LogKind::newFormat) usable.push_back(&header);
    }
    std::stable_sort(usable.begin(), usable.end(), [](const LogHeader* a, const LogHeader* b) {
        return a->fields.primarySequence < b->fields.primarySequence;
    });
    uint32_t next = primary.secondarySequence;
    for (const LogHeader* log : usable) follow(*log, next, plan, reasons);
    if (plan.entries > 0) return true;
    if (!usable.empty()) {
        reasons.push_back(numbered("no log holds entry ", primary.secondarySequence) + ", the first the hive needs");
    }
    return false;
}

// A hive whose base block is damaged: the newest log's copy of it and that
// log's entries only.
bool planRebuild(const std::vector<LogHeader>& headers, Plan& plan, std::vector<std::string>& reasons) {
    const LogHeader* newest = nullptr;
    for (const LogHeader& header : headers) {
        if (header.kind != LogKind::newFormat) continue;
        if (newest == nullptr || header.fields.primarySequence > newest->fields.primarySequence) newest = &header;
    }
    if (newest == nullptr) return false;
    uint32_t next = newest->fields.primarySequence;
    follow(*newest, next, plan, reasons);
    plan.baseBlockFrom = newest->file->bytes.data();
    if (plan.entries > 0) return true;
    reasons.push_back("the hive's base block is damaged and its newest log, " + newest->file->name +
                      ", has no entry to rebuild it from");
    return false;
}

// The pages of an old-format log's dirty vector, in bit order.
bool readDirtyVector(const Bytes& bytes, uint32_t binsSize, Plan& plan) {
    const size_t bits = binsSize / oldLogPageSize;
    const size_t bitmapSize = bits / bitsPerByte; // bins are whole 4,096-byte pages: whole bytes
    if (bytes.size() < dirtyBitmapAt || bytes.size() - dirtyBitmapAt < bitmapSize) return false;
    size_t from = (dirtyBitmapAt + bitmapSize + logSectorSize - 1) / logSectorSize * logSectorSize;
    for (size_t bit = 0; bit < bits; ++bit) {
        if ((bytes[dirtyBitmapAt + bit / bitsPerByte] >> (bit % bitsPerByte) & 1) == 0) continue;
        if (from > bytes.size() || bytes.size() - from < oldLogPageSize) return false;
        const PageRange to{static_cast<uint32_t>(bit * oldLogPageSize), static_cast<uint32_t>(oldLogPageSize)};
        plan.writes.push_back(Write{to, bytes.data() + from});
        from += oldLogPageSize;
    }
    return true;
}

// An old-format log written at the same time as the hive: its dirty
// vector, and its copy of the base block (which carries the bins size).
bool planFromDirtyVector(const LogHeader& log, const Bytes& image, Plan& plan, std::vector<std::string>& reasons) {
    const Bytes& bytes = log.file->bytes;
    const uint32_t binsSize = log.fields.binsSize;
    const bool sameTime = image.size() >= lastWrittenAt + sizeof(uint64_t) &&
                          readU64(image.data() + lastWrittenAt) == log.fields.lastWritten;
    if (!sameTime) {
        reasons.push_back(log.file->name + ": it was not written at the same time as the hive");
        return false;
    }
    if (bytes.size() < dirtyBitmapAt ||
        std::memcmp(bytes.data() + dirtyVectorAt, dirtySignature, sizeof dirtySignature) != 0) {
        reasons.push_back(log.file->name + ": it has no dirty vector");
        return false;
    }
    const bool binsSound = binsSize != 0 && binsSize % pageSize == 0 && binsSize <= largestBinsSize;
    if (!binsSound || !readDirtyVector(bytes, binsSize, plan)) {
        reasons.push_back(log.file->name + ": its dirty vector does not fit its bins size or the log");
        plan = Plan{};
        return false;
    }
    BaseBlock primary;
    plan.sequence = std::max(log.fields.primarySequence, log.fields.secondarySequence);
    if (readBaseBlock(image.data(), image.size(), primary)) {
        plan.sequence = std::max({plan.sequence, primary.primarySequence, primary.secondarySequence});
    }
    plan.binsSize = binsSize;
    plan.entries = 1;
    plan.baseBlockFrom = bytes.data();
    return true;
}

bool planOldFormat(const std::vector<LogHeader>& headers, const Bytes& image, Plan& plan,
                   std::vector<std::string>& reasons) {
    for (const LogHeader& header : headers) {
        if (header.kind == LogKind::oldFormat && planFromDirtyVector(header, image, plan, reasons)) return true;
    }
    return false;
}

std::vector<PageRange> mergedRanges(const std::vector<Write>& writes) {
    std::vector<PageRange> ranges;
    for (const Write& write : writes) ranges.push_back(write.to);
    std::sort(ranges.begin(), ranges.end(), [](const PageRange& a, const PageRange& b) { return a.offset < b.offset; });
    std::vector<PageRange> merged;
    for (const PageRange& range : ranges) {
        const uint64_t end = uint64_t{range.offset} + range.size;
        if (!merged.empty() && uint64_t{merged.back().offset} + merged.back().size >= range.offset) {
            const uint64_t joined = std::max(uint64_t{merged.back().offset} + merged.back().size, end);
            merged.back().size = static_cast<uint32_t>(joined - merged.back().offset); // ends are within 2 GiB
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

// Whether sorted, merged ranges hold every byte from `from` to `to`.
bool covered(const std::vector<PageRange>& ranges, uint64_t from, uint64_t to) {
    for (const PageRange& range : ranges) {
        const uint64_t end = uint64_t{range.offset} + range.size;
        if (end <= from) continue;
        if (range.offset > from) break;
        from = end;
    }
    return from >= to;
}

bool apply(const Plan& plan, Bytes& image, Recovery& recovery, std::string& problem) {
    uint64_t end = plan.binsSize;
    for (const Write& write : plan.writes) end = std::max(end, uint64_t{write.to.offset} + write.to.size);
    const uint64_t held = image.size() > baseBlockSize ? image.size() - baseBlockSize : 0;
    std::vector<PageRange> ranges = mergedRanges(plan.writes);
    if (end > held && !covered(ranges, held, end)) {
        problem = numbered("the logs make the hive bins ", end) + numbered(" bytes long but the file holds ", held) +
                  " and the logs do not carry all the rest";
        return false;
    }
    image.resize(std::max<size_t>(image.size(), baseBlockSize + static_cast<size_t>(end)));
    if (plan.baseBlockFrom != nullptr) {
        std::memcpy(image.data(), plan.baseBlockFrom, logHeaderSize);
        writeU32(image.data() + fileTypeAt, fileTypePrimary);
    }
    for (const Write& write : plan.writes) {
        std::memcpy(image.data() + baseBlockSize + write.to.offset, write.from, write.to.size);
    }
    writeU32(image.data() + binsSizeAt, plan.binsSize);
    writeU32(image.data() + primarySequenceAt, plan.sequence);
    writeU32(image.data() + secondarySequenceAt, plan.sequence);
    sealBaseBlock(image.data());
    recovery.entriesApplied = plan.entries;
    recovery.pagesApplied = static_cast<unsigned>(plan.writes.size());
    recovery.lastSequence = plan.sequence;
    recovery.written = std::move(ranges);
    return true;
}

std::string joined(const std::vector<std::string>& reasons) {
    if (reasons.empty()) return "there is no log";
    std::string text;
    for (const std::string& reason : reasons) text += (text.empty() ? "" : "; ") + reason;
    return text;
}

} // namespace

bool recoverHive(Bytes& image, const std::vector<LogFile>& logs, Recovery& recovery, std::string& problem) {
    recovery = Recovery{};
    if (!primaryDirty(image.data(), image.size())) return true;
    recovery.wasDirty = true;
    std::vector<std::string> reasons;
    std::vector<LogHeader> headers;
    for (const LogFile& log : logs) headers.push_back(examine(log, reasons));
    BaseBlock primary;
    const bool sound = baseBlockValid(image.data(), image.size()) && readBaseBlock(image.data(), image.size(), primary);
    Plan plan;
    bool planned = sound ? planFromEntries(headers, primary, plan, reasons) : planRebuild(headers, plan, reasons);
    if (!planned) {
        plan = Plan{};
        planned = planOldFormat(headers, image, plan, reasons);
    }
    if (!planned) {
        problem = "the hive is dirty and its logs cannot bring it up to date: " + joined(reasons);
        return false;
    }
    return apply(plan, image, recovery, problem);
}

uint32_t highestLogSequence(const std::vector<LogFile>& logs) {
    uint32_t highest = 0;
    std::vector<std::string> reasons; // not reported
    for (const LogFile& log : logs) {
        const LogHeader header = examine(log, reasons);
        if (header.kind != LogKind::unusable) {
            highest = std::max({highest, header.fields.primarySequence, header.fields.secondarySequence});
        }
        // Every sector may start an entry: stale ones past a damaged entry count too.
        size_t at = logHeaderSize;
        while (at < log.bytes.size()) {
            uint32_t sequence = 0;
            size_t size = 0;
            if (logEntryHeaderSound(log.bytes.data(), log.bytes.size(), at, sequence, size)) {
                highest = std::max(highest, sequence);
                at += size;
            } else {
                at += logSectorSize;
            }
        }
    }
    return highest;
}

} // namespace hive
