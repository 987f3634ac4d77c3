// The record of what a scan changed that --report and --undo ask for: the
// engine's change journal, kept here as the scan runs. The undo file is
// written as each removal happens; the report once the scan has ended.
#ifndef QUORVANE_CLI_SCAN_JOURNAL_H
#define QUORVANE_CLI_SCAN_JOURNAL_H

#include <string>

#include "options.h"

// Before the scan: sets the engine's journal and opens the undo file when
// one is asked for. False, with the reason in `error`, when the undo file
// cannot be created.
bool startJournal(const ScanOptions& options, std::string& error);

// An item the scan could not look at, for the report's list of them.
void journalNotScanned(const char* path, const char* reason);

// How the scan ended, for the report.
struct ScanEnd {
    int exitStatus;
    bool registryComplete; // every registry change the scan made is in place
    bool programEnded;     // the memory sweep ended the program before the drives
};

// After the scan: closes the undo file and writes the report (whole, or not
// at all). False, said on standard error, when either could not be written.
bool finishJournal(const ScanEnd& end);

#endif // QUORVANE_CLI_SCAN_JOURNAL_H
