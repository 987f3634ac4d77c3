// Stopping a service through the service control manager.
#ifndef QUORVANE_ENGINE_SERVICE_STOP_H
#define QUORVANE_ENGINE_SERVICE_STOP_H

#include <stdint.h>

// The stopping polls are one second apart; a service still stopping after
// this many is taken as not stopped, so that it cannot hold the scan.
constexpr int serviceStopPollLimit = 30;

// With stop: asks the service `name` to stop and waits while it is stopping;
// 1 when it ended stopped, else 0. Without stop: 1 when the service exists
// and can be opened, nothing changed.
int32_t stopService(const char* name, bool stop);

#endif // QUORVANE_ENGINE_SERVICE_STOP_H
