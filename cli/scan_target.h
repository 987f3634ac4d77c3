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

#endif // QUORVANE_CLI_SCAN_TARGET_H
