// The counter names list and the process object's data block, read without
// trusting anything in them. Offsets are added up in 64 bits, where no sum of
// a few 32-bit fields can wrap, and every field is copied out with memcpy, as
// the block's structures need not lie where their alignment wants them.
#include "perf_data.h"

#include <string.h>

namespace {

// ---- the counter names list ----

const char* const processObjectName = "process";
const char* const idCounterName = "id process";
constexpr uint64_t largestIndex = 0xFFFFFFFFu; // an index is a DWORD

// One string of the list: its first character and its length.
struct NameListString {
    const char* text;
    size_t length;
};

// The string at *position, which then moves past its zero (or to size, for
// a last string without one). False when no string is left.
bool nextString(const char* names, size_t size, size_t& position, NameListString& string) {
    if (position >= size) return false;
    string.text = names + position;
    const void* zero = memchr(string.text, '\0', size - position);
    string.length = zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - string.text) : size - position;
    position += string.length + (zero != nullptr ? 1 : 0);
    return true;
}

char lowerLetter(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The string equals the lower-case name but for the case of its letters.
bool isName(const NameListString& string, const char* lowerName) {
    if (string.length != strlen(lowerName)) return false;
    for (size_t i = 0; i < string.length; ++i) {
        if (lowerLetter(string.text[i]) != lowerName[i]) return false;
    }
    return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal number at the start of the string, as strtoul reads it but
// for signs and spaces, which no index has. False without a leading digit or
// when the number does not fit in a DWORD.
bool leadingNumber(const NameListString& string, DWORD& number) {
    uint64_t value = 0;
    size_t i = 0;
    for (; i < string.length && isDigit(string.text[i]); ++i) {
        value = value * 10 + static_cast<uint64_t>(string.text[i] - '0');
        if (value > largestIndex) return false;
    }
    if (i == 0) return false;
    number = static_cast<DWORD>(value);
    return true;
}

// The object index is sent back to the system as a value name, where a few
// words ("Global", "Costly") have a meaning of their own: only a number that
// fits with its zero is taken.
bool copyObjectIndex(const NameListString& string, char (&objectIndex)[counterIndexTextSize]) {
    if (string.length == 0 || string.length >= counterIndexTextSize) return false;
    for (size_t i = 0; i < string.length; ++i) {
        if (!isDigit(string.text[i])) return false;
    }
    memcpy(objectIndex, string.text, string.length);
    objectIndex[string.length] = '\0';
    return true;
}

// ---- the data block ----

// The documented sizes and field offsets of the structures the block is
// made of (winperf.h), all fields little-endian 32-bit values.
constexpr uint64_t dataBlockHeaderSize = 88;    // PERF_DATA_BLOCK
constexpr uint64_t blockHeaderLengthAt = 24;    // PERF_DATA_BLOCK.HeaderLength
constexpr uint64_t blockObjectCountAt = 28;     // PERF_DATA_BLOCK.NumObjectTypes
constexpr uint64_t objectDefinitionAt = 4;      // PERF_OBJECT_TYPE.DefinitionLength
constexpr uint64_t objectHeaderLengthAt = 8;    // PERF_OBJECT_TYPE.HeaderLength
constexpr uint64_t objectCounterCountAt = 32;   // PERF_OBJECT_TYPE.NumCounters
constexpr uint64_t objectInstanceCountAt = 40;  // PERF_OBJECT_TYPE.NumInstances
constexpr uint64_t counterDefinitionSize = 40;  // PERF_COUNTER_DEFINITION
constexpr uint64_t counterNameIndexAt = 4;      // PERF_COUNTER_DEFINITION.CounterNameTitleIndex
constexpr uint64_t counterOffsetAt = 36;        // PERF_COUNTER_DEFINITION.CounterOffset
constexpr uint64_t instanceDefinitionSize = 24; // PERF_INSTANCE_DEFINITION
constexpr uint64_t instanceNameOffsetAt = 16;   // PERF_INSTANCE_DEFINITION.NameOffset
constexpr uint64_t counterBlockHeaderSize = 4;  // PERF_COUNTER_BLOCK.ByteLength
constexpr uint64_t fieldSize = 4;
constexpr uint64_t wideUnitSize = 2;

// The signature: "PERF" in UTF-16, little-endian.
constexpr unsigned char blockSignature[] = {'P', 0, 'E', 0, 'R', 0, 'F', 0};

// Longest instance name copied, in UTF-16 units, and the converted name's
// buffer, its zero included either way (MAX_PATH).
constexpr int wideNameUnits = 259;
constexpr int convertedNameSize = 260;
const char* const unconvertibleName = "unknown";

// A read-only view of the block that hands out only what lies inside it.
struct BlockView {
    const unsigned char* data;
    size_t size;

    // The `length` bytes at offset lie inside the block.
    bool holds(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }

    bool dword(uint64_t offset, DWORD& value) const {
        if (!holds(offset, fieldSize)) return false;
        unsigned char bytes[fieldSize];
        memcpy(bytes, data + offset, sizeof bytes);
        value = static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 | static_cast<DWORD>(bytes[2]) << 16 |
                static_cast<DWORD>(bytes[3]) << 24;
        return true;
    }

    bool wideUnit(uint64_t offset, WCHAR& unit) const {
        if (!holds(offset, wideUnitSize)) return false;
        unit = static_cast<WCHAR>(data[offset] | data[offset + 1] << 8);
        return true;
    }
};

// The block's first object type, where its header says it starts. False for
// no block, another kind of block, or a block without objects.
bool firstObject(const BlockView& view, uint64_t& object) {
    if (view.data == nullptr || !view.holds(0, dataBlockHeaderSize)) return false;
    if (memcmp(view.data, blockSignature, sizeof blockSignature) != 0) return false;
    DWORD headerLength = 0;
    DWORD objectCount = 0;
    if (!view.dword(blockHeaderLengthAt, headerLength) || !view.dword(blockObjectCountAt, objectCount)) return false;
    object = headerLength;
    return objectCount != 0;
}

// The offset, in each counter block, of the object's counter whose name
// index is idCounterIndex: the first such counter definition.
bool findCounterOffset(const BlockView& view, uint64_t object, DWORD idCounterIndex, DWORD& counterOffset) {
    DWORD headerLength = 0;
    DWORD counterCount = 0;
    if (!view.dword(object + objectHeaderLengthAt, headerLength)) return false;
    if (!view.dword(object + objectCounterCountAt, counterCount)) return false;
    // Ends at the block's end at the latest, whatever the count says.
    for (uint64_t i = 0; i < counterCount; ++i) {
        const uint64_t definition = object + headerLength + i * counterDefinitionSize;
        DWORD nameIndex = 0;
        if (!view.dword(definition + counterNameIndexAt, nameIndex)) return false;
        if (nameIndex == idCounterIndex) return view.dword(definition + counterOffsetAt, counterOffset);
    }
    return false;
}

// The instance's name in the system code page, kept when it has at most
// counterNameLength characters. False when the name does not start inside
// the block; a name that runs to the block's end is taken as far as it goes.
bool readInstanceName(const BlockView& view, uint64_t instance, char (&name)[counterNameLength + 1]) {
    DWORD nameOffset = 0;
    if (!view.dword(instance + instanceNameOffsetAt, nameOffset)) return false;
    const uint64_t start = instance + nameOffset;
    if (!view.holds(start, wideUnitSize)) return false;
    WCHAR wide[wideNameUnits + 1];
    int length = 0;
    for (WCHAR unit = 0; length < wideNameUnits && view.wideUnit(start + length * wideUnitSize, unit) && unit != 0;) {
        wide[length++] = unit;
    }
    wide[length] = 0;
    char converted[convertedNameSize];
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, converted, convertedNameSize, nullptr, nullptr) == 0) {
        memcpy(name, unconvertibleName, strlen(unconvertibleName) + 1);
    } else if (strlen(converted) <= static_cast<size_t>(counterNameLength)) {
        memcpy(name, converted, strlen(converted) + 1);
    } else {
        name[0] = '\0';
    }
    return true;
}

// Reads the instance at *instance into entry and moves *instance to the
// next one. False when any part of it does not lie inside the block.
bool readInstance(const BlockView& view, uint64_t& instance, DWORD counterOffset, CounterProcessEntry& entry) {
    DWORD definitionLength = 0;
    if (!view.holds(instance, instanceDefinitionSize) || !view.dword(instance, definitionLength)) return false;
    if (!readInstanceName(view, instance, entry.name)) return false;
    const uint64_t counters = instance + definitionLength;
    DWORD countersLength = 0;
    DWORD processId = 0;
    if (!view.holds(counters, counterBlockHeaderSize) || !view.dword(counters, countersLength)) return false;
    if (!view.dword(counters + counterOffset, processId)) return false;
    entry.processId = processId == 0 ? noProcessId : static_cast<int32_t>(processId);
    // A zero length moves nothing on; the caller's count still ends the walk.
    instance = counters + countersLength;
    return true;
}

} // namespace

bool findProcessCounterIndexes(const char* names, size_t size, char (&objectIndex)[counterIndexTextSize],
                               DWORD& idCounterIndex) {
    char foundObject[counterIndexTextSize] = {};
    DWORD foundCounter = 0;
    bool haveObject = false;
    bool haveCounter = false;
    size_t position = 0;
    NameListString index;
    NameListString name;
    while (names != nullptr && nextString(names, size, position, index) && nextString(names, size, position, name)) {
        if (isName(name, processObjectName)) {
            haveObject = copyObjectIndex(index, foundObject) || haveObject;
        } else if (isName(name, idCounterName)) {
            haveCounter = leadingNumber(index, foundCounter) || haveCounter;
        }
    }
    if (!haveObject || !haveCounter) return false;
    memcpy(objectIndex, foundObject, sizeof objectIndex);
    idCounterIndex = foundCounter;
    return true;
}

int readProcessInstances(const unsigned char* block, size_t size, DWORD idCounterIndex,
                         CounterProcessEntry (&table)[counterTableSize]) {
    memset(table, 0, sizeof table);
    const BlockView view = {block, size};
    uint64_t object = 0;
    DWORD counterOffset = 0;
    DWORD definitionLength = 0;
    DWORD instanceCount = 0;
    if (!firstObject(view, object) || !findCounterOffset(view, object, idCounterIndex, counterOffset)) return 0;
    if (!view.dword(object + objectDefinitionAt, definitionLength)) return 0;
    // NumInstances is a LONG whose -1 means "no instances"; read unsigned and
    // capped, it is bounded by the table, and such an object's data ends
    // where its counter block does.
    if (!view.dword(object + objectInstanceCountAt, instanceCount)) return 0;
    const int count = instanceCount < static_cast<DWORD>(counterTableSize) ? static_cast<int>(instanceCount) : counterTableSize;
    uint64_t instance = object + definitionLength;
    int filled = 0;
    while (filled < count) {
        CounterProcessEntry entry = {};
        if (!readInstance(view, instance, counterOffset, entry)) break;
        table[filled++] = entry;
    }
    return filled;
}
