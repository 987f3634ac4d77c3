// The two readers of the performance data through which the engine finds
// processes on the NT versions that have neither Toolhelp nor PSAPI: the
// counter names list, which gives the process object's index and the index of
// its "ID Process" counter, and the process object's data block, which gives
// each instance's name and process id.
//
// Both read data that any program on the machine can shape (performance
// providers are third-party DLLs), so neither trusts a single offset, length
// or count in it: every one is checked against the buffer before it is
// followed, and the buffer is never read outside [data, data + size).
#ifndef QUORVANE_ENGINE_PERF_DATA_H
#define QUORVANE_ENGINE_PERF_DATA_H

#include <stddef.h>
#include <stdint.h>

#include "win32api.h"

constexpr int counterTableSize = 254;  // entries the table holds
constexpr int counterNameLength = 16;  // characters of an instance name kept

struct CounterProcessEntry {
    int32_t processId;                 // 0 is stored as -2, so that it never names a process that can be opened
    char name[counterNameLength + 1];  // instance name in the system code page; empty when longer than 16
};

// What a process id of 0 (the idle process) is stored as.
constexpr int32_t noProcessId = -2;

// Index texts are decimal numbers; the object index text is used as a
// registry value name.
constexpr size_t counterIndexTextSize = 16;

// Walks a "Counters" text: zero-terminated strings alternating index, name,
// ... (size bytes, need not end in a zero; a last string without its zero
// ends at size). When a name equals "process" ignoring case, the index string
// before it becomes objectIndex (only when it is a decimal number that fits,
// with its zero, in objectIndex; else that pair is ignored). When a name
// equals "id process" ignoring case, the index string before it, read as a
// decimal number (leading digits; none, or a value over 32 bits, and the pair
// is ignored), becomes idCounterIndex. Later pairs override earlier ones.
// True when both were found; objectIndex and idCounterIndex are written only
// then.
bool findProcessCounterIndexes(const char* names, size_t size, char (&objectIndex)[counterIndexTextSize],
                               DWORD& idCounterIndex);

// Fills table (cleared to zero first) from the process object's performance
// data block of `size` bytes: the instances of the block's first object, each
// with its name and the value of the counter whose name index is
// idCounterIndex. Returns the number of entries filled (0..254). The walk
// ends at the first instance, name, counter block or id that does not lie
// inside the block; the entries before it stand.
int readProcessInstances(const unsigned char* block, size_t size, DWORD idCounterIndex,
                         CounterProcessEntry (&table)[counterTableSize]);

#endif // QUORVANE_ENGINE_PERF_DATA_H
