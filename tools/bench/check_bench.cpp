// Micro-benchmark of the per-file check, checkExecutable, on three files of
// drive C: of the simulated machine: a text file, a PE file whose length no
// record asks for (turned away on its length), and a PE file of a record's
// length whose signature differs by one byte (read through to the compare).
// The choice is to leave what is found, so nothing is ever deleted.
//
// usage: quorvane-bench-check [Google Benchmark options]
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include "exe_check.h"
#include "machine.h"
#include "pe_sample.h"
#include "scan_state.h"

namespace {

namespace fs = std::filesystem;

constexpr int recordUsed = 0;      // the first record: its near misses are PE files of known kinds
constexpr size_t textLength = 2048; // a typical small file of the benchmark's tree
const char* const textLine = "the quick brown fox jumps over the lazy dog\r\n";

// Host names in the folder behind C:, and the Windows paths checked.
const char* const plainName = "plain.txt";
const char* const otherLengthName = "other-length.exe";
const char* const recordLengthName = "record-length.exe";
const char* const plainPath = "C:\\plain.txt";
const char* const otherLengthPath = "C:\\other-length.exe";
const char* const recordLengthPath = "C:\\record-length.exe";

samples::Bytes nearMiss(const char* label) {
    for (const samples::NearMiss& miss : samples::nearMisses(recordUsed)) {
        if (miss.label == label) return miss.bytes;
    }
    return {};
}

samples::Bytes plainText() {
    std::string text;
    while (text.size() < textLength) text += textLine;
    text.resize(textLength);
    return samples::Bytes(text.begin(), text.end());
}

// False when there is nothing to write (a near miss the samples no longer make).
bool writeHostFile(const fs::path& folder, const char* name, const samples::Bytes& bytes) {
    return !bytes.empty() && samples::writeFile((folder / name).string(), bytes);
}

// A fresh machine whose drive C: is the folder, holding the three files.
bool setUpMachine(const fs::path& folder) {
    sim::reset();
    if (!sim::mapDrive('C', folder.string())) return false;
    resetScanState();
    scanState.probeOnly = false;
    scanState.userChoice = choiceLeave;
    return writeHostFile(folder, plainName, plainText()) &&
           writeHostFile(folder, otherLengthName, nearMiss(samples::nearMissLabel::longer)) &&
           writeHostFile(folder, recordLengthName, nearMiss(samples::nearMissLabel::sig1Changed));
}

void checkFile(benchmark::State& state, const char* path) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(checkExecutable(exeCheckName, path));
    }
    if (scanState.filesInfected != 0) state.SkipWithError("a file was detected");
    scanState.filesScanned = 0;
}

} // namespace

BENCHMARK_CAPTURE(checkFile, textFile, plainPath);
BENCHMARK_CAPTURE(checkFile, peOfNoRecordLength, otherLengthPath);
BENCHMARK_CAPTURE(checkFile, peOfARecordLength, recordLengthPath);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return EXIT_FAILURE;
    char pattern[] = "/tmp/qv-bench-check-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return EXIT_FAILURE;
    const fs::path folder = pattern;
    const bool ready = setUpMachine(folder);
    if (ready) benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return ready ? EXIT_SUCCESS : EXIT_FAILURE;
}
