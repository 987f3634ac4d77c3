// The registry of the Windows installation on the volume that an offline
// scan cleans: its hive files become the simulated machine's registry
// before the scan, and its changes go back to them after it.
#ifndef QUORVANE_CLI_OFFLINE_REGISTRY_H
#define QUORVANE_CLI_OFFLINE_REGISTRY_H

#include <string>

#include "machine.h"
#include "options.h"

// Once the drives are mapped: loads the hives of the NT-family installation
// found on drive C: (unless options say not to), naming on standard error
// each hive that cannot be used and a 9x-family registry, which is not
// cleaned. False, with the reason in `error`, when the options insist on an
// offline registry and there is none to clean, or the backup folder is no
// folder.
bool loadOfflineRegistry(const ScanOptions& options, const sim::WindowsInstallation& found, std::string& error);

// After the scan: writes each changed hive back and says on standard error
// what became of it. False when any part of the offline registry was left
// undone: a hive could not be used, was damaged, or its changes could not
// be written.
bool saveOfflineRegistry();

// Whose registry the scan cleaned: the volume's hives (or some of them), or
// none, and why.
const char* offlineRegistryText();

// Whether the registry's SYSTEM key is the volume's own hive.
bool offlineSystemHiveLoaded();

#endif // QUORVANE_CLI_OFFLINE_REGISTRY_H
