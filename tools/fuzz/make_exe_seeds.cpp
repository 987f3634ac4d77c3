// Writes the executable check's first inputs into a folder: the samples of
// every signature record, as the matcher must match them, and the near
// misses of a few of them (a byte longer or shorter, a signature byte
// changed, too many sections, headers cut short, a damaged PE mark).
//
// usage: make_exe_seeds FOLDER
#include <stdio.h>

#include <string>

#include "pe_sample.h"
#include "seed_files.h"

namespace {

// Near misses of every this-many-th record: enough to show each way of
// missing, without filling the corpus with near copies.
constexpr int nearMissStride = 7;

std::string text(const samples::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string numbered(const char* prefix, int index) {
    char name[32];
    snprintf(name, sizeof name, "%s%02d", prefix, index);
    return name;
}

bool writeAll(const std::string& folder) {
    bool written = true;
    for (int i = 0; i < exeSignatureCount; ++i) {
        written = fuzz::writeSeed(folder, numbered("sample", i), text(samples::matchingSample(i))) && written;
    }
    written = fuzz::writeSeed(folder, "sample-high-offset", text(samples::sampleWithHighHeaderOffset(0))) && written;
    for (int i = 0; i < exeSignatureCount; i += nearMissStride) {
        for (const samples::NearMiss& miss : samples::nearMisses(i)) {
            written = fuzz::writeSeed(folder, numbered("near", i) + "-" + miss.label, text(miss.bytes)) && written;
        }
    }
    return written;
}

} // namespace

int main(int argc, char** argv) { return fuzz::seedMain(argc, argv, "make_exe_seeds", writeAll); }
