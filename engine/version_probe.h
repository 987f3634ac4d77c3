// Which Windows the engine runs on, and the restart of the computer. The
// two probes are the only places that read the system version; every branch
// on the system elsewhere compares their results with the constants below.
#ifndef QUORVANE_ENGINE_VERSION_PROBE_H
#define QUORVANE_ENGINE_VERSION_PROBE_H

#include <stdint.h>

// getWinVersionClass: the family.
constexpr int32_t winVersionUnreadable = 0;
constexpr int32_t winVersionOtherPlatform = 1;
constexpr int32_t winVersion9x = 4; // Windows 95, 98, ME
constexpr int32_t winVersionNt = 5; // NT 4 and everything after it

// getNtVersionClass: the NT family by major version. Numbered apart from
// the family classes: 5 here means NT 4 or older, not the NT family.
constexpr int32_t ntVersionOther = 0; // unreadable, not NT, or NT 6 and later
constexpr int32_t ntVersion4 = 5;     // NT major version 4 or lower
constexpr int32_t ntVersion5 = 6;     // Windows 2000, XP, Server 2003

// Both ask the system afresh on every call.
int32_t getWinVersionClass();
int32_t getNtVersionClass();

// Asks for a forced restart (ExitWindowsEx with EWX_REBOOT | EWX_FORCE).
// Outside the 9x family SeShutdownPrivilege is enabled first. Returns the
// restart request's result; 0 when the process token cannot be opened; the
// system error code the privilege step left (1300 when the user does not
// hold the privilege), in which case no restart is asked for.
int32_t restartWindows();

#endif // QUORVANE_ENGINE_VERSION_PROBE_H
