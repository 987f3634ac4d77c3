// libFuzzer target of the per-file check against the executable signature
// table: any bytes as a file on drive C:, checked as the walk checks it. The
// verdict must be the one that the samples' own reading of the matcher's
// rules gives (the first record whose length, headers and both signatures
// fit); a readable file is never reported as not scanned; a probe leaves the
// file as it was, and a scan that is to delete deletes exactly the hits.
#include <stdint.h>
#include <string.h>

#include <string>

#include "exe_check.h"
#include "fuzz_machine.h"
#include "pe_sample.h"
#include "scan_state.h"
#include "signatures/exe_signatures.h"

namespace {

const char* const fileName = "sample.exe";
const char* const filePath = "C:\\sample.exe";

void checkVerdict(int hit, int expected) {
    fuzz::require(hit == (expected >= 0 ? 1 : 0), "the verdict is the first record that fits, or none");
    fuzz::require(scanState.filesInfected == hit, "a hit is counted once, a miss not at all");
    fuzz::require(scanState.itemsNotScanned == 0, "a file that can be read is scanned");
    fuzz::require(scanState.currentFile[0] == '\0', "no file is under test once the check is over");
    if (hit == 0) return;
    fuzz::require(strcmp(scanState.detectedName, exeSignatureTable[expected].name) == 0,
                  "a hit is named after the record that fits");
    fuzz::require(strcmp(scanState.detectedPath, filePath) == 0, "a hit names the file");
}

void probe(const std::string& bytes, int expected) {
    fuzz::freshMachine(sim::Release::windowsXp);
    fuzz::writeHostFile(fileName, bytes);
    const int hit = checkExecutable(exeCheckName, filePath);
    checkVerdict(hit, expected);
    fuzz::require(scanState.probeHit == (hit == 1), "a probe notes its hit");
    std::string after;
    fuzz::require(fuzz::readHostFile(fileName, after) && after == bytes, "a probe leaves the file as it was");
}

void scanToDelete(const std::string& bytes, int expected) {
    fuzz::freshMachine(sim::Release::windowsXp);
    fuzz::writeHostFile(fileName, bytes);
    scanState.probeOnly = false;
    scanState.userChoice = choiceDelete;
    const int hit = checkExecutable(exeCheckName, filePath);
    checkVerdict(hit, expected);
    fuzz::require(scanState.filesRemoved == hit, "a hit is deleted and counted, a miss is not");
    fuzz::require(fuzz::hostEntryExists(fileName) == (hit == 0), "exactly the detected file is deleted");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const int expected = samples::firstMatchingRecord(samples::Bytes(data, data + size));
    probe(bytes, expected);
    scanToDelete(bytes, expected);
    return 0;
}
