// make-dirty-hive: turns two states of one hive into the files a system
// leaves when it stops after writing the newer state to the log only.
//
//   make-dirty-hive OLD NEW
//
// OLD becomes the primary file as such a system leaves it: the old bins,
// its first sequence number raised above the second (a write was begun).
// OLD.LOG1 is written beside it: a log header and one entry carrying every
// 4,096-byte page of NEW's bins that differs from OLD's, and every page
// past OLD's end. A reader that ignores the log sees OLD; one that
// replays it sees NEW. NEW is left as it is.
// Exit status: 0 written, 1 a file could not be read or written, 2 bad
// arguments.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base_block.h"
#include "log_entry.h"

namespace {

constexpr int exitWritten = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

bool readFile(const std::string& path, hive::Bytes& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool writeFile(const std::string& path, const hive::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

bool pageDiffers(const hive::Bytes& older, const hive::Bytes& newer, size_t at) {
    if (at + hive::pageSize > older.size()) return true;
    return !std::equal(newer.begin() + at, newer.begin() + at + hive::pageSize, older.begin() + at);
}

std::vector<hive::PageRange> changedPages(const hive::Bytes& older, const hive::Bytes& newer, uint32_t binsSize) {
    std::vector<hive::PageRange> pages;
    for (uint32_t page = 0; page < binsSize; page += hive::pageSize) {
        if (!pageDiffers(older, newer, hive::baseBlockSize + page)) continue;
        if (!pages.empty() && pages.back().offset + pages.back().size == page) {
            pages.back().size += hive::pageSize;
        } else {
            pages.push_back(hive::PageRange{page, static_cast<uint32_t>(hive::pageSize)});
        }
    }
    return pages;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: make-dirty-hive OLD NEW\n", stderr);
        return exitUsage;
    }
    const std::string oldPath = argv[1];
    hive::Bytes older, newer;
    hive::BaseBlock oldFields, newFields;
    if (!readFile(oldPath, older) || !readFile(argv[2], newer) ||
        !hive::readBaseBlock(older.data(), older.size(), oldFields) ||
        !hive::readBaseBlock(newer.data(), newer.size(), newFields) ||
        newer.size() < hive::baseBlockSize + newFields.binsSize) {
        std::fputs("make-dirty-hive: both files must be whole hives\n", stderr);
        return exitFailed;
    }
    // The first entry after a clean write carries the file's own number.
    const uint32_t entry = oldFields.secondarySequence;
    // The new state's base block goes with the entry: its bins size and root.
    std::copy(older.begin(), older.begin() + hive::baseBlockSize, newer.begin());
    hive::writeU32(newer.data() + hive::binsSizeAt, newFields.binsSize);
    hive::writeU32(newer.data() + hive::rootCellAt, newFields.rootCell);
    hive::Bytes log = hive::logHeader(older.data(), entry);
    const hive::Bytes body = hive::logEntry(newer, entry, changedPages(older, newer, newFields.binsSize));
    log.insert(log.end(), body.begin(), body.end());
    hive::writeU32(older.data() + hive::primarySequenceAt, entry + 1);
    hive::sealBaseBlock(older.data());
    if (!writeFile(oldPath + ".LOG1", log) || !writeFile(oldPath, older)) {
        std::fprintf(stderr, "make-dirty-hive: %s: cannot be written\n", oldPath.c_str());
        return exitFailed;
    }
    return exitWritten;
}
