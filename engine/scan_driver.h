// The entry point of a scan.
#ifndef QUORVANE_ENGINE_SCAN_DRIVER_H
#define QUORVANE_ENGINE_SCAN_DRIVER_H

// scanTarget "!:" walks every fixed drive from C: to Z:; any other
// non-empty text is a folder to walk.
extern const char* const everyFixedDrive;

// Runs the scan named by scanState.scanTarget to its end on the calling
// thread, then writes the statistics and the closing status. Returns 1.
int runScan();

#endif // QUORVANE_ENGINE_SCAN_DRIVER_H
