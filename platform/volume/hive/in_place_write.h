// Writing changed pages of a hive into its file in place, the way the
// system itself does, so that a stop at any instant leaves a file that
// recovers to the state before the change or the one after it:
//
//   1. the pages go to the log as one entry (a log header and an HvLE
//      entry with the clean file's own sequence number, which lies above
//      everything the logs held), flushed;
//   2. the primary's first sequence number is raised above the entry's, so
//      that the file reads as dirty and its log is replayed, flushed;
//   3. the pages are written into the primary, flushed;
//   4. both sequence numbers go above the entry and the block is resealed:
//      the file is clean, and its log is old.
//
// A stop before 2 leaves a clean file as it was; from 2 on, the file is
// dirty and replaying the log gives the state after the change.
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_IN_PLACE_WRITE_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_IN_PLACE_WRITE_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base_block.h"
#include "log_replay.h"

namespace hive {

// The steps of a write, in order, for a caller that wants to watch them.
enum class WriteStep { logWritten = 1, primaryMarked, pagesWritten, primaryClean };
using StepWatch = std::function<void(WriteStep)>;

struct OpenHive {
    int primary = -1;      // the hive file, open for reading and writing
    int log = -1;          // the log the entries go to, open for writing
    uint32_t sequence = 0; // both sequence numbers of the clean file on disk
    uint32_t logFloor = 0; // the highest number any of its logs carries
    StepWatch watch;       // may be empty
};

// The 4,096-byte pages of the bins data at these offsets (any order, any
// repeats) as the ranges a log entry carries.
std::vector<PageRange> pageRanges(std::vector<uint32_t> pages);

// Writes `pages` of `image` (the whole file as it is to be) into the file
// as above. The image's base block gets the new sequence numbers. True
// once step 2 is done: from then on the change is the file's, even when a
// later step fails (`problem` then says the file is left for its log to
// complete). False with nothing changed for a reader when step 1 or 2
// fails.
bool writeInPlace(OpenHive& hive, Bytes& image, const std::vector<PageRange>& pages, std::string& problem,
                  bool& leftDirty);

// A file recovered from its logs on reading: writes what the replay wrote
// into it (the logs cover every byte of it while the file stays dirty)
// and then marks it clean above its logs. Nothing of the logs is touched.
bool writeRecovered(OpenHive& hive, Bytes& image, const std::vector<PageRange>& ranges, std::string& problem);

} // namespace hive

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_IN_PLACE_WRITE_H
