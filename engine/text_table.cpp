// The text signature table made ready for matching.
#include "text_table.h"

#include <stddef.h>

#include "signatures/text_signatures.h"

namespace {

bool textTableReady = false;

} // namespace

void unscrambleTextTable() {
    for (TextSignature& record : textSignatures) {
        const size_t length = record.patternLength < textPatternCapacity ? record.patternLength : textPatternCapacity;
        for (size_t i = 0; i < length; ++i) record.pattern[i] ^= textPatternKey;
    }
}

void readyTextTable() {
    if (textTableReady) return;
    textTableReady = true;
    unscrambleTextTable();
}
