// Dirty hives for the tests, made from two states of one hive as Windows
// leaves them after a crash: the primary file still holds the old state and
// only its logs hold the new one.
//
//   const DirtyHive dirty = makeDirty(before, after);
//   Bytes image = dirty.primary;
//   recoverHive(image, {{"SYSTEM.LOG1", dirty.log1}}, recovery, problem);
//   // image's bins now equal after's
//
// `before` and `after` are whole hive files (base block, then bins) with
// sound base blocks; `after` is `before` changed (keys added, values set),
// as two commits of one hive through the hive library give them.
#ifndef QUORVANE_TESTS_HIVE_DIRTY_HIVE_H
#define QUORVANE_TESTS_HIVE_DIRTY_HIVE_H

#include <cstdint>
#include <vector>

#include "base_block.h"
#include "log_entry.h"

namespace hive {

struct DirtyHive {
    // `before` with its primary sequence number one above its secondary one:
    // a write of the primary was begun and not ended.
    Bytes primary;
    // New-format log: the header carries before's secondary sequence number
    // (`sequence`), and one entry of that number carries `pages` of `after`
    // with after's bins size.
    Bytes log1;
    // Old-format log of the same change: after's base block with before's
    // last-written time (file type 1), then a dirty vector of every 512-byte
    // page that differs.
    Bytes oldLog;
    std::vector<PageRange> pages; // every 4,096-byte page of after's bins that differs or is new
    uint32_t sequence = 0;
};

DirtyHive makeDirty(const Bytes& before, const Bytes& after);

// The pages of `after`'s bins, `pageBytes` long, that differ from `before`'s
// or lie past its end, as ranges of one page each.
std::vector<PageRange> changedPages(const Bytes& before, const Bytes& after, uint32_t pageBytes);

// A new-format log: `header` followed by the entries, back to back.
Bytes logOf(const Bytes& header, const std::vector<Bytes>& entries);

} // namespace hive

#endif // QUORVANE_TESTS_HIVE_DIRTY_HIVE_H
