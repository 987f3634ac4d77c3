// Bringing a dirty registry hive up to date from its transaction logs, as
// Windows does when it loads one, so that keys written shortly before a
// crash, a power loss or a Fast Startup shutdown are seen and kept.
//
// New-format logs (NAME.LOG1, NAME.LOG2, Windows 8.1 and later) hold
// numbered entries of whole pages; old-format logs (Windows XP to 8) one
// dirty vector ("DIRT") of 512-byte pages. See log_entry.h for an entry.
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_LOG_REPLAY_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_LOG_REPLAY_H

#include <cstdint>
#include <string>
#include <vector>

#include "base_block.h"
#include "log_entry.h"

namespace hive {

struct LogFile {
    std::string name; // only for messages, e.g. "SYSTEM.LOG1"
    Bytes bytes;
};

struct Recovery {
    bool wasDirty = false;          // the primary needed its logs
    unsigned entriesApplied = 0;    // new-format entries (or 1 for an old-format log applied)
    unsigned pagesApplied = 0;      // pages of new-format entries, 512-byte pages of an old-format log
    uint32_t lastSequence = 0;      // sequence number of the last entry applied
    std::vector<PageRange> written; // every range of the bins data the replay wrote, merged and sorted
};

// `image` holds the whole primary file. A clean primary is left exactly as
// it is and its logs are ignored, as Windows ignores them. A dirty one gets
// the entries of its usable logs that follow its secondary sequence number,
// in order and without a gap, across both logs (or, with no such entry, an
// old-format log written at the same time as it); its base block is rebuilt
// from the newest log's copy when its own is damaged. The image grows when
// the bins grow, and both sequence numbers become the last one applied.
//
// False, with the image untouched and a reason in `problem`, when a dirty
// primary cannot be made consistent: no usable log, the first entry it
// needs missing, or bins that would grow past what the logs carry (which
// also bounds the memory a hostile log can make this take).
bool recoverHive(Bytes& image, const std::vector<LogFile>& logs, Recovery& recovery, std::string& problem);

// The highest sequence number in any of the logs: the headers of usable
// ones, and every entry whose header hash is right wherever it lies in a
// log (even past a damaged one), 0 when there is none. A hive written clean
// must carry numbers above it, or a later crash could replay stale pages.
uint32_t highestLogSequence(const std::vector<LogFile>& logs);

} // namespace hive

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_LOG_REPLAY_H
