// Turns the command line's folders into the engine's scan target.
#ifndef QUORVANE_CLI_SCAN_TARGET_H
#define QUORVANE_CLI_SCAN_TARGET_H

#include <string>

#include "options.h"

// Checks that every folder exists and can be listed, then sets
// scanState.scanTarget (and, on the simulated machine, maps the drives and
// loads the registry of a Windows installation on C:).
// On failure error names the folder and the reason, and nothing is set.
bool prepareScanTarget(const ScanOptions& options, std::string& error);

// For --restore: checks the folders as a scan does and presents them as
// its drives, the registry left alone. False, with the reason in `error`,
// when a folder is missing or the volume may not be changed (mounted
// read-only, or its Windows hibernated).
bool prepareRestoreTarget(const ScanOptions& options, std::string& error);

// After the scan, whatever stopped it: on the simulated machine, writes the
// changes the scan made to the scanned volume's own registry back to its
// hives (see offline_registry.h). False when some of that was left undone,
// so the scan is not complete.
bool finishScanTarget();

// After the result line of a detected file that is gone or going (removed,
// renamed, or queued for deletion at the next start): on an offline volume,
// its service registrations go too (see offline_services.h).
void afterDetectedFile(const char* path);

// Whose registry the scan cleans, in a few words for the report.
const char* targetRegistryText();

// Whether the scan runs on the system it cleans (Windows), or cleans a
// volume whose system is not running (Linux): then no process runs that
// could be ended, and no restart is for this program to offer.
bool targetIsRunningSystem();

// Whether the target may not be changed at all (an offline volume mounted
// read-only, or whose Windows is hibernated): every detected file is then
// left as --choice leave leaves it, and the registry is not touched.
bool targetLeftUnchanged();

// The version of the system the scan cleans, as that system names itself
// (10.0.19045 for Windows 10 22H2), and its service pack.
struct TargetVersion {
    unsigned long major = 0;
    unsigned long minor = 0;
    unsigned long build = 0; // the low word: the 9x family keeps the version in the high one
    std::string servicePack;
};
// False when the target holds no Windows installation. A system that does
// not tell its version leaves it at zero.
bool targetSystemVersion(TargetVersion& version);

#endif // QUORVANE_CLI_SCAN_TARGET_H
