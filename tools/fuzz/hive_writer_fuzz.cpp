// libFuzzer target of the hive cell reader and editor: any bytes as a hive
// image held in memory. Its last 16 bytes, read again from their start
// when used up, also choose the minor version (3 to 6: whether big data is
// written, which kind of list a new one is) and up to six changes: delete
// a value, delete a key, set a value (an existing name or a new one; data
// inline, in one cell, or big data), add a key, or roll back.
//
// Promises: the view reads whatever it is given without a fault; a change
// refused says why and leaves the image byte for byte as it was; a change
// made is made only to a hive whose cells check, leaves one whose cells
// still check with one key more or less as the change says, reads back
// (the value's data, the key by its name), and every page that differs
// from the input is among the pages named dirty; rolling back gives the
// input again, size and all.
#include <stdint.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "fuzz_machine.h"
#include "hive/cell_edit.h"
#include "hive/cells.h"

namespace {

using hive::Bytes;
using hive::CellOffset;
using hive::noCell;

constexpr size_t scriptLength = 16;
constexpr int mostChanges = 6;
constexpr uint32_t lowestMinor = 3;
constexpr uint32_t minors = 4; // 3 to 6
constexpr uint32_t regBinary = 3;
constexpr size_t mostValuesRead = 64;
const size_t dataLengths[] = {0, 3, 4, 5, 100, 4000, 16344, 16345, 40000};
const std::u16string valueNames[] = {u"", u"Run", std::u16string(u"n\0l", 3), u"Gr\u00FC\u00DFe", u"\u4E2D\u6587"};
const std::u16string keyNames[] = {u"New", u"nEW", u"\u00C4rger", u"\u4E2D", u"zz", std::u16string(u"a\0b", 3)};

enum Change { deleteValue, deleteKey, setValue, setExisting, addKey, rollback, changes };

// The script: the input's last bytes, round and round.
class Script {
public:
    Script(const uint8_t* data, size_t size)
        : bytes_(data + size - std::min(size, scriptLength)), length_(std::min(size, scriptLength)) {}
    uint8_t next() { return length_ == 0 ? 0 : bytes_[at_++ % length_]; }

private:
    const uint8_t* bytes_;
    size_t length_;
    size_t at_ = 0;
};

template <typename T> const T &pick(const std::vector<T> &items, uint8_t choice) {
    return items[choice % items.size()];
}

Bytes dataOf(size_t length, uint8_t seed) {
    Bytes data(length);
    for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(seed + i * 7);
    return data;
}

// Reads every key's values, as a reader of the hive would.
void readAll(const hive::HiveView& view, const std::vector<CellOffset>& keys) {
    std::vector<CellOffset> values;
    hive::Name name;
    Bytes data;
    uint32_t type = 0;
    for (CellOffset key : keys) {
        view.keyName(key, name);
        if (!view.values(key, values)) continue;
        for (size_t i = 0; i < values.size() && i < mostValuesRead; ++i) {
            view.valueName(values[i], name);
            view.valueData(values[i], type, data);
        }
    }
}

void requirePagesNamed(const Bytes& original, const Bytes& image, const hive::HiveEditor& editor) {
    const std::vector<uint32_t> pages = editor.dirtyPages();
    for (size_t at = hive::baseBlockSize; at < image.size(); at += hive::pageSize) {
        const size_t end = std::min(at + hive::pageSize, image.size());
        const bool same =
            end <= original.size() && std::equal(image.begin() + at, image.begin() + end, original.begin() + at);
        const uint32_t page = static_cast<uint32_t>(at - hive::baseBlockSize);
        fuzz::require(same || std::binary_search(pages.begin(), pages.end(), page),
                      "every page changed is named dirty");
    }
    fuzz::require(editor.baseBlockDirty() ||
                      std::equal(image.begin(), image.begin() + hive::baseBlockSize, original.begin()),
                  "a changed base block is named");
}

struct Tree {
    std::vector<CellOffset> keys;
    std::map<CellOffset, CellOffset> parents;
};

bool readTree(const hive::HiveView& view, Tree& tree) {
    std::string problem;
    tree.parents.clear();
    if (!view.walkKeys(tree.keys, problem)) return false;
    std::vector<CellOffset> below;
    for (CellOffset key : tree.keys) {
        if (!view.subkeys(key, below)) return false;
        for (CellOffset child : below) tree.parents[child] = key;
    }
    return true;
}

// One change chosen by the script; `keyChange` is what it does to the
// number of keys, `check` reads it back once made.
bool change(Change what, Script& script, Bytes& image, hive::HiveEditor& editor, int& keyChange, std::string& problem) {
    hive::HiveView view(image);
    Tree tree;
    if (!readTree(view, tree)) tree.keys = {view.root()};
    const CellOffset key = pick(tree.keys, script.next());
    std::vector<CellOffset> values;
    view.values(key, values);
    keyChange = 0;
    switch (what) {
    case deleteValue:
        return editor.deleteValue(key, values.empty() ? noCell : pick(values, script.next()), problem);
    case deleteKey:
        keyChange = -1;
        return editor.deleteKey(tree.parents.count(key) ? tree.parents[key] : noCell, key, problem);
    case setValue:
    case setExisting: {
        hive::Name name{valueNames[script.next() % (sizeof valueNames / sizeof valueNames[0])], false};
        if (what == setExisting && !values.empty()) view.valueName(pick(values, script.next()), name);
        const Bytes data = dataOf(dataLengths[script.next() % (sizeof dataLengths / sizeof dataLengths[0])],
                                  script.next());
        CellOffset value = noCell;
        if (!editor.setValue(key, name, regBinary, data, value, problem)) return false;
        hive::HiveView after(image);
        Bytes read;
        uint32_t type = 0;
        fuzz::require(after.findValue(key, name.text) == value && after.valueData(value, type, read) && read == data &&
                          type == regBinary,
                      "a value set reads back by its name");
        return true;
    }
    case addKey: {
        const hive::Name name{keyNames[script.next() % (sizeof keyNames / sizeof keyNames[0])], false};
        CellOffset added = noCell;
        keyChange = 1;
        if (!editor.addKey(key, name, added, problem)) return false;
        fuzz::require(hive::HiveView(image).findSubkey(key, name.text) == added, "a key added is found by its name");
        return true;
    }
    default:
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Script script(data, size);
    Bytes image(data, data + size);
    if (image.size() >= hive::baseBlockSize) {
        hive::writeU32(image.data() + hive::minorVersionAt, lowestMinor + script.next() % minors);
    }
    const Bytes original = image;
    std::string problem;
    Tree tree;
    const hive::HiveView view(image);
    if (!view.valid(problem)) fuzz::require(!problem.empty(), "a hive refused says why");
    const bool readable = readTree(view, tree);
    if (readable) readAll(view, tree.keys);
    const bool checks = view.checkCells(problem);

    hive::HiveEditor editor(image);
    size_t keys = tree.keys.size();
    for (int step = 0; step < mostChanges; ++step) {
        const Change what = static_cast<Change>((script.next() + step) % changes);
        if (what == rollback) {
            editor.rollback();
            fuzz::require(image == original && editor.dirtyPages().empty(), "rolling back gives the input again");
            keys = tree.keys.size();
            continue;
        }
        const Bytes before = image;
        int keyChange = 0;
        problem.clear();
        if (!change(what, script, image, editor, keyChange, problem)) {
            fuzz::require(!problem.empty(), "a change refused says why");
            fuzz::require(image == before, "a change refused leaves the image as it was");
            continue;
        }
        fuzz::require(checks, "only a hive whose cells check is changed");
        hive::HiveView after(image);
        Tree now;
        fuzz::require(after.checkCells(problem) && readTree(after, now), "a changed hive's cells check");
        keys = static_cast<size_t>(static_cast<long>(keys) + keyChange);
        fuzz::require(now.keys.size() == keys, "a change adds or removes only the key it says");
        requirePagesNamed(original, image, editor);
    }
    editor.rollback();
    fuzz::require(image == original, "rolling back gives the input again");
    return 0;
}
