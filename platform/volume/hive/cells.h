// The cells of a registry hive file held in memory, read without trusting
// a byte of it: keys (nk), values (vk), subkey lists (lf, lh, li, ri),
// value lists, data cells and big data (db).
//
// A hive comes from a disk that may have been damaged or made hostile, so
// every offset and length read from it is checked before use: a cell lies
// inside the bins data and inside one bin, its size fits in that bin, an
// index root (ri) lists leaves only, and nothing is walked without a bound.
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_CELLS_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_CELLS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base_block.h"

namespace hive {

// Where a cell starts, counted from the start of the bins data.
using CellOffset = uint32_t;
constexpr CellOffset noCell = 0xFFFFFFFF;

constexpr size_t binHeaderSize = 32;
constexpr size_t cellSizeField = 4;   // a cell starts with its signed size
constexpr size_t cellAlignment = 8;
constexpr size_t bigDataSegment = 16344; // longest data cell from minor version 4 on
constexpr size_t longestKeyName = 255;      // characters, as the system allows
constexpr size_t longestValueName = 16383;  // characters, as the system allows
constexpr size_t deepestKey = 512;          // key levels the system allows

// Fields of the records, from the cell's data on (after its size).
namespace bin {
constexpr size_t offsetAt = 4;
constexpr size_t sizeAt = 8;
constexpr size_t timestampAt = 20;
} // namespace bin

namespace nk {
constexpr size_t flagsAt = 2;
constexpr size_t lastWrittenAt = 4;
constexpr size_t parentAt = 16;
constexpr size_t subkeyCountAt = 20;
constexpr size_t volatileCountAt = 24;
constexpr size_t subkeyListAt = 28;
constexpr size_t volatileListAt = 32;
constexpr size_t valueCountAt = 36;
constexpr size_t valueListAt = 40;
constexpr size_t securityAt = 44;
constexpr size_t classAt = 48;
constexpr size_t maxSubkeyNameAt = 52; // low 16 bits; the high ones hold flags
constexpr size_t maxClassAt = 56;
constexpr size_t maxValueNameAt = 60;
constexpr size_t maxValueDataAt = 64;
constexpr size_t workVarAt = 68;
constexpr size_t nameLengthAt = 72;
constexpr size_t classLengthAt = 74;
constexpr size_t nameAt = 76;
constexpr uint16_t compressedName = 0x0020; // name stored as Latin-1 bytes
} // namespace nk

namespace vk {
constexpr size_t nameLengthAt = 2;
constexpr size_t dataLengthAt = 4;
constexpr size_t dataAt = 8;    // the data itself when it is inline
constexpr size_t typeAt = 12;
constexpr size_t flagsAt = 16;
constexpr size_t nameAt = 20;
constexpr uint16_t compressedName = 0x0001;
constexpr uint32_t inlineData = 0x80000000; // in the data length
constexpr size_t longestInline = 4;
} // namespace vk

namespace sk {
constexpr size_t nextAt = 4;
constexpr size_t previousAt = 8;
constexpr size_t referencesAt = 12;
constexpr size_t descriptorSizeAt = 16;
constexpr size_t descriptorAt = 20;
} // namespace sk

namespace list {
constexpr size_t countAt = 2;
constexpr size_t entriesAt = 4;
constexpr size_t hashedEntry = 8; // lf, lh: offset, then hint or hash
constexpr size_t plainEntry = 4;  // li, ri: offset
} // namespace list

namespace db {
constexpr size_t countAt = 2;
constexpr size_t segmentListAt = 4;
constexpr size_t recordSize = 8;
} // namespace db

enum class ListKind { none, lf, lh, li, ri };

// A key or value name. A compressed name is stored one byte a character
// (Latin-1); the text is the same either way.
struct Name {
    std::u16string text;
    bool compressed = false;
};

// The upper case the system compares names in (Latin-1, Latin Extended-A,
// Greek and Cyrillic; other characters are their own upper case).
char16_t upcase(char16_t unit);
bool sameName(const std::u16string& a, const std::u16string& b);
// Negative, zero or positive as a sorts before, with or after b in a
// subkey list: unit by unit in upper case, a prefix first.
int compareNames(const std::u16string& a, const std::u16string& b);
// The hash an lh list keeps of a name, and the hint an lf list keeps.
uint32_t nameHash(const std::u16string& name);
uint32_t nameHint(const std::u16string& name);

// A read-only view of a hive image (base block then bins). The image must
// outlive the view and keep its size while the view is used.
class HiveView {
public:
    explicit HiveView(const Bytes& image);

    // The base block is readable, the chain of bins is whole and within
    // the image, and the root cell is a key.
    bool valid(std::string& problem) const;
    CellOffset root() const { return root_; }
    uint32_t minorVersion() const { return minor_; }
    uint32_t binsSize() const { return binsSize_; }

    bool keyName(CellOffset key, Name& name) const;
    bool subkeys(CellOffset key, std::vector<CellOffset>& keys) const;  // in the file's order
    bool values(CellOffset key, std::vector<CellOffset>& values) const; // in the list's order
    bool valueName(CellOffset value, Name& name) const;
    // Inline, one data cell or big data. False when any part is missing.
    bool valueData(CellOffset value, uint32_t& type, Bytes& data) const;
    // The subkey of that name (compared as the system does), or noCell.
    CellOffset findSubkey(CellOffset key, const std::u16string& name) const;
    // The value of that name, or noCell.
    CellOffset findValue(CellOffset key, const std::u16string& name) const;
    // Every key from the root down, each once, parents first. False when a
    // key cannot be read, is met twice (a cycle) or lies deeper than the
    // system allows.
    bool walkKeys(std::vector<CellOffset>& keys, std::string& problem) const;
    // The whole hive is consistent enough to be changed: every key reads,
    // every cell a key uses (lists, values, data, class) is used once and
    // security records by keys only, each counting at least its keys and
    // linked both ways in its ring; each is an allocated cell where the
    // walk of its bin finds one, and every bin's cells follow one another
    // to its end. A cell freed or allocated then touches nothing else.
    bool checkCells(std::string& problem) const;

    // The allocated cell at `cell`: its data (after the size) and length.
    // False when it is not inside one bin or not allocated.
    bool cell(CellOffset cell, const uint8_t*& data, uint32_t& length) const;
    // An allocated cell whose record starts with that two-letter signature
    // and holds at least `least` bytes.
    bool record(CellOffset cell, const char* signature, uint32_t least, const uint8_t*& data,
                uint32_t& length) const;
    // The bin holding a bins-data offset: its start and end. False outside.
    bool binOf(uint32_t offset, uint32_t& start, uint32_t& end) const;
    // The kind of the list at `cell` and its entries' offsets (an ri's own
    // entries, not the keys below it).
    bool listEntries(CellOffset cell, ListKind& kind, std::vector<CellOffset>& entries) const;
    // The cells holding a value's data: none when inline or empty; one data
    // cell; or the db record, its segment list and the segments.
    bool dataCells(CellOffset value, std::vector<CellOffset>& cells) const;
    // The segments of big data and the db record's segment list.
    bool bigDataCells(CellOffset record, uint32_t length, CellOffset& segmentList,
                      std::vector<CellOffset>& segments) const;
    // Whether a value's data of that length is stored as big data here.
    bool isBigData(CellOffset value) const;

private:
    bool readBins(std::string& problem);
    bool readName(const uint8_t* at, uint32_t length, bool compressed, Name& name) const;
    bool keyRecord(CellOffset key, const uint8_t*& data, uint32_t& length) const;
    bool valueRecord(CellOffset value, const uint8_t*& data, uint32_t& length) const;
    bool leafKeys(CellOffset leaf, std::vector<CellOffset>& keys) const;
    bool keyCells(CellOffset key, std::vector<CellOffset>& cells, CellOffset& security) const;
    bool allocatedCells(std::unordered_set<CellOffset>& cells, std::string& problem) const;
    bool securityCounts(const std::unordered_map<CellOffset, uint32_t>& users, std::unordered_set<CellOffset>& ring,
                        std::string& problem) const;

    const Bytes& image_;
    std::vector<uint32_t> binStarts_; // in order; each bin ends where the next starts
    uint32_t binsSize_ = 0;
    uint32_t minor_ = 0;
    CellOffset root_ = noCell;
    std::string problem_;
};

} // namespace hive

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_CELLS_H
