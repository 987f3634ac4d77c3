// make-hive: writes an empty registry hive file of the NT family, for the
// tests to fill with keys and values through the hive library or its tools.
//
//   make-hive FILE [ROOTNAME]
//
// FILE must not exist yet. ROOTNAME (default ROOT) names the root key.
// Exit status: 0 written, 1 it could not be written, 2 bad arguments.
#include <cstdio>
#include <string>

#include "empty_hive.h"

namespace {

constexpr int exitWritten = 0;
constexpr int exitWriteFailed = 1;
constexpr int exitUsage = 2;
const char* const defaultRootName = "ROOT";

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || argv[1][0] == '-') {
        std::fputs("usage: make-hive FILE [ROOTNAME]\n", stderr);
        return exitUsage;
    }
    const std::string rootName = argc == 3 ? argv[2] : defaultRootName;
    if (emptyHiveImage(rootName).empty()) {
        std::fputs("make-hive: the root name must have 1 to 255 characters\n", stderr);
        return exitUsage;
    }
    if (!writeEmptyHive(argv[1], rootName)) {
        std::fprintf(stderr, "make-hive: %s: cannot be written (it must not exist yet)\n", argv[1]);
        return exitWriteFailed;
    }
    return exitWritten;
}
