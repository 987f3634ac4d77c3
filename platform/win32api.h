// The one header through which the engine reaches the system.
//
// On Windows it is the real thing: <windows.h> and the C runtime's low-level
// file functions. Everywhere else it declares the same small subset of Win32,
// area by area in platform/sim_api/, implemented by the simulated machine in
// platform/sim/, with the same types, constants, return values and error
// codes. Add a call here only when the engine needs it, and give the
// simulated one the real call's behaviour.
#ifndef QUORVANE_PLATFORM_WIN32API_H
#define QUORVANE_PLATFORM_WIN32API_H

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <tlhelp32.h>
#include <winsvc.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <sys/stat.h>

#else // the simulated machine, one header per area

#include "sim_api/base.h"
#include "sim_api/crt.h"
#include "sim_api/files.h"
#include "sim_api/processes.h"
#include "sim_api/registry.h"
#include "sim_api/security.h"
#include "sim_api/services.h"
#include "sim_api/system.h"
#include "sim_api/text.h"
#include "sim_api/windowing.h"

#endif // _WIN32

#endif // QUORVANE_PLATFORM_WIN32API_H
