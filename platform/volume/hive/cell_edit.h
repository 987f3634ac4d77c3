// Changes to a hive image held in memory, cell by cell: a value deleted or
// set, a key deleted or added. Only the cells a change needs are written;
// every other byte stays as it was. Each 4,096-byte page of the bins data
// written is remembered with its bytes from before, so that the caller can
// write exactly those pages (to the hive's log, then in place) or undo the
// lot.
//
// The whole image is checked before the first change (see cells.h), and
// each cell again as it is used; a change that meets a damaged cell is
// refused and leaves the image as it was.
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_CELL_EDIT_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_CELL_EDIT_H

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cells.h"

namespace hive {

class HiveEditor {
public:
    explicit HiveEditor(Bytes& image);
    HiveEditor(const HiveEditor&) = delete;
    HiveEditor& operator=(const HiveEditor&) = delete;

    // The last-written time (FILETIME) given to every key changed; 0, the
    // default, gives the current time.
    void setWriteTime(uint64_t fileTime) { writeTime_ = fileTime; }

    // Takes the value out of the key's value list and frees it and its data.
    bool deleteValue(CellOffset key, CellOffset value, std::string& problem);
    // Frees a key without subkeys (refused while it has some) with its
    // values, class and its share of its security record, and takes it out
    // of the parent's subkey list.
    bool deleteKey(CellOffset parent, CellOffset key, std::string& problem);
    // Replaces the data of the value of that name (compared as the system
    // does) or adds a value at the end of the key's list. `value` is its vk.
    bool setValue(CellOffset key, const Name& name, uint32_t type, const Bytes& data, CellOffset& value,
                  std::string& problem);
    // Adds a subkey in its place by name, with the parent's security.
    bool addKey(CellOffset parent, const Name& name, CellOffset& key, std::string& problem);

    // Bins-data offsets (multiples of 4,096) of the pages changed since the
    // last markCommitted, in order.
    std::vector<uint32_t> dirtyPages() const;
    // The base block changed: the bins grew by a new bin.
    bool baseBlockDirty() const { return !committed_.base.empty(); }
    // The changes are on disk: forget the bytes from before.
    void markCommitted();
    // Undoes every change since the last markCommitted, byte for byte and
    // the image's size too.
    void rollback();

private:
    // The bytes of pages before they were first written, and the image's
    // size, from some moment on.
    struct Journal {
        size_t size = 0;
        std::map<uint32_t, Bytes> pages; // page number: its bytes from before (none past `size`)
        Bytes base;                      // the base block from before, once written
    };
    struct Stored; // where a value's data went: the vk's length and offset fields

    // One change: refused changes are undone by finish(false). A hive whose
    // cells do not check (HiveView::checkCells) is not changed at all.
    bool begin(std::string& problem);
    bool finish(bool done, std::string& problem);
    void restore(const Journal& journal);
    void saveBefore(Journal& journal, uint32_t page, bool& added);
    bool write(uint32_t at, const void* bytes, size_t length);
    bool writeBaseBlock(size_t at, uint32_t value);
    bool put16(CellOffset cell, size_t field, uint16_t value);
    bool put32(CellOffset cell, size_t field, uint32_t value);
    bool put64(CellOffset cell, size_t field, uint64_t value);
    bool putCellSize(CellOffset cell, uint32_t size); // positive: free; negative: allocated
    bool read32(CellOffset cell, size_t field, uint32_t& value) const;
    bool touch(CellOffset key);

    // Cells.
    bool allocate(size_t length, CellOffset& at, std::string& problem);
    bool allocateIn(uint32_t start, uint32_t end, uint32_t need, CellOffset& at);
    bool appendBin(uint32_t need, std::string& problem);
    bool release(CellOffset at, std::string& problem);
    bool newCell(const Bytes& content, CellOffset& at, std::string& problem);

    // Values.
    bool removeValue(CellOffset key, CellOffset value, std::string& problem);
    bool freeValue(CellOffset value, std::string& problem);
    bool storeData(const Bytes& data, Stored& stored, std::string& problem);
    bool storeBigData(const Bytes& data, Stored& stored, std::string& problem);
    bool replaceData(CellOffset value, uint32_t type, const Bytes& data, std::string& problem);
    bool appendValue(CellOffset key, const Name& name, uint32_t type, const Bytes& data, CellOffset& value,
                     std::string& problem);
    bool raiseValueMaxima(CellOffset key, size_t nameUnits, size_t dataLength);

    // Keys.
    bool dropSecurity(CellOffset security, std::string& problem);
    bool freeKeyParts(CellOffset key, std::string& problem);
    bool removeSubkey(CellOffset parent, CellOffset key, std::string& problem);
    bool removeFromLeaf(CellOffset leaf, CellOffset key, bool& emptied, std::string& problem);
    bool removeEntry(CellOffset cell, size_t entriesAt, size_t index, size_t step, size_t count);
    bool newKeyRecord(CellOffset parent, const Name& name, CellOffset& key, std::string& problem);
    bool insertSubkey(CellOffset parent, CellOffset key, const std::u16string& name, std::string& problem);
    bool insertIntoLeaf(CellOffset& leaf, CellOffset key, const std::u16string& name, std::string& problem);
    bool chooseLeaf(CellOffset root, const std::u16string& name, size_t& index, CellOffset& leaf,
                    std::string& problem);
    ListKind newListKind() const;

    Bytes& image_;
    std::unique_ptr<HiveView> view_;
    uint64_t writeTime_ = 0;
    Journal committed_;           // since the last markCommitted
    Journal change_;              // since the current change began
    std::set<uint32_t> firstSeen_; // pages the current change added to committed_
    bool baseFirstSeen_ = false;
    bool checked_ = false;         // the cells checked once; every change keeps them so
};

} // namespace hive

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_CELL_EDIT_H
