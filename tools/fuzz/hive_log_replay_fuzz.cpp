// libFuzzer target of a dirty hive's recovery from its transaction logs:
// any bytes as a primary hive file and two logs. The input is cut in three
// by two little-endian 32-bit lengths at its start (each cut to what is
// left): the primary, LOG1, and the rest as LOG2.
//
// Promises: a refusal says why and leaves the primary as it was; a clean
// primary is left as it was; a recovered one is clean, its bins size fits
// the file, every range written lies in it, sorted and apart, and the file
// grew by no more than the logs carry; recovering it again changes nothing.
#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_machine.h"
#include "hive/log_replay.h"

namespace {

constexpr size_t lengthSize = 4;

hive::Bytes take(const uint8_t*& data, size_t& size, size_t wanted) {
    const size_t length = wanted < size ? wanted : size;
    hive::Bytes part(data, data + length);
    data += length;
    size -= length;
    return part;
}

size_t takeLength(const uint8_t*& data, size_t& size) {
    if (size < lengthSize) return size;
    const size_t length = hive::readU32(data);
    data += lengthSize;
    size -= lengthSize;
    return length;
}

void checkRecovered(const hive::Bytes& input, const hive::Bytes& image, const hive::Recovery& recovery,
                    size_t logBytes) {
    fuzz::require(!hive::primaryDirty(image.data(), image.size()), "a recovered hive is clean");
    const uint64_t bins = hive::readU32(image.data() + hive::binsSizeAt);
    fuzz::require(hive::baseBlockSize + bins <= image.size(), "the bins size fits the file");
    fuzz::require(image.size() <= std::max(input.size(), hive::baseBlockSize) + logBytes,
                  "the file grows by no more than the logs carry");
    uint64_t end = 0;
    for (const hive::PageRange& range : recovery.written) {
        fuzz::require(range.size > 0 && (end == 0 || range.offset > end), "ranges written are sorted and apart");
        end = uint64_t{range.offset} + range.size;
        fuzz::require(hive::baseBlockSize + end <= image.size(), "every range written lies in the file");
    }
    fuzz::require(recovery.entriesApplied > 0, "a recovery applies something");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t primaryLength = takeLength(data, size);
    const size_t log1Length = takeLength(data, size);
    const hive::Bytes input = take(data, size, primaryLength);
    std::vector<hive::LogFile> logs;
    logs.push_back(hive::LogFile{"HIVE.LOG1", take(data, size, log1Length)});
    logs.push_back(hive::LogFile{"HIVE.LOG2", take(data, size, size)});
    const size_t logBytes = logs[0].bytes.size() + logs[1].bytes.size();

    hive::Bytes image = input;
    hive::Recovery recovery;
    std::string problem;
    const bool recovered = hive::recoverHive(image, logs, recovery, problem);
    (void)hive::highestLogSequence(logs);
    if (!recovered) {
        fuzz::require(!problem.empty() && image == input, "a refusal says why and changes nothing");
        return 0;
    }
    if (!recovery.wasDirty) {
        fuzz::require(image == input && recovery.written.empty(), "a clean hive is left as it is");
        return 0;
    }
    checkRecovered(input, image, recovery, logBytes);
    const hive::Bytes once = image;
    fuzz::require(hive::recoverHive(image, logs, recovery, problem) && !recovery.wasDirty && image == once,
                  "recovering a recovered hive changes nothing");
    return 0;
}
