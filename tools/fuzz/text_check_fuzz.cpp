// libFuzzer target of the text check: any bytes as a file on drive C:,
// checked as the hosts file is after a hit. The verdict must be what the
// table's one record asks for, worked out here from its stored (scrambled)
// pattern: the file starts with "begin" in any letter case, is at least as
// long as the pattern, and the pattern lies in the first window's bytes
// once white space is taken out. Then the user's choice must be carried
// out on exactly the files that match: counted only, renamed or deleted.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz_machine.h"
#include "scan_state.h"
#include "signatures/text_signatures.h"
#include "text_check.h"

namespace {

const char* const fileName = "hosts.txt";
const char* const filePath = "C:\\hosts.txt";
const char* const renamedName = "hosts.Vxt"; // the rename marks the extension's first character
const char* const beginWord = "begin";

// The record's pattern in the clear, taken before any check unscrambles
// the table in place.
std::string pattern;

bool isWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

char folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithBegin(const std::string& bytes) {
    const size_t length = strlen(beginWord);
    if (bytes.size() < length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (folded(bytes[i]) != beginWord[i]) return false;
    }
    return true;
}

bool expectedMatch(const std::string& bytes) {
    if (!startsWithBegin(bytes) || bytes.size() < pattern.size()) return false;
    std::string window;
    const size_t windowLength = bytes.size() < size_t(textWindowSize) ? bytes.size() : size_t(textWindowSize);
    for (size_t i = 0; i < windowLength; ++i) {
        if (!isWhiteSpace(bytes[i])) window += bytes[i];
    }
    return window.find(pattern) != std::string::npos;
}

void checkWithChoice(const std::string& bytes, bool expected, int32_t choice) {
    fuzz::freshMachine(sim::Release::windowsXp);
    fuzz::writeHostFile(fileName, bytes);
    scanState.userChoice = choice;
    const bool matched = checkTextFile(filePath);
    fuzz::require(matched == expected, "the verdict is the record's: begin, then the pattern in the stripped window");
    fuzz::require(scanState.filesInfected == (matched ? 1 : 0), "a match is counted once, a miss not at all");
    const bool deleted = matched && (choice == choiceDelete || choice == choiceDeleteToo);
    const bool renamed = matched && choice == choiceRename;
    fuzz::require(scanState.filesRemoved == (deleted ? 1 : 0), "only a matching file is deleted, when asked to");
    fuzz::require(scanState.filesRenamed == (renamed ? 1 : 0), "only a matching file is renamed, when asked to");
    fuzz::require(fuzz::hostEntryExists(renamedName) == renamed, "a renamed file has its extension marked");
    if (deleted || renamed) {
        fuzz::require(!fuzz::hostEntryExists(fileName), "a deleted or renamed file is gone from its place");
    } else {
        std::string after;
        fuzz::require(fuzz::readHostFile(fileName, after) && after == bytes, "a file left alone keeps its bytes");
    }
    if (!matched) return;
    fuzz::require(strncmp(scanState.detectedName, textSignatures[0].name, textNameLength) == 0,
                  "a match is named after its record");
    fuzz::require(strcmp(scanState.detectedPath, filePath) == 0, "a match names the file");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    const TextSignature& record = textSignatures[0];
    // The verdict above knows records of this one kind: the kind the table holds.
    if (textSignatureCount != 1 || record.window != windowHead || record.matchMode != matchAnywhere ||
        record.sizeTest == textSizeEquals || record.sizeTest == textSizeNear || record.patternLength == 0 ||
        record.patternLength > textPatternCapacity) {
        fprintf(stderr, "text_check_fuzz: the text table holds a record this target cannot judge\n");
        abort();
    }
    for (size_t i = 0; i < record.patternLength; ++i) {
        pattern += static_cast<char>(record.pattern[i] ^ textPatternKey);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const bool expected = expectedMatch(bytes);
    checkWithChoice(bytes, expected, 0);
    checkWithChoice(bytes, expected, choiceRename);
    checkWithChoice(bytes, expected, choiceDelete);
    return 0;
}
