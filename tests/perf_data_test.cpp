// The readers of the counter names list and of the process object's data
// block, fed blocks laid out here field by field and then broken every way an
// offset, a length or a count can be. Under the sanitizers each truncated or
// broken copy lies in a buffer of exactly its size, so that a read past it is
// caught. Names are ASCII, which converts the same on every code page.
#include <gtest/gtest.h>

#include <string.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "perf_data.h"

namespace {

// The published layout (winperf.h), written out apart from the parser's.
constexpr size_t dataBlockSize = 88;          // PERF_DATA_BLOCK
constexpr size_t objectTypeSize = 64;         // PERF_OBJECT_TYPE
constexpr size_t counterDefinitionSize = 40;  // PERF_COUNTER_DEFINITION
constexpr size_t instanceDefinitionSize = 24; // PERF_INSTANCE_DEFINITION
// Field offsets within each of them.
constexpr size_t blockHeaderLength = 24, blockObjectCount = 28;
constexpr size_t objectTotalLength = 0, objectDefinitionLength = 4, objectHeaderLength = 8;
constexpr size_t objectCounterCount = 32, objectInstanceCount = 40;
constexpr size_t counterNameIndex = 4, counterSize = 32, counterOffset = 36;
constexpr size_t instanceNameOffset = 16, instanceNameLength = 20;

// The block's counters: "% Processor Time" first, "ID Process" after it.
constexpr uint32_t processorTimeIndex = 6;
constexpr uint32_t idProcessIndex = 784;
constexpr uint32_t processorTimeAt = 8;  // in each counter block
constexpr uint32_t idProcessAt = 16;
constexpr uint32_t counterBlockLength = 24;
constexpr uint32_t processorTimeBase = 7000; // instance i's time: base + i

struct Instance {
    std::string name;
    uint32_t processId;
};

// A process object block, and where each of its parts starts.
struct Block {
    std::vector<unsigned char> bytes;
    size_t object = dataBlockSize;
    std::vector<size_t> instances;
    std::vector<size_t> counterBlocks;

    void put32(size_t at, uint32_t value) {
        if (bytes.size() < at + 4) bytes.resize(at + 4);
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
    void put16(size_t at, uint16_t value) {
        if (bytes.size() < at + 2) bytes.resize(at + 2);
        bytes[at] = static_cast<unsigned char>(value);
        bytes[at + 1] = static_cast<unsigned char>(value >> 8);
    }
    uint32_t get32(size_t at) const {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
        return value;
    }
    // The first `length` bytes, alone in a buffer of their size.
    std::vector<unsigned char> prefix(size_t length) const { return {bytes.begin(), bytes.begin() + length}; }
};

size_t roundUpTo8(size_t value) { return (value + 7) & ~static_cast<size_t>(7); }

void putHeaderAndCounters(Block& block, uint32_t instanceCount) {
    const char signature[] = "PERF";
    for (size_t i = 0; i < 4; ++i) block.put16(2 * i, static_cast<uint16_t>(signature[i]));
    block.put32(blockHeaderLength, dataBlockSize);
    block.put32(blockObjectCount, 1);
    const uint32_t counters[][2] = {{processorTimeIndex, processorTimeAt}, {idProcessIndex, idProcessAt}};
    const size_t countersStart = block.object + objectTypeSize;
    block.put32(block.object + objectDefinitionLength, objectTypeSize + 2 * counterDefinitionSize);
    block.put32(block.object + objectHeaderLength, objectTypeSize);
    block.put32(block.object + objectCounterCount, 2);
    block.put32(block.object + objectInstanceCount, instanceCount);
    for (size_t i = 0; i < 2; ++i) {
        const size_t definition = countersStart + i * counterDefinitionSize;
        block.put32(definition, counterDefinitionSize);
        block.put32(definition + counterNameIndex, counters[i][0]);
        block.put32(definition + counterSize, 4);
        block.put32(definition + counterOffset, counters[i][1]);
    }
}

// Appends one instance: its definition, its UTF-16 name (padded to 8 bytes)
// and its counter block.
void putInstance(Block& block, const Instance& instance, uint32_t processorTime) {
    const size_t start = block.bytes.size();
    const size_t nameBytes = 2 * (instance.name.size() + 1);
    const size_t definitionLength = instanceDefinitionSize + roundUpTo8(nameBytes);
    block.put32(start, static_cast<uint32_t>(definitionLength));
    block.put32(start + instanceNameOffset, instanceDefinitionSize);
    block.put32(start + instanceNameLength, static_cast<uint32_t>(nameBytes));
    for (size_t i = 0; i < instance.name.size(); ++i) {
        block.put16(start + instanceDefinitionSize + 2 * i, static_cast<unsigned char>(instance.name[i]));
    }
    const size_t counters = start + definitionLength;
    block.put32(counters, counterBlockLength);
    block.put32(counters + processorTimeAt, processorTime);
    block.put32(counters + idProcessAt, instance.processId);
    block.bytes.resize(counters + counterBlockLength);
    block.instances.push_back(start);
    block.counterBlocks.push_back(counters);
}

Block buildBlock(const std::vector<Instance>& instances, uint32_t instanceCount) {
    Block block;
    putHeaderAndCounters(block, instanceCount);
    for (size_t i = 0; i < instances.size(); ++i) putInstance(block, instances[i], processorTimeBase + uint32_t(i));
    block.put32(block.object + objectTotalLength, static_cast<uint32_t>(block.bytes.size() - block.object));
    return block;
}

Block threeProcesses() { return buildBlock({{"Idle", 0}, {"abc", 1234}, {"_Total", 0}}, 3); }

class PerfDataInstances : public ::testing::Test {
protected:
    int read(const std::vector<unsigned char>& bytes, DWORD idIndex = idProcessIndex) {
        return readProcessInstances(bytes.data(), bytes.size(), idIndex, table);
    }
    CounterProcessEntry table[counterTableSize];
};

TEST_F(PerfDataInstances, ReadsEachNameAndProcessIdAndStoresIdZeroAsNoProcess) {
    ASSERT_EQ(read(threeProcesses().bytes), 3);
    EXPECT_STREQ(table[0].name, "Idle");
    EXPECT_EQ(table[0].processId, noProcessId);
    EXPECT_STREQ(table[1].name, "abc");
    EXPECT_EQ(table[1].processId, 1234);
    EXPECT_STREQ(table[2].name, "_Total");
    EXPECT_EQ(table[2].processId, -2);
}

TEST_F(PerfDataInstances, ReadsTheCounterNamedByTheIndexWhereverItStands) {
    ASSERT_EQ(read(threeProcesses().bytes, processorTimeIndex), 3);
    EXPECT_EQ(table[1].processId, static_cast<int32_t>(processorTimeBase + 1));
    EXPECT_EQ(read(threeProcesses().bytes, 999), 0);
}

TEST_F(PerfDataInstances, KeepsNamesOfSixteenCharactersAndEmptiesLongerOnes) {
    const Block block = buildBlock({{"sixteen_letters!", 8}, {"seventeen_letters", 12}}, 2);
    ASSERT_EQ(read(block.bytes), 2);
    EXPECT_STREQ(table[0].name, "sixteen_letters!");
    EXPECT_STREQ(table[1].name, "");
    EXPECT_EQ(table[1].processId, 12);
}

TEST_F(PerfDataInstances, ClearsTheWholeTableFirst) {
    memset(table, 'x', sizeof table);
    ASSERT_EQ(read(buildBlock({{"one", 4}}, 1).bytes), 1);
    EXPECT_EQ(table[1].processId, 0);
    EXPECT_STREQ(table[counterTableSize - 1].name, "");
}

TEST_F(PerfDataInstances, ReadsNoMoreInstancesThanTheObjectCounts) {
    EXPECT_EQ(read(buildBlock({{"a", 1}, {"b", 2}, {"c", 3}}, 2).bytes), 2);
    EXPECT_EQ(read(buildBlock({{"a", 1}}, 0).bytes), 0);
}

TEST_F(PerfDataInstances, CapsTheInstanceCountAtTheTableSize) {
    std::vector<Instance> many;
    for (int i = 0; i < 300; ++i) many.push_back({"p" + std::to_string(i), uint32_t(100 + i)});
    ASSERT_EQ(read(buildBlock(many, 300).bytes), counterTableSize);
    EXPECT_STREQ(table[counterTableSize - 1].name, "p253");
    EXPECT_EQ(table[counterTableSize - 1].processId, 353);
}

TEST_F(PerfDataInstances, ANegativeCountReadsTheInstancesUntilTheBlockEnds) {
    EXPECT_EQ(read(buildBlock({{"a", 1}, {"b", 2}, {"c", 3}}, 0xFFFFFFFFu).bytes), 3);
}

TEST_F(PerfDataInstances, RefusesWhatIsNoPerformanceData) {
    Block block = threeProcesses();
    EXPECT_EQ(readProcessInstances(nullptr, 0, idProcessIndex, table), 0);
    EXPECT_EQ(readProcessInstances(block.bytes.data(), 0, idProcessIndex, table), 0);
    EXPECT_EQ(read(block.prefix(dataBlockSize - 1)), 0);
    block.bytes[6] = 'G'; // "PERG"
    EXPECT_EQ(read(block.bytes), 0);
    block = threeProcesses();
    block.bytes[1] = 'E'; // "PERF" in one-byte characters is no signature either
    EXPECT_EQ(read(block.bytes), 0);
}

TEST_F(PerfDataInstances, ABlockWithoutObjectsHasNoInstances) {
    Block block = threeProcesses();
    block.put32(blockObjectCount, 0);
    EXPECT_EQ(read(block.bytes), 0);
}

TEST_F(PerfDataInstances, AnObjectOrCounterOutsideTheBlockGivesNoEntries) {
    const size_t object = dataBlockSize;
    const size_t fields[] = {blockHeaderLength, object + objectHeaderLength, object + objectDefinitionLength,
                             object + objectTypeSize + counterDefinitionSize + counterOffset};
    for (size_t field : fields) {
        for (uint32_t value : {uint32_t(threeProcesses().bytes.size()), 0xFFFFFFF0u, 0xFFFFFFFFu}) {
            Block block = threeProcesses();
            block.put32(field, value);
            EXPECT_EQ(read(block.bytes), 0) << "field at " << field << " = " << value;
        }
    }
}

TEST_F(PerfDataInstances, ACounterCountPastTheBlockStopsAtItsEnd) {
    Block block = threeProcesses();
    block.put32(block.object + objectCounterCount, 0xFFFFFFFFu);
    EXPECT_EQ(read(block.bytes), 3);
    EXPECT_EQ(read(block.bytes, 999), 0);
}

TEST_F(PerfDataInstances, AnInstancePartOutsideTheBlockEndsTheWalkAndKeepsTheEntriesBefore) {
    const Block good = threeProcesses();
    const size_t second = good.instances[1];
    // The second instance's name, its counter block, and the third instance.
    const size_t fields[] = {second + instanceNameOffset, second, good.counterBlocks[1]};
    for (size_t field : fields) {
        for (uint32_t value : {uint32_t(good.bytes.size()), 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            Block block = good;
            block.put32(field, value);
            const int expected = field == good.counterBlocks[1] ? 2 : 1;
            EXPECT_EQ(read(block.bytes), expected) << "field at " << field << " = " << value;
            EXPECT_EQ(table[0].processId, noProcessId);
        }
    }
}

TEST_F(PerfDataInstances, FollowsAnOffsetIntoTheMiddleOfAName) {
    Block block = threeProcesses();
    block.put32(block.instances[1] + instanceNameOffset, instanceDefinitionSize + 2); // "bc"
    ASSERT_EQ(read(block.bytes), 3);
    EXPECT_STREQ(table[1].name, "bc");
}

TEST_F(PerfDataInstances, TakesANameThatRunsToTheBlockEndAsFarAsItGoes) {
    Block block = threeProcesses();
    const size_t end = block.bytes.size();
    block.put16(end, 'z');
    block.put16(end + 2, 'y'); // no terminator: the block ends here
    block.put32(block.instances[2] + instanceNameOffset, static_cast<uint32_t>(end - block.instances[2]));
    ASSERT_EQ(read(block.bytes), 3);
    EXPECT_STREQ(table[2].name, "zy");
}

TEST_F(PerfDataInstances, AStepOfZeroBytesStaysOnTheInstanceAndEndsAtTheCount) {
    Block block = threeProcesses();
    // The instance is its own counter block, of length 0: each step leads
    // back to it, and its id is what lies where the name offset does.
    block.put32(block.instances[0], 0);
    ASSERT_EQ(read(block.bytes), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(table[i].name, "Idle");
        EXPECT_EQ(table[i].processId, static_cast<int32_t>(instanceDefinitionSize));
    }
}

TEST_F(PerfDataInstances, ReadsABlockThatStartsAtAnOddAddress) {
    const Block block = threeProcesses();
    std::vector<unsigned char> shifted(block.bytes.size() + 1);
    memcpy(shifted.data() + 1, block.bytes.data(), block.bytes.size());
    ASSERT_EQ(readProcessInstances(shifted.data() + 1, block.bytes.size(), idProcessIndex, table), 3);
    EXPECT_EQ(table[1].processId, 1234);
}

TEST_F(PerfDataInstances, ABlockCutAtAnyLengthKeepsOnlyTheInstancesInside) {
    const Block block = threeProcesses();
    int previous = 0;
    for (size_t length = 0; length <= block.bytes.size(); ++length) {
        const int count = read(block.prefix(length));
        EXPECT_GE(count, previous) << "cut at " << length;
        EXPECT_LE(count, 3) << "cut at " << length;
        previous = count;
    }
    EXPECT_EQ(previous, 3);
    // An instance whose counter block is cut off is not one.
    EXPECT_EQ(read(block.prefix(block.counterBlocks[1] + idProcessAt + 3)), 1);
    EXPECT_EQ(read(block.prefix(block.counterBlocks[1] + idProcessAt + 4)), 2);
}

// ---- the counter names list ----

// The strings, each with its zero, as a list of exactly their size.
std::vector<char> namesList(std::initializer_list<const char*> strings) {
    std::vector<char> list;
    for (const char* text : strings) list.insert(list.end(), text, text + strlen(text) + 1);
    return list;
}

// The same without the last string's zero.
std::vector<char> unterminated(std::initializer_list<const char*> strings) {
    std::vector<char> list = namesList(strings);
    list.pop_back();
    return list;
}

class PerfCounterNames : public ::testing::Test {
protected:
    bool find(const std::vector<char>& names) {
        return findProcessCounterIndexes(names.data(), names.size(), objectIndex, idIndex);
    }
    char objectIndex[counterIndexTextSize] = "untouched";
    DWORD idIndex = 1;
};

TEST_F(PerfCounterNames, FindsBothWhicheverComesFirstAndWhateverTheCase) {
    ASSERT_TRUE(find(namesList({"1", "1847", "230", "Process", "784", "ID Process", ""})));
    EXPECT_STREQ(objectIndex, "230");
    EXPECT_EQ(idIndex, 784u);
    ASSERT_TRUE(find(namesList({"786", "id PROCESS", "2", "System", "232", "PROCESS", ""})));
    EXPECT_STREQ(objectIndex, "232");
    EXPECT_EQ(idIndex, 786u);
}

TEST_F(PerfCounterNames, ALaterPairOverridesAnEarlierOne) {
    ASSERT_TRUE(find(namesList({"230", "Process", "784", "ID Process", "300", "process", "900", "id process"})));
    EXPECT_STREQ(objectIndex, "300");
    EXPECT_EQ(idIndex, 900u);
}

TEST_F(PerfCounterNames, WithoutEitherPairFindsNothingAndWritesNothing) {
    EXPECT_FALSE(find(namesList({"230", "Process", "784", "Processor"})));
    EXPECT_FALSE(find(namesList({"784", "ID Process", "230", "Processes"})));
    EXPECT_FALSE(find(namesList({"Process", "ID Process"}))); // the names stand where indexes go
    EXPECT_FALSE(find(namesList({"230", "Process", "784"}))); // an index with no name after it
    EXPECT_STREQ(objectIndex, "untouched");
    EXPECT_EQ(idIndex, 1u);
    EXPECT_FALSE(findProcessCounterIndexes(nullptr, 0, objectIndex, idIndex));
}

TEST_F(PerfCounterNames, ALastStringWithoutItsZeroEndsWithTheList) {
    ASSERT_TRUE(find(unterminated({"230", "Process", "784", "ID Process"})));
    EXPECT_EQ(idIndex, 784u);
    EXPECT_FALSE(find(unterminated({"230", "Process", "784", "ID Proces"})));
}

TEST_F(PerfCounterNames, AnObjectIndexThatDoesNotFitOrIsNoNumberIsPassedOver) {
    ASSERT_TRUE(find(namesList({"230", "Process", "784", "ID Process", "1234567890123456", "Process"})));
    EXPECT_STREQ(objectIndex, "230");
    ASSERT_TRUE(find(namesList({"230", "Process", "784", "ID Process", "Global", "Process"})));
    EXPECT_STREQ(objectIndex, "230");
    ASSERT_TRUE(find(namesList({"123456789012345", "Process", "784", "ID Process"})));
    EXPECT_STREQ(objectIndex, "123456789012345");
}

TEST_F(PerfCounterNames, ReadsTheIdIndexAsFarAsItsDigitsGoAndPassesOverOverflow) {
    ASSERT_TRUE(find(namesList({"230", "Process", "784x", "ID Process"})));
    EXPECT_EQ(idIndex, 784u);
    ASSERT_TRUE(find(namesList({"230", "Process", "4294967295", "ID Process"})));
    EXPECT_EQ(idIndex, 4294967295u);
    ASSERT_TRUE(find(namesList({"230", "Process", "784", "ID Process", "4294967296", "ID Process", "x1", "ID Process"})));
    EXPECT_EQ(idIndex, 784u);
    EXPECT_FALSE(find(namesList({"230", "Process", "", "ID Process"})));
}

TEST_F(PerfCounterNames, AListCutAtAnyLengthIsReadOnlyInsideIt) {
    const std::vector<char> full = namesList({"2", "System", "230", "Process", "784", "ID Process", ""});
    const size_t shortestWhole = full.size() - 2; // up to "ID Process", without its zero or the list's
    for (size_t length = 0; length <= full.size(); ++length) {
        const std::vector<char> cut(full.begin(), full.begin() + length);
        EXPECT_EQ(find(cut), length >= shortestWhole) << "cut at " << length;
    }
}

// ---- the system's text conversion, as the reader uses it ----

TEST(PerfNameConversion, ConvertsAZeroTerminatedStringWithItsTerminator) {
    const WCHAR wide[] = {'I', 'd', 'l', 'e', 0};
    char text[8];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr), 5);
    EXPECT_STREQ(text, "Idle");
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr), 5);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 2, text, sizeof text, nullptr, nullptr), 2);
}

TEST(PerfNameConversion, FailsForABufferTooSmallOrAParameterMissing) {
    const WCHAR wide[] = {'I', 'd', 'l', 'e', 0};
    char text[4];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, text, sizeof text, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 0, text, sizeof text, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

#ifndef _WIN32
// The simulated machine's code page is Windows-1252.
TEST(PerfNameConversion, MapsWesternLettersAndDefaultsTheRest) {
    const WCHAR wide[] = {0x00E9, 0x20AC, 0x4E2D, 0xD800, 0};
    char text[8];
    BOOL defaulted = FALSE;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, &defaulted), 5);
    EXPECT_STREQ(text, "\xE9\x80??");
    EXPECT_TRUE(defaulted);
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 2, text, sizeof text, "#", &defaulted), 2);
    EXPECT_FALSE(defaulted);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide + 2, 1, text, sizeof text, "#", &defaulted), 1);
    EXPECT_EQ(text[0], '#');
}
#endif

} // namespace
