// Restoring and listing quarantined items.
#include "quarantine_restore.h"

#include <algorithm>
#include <cstdio>

#include "escape.h"
#include "original_file.h"
#include "quarantine_store.h"

namespace {

constexpr int exitDone = 0;
constexpr int exitNotDone = 2;

void say(const std::string& text) { std::fprintf(stderr, "quorvane-scan: %s\n", text.c_str()); }

std::string shown(const std::string& text) { return escapeControlBytes(text.c_str()); }

// The items asked for: all of them, or those named, each named one that is
// not in the folder said.
std::vector<ListedItem> itemsAskedFor(const std::vector<ListedItem>& all, const ScanOptions& options, bool& missing) {
    if (options.items.empty()) return all;
    std::vector<ListedItem> chosen;
    for (const std::string& name : options.items) {
        const auto found = std::find_if(all.begin(), all.end(), [&](const ListedItem& item) { return item.name == name; });
        if (found == all.end()) {
            say("--item " + shown(name) + ": no such item in " + shown(options.quarantineFolder) + " (see --list)");
            missing = true;
        } else if (std::none_of(chosen.begin(), chosen.end(), [&](const ListedItem& item) { return item.name == name; })) {
            chosen.push_back(*found);
        }
    }
    return chosen;
}

// One item back in its place; false when it stays in the folder or its
// file came back without its attributes.
bool restoreItem(const std::string& folder, const ListedItem& item) {
    const std::string label = "item " + item.name;
    if (!item.problem.empty()) return say(label + " is damaged (" + shown(item.problem) + "): skipped"), false;
    QuarantineRecord record;
    std::vector<unsigned char> content;
    std::string error;
    if (!readItem(folder, item.name, record, content, error)) return say(label + " is damaged (" + shown(error) + "): skipped"), false;
    const std::string place = shown(record.originalPath);
    switch (putBackOriginalFile(record, content, error)) {
    case PutBack::placeTaken:
        return say(place + ": a file is already there: it is left as it is, and " + label + " stays in the quarantine"), false;
    case PutBack::failed:
        return say(place + ": " + label + " cannot be put back (" + shown(error) + "): it stays in the quarantine"), false;
    case PutBack::restored:
        break;
    }
    std::printf("%s     restored from %s\n", place.c_str(), item.name.c_str());
    bool whole = error.empty();
    if (!whole) say(place + ": restored, but " + shown(error));
    std::string removeError;
    if (!removeItem(folder, item.name, removeError)) {
        say(place + ": restored, but " + label + " could not be taken out of the quarantine (" + shown(removeError) + ")");
        whole = false;
    }
    return whole;
}

} // namespace

int restoreQuarantine(const ScanOptions& options) {
    std::vector<ListedItem> all;
    std::string error;
    if (!listItems(options.quarantineFolder, all, error)) return say("--restore: " + shown(error)), exitNotDone;
    bool missing = false;
    const std::vector<ListedItem> chosen = itemsAskedFor(all, options, missing);
    int notRestored = 0;
    for (const ListedItem& item : chosen)
        if (!restoreItem(options.quarantineFolder, item)) ++notRestored;
    std::fflush(stdout);
    if (notRestored > 0) say(std::to_string(notRestored) + (notRestored == 1 ? " item was" : " items were") + " not restored");
    return notRestored > 0 || missing || std::ferror(stdout) ? exitNotDone : exitDone;
}

int listQuarantine(const ScanOptions& options) {
    std::vector<ListedItem> items;
    std::string error;
    if (!listItems(options.quarantineFolder, items, error)) return say("--list: " + shown(error)), exitNotDone;
    for (const ListedItem& item : items) std::printf("%s\n", listLine(item).c_str());
    std::fflush(stdout);
    return std::ferror(stdout) ? exitNotDone : exitDone;
}
