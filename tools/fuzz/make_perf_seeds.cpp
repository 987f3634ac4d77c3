// Writes the fuzzer's first inputs into a folder: process object blocks laid
// out as the system lays them, a few of them bent the ways real data can be
// (long names, a count of -1, a name at an odd offset), and counter names
// lists. Made anew by each fuzzing run, so that no binary is kept in the tree.
//
// usage: make_perf_seeds FOLDER
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// The published layout (winperf.h): structure sizes and field offsets.
constexpr size_t dataBlockSize = 88, objectTypeSize = 64, counterDefinitionSize = 40, instanceDefinitionSize = 24;
constexpr size_t blockHeaderLength = 24, blockObjectCount = 28;
constexpr size_t objectDefinitionLength = 4, objectHeaderLength = 8, objectCounterCount = 32, objectInstanceCount = 40;
constexpr size_t counterNameIndex = 4, counterSize = 32, counterOffset = 36;
constexpr size_t instanceNameOffset = 16, instanceNameLength = 20;

constexpr uint32_t processorTimeIndex = 6;
constexpr uint32_t idProcessIndex = 784;
// The first four bytes of every block ("PE" in UTF-16), which the fuzzer
// also tries as the id counter's index.
constexpr uint32_t signatureAsIndex = 0x00450050;
constexpr uint32_t counterBlockLength = 24;
constexpr uint32_t processorTimeAt = 8, idProcessAt = 16;

struct Instance {
    std::string name;
    uint32_t processId;
};

struct Options {
    uint32_t idIndex = idProcessIndex;
    uint32_t instanceCount = 0; // 0: as many as there are
    uint32_t nameShift = 0;     // bytes of padding before each name
};

class Writer {
public:
    std::vector<unsigned char> bytes;

    void put32(size_t at, uint32_t value) {
        if (bytes.size() < at + 4) bytes.resize(at + 4);
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
    void put16(size_t at, uint16_t value) {
        if (bytes.size() < at + 2) bytes.resize(at + 2);
        bytes[at] = static_cast<unsigned char>(value);
        bytes[at + 1] = static_cast<unsigned char>(value >> 8);
    }
};

void putHeader(Writer& out, const Options& options, uint32_t instanceCount) {
    const char signature[] = "PERF";
    for (size_t i = 0; i < 4; ++i) out.put16(2 * i, static_cast<uint16_t>(signature[i]));
    out.put32(8, 1);  // LittleEndian
    out.put32(12, 1); // Version
    out.put32(blockHeaderLength, dataBlockSize);
    out.put32(blockObjectCount, 1);
    const size_t object = dataBlockSize;
    out.put32(object + objectDefinitionLength, objectTypeSize + 2 * counterDefinitionSize);
    out.put32(object + objectHeaderLength, objectTypeSize);
    out.put32(object + objectCounterCount, 2);
    out.put32(object + objectInstanceCount, instanceCount);
    const uint32_t counters[][2] = {{processorTimeIndex, processorTimeAt}, {options.idIndex, idProcessAt}};
    for (size_t i = 0; i < 2; ++i) {
        const size_t definition = object + objectTypeSize + i * counterDefinitionSize;
        out.put32(definition, counterDefinitionSize);
        out.put32(definition + counterNameIndex, counters[i][0]);
        out.put32(definition + counterSize, 4);
        out.put32(definition + counterOffset, counters[i][1]);
    }
}

void putInstance(Writer& out, const Instance& instance, uint32_t nameShift) {
    const size_t start = out.bytes.size();
    const size_t nameBytes = 2 * (instance.name.size() + 1);
    const size_t definitionLength = (instanceDefinitionSize + nameShift + nameBytes + 7) & ~size_t(7);
    out.put32(start, static_cast<uint32_t>(definitionLength));
    out.put32(start + instanceNameOffset, static_cast<uint32_t>(instanceDefinitionSize + nameShift));
    out.put32(start + instanceNameLength, static_cast<uint32_t>(nameBytes));
    const size_t name = start + instanceDefinitionSize + nameShift;
    for (size_t i = 0; i <= instance.name.size(); ++i) {
        out.put16(name + 2 * i, i < instance.name.size() ? static_cast<unsigned char>(instance.name[i]) : 0);
    }
    const size_t counters = start + definitionLength;
    out.put32(counters, counterBlockLength);
    out.put32(counters + processorTimeAt, 100);
    out.put32(counters + idProcessAt, instance.processId);
    out.bytes.resize(counters + counterBlockLength);
}

std::vector<unsigned char> processBlock(const std::vector<Instance>& instances, const Options& options) {
    Writer out;
    const uint32_t count = options.instanceCount != 0 ? options.instanceCount : uint32_t(instances.size());
    putHeader(out, options, count);
    for (const Instance& instance : instances) putInstance(out, instance, options.nameShift);
    out.put32(20, static_cast<uint32_t>(out.bytes.size()));                       // TotalByteLength
    out.put32(dataBlockSize, static_cast<uint32_t>(out.bytes.size() - dataBlockSize)); // the object's
    return out.bytes;
}

std::vector<unsigned char> namesList(const std::vector<std::string>& strings, bool lastZero) {
    std::vector<unsigned char> list;
    for (const std::string& text : strings) {
        list.insert(list.end(), text.begin(), text.end());
        list.push_back(0);
    }
    if (!lastZero) list.pop_back();
    return list;
}

bool writeSeed(const std::string& folder, const char* name, const std::vector<unsigned char>& bytes) {
    const std::string path = folder + "/" + name;
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_perf_seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<Instance> three = {{"Idle", 0}, {"abc", 1234}, {"_Total", 0}};
    std::vector<Instance> many;
    for (int i = 0; i < 260; ++i) many.push_back({"process" + std::to_string(i), uint32_t(8 + 4 * i)});
    Options negativeCount;
    negativeCount.instanceCount = 0xFFFFFFFFu;
    Options oddName;
    oddName.nameShift = 1;
    Options signatureIndex;
    signatureIndex.idIndex = signatureAsIndex;
    const std::vector<std::string> names = {"1", "1847", "2", "System", "230", "Process", "784", "ID Process", ""};
    bool written = writeSeed(folder, "block-three", processBlock(three, Options()));
    written = writeSeed(folder, "block-long-names", processBlock({{"sixteen_letters!", 4}, {"seventeen_letters", 8}}, Options())) && written;
    written = writeSeed(folder, "block-many", processBlock(many, Options())) && written;
    written = writeSeed(folder, "block-count-minus-one", processBlock(three, negativeCount)) && written;
    written = writeSeed(folder, "block-odd-name", processBlock(three, oddName)) && written;
    written = writeSeed(folder, "block-signature-index", processBlock(three, signatureIndex)) && written;
    written = writeSeed(folder, "names-list", namesList(names, true)) && written;
    written = writeSeed(folder, "names-unterminated", namesList({"784", "id process", "230", "PROCESS"}, false)) && written;
    if (!written) {
        fprintf(stderr, "make_perf_seeds: cannot write the seeds into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
