// Changing a hive image cell by cell; see cell_edit.h.
#include "cell_edit.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace hive {

namespace {

constexpr uint32_t freeCellLimit = 0x80000000;    // a size below this is a free cell's
constexpr uint64_t mostBinsSize = 0x7FFFF000;     // a hive the system can load: under 2 GiB
constexpr size_t mostDataBytes = 64u * 1024 * 1024; // far above any value a clean-up writes, and
                                                   // within the 65,535 segments of big data
constexpr size_t mostListEntries = 0xFFFF;        // a list's count is 16 bits
constexpr uint32_t mostReferences = 0xFFFFFFFF;
constexpr size_t segmentSpare = 4; // bytes after each big data segment, see storeBigData
constexpr uint16_t newKeyFlags = nk::compressedName;
constexpr uint32_t firstHashedListMinor = 5; // lh lists from minor version 5 on, lf before
constexpr uint64_t unixEpochFileTime = 116444736000000000ULL; // 1970-01-01 in 100 ns units since 1601
constexpr uint64_t nanosecondsPerTick = 100;

uint64_t roundUp(uint64_t value, uint64_t unit) { return (value + unit - 1) / unit * unit; }

uint64_t currentFileTime() {
    const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return unixEpochFileTime + static_cast<uint64_t>(since.count()) / nanosecondsPerTick;
}

bool fitsLatin1(const std::u16string& text) {
    return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit <= 0xFF; });
}

// A name as a record stores it: one byte a character when every one is
// Latin-1, else UTF-16LE.
Bytes encodeName(const std::u16string& text, bool compressed) {
    Bytes bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit));
        if (!compressed) bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

size_t entryStep(ListKind kind) {
    return kind == ListKind::lf || kind == ListKind::lh ? list::hashedEntry : list::plainEntry;
}

const char* signatureOf(ListKind kind) {
    switch (kind) {
    case ListKind::lf: return "lf";
    case ListKind::lh: return "lh";
    case ListKind::li: return "li";
    default: return "ri";
    }
}

// One subkey list entry: the key, then its hint or hash in lf and lh lists.
Bytes listEntry(ListKind kind, CellOffset key, const std::u16string& name) {
    Bytes entry(entryStep(kind), 0);
    writeU32(entry.data(), key);
    if (kind == ListKind::lf) writeU32(entry.data() + sizeof(uint32_t), nameHint(name));
    if (kind == ListKind::lh) writeU32(entry.data() + sizeof(uint32_t), nameHash(name));
    return entry;
}

} // namespace

struct HiveEditor::Stored {
    uint32_t length = 0; // the vk's data length field
    uint32_t offset = 0; // its data offset field (the data itself when inline)
};

HiveEditor::HiveEditor(Bytes& image) : image_(image), view_(std::make_unique<HiveView>(image)) {
    committed_.size = image_.size();
}

// ---- The journal of pages written ----

bool HiveEditor::begin(std::string& problem) {
    change_ = Journal();
    change_.size = image_.size();
    firstSeen_.clear();
    baseFirstSeen_ = false;
    view_ = std::make_unique<HiveView>(image_);
    problem.clear();
    if (!checked_ && !view_->checkCells(problem)) return false;
    checked_ = true;
    return true;
}

bool HiveEditor::finish(bool done, std::string& problem) {
    if (!done) {
        if (problem.empty()) problem = "the hive is damaged where the change goes";
        restore(change_);
        for (uint32_t page : firstSeen_) committed_.pages.erase(page);
        if (baseFirstSeen_) committed_.base.clear();
    }
    change_ = Journal();
    firstSeen_.clear();
    view_ = std::make_unique<HiveView>(image_);
    return done;
}

void HiveEditor::restore(const Journal& journal) {
    image_.resize(journal.size);
    for (const auto& [page, bytes] : journal.pages) {
        std::copy(bytes.begin(), bytes.end(), image_.begin() + baseBlockSize + size_t{page} * pageSize);
    }
    std::copy(journal.base.begin(), journal.base.end(), image_.begin());
}

void HiveEditor::saveBefore(Journal& journal, uint32_t page, bool& added) {
    if (journal.pages.count(page) != 0) return;
    const size_t start = baseBlockSize + size_t{page} * pageSize;
    Bytes before;
    if (start < journal.size) {
        before.assign(image_.begin() + start, image_.begin() + std::min(start + pageSize, journal.size));
    }
    journal.pages.emplace(page, std::move(before));
    added = true;
}

bool HiveEditor::write(uint32_t at, const void* bytes, size_t length) {
    if (length == 0) return true;
    if (image_.size() < baseBlockSize || uint64_t{at} + length > image_.size() - baseBlockSize) return false;
    const uint32_t last = static_cast<uint32_t>((uint64_t{at} + length - 1) / pageSize);
    for (uint32_t page = at / pageSize; page <= last; ++page) {
        bool added = false;
        saveBefore(committed_, page, added);
        if (added) firstSeen_.insert(page);
        saveBefore(change_, page, added);
    }
    std::memcpy(image_.data() + baseBlockSize + at, bytes, length);
    return true;
}

bool HiveEditor::writeBaseBlock(size_t at, uint32_t value) {
    if (image_.size() < baseBlockSize || at + sizeof value > baseBlockSize) return false;
    if (committed_.base.empty()) {
        committed_.base.assign(image_.begin(), image_.begin() + baseBlockSize);
        baseFirstSeen_ = true;
    }
    if (change_.base.empty()) change_.base.assign(image_.begin(), image_.begin() + baseBlockSize);
    writeU32(image_.data() + at, value);
    return true;
}

bool HiveEditor::put16(CellOffset cell, size_t field, uint16_t value) {
    uint8_t bytes[sizeof value];
    writeU16(bytes, value);
    const uint64_t at = uint64_t{cell} + cellSizeField + field;
    return at <= UINT32_MAX && write(static_cast<uint32_t>(at), bytes, sizeof bytes);
}

bool HiveEditor::put32(CellOffset cell, size_t field, uint32_t value) {
    uint8_t bytes[sizeof value];
    writeU32(bytes, value);
    const uint64_t at = uint64_t{cell} + cellSizeField + field;
    return at <= UINT32_MAX && write(static_cast<uint32_t>(at), bytes, sizeof bytes);
}

bool HiveEditor::put64(CellOffset cell, size_t field, uint64_t value) {
    uint8_t bytes[sizeof value];
    writeU64(bytes, value);
    const uint64_t at = uint64_t{cell} + cellSizeField + field;
    return at <= UINT32_MAX && write(static_cast<uint32_t>(at), bytes, sizeof bytes);
}

bool HiveEditor::putCellSize(CellOffset cell, uint32_t size) {
    uint8_t bytes[sizeof size];
    writeU32(bytes, size);
    return write(cell, bytes, sizeof bytes);
}

bool HiveEditor::read32(CellOffset cell, size_t field, uint32_t& value) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (!view_->cell(cell, data, length) || field + sizeof value > length) return false;
    value = readU32(data + field);
    return true;
}

bool HiveEditor::touch(CellOffset key) {
    return put64(key, nk::lastWrittenAt, writeTime_ ? writeTime_ : currentFileTime());
}

std::vector<uint32_t> HiveEditor::dirtyPages() const {
    std::vector<uint32_t> pages;
    for (const auto& entry : committed_.pages) pages.push_back(static_cast<uint32_t>(entry.first * pageSize));
    return pages;
}

void HiveEditor::markCommitted() {
    committed_ = Journal();
    committed_.size = image_.size();
}

void HiveEditor::rollback() {
    restore(committed_);
    markCommitted();
    view_ = std::make_unique<HiveView>(image_);
}

// ---- Cells: allocated first fit, freed with their free neighbours ----

namespace {

// The size of the cell at `at` in a bin ending at `end`, and whether it is
// free; false when it is not a whole, aligned cell inside the bin.
bool cellAt(const Bytes& image, uint32_t at, uint32_t end, uint32_t& size, bool& isFree) {
    if (at >= end || end - at < cellSizeField) return false;
    const uint32_t raw = readU32(image.data() + baseBlockSize + at);
    isFree = raw < freeCellLimit;
    size = isFree ? raw : 0u - raw;
    return size >= cellAlignment && size % cellAlignment == 0 && size <= end - at;
}

} // namespace

bool HiveEditor::allocateIn(uint32_t start, uint32_t end, uint32_t need, CellOffset& at) {
    uint32_t size = 0;
    bool isFree = false;
    for (uint32_t cell = start + binHeaderSize; cell < end; cell += size) {
        if (!cellAt(image_, cell, end, size, isFree)) return false; // a damaged bin is left alone
        if (!isFree || size < need) continue;
        const uint32_t taken = size - need >= cellAlignment ? need : size;
        Bytes cleared(taken, 0);
        writeU32(cleared.data(), 0u - taken);
        if (taken < size && !putCellSize(cell + taken, size - taken)) return false; // the rest stays free
        if (!write(cell, cleared.data(), cleared.size())) return false;
        at = cell;
        return true;
    }
    return false;
}

bool HiveEditor::appendBin(uint32_t need, std::string& problem) {
    const uint64_t start = view_->binsSize();
    const uint64_t size = roundUp(uint64_t{need} + binHeaderSize, pageSize);
    if (start + size > mostBinsSize) {
        problem = "the hive would grow past what the system loads";
        return false;
    }
    if (image_.size() < baseBlockSize + start + size) image_.resize(baseBlockSize + start + size);
    Bytes bin(size, 0);
    std::memcpy(bin.data(), "hbin", 4);
    writeU32(bin.data() + bin::offsetAt, static_cast<uint32_t>(start));
    writeU32(bin.data() + bin::sizeAt, static_cast<uint32_t>(size));
    writeU32(bin.data() + binHeaderSize, static_cast<uint32_t>(size - binHeaderSize)); // one free cell
    if (!write(static_cast<uint32_t>(start), bin.data(), bin.size()) ||
        !writeBaseBlock(binsSizeAt, static_cast<uint32_t>(start + size))) {
        problem = "cannot add a bin";
        return false;
    }
    view_ = std::make_unique<HiveView>(image_);
    return true;
}

bool HiveEditor::allocate(size_t length, CellOffset& at, std::string& problem) {
    const uint64_t need = roundUp(uint64_t{length} + cellSizeField, cellAlignment);
    if (need >= mostBinsSize) {
        problem = "a cell that large cannot be stored";
        return false;
    }
    uint32_t next = 0, start = 0, end = 0;
    while (view_->binOf(next, start, end)) {
        if (allocateIn(start, end, static_cast<uint32_t>(need), at)) return true;
        next = end;
    }
    const uint32_t newBin = view_->binsSize();
    if (!appendBin(static_cast<uint32_t>(need), problem)) return false;
    if (view_->binOf(newBin, start, end) && allocateIn(start, end, static_cast<uint32_t>(need), at)) return true;
    problem = "cannot allocate a cell in a new bin";
    return false;
}

bool HiveEditor::newCell(const Bytes& content, CellOffset& at, std::string& problem) {
    return allocate(content.size(), at, problem) && write(at + cellSizeField, content.data(), content.size());
}

bool HiveEditor::release(CellOffset at, std::string& problem) {
    const uint8_t* data = nullptr;
    uint32_t length = 0, start = 0, end = 0;
    problem = "cell " + std::to_string(at) + " cannot be freed: it is not an allocated cell";
    if (!view_->cell(at, data, length) || !view_->binOf(at, start, end)) return false;
    uint32_t size = 0, previousSize = 0;
    bool isFree = false, previousFree = false;
    uint32_t cell = start + binHeaderSize, previous = noCell;
    for (; cell < at; cell += size) {
        if (!cellAt(image_, cell, end, size, isFree)) return false;
        previous = cell;
        previousSize = size;
        previousFree = isFree;
    }
    if (cell != at || !cellAt(image_, at, end, size, isFree) || isFree) return false;
    uint32_t first = at, total = size, nextSize = 0;
    if (cellAt(image_, at + size, end, nextSize, isFree) && isFree) total += nextSize;
    if (previous != noCell && previousFree) {
        first = previous;
        total += previousSize;
    }
    problem.clear();
    return putCellSize(first, total);
}

// ---- Values ----

bool HiveEditor::removeEntry(CellOffset cell, size_t entriesAt, size_t index, size_t step, size_t count) {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (index >= count || !view_->cell(cell, data, length) || entriesAt + count * step > length) return false;
    const Bytes tail(data + entriesAt + (index + 1) * step, data + entriesAt + count * step);
    return write(static_cast<uint32_t>(cell + cellSizeField + entriesAt + index * step), tail.data(), tail.size());
}

bool HiveEditor::removeValue(CellOffset key, CellOffset value, std::string& problem) {
    std::vector<CellOffset> list;
    uint32_t listCell = noCell;
    if (!view_->values(key, list) || !read32(key, nk::valueListAt, listCell)) {
        problem = "the key's values cannot be read";
        return false;
    }
    const auto found = std::find(list.begin(), list.end(), value);
    if (found == list.end()) {
        problem = "the value is not in the key's list";
        return false;
    }
    const size_t count = list.size();
    const bool emptied = count == 1;
    const bool done = emptied ? release(listCell, problem) && put32(key, nk::valueListAt, noCell)
                              : removeEntry(listCell, 0, static_cast<size_t>(found - list.begin()),
                                            sizeof(uint32_t), count);
    return done && put32(key, nk::valueCountAt, static_cast<uint32_t>(count - 1));
}

bool HiveEditor::freeValue(CellOffset value, std::string& problem) {
    std::vector<CellOffset> cells;
    if (!view_->dataCells(value, cells)) {
        problem = "the value's data cannot be read";
        return false;
    }
    for (CellOffset cell : cells) {
        if (!release(cell, problem)) return false;
    }
    return release(value, problem);
}

bool HiveEditor::deleteValue(CellOffset key, CellOffset value, std::string& problem) {
    const bool done = begin(problem) && removeValue(key, value, problem) && freeValue(value, problem) &&
                      touch(key);
    return finish(done, problem);
}

bool HiveEditor::storeBigData(const Bytes& data, Stored& stored, std::string& problem) {
    const size_t count = (data.size() + bigDataSegment - 1) / bigDataSegment;
    Bytes segments(count * sizeof(uint32_t), 0);
    for (size_t i = 0; i < count; ++i) {
        const size_t from = i * bigDataSegment;
        Bytes part(data.begin() + from, data.begin() + std::min(data.size(), from + bigDataSegment));
        // libregf counts a segment's room as four bytes less than its cell
        // holds (a full segment's cell has them to spare): the last one gets
        // them too, or it would read short there.
        part.resize(part.size() + segmentSpare, 0);
        CellOffset segment = noCell;
        if (!newCell(part, segment, problem)) return false;
        writeU32(segments.data() + i * sizeof(uint32_t), segment);
    }
    CellOffset segmentList = noCell, record = noCell;
    Bytes header(db::recordSize, 0);
    header[0] = 'd';
    header[1] = 'b';
    writeU16(header.data() + db::countAt, static_cast<uint16_t>(count));
    if (!newCell(segments, segmentList, problem)) return false;
    writeU32(header.data() + db::segmentListAt, segmentList);
    if (!newCell(header, record, problem)) return false;
    stored = {static_cast<uint32_t>(data.size()), record};
    return true;
}

bool HiveEditor::storeData(const Bytes& data, Stored& stored, std::string& problem) {
    if (data.size() <= vk::longestInline) {
        uint8_t bytes[vk::longestInline] = {};
        std::copy(data.begin(), data.end(), bytes);
        stored = {static_cast<uint32_t>(data.size()) | vk::inlineData, readU32(bytes)};
        return true;
    }
    if (data.size() > bigDataSegment && view_->minorVersion() >= firstBigDataMinor) {
        return storeBigData(data, stored, problem);
    }
    CellOffset cell = noCell;
    if (!newCell(data, cell, problem)) return false;
    stored = {static_cast<uint32_t>(data.size()), cell};
    return true;
}

bool HiveEditor::replaceData(CellOffset value, uint32_t type, const Bytes& data, std::string& problem) {
    std::vector<CellOffset> old;
    if (!view_->dataCells(value, old)) {
        problem = "the value's data cannot be read";
        return false;
    }
    const bool oldOneCell = old.size() == 1 && !view_->isBigData(value);
    const bool newOneCell = data.size() > vk::longestInline &&
                            (data.size() <= bigDataSegment || view_->minorVersion() < firstBigDataMinor);
    const uint8_t* cellData = nullptr;
    uint32_t capacity = 0;
    Stored stored;
    if (oldOneCell && newOneCell && view_->cell(old[0], cellData, capacity) && capacity >= data.size()) {
        // The data fits where the old data was: written over it.
        if (!write(old[0] + cellSizeField, data.data(), data.size())) return false;
        stored = {static_cast<uint32_t>(data.size()), old[0]};
    } else {
        for (CellOffset cell : old) {
            if (!release(cell, problem)) return false;
        }
        if (!storeData(data, stored, problem)) return false;
    }
    return put32(value, vk::dataLengthAt, stored.length) && put32(value, vk::dataAt, stored.offset) &&
           put32(value, vk::typeAt, type);
}

bool HiveEditor::appendValue(CellOffset key, const Name& name, uint32_t type, const Bytes& data, CellOffset& value,
                             std::string& problem) {
    std::vector<CellOffset> list;
    uint32_t listCell = noCell;
    if (!view_->values(key, list) || !read32(key, nk::valueListAt, listCell)) {
        problem = "the key's values cannot be read";
        return false;
    }
    const bool compressed = fitsLatin1(name.text);
    const Bytes nameBytes = encodeName(name.text, compressed);
    Stored stored;
    if (!storeData(data, stored, problem)) return false;
    Bytes record(vk::nameAt + nameBytes.size(), 0);
    record[0] = 'v';
    record[1] = 'k';
    writeU16(record.data() + vk::nameLengthAt, static_cast<uint16_t>(nameBytes.size()));
    writeU32(record.data() + vk::dataLengthAt, stored.length);
    writeU32(record.data() + vk::dataAt, stored.offset);
    writeU32(record.data() + vk::typeAt, type);
    writeU16(record.data() + vk::flagsAt, compressed ? vk::compressedName : 0);
    std::copy(nameBytes.begin(), nameBytes.end(), record.begin() + vk::nameAt);
    if (!newCell(record, value, problem)) return false;
    const size_t count = list.size();
    const uint8_t* cellData = nullptr;
    uint32_t capacity = 0;
    if (count > 0 && view_->cell(listCell, cellData, capacity) && capacity >= (count + 1) * sizeof(uint32_t)) {
        if (!put32(listCell, count * sizeof(uint32_t), value)) return false;
    } else {
        Bytes entries((count + 1) * sizeof(uint32_t), 0);
        for (size_t i = 0; i < count; ++i) writeU32(entries.data() + i * sizeof(uint32_t), list[i]);
        writeU32(entries.data() + count * sizeof(uint32_t), value);
        CellOffset newList = noCell;
        if (!newCell(entries, newList, problem)) return false;
        if (count > 0 && !release(listCell, problem)) return false;
        if (!put32(key, nk::valueListAt, newList)) return false;
    }
    return put32(key, nk::valueCountAt, static_cast<uint32_t>(count + 1));
}

bool HiveEditor::raiseValueMaxima(CellOffset key, size_t nameUnits, size_t dataLength) {
    uint32_t longestName = 0, longestData = 0;
    if (!read32(key, nk::maxValueNameAt, longestName) || !read32(key, nk::maxValueDataAt, longestData)) return false;
    const uint32_t nameBytes = static_cast<uint32_t>(nameUnits * sizeof(char16_t)); // counted as UTF-16
    return (nameBytes <= longestName || put32(key, nk::maxValueNameAt, nameBytes)) &&
           (dataLength <= longestData || put32(key, nk::maxValueDataAt, static_cast<uint32_t>(dataLength)));
}

bool HiveEditor::setValue(CellOffset key, const Name& name, uint32_t type, const Bytes& data, CellOffset& value,
                          std::string& problem) {
    if (name.text.size() > longestValueName || data.size() > mostDataBytes) {
        problem = "the value's name or data is too long";
        return false;
    }
    std::vector<CellOffset> list;
    bool done = begin(problem);
    if (done && !view_->values(key, list)) {
        problem = "the key's values cannot be read";
        done = false;
    }
    value = noCell;
    Name found;
    for (size_t i = 0; i < list.size() && value == noCell; ++i) {
        if (view_->valueName(list[i], found) && sameName(found.text, name.text)) value = list[i]; // the first, as read
    }
    if (done) {
        done = value != noCell ? replaceData(value, type, data, problem)
                               : appendValue(key, name, type, data, value, problem);
    }
    done = done && raiseValueMaxima(key, name.text.size(), data.size()) && touch(key);
    if (!done) value = noCell;
    return finish(done, problem);
}

// ---- Keys ----

bool HiveEditor::dropSecurity(CellOffset security, std::string& problem) {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    problem = "the key's security record is damaged";
    if (!view_->record(security, "sk", sk::descriptorAt, data, length)) return false;
    const uint32_t references = readU32(data + sk::referencesAt);
    const CellOffset next = readU32(data + sk::nextAt);
    const CellOffset previous = readU32(data + sk::previousAt);
    if (references == 0) return false;
    problem.clear();
    if (references > 1) return put32(security, sk::referencesAt, references - 1);
    // The last key using it is going: the record leaves the ring of records.
    if (next != security) {
        if (!view_->record(next, "sk", sk::descriptorAt, data, length) ||
            !view_->record(previous, "sk", sk::descriptorAt, data, length)) {
            problem = "the ring of security records is damaged";
            return false;
        }
        if (!put32(previous, sk::nextAt, next) || !put32(next, sk::previousAt, previous)) return false;
    }
    return release(security, problem);
}

bool HiveEditor::freeKeyParts(CellOffset key, std::string& problem) {
    std::vector<CellOffset> list;
    uint32_t listCell = noCell, classCell = noCell;
    if (!view_->values(key, list) || !read32(key, nk::valueListAt, listCell) || !read32(key, nk::classAt, classCell)) {
        problem = "the key's values cannot be read";
        return false;
    }
    for (CellOffset value : list) {
        if (!freeValue(value, problem)) return false;
    }
    if (!list.empty() && !release(listCell, problem)) return false;
    return classCell == noCell || release(classCell, problem);
}

bool HiveEditor::removeFromLeaf(CellOffset leaf, CellOffset key, bool& emptied, std::string& problem) {
    ListKind kind = ListKind::none;
    std::vector<CellOffset> entries;
    if (!view_->listEntries(leaf, kind, entries) || kind == ListKind::ri) {
        problem = "a subkey list is damaged";
        return false;
    }
    const auto found = std::find(entries.begin(), entries.end(), key);
    if (found == entries.end()) return false;
    emptied = entries.size() == 1;
    if (emptied) return true;
    return removeEntry(leaf, list::entriesAt, static_cast<size_t>(found - entries.begin()), entryStep(kind),
                       entries.size()) &&
           put16(leaf, list::countAt, static_cast<uint16_t>(entries.size() - 1));
}

bool HiveEditor::removeSubkey(CellOffset parent, CellOffset key, std::string& problem) {
    std::vector<CellOffset> keys, entries;
    uint32_t listCell = noCell;
    ListKind kind = ListKind::none;
    if (!view_->subkeys(parent, keys) || std::find(keys.begin(), keys.end(), key) == keys.end() ||
        !read32(parent, nk::subkeyListAt, listCell) || !view_->listEntries(listCell, kind, entries)) {
        problem = "the key is not in the parent's subkey list";
        return false;
    }
    bool emptied = false;
    bool done = false;
    if (kind != ListKind::ri) {
        done = removeFromLeaf(listCell, key, emptied, problem) &&
               (!emptied || (release(listCell, problem) && put32(parent, nk::subkeyListAt, noCell)));
    }
    for (size_t i = 0; kind == ListKind::ri && i < entries.size() && !done; ++i) {
        std::vector<CellOffset> leafKeys;
        ListKind leafKind = ListKind::none;
        if (!view_->listEntries(entries[i], leafKind, leafKeys) ||
            std::find(leafKeys.begin(), leafKeys.end(), key) == leafKeys.end()) {
            continue;
        }
        done = removeFromLeaf(entries[i], key, emptied, problem);
        if (!done || !emptied) break;
        // The leaf is empty: it goes, and the index root with it when it held only that leaf.
        done = release(entries[i], problem) &&
               (entries.size() == 1
                    ? release(listCell, problem) && put32(parent, nk::subkeyListAt, noCell)
                    : removeEntry(listCell, list::entriesAt, i, list::plainEntry, entries.size()) &&
                          put16(listCell, list::countAt, static_cast<uint16_t>(entries.size() - 1)));
    }
    if (!done && problem.empty()) problem = "the key is not in the parent's subkey list";
    return done && put32(parent, nk::subkeyCountAt, static_cast<uint32_t>(keys.size() - 1));
}

bool HiveEditor::deleteKey(CellOffset parent, CellOffset key, std::string& problem) {
    uint32_t subkeyCount = 0, security = noCell;
    bool done = begin(problem);
    if (done && (key == view_->root() || !read32(key, nk::subkeyCountAt, subkeyCount) ||
                 !read32(key, nk::securityAt, security))) {
        problem = "not a key that can be deleted";
        done = false;
    }
    if (done && subkeyCount != 0) {
        problem = "the key has subkeys";
        done = false;
    }
    done = done && removeSubkey(parent, key, problem) && freeKeyParts(key, problem) &&
           dropSecurity(security, problem) && release(key, problem) && touch(parent);
    return finish(done, problem);
}

ListKind HiveEditor::newListKind() const {
    return view_->minorVersion() >= firstHashedListMinor ? ListKind::lh : ListKind::lf;
}

// The new key shares its parent's security record, which counts one more key.
bool HiveEditor::newKeyRecord(CellOffset parent, const Name& name, CellOffset& key, std::string& problem) {
    const uint8_t* data = nullptr;
    uint32_t length = 0, security = noCell;
    if (!read32(parent, nk::securityAt, security) || !view_->record(security, "sk", sk::descriptorAt, data, length) ||
        readU32(data + sk::referencesAt) == mostReferences) {
        problem = "the parent's security record is damaged";
        return false;
    }
    const uint32_t references = readU32(data + sk::referencesAt);
    const bool compressed = fitsLatin1(name.text);
    const Bytes nameBytes = encodeName(name.text, compressed);
    Bytes record(nk::nameAt + nameBytes.size(), 0);
    record[0] = 'n';
    record[1] = 'k';
    writeU16(record.data() + nk::flagsAt, compressed ? newKeyFlags : 0);
    writeU64(record.data() + nk::lastWrittenAt, writeTime_ ? writeTime_ : currentFileTime());
    writeU32(record.data() + nk::parentAt, parent);
    writeU32(record.data() + nk::subkeyListAt, noCell);
    writeU32(record.data() + nk::volatileListAt, noCell);
    writeU32(record.data() + nk::valueListAt, noCell);
    writeU32(record.data() + nk::securityAt, security);
    writeU32(record.data() + nk::classAt, noCell);
    writeU16(record.data() + nk::nameLengthAt, static_cast<uint16_t>(nameBytes.size()));
    std::copy(nameBytes.begin(), nameBytes.end(), record.begin() + nk::nameAt);
    return newCell(record, key, problem) && put32(security, sk::referencesAt, references + 1);
}

// The leaf of an index root a name belongs in: the first whose last key
// sorts after it, else the last.
bool HiveEditor::chooseLeaf(CellOffset root, const std::u16string& name, size_t& index, CellOffset& leaf,
                            std::string& problem) {
    ListKind kind = ListKind::none;
    std::vector<CellOffset> leaves, keys;
    problem = "a subkey list is damaged";
    if (!view_->listEntries(root, kind, leaves) || leaves.empty()) return false;
    Name last;
    for (index = 0; index < leaves.size(); ++index) {
        if (!view_->listEntries(leaves[index], kind, keys) || kind == ListKind::ri || keys.empty() ||
            !view_->keyName(keys.back(), last)) {
            return false;
        }
        if (compareNames(name, last.text) < 0) break;
    }
    index = std::min(index, leaves.size() - 1);
    leaf = leaves[index];
    problem.clear();
    return true;
}

// Puts the key into a leaf in order of the names; a leaf without room for
// one more entry is copied to a larger cell, and `leaf` is then the copy.
bool HiveEditor::insertIntoLeaf(CellOffset& leaf, CellOffset key, const std::u16string& name, std::string& problem) {
    ListKind kind = ListKind::none;
    std::vector<CellOffset> keys;
    problem = "a subkey list is damaged";
    if (!view_->listEntries(leaf, kind, keys) || kind == ListKind::ri || keys.size() >= mostListEntries) return false;
    size_t position = keys.size();
    Name other;
    for (size_t i = 0; i < keys.size() && position == keys.size(); ++i) {
        if (!view_->keyName(keys[i], other)) return false;
        if (compareNames(name, other.text) < 0) position = i;
    }
    const size_t step = entryStep(kind);
    const Bytes entry = listEntry(kind, key, name);
    const uint8_t* data = nullptr;
    uint32_t capacity = 0;
    if (!view_->cell(leaf, data, capacity)) return false;
    const size_t count = keys.size();
    const Bytes before(data, data + list::entriesAt + position * step);
    const Bytes after(data + list::entriesAt + position * step, data + list::entriesAt + count * step);
    problem.clear();
    if (capacity >= list::entriesAt + (count + 1) * step) {
        const uint32_t at = static_cast<uint32_t>(leaf + cellSizeField + list::entriesAt + position * step);
        return write(static_cast<uint32_t>(at + step), after.data(), after.size()) &&
               write(at, entry.data(), entry.size()) && put16(leaf, list::countAt, static_cast<uint16_t>(count + 1));
    }
    Bytes larger(before);
    larger.insert(larger.end(), entry.begin(), entry.end());
    larger.insert(larger.end(), after.begin(), after.end());
    writeU16(larger.data() + list::countAt, static_cast<uint16_t>(count + 1));
    CellOffset copy = noCell;
    if (!newCell(larger, copy, problem) || !release(leaf, problem)) return false;
    leaf = copy;
    return true;
}

bool HiveEditor::insertSubkey(CellOffset parent, CellOffset key, const std::u16string& name, std::string& problem) {
    uint32_t count = 0, listCell = noCell;
    if (!read32(parent, nk::subkeyCountAt, count) || !read32(parent, nk::subkeyListAt, listCell)) return false;
    if (count == 0) {
        const ListKind kind = newListKind();
        Bytes leaf(list::entriesAt, 0);
        std::memcpy(leaf.data(), signatureOf(kind), 2);
        writeU16(leaf.data() + list::countAt, 1);
        const Bytes entry = listEntry(kind, key, name);
        leaf.insert(leaf.end(), entry.begin(), entry.end());
        CellOffset at = noCell;
        return newCell(leaf, at, problem) && put32(parent, nk::subkeyListAt, at);
    }
    ListKind kind = ListKind::none;
    std::vector<CellOffset> entries;
    if (!view_->listEntries(listCell, kind, entries)) return false;
    if (kind != ListKind::ri) {
        CellOffset leaf = listCell;
        return insertIntoLeaf(leaf, key, name, problem) &&
               (leaf == listCell || put32(parent, nk::subkeyListAt, leaf));
    }
    size_t index = 0;
    CellOffset leaf = noCell;
    if (!chooseLeaf(listCell, name, index, leaf, problem)) return false;
    const CellOffset before = leaf;
    return insertIntoLeaf(leaf, key, name, problem) &&
           (leaf == before || put32(listCell, list::entriesAt + index * list::plainEntry, leaf));
}

bool HiveEditor::addKey(CellOffset parent, const Name& name, CellOffset& key, std::string& problem) {
    key = noCell;
    if (name.text.empty() || name.text.size() > longestKeyName || name.text.find(u'\\') != std::u16string::npos) {
        problem = "not a name a key can have";
        return false;
    }
    std::vector<CellOffset> keys;
    bool done = begin(problem);
    if (done && !view_->subkeys(parent, keys)) {
        problem = "the parent's subkeys cannot be read";
        done = false;
    }
    Name other;
    for (size_t i = 0; done && i < keys.size(); ++i) {
        if (!view_->keyName(keys[i], other) || sameName(other.text, name.text)) {
            problem = "the parent has a subkey of that name or a damaged one";
            done = false;
        }
    }
    uint32_t longest = 0;
    done = done && newKeyRecord(parent, name, key, problem) && insertSubkey(parent, key, name.text, problem) &&
           put32(parent, nk::subkeyCountAt, static_cast<uint32_t>(keys.size() + 1)) &&
           read32(parent, nk::maxSubkeyNameAt, longest);
    const uint32_t nameBytes = static_cast<uint32_t>(name.text.size() * sizeof(char16_t)); // counted as UTF-16
    done = done &&
           ((longest & 0xFFFF) >= nameBytes || put16(parent, nk::maxSubkeyNameAt, static_cast<uint16_t>(nameBytes))) &&
           touch(parent);
    if (!done) key = noCell;
    return finish(done, problem);
}

} // namespace hive
