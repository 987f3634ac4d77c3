// libFuzzer target of the performance data readers: every input is read as a
// process object block (with the usual "ID Process" index, and with an index
// taken from its first four bytes, so that any counter of a mutated block can
// be the one followed) and as a counter names list. Besides the sanitizers'
// checks, what the readers hand back must keep their promises.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "perf_data.h"

namespace {

constexpr DWORD usualIdCounterIndex = 784; // "ID Process" in the English names list

// The table holds `count` entries with zero-terminated names, and zeros
// after them.
void checkTable(int count, const CounterProcessEntry (&table)[counterTableSize]) {
    if (count < 0 || count > counterTableSize) abort();
    for (int i = 0; i < count; ++i) {
        if (memchr(table[i].name, '\0', sizeof table[i].name) == nullptr) abort();
        if (table[i].processId == 0) abort(); // stored as noProcessId
    }
    const CounterProcessEntry empty = {};
    for (int i = count; i < counterTableSize; ++i) {
        if (memcmp(&table[i], &empty, sizeof empty) != 0) abort();
    }
}

DWORD firstDword(const uint8_t* data, size_t size) {
    uint8_t bytes[4] = {};
    memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
    return static_cast<DWORD>(bytes[0]) | static_cast<DWORD>(bytes[1]) << 8 | static_cast<DWORD>(bytes[2]) << 16 |
           static_cast<DWORD>(bytes[3]) << 24;
}

void readAsNames(const uint8_t* data, size_t size) {
    char objectIndex[counterIndexTextSize];
    memset(objectIndex, 'x', sizeof objectIndex);
    DWORD idCounterIndex = 0;
    if (!findProcessCounterIndexes(reinterpret_cast<const char*>(data), size, objectIndex, idCounterIndex)) return;
    const size_t length = strnlen(objectIndex, sizeof objectIndex);
    if (length == 0 || length == sizeof objectIndex || strspn(objectIndex, "0123456789") != length) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CounterProcessEntry table[counterTableSize];
    checkTable(readProcessInstances(data, size, usualIdCounterIndex, table), table);
    if (size >= 4) checkTable(readProcessInstances(data, size, firstDword(data, size), table), table);
    readAsNames(data, size);
    return 0;
}
