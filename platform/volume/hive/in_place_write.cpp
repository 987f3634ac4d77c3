// Writing a hive in place through its log; see in_place_write.h.
#include "in_place_write.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "log_entry.h"

namespace hive {

namespace {

// FILETIME counts 100 ns steps from 1601; the host's clock, seconds from 1970.
constexpr uint64_t fileTimeUnitsPerSecond = 10000000;
constexpr uint64_t secondsFrom1601To1970 = 11644473600ULL;
constexpr uint64_t nanosecondsPerUnit = 100;

uint64_t fileTimeNow() {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<uint64_t>(now.tv_sec) + secondsFrom1601To1970) * fileTimeUnitsPerSecond +
           static_cast<uint64_t>(now.tv_nsec) / nanosecondsPerUnit;
}

std::string reason(const std::string& what) { return what + " (" + std::strerror(errno != 0 ? errno : EIO) + ")"; }

bool writeAt(int fd, const uint8_t* data, size_t length, off_t at) {
    while (length > 0) {
        const ssize_t written = pwrite(fd, data, length, at);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        length -= static_cast<size_t>(written);
        at += written;
    }
    return true;
}

bool flushed(int fd) { return fsync(fd) == 0; }

void setSequences(Bytes& image, uint32_t primary, uint32_t secondary) {
    writeU32(image.data() + primarySequenceAt, primary);
    writeU32(image.data() + secondarySequenceAt, secondary);
    sealBaseBlock(image.data());
}

bool writeBaseBlock(int fd, const Bytes& image) {
    errno = 0;
    return writeAt(fd, image.data(), baseBlockSize, 0) && flushed(fd);
}

// The file is made as long as the image first, so that a bin added at the
// end is there whole even where no page of it changed.
bool writeRanges(int fd, const Bytes& image, const std::vector<PageRange>& ranges) {
    errno = 0;
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    if (static_cast<uint64_t>(info.st_size) < image.size() && ftruncate(fd, static_cast<off_t>(image.size())) != 0) {
        return false;
    }
    for (const PageRange& range : ranges) {
        const uint64_t end = baseBlockSize + static_cast<uint64_t>(range.offset) + range.size;
        if (end > image.size()) {
            errno = EINVAL;
            return false;
        }
        const size_t at = baseBlockSize + range.offset;
        if (!writeAt(fd, image.data() + at, range.size, static_cast<off_t>(at))) return false;
    }
    return flushed(fd);
}

void watch(const OpenHive& hive, WriteStep step) {
    if (hive.watch) hive.watch(step);
}

// Clean, with numbers above every entry its logs hold.
bool markClean(OpenHive& hive, Bytes& image, uint32_t above) {
    const uint32_t clean = above + 1;
    writeU64(image.data() + lastWrittenAt, fileTimeNow());
    setSequences(image, clean, clean);
    if (!writeBaseBlock(hive.primary, image)) return false;
    hive.sequence = clean;
    return true;
}

// Clean as it was, under a higher number.
bool renumber(OpenHive& hive, Bytes& image, uint32_t sequence) {
    setSequences(image, sequence, sequence);
    if (!writeBaseBlock(hive.primary, image)) return false;
    hive.sequence = sequence;
    return true;
}

} // namespace

std::vector<PageRange> pageRanges(std::vector<uint32_t> pages) {
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    std::vector<PageRange> ranges;
    for (uint32_t page : pages) {
        if (!ranges.empty() && ranges.back().offset + ranges.back().size == page) {
            ranges.back().size += pageSize;
        } else {
            ranges.push_back(PageRange{page, static_cast<uint32_t>(pageSize)});
        }
    }
    return ranges;
}

bool writeInPlace(OpenHive& hive, Bytes& image, const std::vector<PageRange>& pages, std::string& problem,
                  bool& leftDirty) {
    leftDirty = false;
    if (image.size() < baseBlockSize) {
        problem = "the hive is shorter than its base block";
        return false;
    }
    // The entry carries the clean file's own number, as the system numbers
    // its first entry after a write; a log that holds that number or a
    // higher one already (left by something else) is put below first.
    if (hive.logFloor >= hive.sequence && !renumber(hive, image, hive.logFloor + 1)) {
        problem = reason("the hive file cannot be written");
        return false;
    }
    const uint32_t entry = hive.sequence;
    Bytes log = logHeader(image.data(), entry);
    const Bytes body = logEntry(image, entry, pages);
    log.insert(log.end(), body.begin(), body.end());
    errno = 0;
    if (!writeAt(hive.log, log.data(), log.size(), 0) || !flushed(hive.log)) {
        problem = reason("its log cannot be written");
        return false;
    }
    hive.logFloor = entry;
    watch(hive, WriteStep::logWritten);

    Bytes before(image.begin(), image.begin() + baseBlockSize);
    setSequences(image, entry + 1, entry);
    if (!writeBaseBlock(hive.primary, image)) {
        problem = reason("the hive file cannot be written");
        std::copy(before.begin(), before.end(), image.begin());
        return false;
    }
    watch(hive, WriteStep::primaryMarked);

    if (!writeRanges(hive.primary, image, pages)) {
        problem = reason("the hive file cannot be written; its log completes the change when the hive is next read");
        leftDirty = true;
        return true;
    }
    watch(hive, WriteStep::pagesWritten);
    if (!markClean(hive, image, entry)) {
        problem = reason("the hive file cannot be marked complete; its log completes the change when the hive is "
                         "next read");
        leftDirty = true;
        return true;
    }
    watch(hive, WriteStep::primaryClean);
    return true;
}

bool writeRecovered(OpenHive& hive, Bytes& image, const std::vector<PageRange>& ranges, std::string& problem) {
    if (image.size() < baseBlockSize) {
        problem = "the hive is shorter than its base block";
        return false;
    }
    if (!writeRanges(hive.primary, image, ranges)) {
        problem = reason("what its logs hold cannot be written into the hive file");
        return false;
    }
    BaseBlock fields;
    readBaseBlock(image.data(), image.size(), fields);
    if (!markClean(hive, image, std::max(fields.secondarySequence, hive.logFloor))) {
        problem = reason("the hive file cannot be marked complete");
        return false;
    }
    return true;
}

} // namespace hive
