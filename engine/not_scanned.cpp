// The record of what the scan passed over.
#include "not_scanned.h"

#include <string.h>

#include "scan_state.h"
#include "text_util.h"

const char* const reasonCannotOpen = "cannot be opened";
const char* const reasonCannotRead = "cannot be read";
const char* const reasonCannotList = "folder cannot be listed";
const char* const reasonPathTooLong = "path too long";

NotScannedHandler notScannedHandler = nullptr;

namespace {
// A folder and a name of at most a path each, or what fits of them.
constexpr size_t tooLongTextSize = 2 * MAX_PATH;
const char* const cutMark = "...";
} // namespace

void noteNotScanned(const char* path, const char* reason) {
    ++scanState.itemsNotScanned;
    if (notScannedHandler != nullptr) notScannedHandler(path, reason);
}

void noteNotScannedTooLong(const char* folder, const char* name) {
    char text[tooLongTextSize];
    const size_t room = sizeof text - strlen(cutMark) - 1;
    if (!copyTextPrefix(text, room, folder, room - 1)) text[0] = '\0';
    const size_t used = strlen(text);
    copyTextPrefix(text + used, room - used, name, room - used - 1);
    if (strlen(folder) + strlen(name) > strlen(text)) appendText(text, sizeof text, cutMark);
    noteNotScanned(text, reasonPathTooLong);
}
