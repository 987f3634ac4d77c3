// make-samples: writes one synthetic PE32 sample for every executable
// signature record, and on request the near misses of each.
//
//   make-samples [--near-misses] DIR
//   make-samples --hosts DIR
//   make-samples --running DIR
//
// DIR/sampleNN.exe for NN = 00..56; with --near-misses also
// DIR/near/NN-label.bin. With --hosts only DIR/hosts, a hosts file that
// carries the text signature's payload. With --running only DIR/running.exe,
// a PE32+ program that runs until it is ended and that the first record it
// can be made for matches; that record's name is listed. Each sample's layout
// is listed on standard output.
// Exit status: 0 written, 1 a file or folder could not be written, 2 bad arguments.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "pe_sample.h"
#include "running_sample.h"
#include "text_sample.h"

namespace {

constexpr int exitWritten = 0;
constexpr int exitWriteFailed = 1;
constexpr int exitUsage = 2;
constexpr const char* nearMissOption = "--near-misses";
constexpr const char* hostsOption = "--hosts";
constexpr const char* hostsName = "hosts";
constexpr const char* runningOption = "--running";
constexpr const char* runningName = "running.exe";
constexpr const char* nearMissFolder = "near";
constexpr int numberWidth = 2; // NN in the file names
constexpr size_t numberBufferSize = 16;

struct Options {
    bool nearMisses = false;
    bool hostsOnly = false;
    bool runningOnly = false;
    std::string folder;
};

int usage(const char* problem) {
    std::fprintf(stderr, "make-samples: %s\nusage: make-samples [%s | %s | %s] DIR\n", problem, nearMissOption,
                 hostsOption, runningOption);
    return exitUsage;
}

// False (with the problem in `problem`) when the arguments are not one DIR and
// at most the one option.
bool parseArguments(int argc, char** argv, Options& options, std::string& problem) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == nearMissOption) {
            options.nearMisses = true;
        } else if (argument == hostsOption) {
            options.hostsOnly = true;
        } else if (argument == runningOption) {
            options.runningOnly = true;
        } else if (!argument.empty() && argument[0] == '-') {
            problem = "unknown option " + argument;
            return false;
        } else if (!options.folder.empty()) {
            problem = "more than one DIR";
            return false;
        } else {
            options.folder = argument;
        }
    }
    if (options.folder.empty()) {
        problem = "no DIR given";
        return false;
    }
    return true;
}

std::string twoDigits(int index) {
    char text[numberBufferSize];
    std::snprintf(text, sizeof text, "%0*d", numberWidth, index);
    return text;
}

bool makeFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        std::fprintf(stderr, "make-samples: cannot create folder %s\n", folder.string().c_str());
        return false;
    }
    return true;
}

bool writeOne(const std::filesystem::path& path, const samples::Bytes& bytes) {
    if (samples::writeFile(path.string(), bytes))
        return true;
    std::fprintf(stderr, "make-samples: cannot write %s\n", path.string().c_str());
    return false;
}

bool writeSample(const std::filesystem::path& folder, int index) {
    const samples::Bytes bytes = samples::matchingSample(index);
    if (bytes.empty()) {
        std::fprintf(stderr, "make-samples: record %d cannot be placed in any layout\n", index);
        return false;
    }
    const std::string name = "sample" + twoDigits(index) + ".exe";
    if (!writeOne(folder / name, bytes))
        return false;
    std::printf("%s  %-18s  %s\n", name.c_str(), samples::layoutName(samples::layoutFor(index)),
                exeSignatureTable[index].name);
    return true;
}

bool writeRunning(const std::filesystem::path& folder) {
    const int index = samples::runnableRecordIndex();
    if (index < 0) {
        std::fprintf(stderr, "make-samples: no record leaves room for a runnable image\n");
        return false;
    }
    if (!writeOne(folder / runningName, samples::runnableSample(index)))
        return false;
    std::printf("%s  %s\n", runningName, exeSignatureTable[index].name);
    return true;
}

bool writeNearMisses(const std::filesystem::path& folder, int index) {
    for (const samples::NearMiss& miss : samples::nearMisses(index)) {
        if (!writeOne(folder / (twoDigits(index) + "-" + miss.label + ".bin"), miss.bytes))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string problem;
    if (!parseArguments(argc, argv, options, problem))
        return usage(problem.c_str());

    const std::filesystem::path folder = options.folder;
    const std::filesystem::path nearFolder = folder / nearMissFolder;
    if (!makeFolder(folder) || (options.nearMisses && !makeFolder(nearFolder)))
        return exitWriteFailed;
    if (options.hostsOnly) {
        const std::string text = samples::uuencodedHosts();
        return writeOne(folder / hostsName, samples::Bytes(text.begin(), text.end())) ? exitWritten : exitWriteFailed;
    }
    if (options.runningOnly)
        return writeRunning(folder) ? exitWritten : exitWriteFailed;
    for (int index = 0; index < exeSignatureCount; ++index) {
        if (!writeSample(folder, index))
            return exitWriteFailed;
        if (options.nearMisses && !writeNearMisses(nearFolder, index))
            return exitWriteFailed;
    }
    return exitWritten;
}
