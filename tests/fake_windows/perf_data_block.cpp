// The performance data of the simulated machine (HKEY_PERFORMANCE_DATA):
// the process object's block in the system's published layout, made of the
// running processes at each query, and the English counter names kept in
// the registry.
//
// Every field is written little-endian at its documented offset, whatever
// the host, as the system lays the data out on x86.
#include <cstring>

#include "fake_state.h"

namespace sim {

namespace {

// Sizes of the published records.
constexpr size_t dataBlockSize = 88;         // PERF_DATA_BLOCK
constexpr size_t objectTypeSize = 64;        // PERF_OBJECT_TYPE
constexpr size_t counterDefinitionSize = 40; // PERF_COUNTER_DEFINITION
constexpr size_t instanceDefinitionSize = 24; // PERF_INSTANCE_DEFINITION
constexpr size_t counterBlockSize = 24;      // PERF_COUNTER_BLOCK and the two counters' data
constexpr size_t recordAlignment = 8;
constexpr size_t utf16UnitSize = 2;

// PERF_DATA_BLOCK fields.
constexpr size_t signatureAt = 0, littleEndianAt = 8, versionAt = 12, revisionAt = 16, totalLengthAt = 20,
                 headerLengthAt = 24, objectCountAt = 28, defaultObjectAt = 32, systemTimeAt = 36, perfTimeAt = 56,
                 perfFreqAt = 64, perfTime100nsAt = 72, systemNameLengthAt = 80, systemNameOffsetAt = 84;
constexpr DWORD dataVersion = 1;  // PERF_DATA_VERSION
constexpr DWORD dataRevision = 1; // PERF_DATA_REVISION
const char* const systemName = "QUORVANE-SIM";

// PERF_OBJECT_TYPE fields.
constexpr size_t objectTotalAt = 0, definitionLengthAt = 4, objectHeaderAt = 8, objectNameIndexAt = 12,
                 objectHelpIndexAt = 20, detailLevelAt = 28, counterCountAt = 32, defaultCounterAt = 36,
                 instanceCountAt = 40, codePageAt = 44, objectPerfTimeAt = 48, objectPerfFreqAt = 56;
constexpr DWORD processObjectIndex = 230;
constexpr DWORD processHelpIndex = 231;
constexpr DWORD detailNovice = 100; // PERF_DETAIL_NOVICE
constexpr DWORD unicodeNames = 0;  // a code page of 0: instance names in UTF-16

// PERF_COUNTER_DEFINITION fields, and the process object's two counters.
constexpr size_t counterLengthAt = 0, counterNameIndexAt = 4, counterHelpIndexAt = 12, counterDetailAt = 24,
                 counterTypeAt = 28, counterSizeAt = 32, counterOffsetAt = 36;
struct Counter {
    DWORD nameIndex;
    DWORD helpIndex;
    DWORD type;
    DWORD size;
    DWORD offset; // in the counter block
};
constexpr DWORD timer100ns = 0x20510500; // PERF_100NSEC_TIMER
constexpr DWORD rawCount = 0x00010000;   // PERF_COUNTER_RAWCOUNT
constexpr size_t processorTimeAt = 8, processIdAt = 16;
// "% Processor Time" first, so that a reader has to look for "ID Process".
const Counter processCounters[] = {
    {6, 7, timer100ns, 8, processorTimeAt},
    {784, 785, rawCount, 4, processIdAt},
};
constexpr DWORD counterCount = sizeof processCounters / sizeof processCounters[0];

// PERF_INSTANCE_DEFINITION fields.
constexpr size_t instanceLengthAt = 0, uniqueIdAt = 12, nameOffsetAt = 16, nameLengthAt = 20;
constexpr DWORD noUniqueId = 0xFFFFFFFF; // PERF_NO_UNIQUE_ID, -1

// The clocks of the block follow the virtual clock: a performance counter
// at the ACPI timer's rate, and the time of day from a fixed start.
constexpr uint64_t perfFrequency = 3579545;
constexpr uint64_t startFileTime = 127621008000000000ull; // 2005-06-01 12:00:00 UTC
constexpr WORD startSystemTime[8] = {2005, 6, 3, 1, 12, 0, 0, 0}; // year, month, weekday, day, h, m, s, ms
constexpr uint64_t hundredNsPerMillisecond = 10000;
constexpr uint64_t millisecondsPerSecond = 1000;

size_t aligned(size_t size) { return (size + recordAlignment - 1) / recordAlignment * recordAlignment; }

void put16(std::vector<unsigned char>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<unsigned char>(value & 0xff);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}

void put32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
    put16(bytes, at, static_cast<uint16_t>(value & 0xffff));
    put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

void put64(std::vector<unsigned char>& bytes, size_t at, uint64_t value) {
    put32(bytes, at, static_cast<uint32_t>(value & 0xffffffffu));
    put32(bytes, at + 4, static_cast<uint32_t>(value >> 32));
}

// The text in UTF-16 with its terminator, each byte taken as the character
// of that number (the Latin-1 part of the ANSI code page).
size_t textBytes(const std::string& text) { return (text.size() + 1) * utf16UnitSize; }

void putText(std::vector<unsigned char>& bytes, size_t at, const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        put16(bytes, at + i * utf16UnitSize, static_cast<unsigned char>(text[i]));
    }
    put16(bytes, at + text.size() * utf16UnitSize, 0);
}

struct Instance {
    std::string name;
    DWORD id;
    uint64_t processorTime; // 100 ns units
};

// The idle process first and the total last, both with the identifier 0,
// around the running processes in start order. Names that repeat stay as
// they are: only a reader such as the performance monitor numbers them.
std::vector<Instance> processInstances() {
    const uint64_t idleTime = fake().clockMilliseconds * hundredNsPerMillisecond;
    std::vector<Instance> instances{{"Idle", 0, idleTime}};
    for (const SimProcess& process : fake().processes) {
        if (process.running) instances.push_back({counterNameOf(process), process.id, 0});
    }
    instances.push_back({"_Total", 0, idleTime});
    return instances;
}

void appendInstance(std::vector<unsigned char>& bytes, const Instance& instance) {
    const size_t start = bytes.size();
    const size_t definitionLength = aligned(instanceDefinitionSize + textBytes(instance.name));
    bytes.resize(start + definitionLength + counterBlockSize, 0);
    put32(bytes, start + instanceLengthAt, static_cast<uint32_t>(definitionLength));
    put32(bytes, start + uniqueIdAt, noUniqueId);
    put32(bytes, start + nameOffsetAt, static_cast<uint32_t>(instanceDefinitionSize));
    put32(bytes, start + nameLengthAt, static_cast<uint32_t>(textBytes(instance.name)));
    putText(bytes, start + instanceDefinitionSize, instance.name);
    const size_t counters = start + definitionLength;
    put32(bytes, counters, static_cast<uint32_t>(counterBlockSize));
    put64(bytes, counters + processorTimeAt, instance.processorTime);
    put32(bytes, counters + processIdAt, instance.id);
}

void appendCounter(std::vector<unsigned char>& bytes, const Counter& counter) {
    const size_t start = bytes.size();
    bytes.resize(start + counterDefinitionSize, 0);
    put32(bytes, start + counterLengthAt, static_cast<uint32_t>(counterDefinitionSize));
    put32(bytes, start + counterNameIndexAt, counter.nameIndex);
    put32(bytes, start + counterHelpIndexAt, counter.helpIndex);
    put32(bytes, start + counterDetailAt, detailNovice);
    put32(bytes, start + counterTypeAt, counter.type);
    put32(bytes, start + counterSizeAt, counter.size);
    put32(bytes, start + counterOffsetAt, counter.offset);
}

uint64_t perfTime() { return fake().clockMilliseconds * perfFrequency / millisecondsPerSecond; }

void appendProcessObject(std::vector<unsigned char>& bytes) {
    const size_t start = bytes.size();
    const std::vector<Instance> instances = processInstances();
    bytes.resize(start + objectTypeSize, 0);
    const size_t definitionLength = objectTypeSize + counterCount * counterDefinitionSize;
    put32(bytes, start + definitionLengthAt, static_cast<uint32_t>(definitionLength));
    put32(bytes, start + objectHeaderAt, static_cast<uint32_t>(objectTypeSize));
    put32(bytes, start + objectNameIndexAt, processObjectIndex);
    put32(bytes, start + objectHelpIndexAt, processHelpIndex);
    put32(bytes, start + detailLevelAt, detailNovice);
    put32(bytes, start + counterCountAt, counterCount);
    put32(bytes, start + defaultCounterAt, 0);
    put32(bytes, start + instanceCountAt, static_cast<uint32_t>(instances.size()));
    put32(bytes, start + codePageAt, unicodeNames);
    put64(bytes, start + objectPerfTimeAt, perfTime());
    put64(bytes, start + objectPerfFreqAt, perfFrequency);
    for (const Counter& counter : processCounters) appendCounter(bytes, counter);
    for (const Instance& instance : instances) appendInstance(bytes, instance);
    put32(bytes, start + objectTotalAt, static_cast<uint32_t>(bytes.size() - start));
}

// The data block's header with the system name after it.
std::vector<unsigned char> dataBlockHeader() {
    const size_t headerLength = aligned(dataBlockSize + textBytes(systemName));
    std::vector<unsigned char> bytes(headerLength, 0);
    putText(bytes, signatureAt, "PERF");
    put32(bytes, littleEndianAt, 1);
    put32(bytes, versionAt, dataVersion);
    put32(bytes, revisionAt, dataRevision);
    put32(bytes, headerLengthAt, static_cast<uint32_t>(headerLength));
    put32(bytes, defaultObjectAt, processObjectIndex);
    for (size_t i = 0; i < sizeof startSystemTime / sizeof startSystemTime[0]; ++i) {
        put16(bytes, systemTimeAt + i * sizeof(WORD), startSystemTime[i]);
    }
    put64(bytes, perfTimeAt, perfTime());
    put64(bytes, perfFreqAt, perfFrequency);
    put64(bytes, perfTime100nsAt, startFileTime + fake().clockMilliseconds * hundredNsPerMillisecond);
    put32(bytes, systemNameLengthAt, static_cast<uint32_t>(textBytes(systemName)));
    put32(bytes, systemNameOffsetAt, static_cast<uint32_t>(dataBlockSize));
    putText(bytes, dataBlockSize, systemName);
    return bytes;
}

// Whether a value name (object indexes separated by spaces) asks for the
// process object.
bool asksForProcesses(LPCSTR valueName) {
    if (valueName == nullptr) return false;
    const std::string wanted = std::to_string(processObjectIndex);
    const std::string names = valueName;
    for (size_t at = 0; at < names.size();) {
        const size_t space = names.find(' ', at);
        const size_t end = space == std::string::npos ? names.size() : space;
        if (names.compare(at, end - at, wanted) == 0) return true;
        at = end + 1;
    }
    return false;
}

// The process object alone when it is asked for; no object at all for
// anything else, as Wine answers every other name.
std::vector<unsigned char> performanceData(LPCSTR valueName) {
    std::vector<unsigned char> bytes = dataBlockHeader();
    if (asksForProcesses(valueName)) {
        appendProcessObject(bytes);
        put32(bytes, objectCountAt, 1);
    }
    put32(bytes, totalLengthAt, static_cast<uint32_t>(bytes.size()));
    return bytes;
}

} // namespace

// The size left behind with ERROR_MORE_DATA is the size of this block; a
// reader cannot count on it, since the next block may be larger.
LONG queryPerformanceData(LPCSTR valueName, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    // The 9x family has no such key, and says so as it does for any bad key.
    if (isNineX()) return ERROR_BADKEY;
    if (dataSize == nullptr) return ERROR_INVALID_PARAMETER;
    const auto& override = fake().performanceDataOverride;
    const std::vector<unsigned char> block = override ? *override : performanceData(valueName);
    if (type != nullptr) *type = REG_BINARY;
    const DWORD length = static_cast<DWORD>(block.size());
    if (data == nullptr || *dataSize < length) {
        *dataSize = length;
        return ERROR_MORE_DATA;
    }
    if (length != 0) std::memcpy(data, block.data(), length);
    *dataSize = length;
    return ERROR_SUCCESS;
}

namespace {

// A realistic part of an English NT system's list, in index order, with
// names that look like the process object's and its identifier counter's.
const char* const counterNames[][2] = {
    {"1", "1847"}, {"2", "System"}, {"4", "Memory"}, {"6", "% Processor Time"}, {"10", "File Read Operations/sec"},
    {"12", "File Write Operations/sec"}, {"24", "Available Bytes"}, {"26", "Committed Bytes"},
    {"28", "Page Faults/sec"}, {"40", "Pages/sec"}, {"142", "% User Time"}, {"144", "% Privileged Time"},
    {"172", "Virtual Bytes Peak"}, {"174", "Virtual Bytes"}, {"178", "Working Set Peak"}, {"180", "Working Set"},
    {"184", "Page File Bytes"}, {"186", "Private Bytes"}, {"230", "Process"}, {"232", "Thread"},
    {"234", "PhysicalDisk"}, {"236", "LogicalDisk"}, {"238", "Processor"}, {"240", "% Total Processor Time"},
    {"680", "Thread Count"}, {"682", "Priority Base"}, {"684", "Elapsed Time"}, {"740", "Image"},
    {"784", "ID Process"}, {"804", "ID Thread"}, {"816", "Thread Details"}, {"818", "Process Address Space"},
    {"952", "Handle Count"}, {"1410", "Creating Process ID"}, {"1500", "Job Object"},
    {"1548", "Job Object Details"},
};
const char* const perflibEnglish = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009";

} // namespace

void installPerformanceCounterNames() {
    std::string list;
    for (const auto& pair : counterNames) {
        list.append(pair[0]).push_back('\0');
        list.append(pair[1]).push_back('\0');
    }
    list.push_back('\0');
    KeyPtr key;
    bool created = false;
    if (walkKeyPath(machine().registry.localMachine, perflibEnglish, true, key, created) != ERROR_SUCCESS) return;
    setValue(*key, "Counters", REG_MULTI_SZ, list);
}

void setPerformanceDataOverride(std::optional<std::vector<unsigned char>> data) {
    fake().performanceDataOverride = std::move(data);
}

} // namespace sim
