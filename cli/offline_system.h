// The system of the Windows installation on the volume that an offline scan
// cleans: the simulated machine takes its folders and its version, so that
// the hosts file checked is the volume's own and a file queued for the next
// start lands in the volume's own queue (its SYSTEM hive, or its
// wininit.ini on the 9x family).
#ifndef QUORVANE_CLI_OFFLINE_SYSTEM_H
#define QUORVANE_CLI_OFFLINE_SYSTEM_H

#include "machine.h"

// Once the registry is loaded (or not): the Windows, system and temporary
// folders of `found` and the version its files and registry name. Nothing
// changes when no installation was found.
void adoptVolumeSystem(const sim::WindowsInstallation& found);

// The installation adopted, as the volume itself names its version (for
// the report: Windows 10 22H2 is 10.0.19045, although the engine is told
// 6.2.9200 as on that system). present is false for a volume without one.
struct VolumeSystem {
    bool present = false;
    sim::VersionInfo version{};
};
const VolumeSystem& volumeSystem();

#endif // QUORVANE_CLI_OFFLINE_SYSTEM_H
