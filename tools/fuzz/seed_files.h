// Writing the fuzzers' first inputs: each seed program makes its files anew
// for every run, so that no binary is kept in the tree.
#ifndef QUORVANE_TOOLS_FUZZ_SEED_FILES_H
#define QUORVANE_TOOLS_FUZZ_SEED_FILES_H

#include <stdio.h>

#include <string>

namespace fuzz {

// Writes one seed as folder/name; false when it cannot be written whole.
inline bool writeSeed(const std::string& folder, const std::string& name, const std::string& bytes) {
    const std::string path = folder + "/" + name;
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

// The usage line and status of every seed program.
constexpr int seedsWritten = 0;
constexpr int seedsNotWritten = 1;
constexpr int seedUsage = 2;

inline int seedMain(int argc, char** argv, const char* program, bool (*writeAll)(const std::string& folder)) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s FOLDER\n", program);
        return seedUsage;
    }
    if (!writeAll(argv[1])) {
        fprintf(stderr, "%s: cannot write the seeds into %s\n", program, argv[1]);
        return seedsNotWritten;
    }
    return seedsWritten;
}

} // namespace fuzz

#endif // QUORVANE_TOOLS_FUZZ_SEED_FILES_H
