// The quarantine: a folder of items, each a file taken before the scan
// removed it, kept so that it can be put back exactly.
//
// An item NAME (8 decimal digits of sequence, '-', the first 8 hex digits of
// the content's SHA-256: "00000012-3fa2b1c9") is two files in the folder:
//   NAME.qdata  the content, made harmless: a 24-byte header (the magic
//               "QVQI\r\n\x1a\n", format version and reserved word as 32-bit
//               little-endian numbers, the length as a 64-bit one), then each
//               byte XOR-ed with a fixed 32-byte key, so that no scanner and no
//               system sees or runs the file as it was;
//   NAME.qinfo  the record (quarantine_record.h).
// Both are written under NAME.q*.tmp, flushed to the disk, then renamed, the
// record last: an item is there once its record is, and removing one takes
// the record first. Anything else in the folder (temporaries of a killed run,
// content without a record, other files) is never an item.
#ifndef QUORVANE_CLI_QUARANTINE_STORE_H
#define QUORVANE_CLI_QUARANTINE_STORE_H

#include <cstdint>
#include <string>
#include <vector>

#include "quarantine_record.h"

// No item holds more: a longer file is not taken, a longer record of one
// is refused.
constexpr uint64_t quarantineMaxContentLength = 512u * 1024 * 1024;

// Takes `content` into the folder (made when missing) as a new item, named
// in `name`. From `about`, the paths, attributes, times and detection are
// kept; the length, SHA-256 and version are the store's own, and `taken` is
// now unless given. On failure nothing of the item is left. `written`, when
// given, receives the record as it was written.
bool storeItem(const std::string& folder, const QuarantineRecord& about, const std::vector<unsigned char>& content,
               std::string& name, std::string& error, QuarantineRecord* written = nullptr);

// The record and original content of item `name`, only once the content has
// been read whole and its SHA-256 found to be the record's.
bool readItem(const std::string& folder, const std::string& name, QuarantineRecord& record,
              std::vector<unsigned char>& content, std::string& error);

struct ListedItem {
    std::string name;
    QuarantineRecord record; // as far as it could be read
    std::string problem;     // empty for an item that looks whole
};
// The items of the folder in the order they were taken (by name). A record
// that does not read, or a content file missing or of the wrong length,
// gives a listed item with a problem; the content is not hashed here.
bool listItems(const std::string& folder, std::vector<ListedItem>& items, std::string& error);
// "NAME<TAB>taken (UTC)<TAB>length<TAB>detection<TAB>original path", or
// "NAME<TAB>damaged: problem"; control bytes written as "<0A>".
std::string listLine(const ListedItem& item);

// Removes the item, record first: it is no longer listed even when its
// content could not be removed.
bool removeItem(const std::string& folder, const std::string& name, std::string& error);

// Removes what killed runs and half-removed items left: temporaries and
// content files without a record. For a folder no other run is writing.
void removeLeftovers(const std::string& folder);

// Whether `name` has the form storeItem gives (and so is safe in a path).
bool isItemName(const std::string& name);

#endif // QUORVANE_CLI_QUARANTINE_STORE_H
