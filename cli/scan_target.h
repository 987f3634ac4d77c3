// Turns the command line's folders into the engine's scan target.
#ifndef QUORVANE_CLI_SCAN_TARGET_H
#define QUORVANE_CLI_SCAN_TARGET_H

#include <string>

#include "options.h"

// Checks that every folder exists and can be listed, then sets
// scanState.scanTarget (and, on the simulated machine, maps the drives).
// On failure error names the folder and the reason, and nothing is set.
bool prepareScanTarget(const ScanOptions& options, std::string& error);

#endif // QUORVANE_CLI_SCAN_TARGET_H
