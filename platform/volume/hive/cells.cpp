// Reading a hive's cells with every offset and length checked; see cells.h.
#include "cells.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace hive {

namespace {

constexpr uint32_t binAlignment = pageSize;
constexpr size_t hintCharacters = 4;
constexpr uint32_t hashFactor = 37;
constexpr char16_t latin1Last = 0xFF;

bool signatureIs(const uint8_t* data, const char* signature) {
    return data[0] == static_cast<uint8_t>(signature[0]) && data[1] == static_cast<uint8_t>(signature[1]);
}

// Latin Extended-A pairs an upper-case letter with the lower-case one after
// it, starting on an even unit in some runs and on an odd one in others.
char16_t upcaseExtendedA(char16_t unit) {
    const bool evenUpper = (unit >= 0x100 && unit <= 0x12F) || (unit >= 0x132 && unit <= 0x137) ||
                           (unit >= 0x14A && unit <= 0x177);
    const bool oddUpper = (unit >= 0x139 && unit <= 0x148) || (unit >= 0x179 && unit <= 0x17E);
    if (evenUpper && unit % 2 == 1) return static_cast<char16_t>(unit - 1);
    if (oddUpper && unit % 2 == 0) return static_cast<char16_t>(unit - 1);
    return unit;
}

char16_t upcaseGreek(char16_t unit) {
    if (unit == 0x3C2) return 0x3A3; // final sigma
    if ((unit >= 0x3B1 && unit <= 0x3C1) || (unit >= 0x3C3 && unit <= 0x3CB)) return static_cast<char16_t>(unit - 0x20);
    if (unit == 0x3AC) return 0x386;
    if (unit >= 0x3AD && unit <= 0x3AF) return static_cast<char16_t>(unit - 0x25);
    if (unit == 0x3CC) return 0x38C;
    if (unit == 0x3CD || unit == 0x3CE) return static_cast<char16_t>(unit - 0x3F);
    return unit;
}

char16_t upcaseCyrillic(char16_t unit) {
    if (unit >= 0x430 && unit <= 0x44F) return static_cast<char16_t>(unit - 0x20);
    if (unit >= 0x450 && unit <= 0x45F) return static_cast<char16_t>(unit - 0x50);
    return unit;
}

} // namespace

char16_t upcase(char16_t unit) {
    if (unit >= u'a' && unit <= u'z') return static_cast<char16_t>(unit - 0x20);
    if (unit < 0xB5) return unit;
    if (unit == 0xB5) return 0x39C; // micro sign
    if (unit == latin1Last) return 0x178;
    if (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7) return static_cast<char16_t>(unit - 0x20);
    if (unit < 0x100) return unit;
    if (unit < 0x180) return upcaseExtendedA(unit);
    if (unit >= 0x386 && unit < 0x3D0) return upcaseGreek(unit);
    if (unit >= 0x430 && unit < 0x460) return upcaseCyrillic(unit);
    return unit;
}

int compareNames(const std::u16string& a, const std::u16string& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const char16_t left = upcase(a[i]);
        const char16_t right = upcase(b[i]);
        if (left != right) return left < right ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool sameName(const std::u16string& a, const std::u16string& b) { return compareNames(a, b) == 0; }

uint32_t nameHash(const std::u16string& name) {
    uint32_t hash = 0;
    for (char16_t unit : name) hash = hash * hashFactor + upcase(unit);
    return hash;
}

// The first four characters as bytes, as the system writes them: filled
// from the fourth back, stopping at one that is not Latin-1 (a hint whose
// first byte is 0 makes the system read the key's own name).
uint32_t nameHint(const std::u16string& name) {
    uint8_t hint[hintCharacters] = {};
    for (size_t i = std::min(name.size(), hintCharacters); i > 0; --i) {
        if (name[i - 1] > latin1Last) break;
        hint[i - 1] = static_cast<uint8_t>(name[i - 1]);
    }
    return readU32(hint);
}

HiveView::HiveView(const Bytes& image) : image_(image) {
    if (!readBins(problem_)) binStarts_.clear();
}

bool HiveView::readBins(std::string& problem) {
    BaseBlock fields;
    if (image_.size() < baseBlockSize || !readBaseBlock(image_.data(), image_.size(), fields)) {
        problem = "no base block";
        return false;
    }
    binsSize_ = fields.binsSize;
    minor_ = fields.minorVersion;
    root_ = fields.rootCell;
    if (binsSize_ == 0 || binsSize_ % binAlignment != 0 || binsSize_ > image_.size() - baseBlockSize) {
        problem = "the bins size does not fit the file";
        return false;
    }
    const uint8_t* bins = image_.data() + baseBlockSize;
    for (uint32_t at = 0; at < binsSize_;) {
        const uint32_t size = readU32(bins + at + bin::sizeAt);
        if (std::memcmp(bins + at, "hbin", 4) != 0 || readU32(bins + at + bin::offsetAt) != at || size == 0 ||
            size % binAlignment != 0 || size > binsSize_ - at) {
            problem = "bin at " + std::to_string(at) + " is damaged";
            return false;
        }
        binStarts_.push_back(at);
        at += size;
    }
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (!keyRecord(root_, data, length)) {
        problem = "the root cell is not a key";
        return false;
    }
    return true;
}

bool HiveView::valid(std::string& problem) const {
    if (binStarts_.empty()) problem = problem_;
    return !binStarts_.empty();
}

bool HiveView::binOf(uint32_t offset, uint32_t& start, uint32_t& end) const {
    if (binStarts_.empty() || offset >= binsSize_) return false;
    const auto next = std::upper_bound(binStarts_.begin(), binStarts_.end(), offset);
    start = *(next - 1);
    end = next == binStarts_.end() ? binsSize_ : *next;
    return true;
}

bool HiveView::cell(CellOffset at, const uint8_t*& data, uint32_t& length) const {
    uint32_t start = 0, end = 0;
    if (at % cellAlignment != 0 || !binOf(at, start, end) || at < start + binHeaderSize) return false;
    if (end - at < cellSizeField) return false;
    const uint8_t* bins = image_.data() + baseBlockSize;
    const uint32_t raw = readU32(bins + at);
    if ((raw & 0x80000000u) == 0) return false; // free
    const uint32_t size = 0u - raw;
    if (size < cellSizeField || size > end - at) return false;
    data = bins + at + cellSizeField;
    length = size - cellSizeField;
    return true;
}

bool HiveView::record(CellOffset at, const char* signature, uint32_t least, const uint8_t*& data,
                      uint32_t& length) const {
    constexpr uint32_t signatureLength = 2;
    return cell(at, data, length) && length >= std::max(least, signatureLength) && signatureIs(data, signature);
}

bool HiveView::keyRecord(CellOffset key, const uint8_t*& data, uint32_t& length) const {
    return record(key, "nk", nk::nameAt, data, length) &&
           readU16(data + nk::nameLengthAt) <= length - nk::nameAt;
}

bool HiveView::valueRecord(CellOffset value, const uint8_t*& data, uint32_t& length) const {
    return record(value, "vk", vk::nameAt, data, length) &&
           readU16(data + vk::nameLengthAt) <= length - vk::nameAt;
}

bool HiveView::readName(const uint8_t* at, uint32_t length, bool compressed, Name& name) const {
    name.compressed = compressed;
    name.text.clear();
    if (compressed) {
        name.text.assign(at, at + length);
        return true;
    }
    if (length % 2 != 0) return false;
    for (uint32_t i = 0; i < length; i += 2) name.text += static_cast<char16_t>(readU16(at + i));
    return true;
}

bool HiveView::keyName(CellOffset key, Name& name) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (!keyRecord(key, data, length)) return false;
    const bool compressed = (readU16(data + nk::flagsAt) & nk::compressedName) != 0;
    return readName(data + nk::nameAt, readU16(data + nk::nameLengthAt), compressed, name);
}

bool HiveView::valueName(CellOffset value, Name& name) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (!valueRecord(value, data, length)) return false;
    const bool compressed = (readU16(data + vk::flagsAt) & vk::compressedName) != 0;
    return readName(data + vk::nameAt, readU16(data + vk::nameLengthAt), compressed, name);
}

bool HiveView::listEntries(CellOffset at, ListKind& kind, std::vector<CellOffset>& entries) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (!record(at, "lf", list::entriesAt, data, length) && !record(at, "lh", list::entriesAt, data, length) &&
        !record(at, "li", list::entriesAt, data, length) && !record(at, "ri", list::entriesAt, data, length)) {
        return false;
    }
    kind = signatureIs(data, "lf")   ? ListKind::lf
           : signatureIs(data, "lh") ? ListKind::lh
           : signatureIs(data, "li") ? ListKind::li
                                     : ListKind::ri;
    const size_t step = kind == ListKind::lf || kind == ListKind::lh ? list::hashedEntry : list::plainEntry;
    const uint32_t count = readU16(data + list::countAt);
    if (count > (length - list::entriesAt) / step) return false;
    entries.clear();
    for (uint32_t i = 0; i < count; ++i) entries.push_back(readU32(data + list::entriesAt + i * step));
    return true;
}

bool HiveView::leafKeys(CellOffset leaf, std::vector<CellOffset>& keys) const {
    ListKind kind = ListKind::none;
    std::vector<CellOffset> entries;
    if (!listEntries(leaf, kind, entries) || kind == ListKind::ri) return false;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    for (CellOffset key : entries) {
        if (!keyRecord(key, data, length)) return false;
        keys.push_back(key);
    }
    return true;
}

bool HiveView::subkeys(CellOffset key, std::vector<CellOffset>& keys) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    keys.clear();
    if (!keyRecord(key, data, length)) return false;
    const uint32_t count = readU32(data + nk::subkeyCountAt);
    if (count == 0) return true;
    ListKind kind = ListKind::none;
    std::vector<CellOffset> entries;
    if (!listEntries(readU32(data + nk::subkeyListAt), kind, entries)) return false;
    if (kind != ListKind::ri) {
        if (!leafKeys(readU32(data + nk::subkeyListAt), keys)) return false;
    } else {
        for (CellOffset leaf : entries) {
            if (!leafKeys(leaf, keys) || keys.size() > count) return false;
        }
    }
    return keys.size() == count;
}

bool HiveView::values(CellOffset key, std::vector<CellOffset>& found) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    found.clear();
    if (!keyRecord(key, data, length)) return false;
    const uint32_t count = readU32(data + nk::valueCountAt);
    if (count == 0) return true;
    const uint8_t* entries = nullptr;
    if (!cell(readU32(data + nk::valueListAt), entries, length) || count > length / sizeof(uint32_t)) return false;
    const uint8_t* vkData = nullptr;
    uint32_t vkLength = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const CellOffset value = readU32(entries + i * sizeof(uint32_t));
        if (!valueRecord(value, vkData, vkLength)) return false;
        found.push_back(value);
    }
    return true;
}

bool HiveView::isBigData(CellOffset value) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (!valueRecord(value, data, length)) return false;
    const uint32_t size = readU32(data + vk::dataLengthAt);
    const uint8_t* record = nullptr;
    return minor_ >= firstBigDataMinor && (size & vk::inlineData) == 0 && size > bigDataSegment &&
           this->record(readU32(data + vk::dataAt), "db", db::recordSize, record, length);
}

bool HiveView::bigDataCells(CellOffset at, uint32_t size, CellOffset& segmentList,
                            std::vector<CellOffset>& segments) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (!record(at, "db", db::recordSize, data, length) || size > binsSize_) return false;
    const uint32_t count = readU16(data + db::countAt);
    segmentList = readU32(data + db::segmentListAt);
    const uint8_t* entries = nullptr;
    if (static_cast<uint64_t>(count) * bigDataSegment < size || !cell(segmentList, entries, length) ||
        count > length / sizeof(uint32_t)) {
        return false;
    }
    segments.clear();
    for (uint32_t i = 0; i < count; ++i) segments.push_back(readU32(entries + i * sizeof(uint32_t)));
    return true;
}

bool HiveView::dataCells(CellOffset value, std::vector<CellOffset>& cells) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    cells.clear();
    if (!valueRecord(value, data, length)) return false;
    const uint32_t size = readU32(data + vk::dataLengthAt);
    if ((size & vk::inlineData) != 0 || size == 0) return true;
    const CellOffset first = readU32(data + vk::dataAt);
    if (!isBigData(value)) {
        cells.push_back(first);
        return cell(first, data, length) && length >= size;
    }
    CellOffset segmentList = noCell;
    std::vector<CellOffset> segments;
    if (!bigDataCells(first, size, segmentList, segments)) return false;
    cells.push_back(first);
    cells.push_back(segmentList);
    cells.insert(cells.end(), segments.begin(), segments.end());
    return true;
}

bool HiveView::valueData(CellOffset value, uint32_t& type, Bytes& out) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    out.clear();
    if (!valueRecord(value, data, length)) return false;
    type = readU32(data + vk::typeAt);
    const uint32_t size = readU32(data + vk::dataLengthAt);
    if ((size & vk::inlineData) != 0) {
        const uint32_t inlineSize = size & ~vk::inlineData;
        if (inlineSize > vk::longestInline) return false;
        out.assign(data + vk::dataAt, data + vk::dataAt + inlineSize);
        return true;
    }
    if (size == 0) return true;
    if (size > binsSize_) return false;
    std::vector<CellOffset> cells;
    if (!dataCells(value, cells)) return false;
    if (cells.size() == 1) {
        if (!cell(cells[0], data, length) || length < size) return false;
        out.assign(data, data + size);
        return true;
    }
    for (size_t i = 2; i < cells.size() && out.size() < size; ++i) {
        const uint32_t part = std::min<uint32_t>(static_cast<uint32_t>(bigDataSegment),
                                                 size - static_cast<uint32_t>(out.size()));
        if (!cell(cells[i], data, length) || length < part) return false;
        out.insert(out.end(), data, data + part);
    }
    return out.size() == size;
}

CellOffset HiveView::findSubkey(CellOffset key, const std::u16string& name) const {
    std::vector<CellOffset> keys;
    if (!subkeys(key, keys)) return noCell;
    Name found;
    for (CellOffset subkey : keys) {
        if (keyName(subkey, found) && sameName(found.text, name)) return subkey;
    }
    return noCell;
}

CellOffset HiveView::findValue(CellOffset key, const std::u16string& name) const {
    std::vector<CellOffset> list;
    if (!values(key, list)) return noCell;
    Name found;
    for (CellOffset value : list) {
        if (valueName(value, found) && sameName(found.text, name)) return value;
    }
    return noCell;
}

bool HiveView::walkKeys(std::vector<CellOffset>& keys, std::string& problem) const {
    keys.clear();
    if (!valid(problem)) return false;
    std::unordered_set<CellOffset> seen;
    std::vector<std::pair<CellOffset, size_t>> pending{{root_, 1}}; // a key and its depth
    std::vector<CellOffset> below;
    while (!pending.empty()) {
        const auto [key, depth] = pending.back();
        pending.pop_back();
        if (!seen.insert(key).second) {
            problem = "key " + std::to_string(key) + " is listed twice";
            return false;
        }
        if (depth > deepestKey || !subkeys(key, below)) {
            problem = "key " + std::to_string(key) + " cannot be read";
            return false;
        }
        keys.push_back(key);
        for (auto at = below.rbegin(); at != below.rend(); ++at) pending.emplace_back(*at, depth + 1);
    }
    return true;
}

// The cells one key uses besides itself and its security record.
bool HiveView::keyCells(CellOffset key, std::vector<CellOffset>& cells, CellOffset& security) const {
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (!keyRecord(key, data, length)) return false;
    security = readU32(data + nk::securityAt);
    const CellOffset subkeyList = readU32(data + nk::subkeyListAt);
    const CellOffset valueList = readU32(data + nk::valueListAt);
    const CellOffset classCell = readU32(data + nk::classAt);
    const bool hasSubkeys = readU32(data + nk::subkeyCountAt) != 0;
    cells.clear();
    ListKind kind = ListKind::none;
    std::vector<CellOffset> entries, list, dataParts;
    if (hasSubkeys) {
        if (!listEntries(subkeyList, kind, entries)) return false;
        cells.push_back(subkeyList);
        if (kind == ListKind::ri) cells.insert(cells.end(), entries.begin(), entries.end());
    }
    if (!values(key, list)) return false;
    if (!list.empty()) cells.push_back(valueList);
    for (CellOffset value : list) {
        if (!dataCells(value, dataParts)) return false;
        cells.push_back(value);
        cells.insert(cells.end(), dataParts.begin(), dataParts.end());
    }
    if (classCell != noCell) cells.push_back(classCell);
    return record(security, "sk", sk::descriptorAt, data, length);
}

// The allocated cells of every bin, found by walking each from its start.
bool HiveView::allocatedCells(std::unordered_set<CellOffset>& cells, std::string& problem) const {
    const uint8_t* bins = image_.data() + baseBlockSize;
    for (size_t i = 0; i < binStarts_.size(); ++i) {
        const uint32_t end = i + 1 < binStarts_.size() ? binStarts_[i + 1] : binsSize_;
        for (uint32_t at = binStarts_[i] + binHeaderSize; at < end;) {
            const uint32_t raw = readU32(bins + at);
            const bool allocated = (raw & 0x80000000u) != 0;
            const uint32_t size = allocated ? 0u - raw : raw;
            if (size < cellAlignment || size % cellAlignment != 0 || size > end - at) {
                problem = "the cells of the bin at " + std::to_string(binStarts_[i]) + " do not fill it";
                return false;
            }
            if (allocated) cells.insert(at);
            at += size;
        }
    }
    return true;
}

// Each security record in use counts at least the keys using it, and is
// linked both ways with the records before and after it, so that the last
// key going can take it out of the ring. Those records are added to `ring`.
bool HiveView::securityCounts(const std::unordered_map<CellOffset, uint32_t>& users,
                              std::unordered_set<CellOffset>& ring, std::string& problem) const {
    const uint8_t* data = nullptr;
    const uint8_t* other = nullptr;
    uint32_t length = 0;
    for (const auto& [security, count] : users) {
        problem = "the security record at " + std::to_string(security) + " is damaged";
        if (!record(security, "sk", sk::descriptorAt, data, length) || readU32(data + sk::referencesAt) < count) {
            return false;
        }
        const CellOffset next = readU32(data + sk::nextAt);
        const CellOffset previous = readU32(data + sk::previousAt);
        if (!record(next, "sk", sk::descriptorAt, other, length) || readU32(other + sk::previousAt) != security ||
            !record(previous, "sk", sk::descriptorAt, other, length) || readU32(other + sk::nextAt) != security) {
            return false;
        }
        ring.insert({security, next, previous});
    }
    problem.clear();
    return true;
}

bool HiveView::checkCells(std::string& problem) const {
    std::vector<CellOffset> keys, cells;
    if (!walkKeys(keys, problem)) return false;
    std::unordered_set<CellOffset> used(keys.begin(), keys.end()), securities, allocated;
    std::unordered_map<CellOffset, uint32_t> users;
    CellOffset security = noCell;
    for (CellOffset key : keys) {
        if (!keyCells(key, cells, security)) {
            problem = "the key at " + std::to_string(key) + " has a damaged part";
            return false;
        }
        ++users[security];
        for (CellOffset cell : cells) {
            if (!used.insert(cell).second) {
                problem = "the cell at " + std::to_string(cell) + " is used twice";
                return false;
            }
        }
    }
    if (!securityCounts(users, securities, problem) || !allocatedCells(allocated, problem)) return false;
    for (const auto* set : {&used, &securities}) {
        for (CellOffset cell : *set) {
            if (allocated.count(cell) == 0 || (set == &securities && used.count(cell) != 0)) {
                problem = "the cell at " + std::to_string(cell) + " is not a cell of its own";
                return false;
            }
        }
    }
    return true;
}

} // namespace hive
