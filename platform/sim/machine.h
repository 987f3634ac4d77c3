// Control panel of the simulated Windows machine.
//
// Tests and the native console front end use these calls to set the machine
// up (which host folder is which drive, which file is held open by a running
// program) and to read back what the engine did to it (time spent waiting,
// file reads). The engine itself never includes this header: it only sees the
// Win32 calls of platform/win32api.h.
#ifndef QUORVANE_PLATFORM_SIM_MACHINE_H
#define QUORVANE_PLATFORM_SIM_MACHINE_H

#include <cstdint>
#include <string>

#include "win32api.h"

namespace sim {

// Puts the machine back as it was at power-on: no drives, no windows, an
// empty message queue, the clock at zero, no attribute overrides.
void reset();

// Presents the host folder `hostDir` as drive `letter` (A to Z, either case)
// of the given type. Returns false for a bad letter or a folder that does not
// exist. A drive mapped again replaces its earlier mapping.
bool mapDrive(char letter, const std::string& hostDir, UINT driveType = DRIVE_FIXED);

// The host path behind a Windows path, resolved the way the machine resolves
// it (case-insensitively, component by component). Empty when the drive is
// not mapped or a folder on the way does not exist; a missing last component
// keeps the spelling it was given.
std::string hostPathOf(const std::string& windowsPath);

// Marks a file as held open without sharing by a running program: opening,
// deleting and renaming it then fail with a sharing violation.
void setFileInUse(const std::string& windowsPath, bool inUse);

// Total of all Sleep calls since reset, in milliseconds.
uint64_t sleptMilliseconds();

// Counts of the C runtime file calls since reset, so that tests can see how
// much work a check did on a file.
struct FileCallCounts {
    unsigned opens = 0;
    unsigned lengthQueries = 0;
    unsigned seeks = 0;
    unsigned reads = 0;
    unsigned closes = 0;
};
FileCallCounts fileCallCounts();

// Number of messages waiting in the thread's queue.
size_t pendingMessages();

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_MACHINE_H
