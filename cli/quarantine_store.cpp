// The quarantine folder: items written whole or not at all, read back only
// when they check, listed in the order they were taken.
#include "quarantine_store.h"

#include <algorithm>

#include "escape.h"
#include "file_time.h"
#include "program_version.h"
#include "quarantine_content.h"
#include "quarantine_files.h"
#include "sha256.h"

namespace qf = quarantine_files;

namespace {

constexpr size_t sequenceDigits = 8;
constexpr size_t hashDigits = 8; // of the content's SHA-256, to tell items apart at a glance
constexpr size_t itemNameLength = sequenceDigits + 1 + hashDigits;
constexpr uint64_t lastSequence = 99999999; // the most that fits in sequenceDigits
constexpr int nameAttempts = 100;           // names tried when another run takes the one picked
const char* const contentSuffix = ".qdata";
const char* const recordSuffix = ".qinfo";
const char* const temporarySuffix = ".tmp";

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLowerHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f'); }

bool hasSuffix(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The sequence number a folder entry starts with; false for other names.
bool sequenceOf(const std::string& entry, uint64_t& sequence) {
    if (entry.size() < itemNameLength || !isItemName(entry.substr(0, itemNameLength))) return false;
    sequence = std::stoull(entry.substr(0, sequenceDigits));
    return true;
}

std::string itemName(uint64_t sequence, const std::string& digest) {
    std::string digits = std::to_string(sequence);
    return std::string(sequenceDigits - digits.size(), '0') + digits + "-" + digest.substr(0, hashDigits);
}

struct ItemPaths {
    std::string content, record, contentTemporary, recordTemporary;
};

ItemPaths pathsOf(const std::string& folder, const std::string& name) {
    const std::string base = qf::joinPath(folder, name);
    return {base + contentSuffix, base + recordSuffix, base + contentSuffix + temporarySuffix,
            base + recordSuffix + temporarySuffix};
}

// The first sequence number after every one used in the folder, temporaries
// included.
bool nextSequence(const std::string& folder, uint64_t& next, std::string& error) {
    std::vector<std::string> entries;
    if (!qf::listFolder(folder, entries, error)) return false;
    next = 1;
    for (const std::string& entry : entries) {
        uint64_t sequence = 0;
        if (sequenceOf(entry, sequence) && sequence >= next) next = sequence + 1;
    }
    return true;
}

} // namespace

bool isItemName(const std::string& name) {
    if (name.size() != itemNameLength || name[sequenceDigits] != '-') return false;
    for (size_t i = 0; i < sequenceDigits; ++i)
        if (!isDigit(name[i])) return false;
    for (size_t i = sequenceDigits + 1; i < itemNameLength; ++i)
        if (!isLowerHex(name[i])) return false;
    return true;
}

namespace {

bool anyExists(const ItemPaths& paths) {
    return qf::pathExists(paths.content) || qf::pathExists(paths.record) || qf::pathExists(paths.contentTemporary) ||
           qf::pathExists(paths.recordTemporary);
}

// A name none of whose files is in the folder.
bool pickName(const std::string& folder, const std::string& digest, std::string& name, std::string& error) {
    uint64_t sequence = 0;
    if (!nextSequence(folder, sequence, error)) return false;
    for (int attempt = 0; attempt < nameAttempts && sequence <= lastSequence; ++attempt, ++sequence) {
        name = itemName(sequence, digest);
        if (!anyExists(pathsOf(folder, name))) return true;
    }
    error = "no free item name in " + folder;
    return false;
}

// Both files under temporary names, flushed, then under their own, the
// record last. Whatever was written is removed again on failure.
bool writeItem(const ItemPaths& paths, const std::string& stored, const std::string& recordText, std::string& error) {
    if (!qf::writeNewFile(paths.contentTemporary, stored, error)) return false;
    bool contentNamed = false;
    const bool ok = qf::writeNewFile(paths.recordTemporary, recordText, error) &&
                    (contentNamed = qf::renameToNew(paths.contentTemporary, paths.content, error)) &&
                    qf::renameToNew(paths.recordTemporary, paths.record, error);
    if (ok) return true;
    std::string ignored;
    qf::removeFile(paths.recordTemporary, ignored);
    qf::removeFile(contentNamed ? paths.content : paths.contentTemporary, ignored);
    return false;
}

} // namespace

bool storeItem(const std::string& folder, const QuarantineRecord& about, const std::vector<unsigned char>& content,
               std::string& name, std::string& error, QuarantineRecord* written) {
    if (content.size() > quarantineMaxContentLength) return error = "the file is too long to quarantine", false;
    if (about.originalPath.empty() || about.detection.empty())
        return error = "an item needs its original path and detection", false;
    QuarantineRecord record = about;
    record.length = content.size();
    record.sha256 = sha256Hex(content.data(), content.size());
    record.version = QUORVANE_PROGRAM_VERSION;
    if (record.taken == 0) record.taken = currentFileTime();
    if (!qf::makeFolder(folder, error) || !pickName(folder, record.sha256, name, error)) return false;
    if (!writeItem(pathsOf(folder, name), encodeContent(content), formatRecord(record), error)) return false;
    qf::syncFolder(folder);
    if (written != nullptr) *written = record;
    return true;
}

namespace {

bool readRecord(const std::string& path, QuarantineRecord& record, std::string& error) {
    std::string text;
    return qf::readFileAtMost(path, quarantineRecordMaxLength, text, error) && parseRecord(text, record, error);
}

} // namespace

bool readItem(const std::string& folder, const std::string& name, QuarantineRecord& record,
              std::vector<unsigned char>& content, std::string& error) {
    if (!isItemName(name)) return error = "no item is named " + escapeControlBytes(name.c_str()), false;
    const ItemPaths paths = pathsOf(folder, name);
    QuarantineRecord read;
    if (!readRecord(paths.record, read, error)) return false;
    if (read.length > quarantineMaxContentLength) return error = "the record's length is out of range", false;
    std::string stored;
    const size_t storedLength = quarantineContentHeaderLength + static_cast<size_t>(read.length);
    if (!qf::readFileAtMost(paths.content, storedLength, stored, error)) return false;
    std::vector<unsigned char> original;
    if (!decodeContent(stored, read.length, original, error)) return false;
    if (sha256Hex(original.data(), original.size()) != read.sha256)
        return error = "the content's SHA-256 is not the record's", false;
    record = read;
    content.swap(original);
    return true;
}

namespace {

// The item names whose record is in the folder, in order.
bool recordedNames(const std::string& folder, std::vector<std::string>& names, std::string& error) {
    std::vector<std::string> entries;
    if (!qf::listFolder(folder, entries, error)) return false;
    names.clear();
    const std::string suffix = recordSuffix;
    for (const std::string& entry : entries) {
        if (entry.size() != itemNameLength + suffix.size() || !hasSuffix(entry, suffix)) continue;
        const std::string name = entry.substr(0, itemNameLength);
        if (isItemName(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return true;
}

// What makes the item not whole, without hashing its content; empty if none.
std::string problemOf(const std::string& folder, const std::string& name, QuarantineRecord& record) {
    const ItemPaths paths = pathsOf(folder, name);
    std::string error;
    if (!readRecord(paths.record, record, error)) return error;
    uint64_t stored = 0;
    if (!qf::fileLength(paths.content, stored, error)) return error;
    if (stored != quarantineContentHeaderLength + record.length) return "the content's length is not the record's";
    return "";
}

} // namespace

bool listItems(const std::string& folder, std::vector<ListedItem>& items, std::string& error) {
    std::vector<std::string> names;
    if (!recordedNames(folder, names, error)) return false;
    items.clear();
    for (const std::string& name : names) {
        ListedItem item;
        item.name = name;
        item.problem = problemOf(folder, name, item.record);
        items.push_back(item);
    }
    return true;
}

std::string listLine(const ListedItem& item) {
    if (!item.problem.empty()) return item.name + "\tdamaged: " + escapeControlBytes(item.problem.c_str());
    const QuarantineRecord& r = item.record;
    return item.name + "\t" + formatFileTime(r.taken) + "\t" + std::to_string(r.length) + "\t" +
           escapeControlBytes(r.detection.c_str()) + "\t" + escapeControlBytes(r.originalPath.c_str());
}

bool removeItem(const std::string& folder, const std::string& name, std::string& error) {
    if (!isItemName(name)) return error = "no item is named " + escapeControlBytes(name.c_str()), false;
    const ItemPaths paths = pathsOf(folder, name);
    if (!qf::pathExists(paths.record)) return error = "no item " + name + " in " + folder, false;
    if (!qf::removeFile(paths.record, error) || !qf::removeFile(paths.content, error)) return false;
    qf::syncFolder(folder);
    return true;
}

void removeLeftovers(const std::string& folder) {
    std::vector<std::string> entries;
    std::string error;
    if (!qf::listFolder(folder, entries, error)) return;
    for (const std::string& entry : entries) {
        uint64_t sequence = 0;
        if (!sequenceOf(entry, sequence)) continue;
        const ItemPaths paths = pathsOf(folder, entry.substr(0, itemNameLength));
        const std::string path = qf::joinPath(folder, entry);
        const bool orphanContent = path == paths.content && !qf::pathExists(paths.record);
        if (path == paths.contentTemporary || path == paths.recordTemporary || orphanContent)
            qf::removeFile(path, error);
    }
}
