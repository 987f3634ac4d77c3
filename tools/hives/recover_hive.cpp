// recover-hive: writes a hive as a reader that replays its logs sees it,
// for tests that look at a hive a stopped program left dirty.
//
//   recover-hive HIVE OUT
//
// The logs are HIVE.LOG1, HIVE.LOG2 and HIVE.LOG where they exist. OUT
// gets the hive completed from them (or as it is, when it is clean).
// Exit status: 0 written, 1 it cannot be completed or written, 2 bad
// arguments.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "log_replay.h"

namespace {

constexpr int exitWritten = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;
const char* const logSuffixes[] = {".LOG1", ".LOG2", ".LOG"};

bool readFile(const std::string& path, hive::Bytes& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: recover-hive HIVE OUT\n", stderr);
        return exitUsage;
    }
    const std::string path = argv[1];
    hive::Bytes image;
    if (!readFile(path, image)) {
        std::fprintf(stderr, "recover-hive: %s: cannot be read\n", argv[1]);
        return exitFailed;
    }
    std::vector<hive::LogFile> logs;
    for (const char* suffix : logSuffixes) {
        hive::LogFile log{path + suffix, {}};
        if (readFile(log.name, log.bytes)) logs.push_back(std::move(log));
    }
    hive::Recovery recovery;
    std::string problem;
    if (!hive::recoverHive(image, logs, recovery, problem)) {
        std::fprintf(stderr, "recover-hive: %s: %s\n", argv[1], problem.c_str());
        return exitFailed;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    return out.flush() ? exitWritten : exitFailed;
}
