// --restore and --list: the quarantine's items put back in their places,
// or listed.
#ifndef QUORVANE_CLI_QUARANTINE_RESTORE_H
#define QUORVANE_CLI_QUARANTINE_RESTORE_H

#include "options.h"

// Puts back every item of options.quarantineFolder, or those of
// options.items, on the target prepareRestoreTarget set up: one line on
// standard output for each file put back, each item that is not on
// standard error. An item leaves the folder once its file is back. Returns
// the exit status: 0 when every item asked for is back, 2 otherwise.
int restoreQuarantine(const ScanOptions& options);

// One line for each item of the folder; 2 when it cannot be listed.
int listQuarantine(const ScanOptions& options);

#endif // QUORVANE_CLI_QUARANTINE_RESTORE_H
