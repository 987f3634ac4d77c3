// The performance-counter way of ending a process: the process object's
// instances read from the registry's performance data, each one named after
// the file its process runs.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <vector>

#include "perf_data.h"
#include "process_kill.h"
#include "text_util.h"

namespace {

const char* const perflibKey = "software\\microsoft\\windows nt\\currentversion\\perflib";
constexpr unsigned englishLanguage = 9; // the "009" subkey: counter names in English
const char* const counterNamesValue = "Counters";
// The names list of a real system runs to a few hundred kilobytes; more
// than this is no list to walk.
constexpr DWORD largestCounterNames = 16 * 1024 * 1024;
// The first buffer for the process object's data, and what each retry adds
// to the size the system asked for.
constexpr DWORD firstDataSize = 51200;
constexpr DWORD dataSizeStep = 25600;
constexpr DWORD largestPerformanceData = 64 * 1024 * 1024;
constexpr DWORD terminateOnly = PROCESS_TERMINATE;
constexpr DWORD afterKillPause = 500; // ms: lets the system let go of the image

// The value's data, read in two steps: its size, then the data. False when
// it cannot be read or would be larger than `largest`.
bool readSizedValue(HKEY key, const char* name, DWORD largest, std::vector<char>& data) {
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
    if (size == 0 || size > largest) return false;
    try {
        data.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(data.data()), &size) != ERROR_SUCCESS) {
        return false;
    }
    data.resize(size < data.size() ? size : data.size());
    return true;
}

// The process object's index text and the index of its "ID Process" counter.
bool readCounterIndexes(char (&objectIndex)[counterIndexTextSize], DWORD& idCounterIndex) {
    char keyName[MAX_PATH];
    snprintf(keyName, sizeof keyName, "%s\\%03x", perflibKey, englishLanguage);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    std::vector<char> names;
    const bool read = readSizedValue(key, counterNamesValue, largestCounterNames, names);
    RegCloseKey(key);
    return read && findProcessCounterIndexes(names.data(), names.size(), objectIndex, idCounterIndex);
}

// The process object alone, asked for by its index; the buffer grows while
// the system says there is more.
bool readProcessObject(const char* objectIndex, std::vector<unsigned char>& data) {
    DWORD capacity = firstDataSize;
    for (;;) {
        try {
            data.assign(capacity, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        DWORD size = capacity;
        const LONG result = RegQueryValueExA(HKEY_PERFORMANCE_DATA, objectIndex, nullptr, nullptr, data.data(), &size);
        if (result == ERROR_SUCCESS) {
            data.resize(size < capacity ? size : capacity);
            return size > 0;
        }
        if (result != ERROR_MORE_DATA || size > largestPerformanceData - dataSizeStep) return false;
        // The size left behind need not be the size needed: the data grows
        // between two questions, so a step more is asked for each time.
        capacity = (size > capacity ? size : capacity) + dataSizeStep;
    }
}

int readCounterTable(CounterProcessEntry (&table)[counterTableSize]) {
    memset(table, 0, sizeof table);
    char objectIndex[counterIndexTextSize] = {};
    DWORD idCounterIndex = 0;
    if (!readCounterIndexes(objectIndex, idCounterIndex)) return 0;
    std::vector<unsigned char> data;
    const bool read = readProcessObject(objectIndex, data);
    RegCloseKey(HKEY_PERFORMANCE_DATA);
    return read ? readProcessInstances(data.data(), data.size(), idCounterIndex, table) : 0;
}

// The instance name of the file's processes: its file name up to the last
// '.', as the system names processes.
void targetName(const char* path, char (&target)[MAX_PATH]) {
    copyText(target, sizeof target, fileNamePart(path));
    char* dot = strrchr(target, '.');
    if (dot != nullptr) *dot = '\0';
}

// The instance is the target, or a later instance of the same program, which
// the system names "target#1", "target#2" and so on.
bool instanceOf(const char* instance, const char* target) {
    const size_t length = strlen(target);
    if (length == 0 || strlen(instance) < length || !sameLettersNoCase(instance, target, length)) return false;
    const char* rest = instance + length;
    if (*rest == '\0') return true;
    if (*rest != '#' || rest[1] == '\0') return false;
    return strspn(rest + 1, "0123456789") == strlen(rest + 1);
}

} // namespace

int killByPerfCounters(const char* path) {
    char target[MAX_PATH];
    targetName(path, target);
    CounterProcessEntry table[counterTableSize];
    const int count = readCounterTable(table);
    int ended = 0;
    for (int i = 0; i < count; ++i) {
        if (!instanceOf(table[i].name, target)) continue;
        HANDLE process = OpenProcess(terminateOnly, FALSE, static_cast<DWORD>(table[i].processId));
        if (process != nullptr) {
            if (TerminateProcess(process, 0)) ended = 1;
            CloseHandle(process);
        }
        Sleep(afterKillPause);
    }
    return ended;
}
