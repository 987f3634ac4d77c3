// A detected file in its own place on the scanned system: read whole with
// its attributes and times before the quarantine takes it, and written back
// there, never over anything, when it is restored.
//
// Offline (Linux) the Windows path goes through the drives as the scan
// presents them, and the host file's permission bits and times are kept; on
// Windows the path is the file's own, and its attributes (read-only, hidden,
// system, archive) and three times are kept.
#ifndef QUORVANE_CLI_ORIGINAL_FILE_H
#define QUORVANE_CLI_ORIGINAL_FILE_H

#include <string>
#include <vector>

#include "quarantine_record.h"
#include "win32api.h"

// The attributes a restored file gets back; the others (folder, sparse,
// compressed, reparse point, ...) are the file system's to give.
constexpr uint32_t restorableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                          FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Fills the paths, attributes or permission bits and times of `about` and
// reads the content whole (no more than the quarantine keeps). False, with
// the reason, for anything but a plain file read to its end.
bool readOriginalFile(const char* windowsPath, QuarantineRecord& about, std::vector<unsigned char>& content,
                      std::string& error);

enum class PutBack {
    restored,   // the file is in its place with its content and times, and its
                // attributes unless error says they could not be set
    placeTaken, // something is already there: it was not touched
    failed,     // nothing was left in the place; error says why
};

// Writes the content under a temporary name beside the original place,
// gives it the recorded times and attributes, flushes it, then gives it the
// original name unless that name has been taken meanwhile.
PutBack putBackOriginalFile(const QuarantineRecord& record, const std::vector<unsigned char>& content,
                            std::string& error);

#endif // QUORVANE_CLI_ORIGINAL_FILE_H
