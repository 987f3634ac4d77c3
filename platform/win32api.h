// The one header through which the engine reaches the system.
//
// On Windows it is the real thing: <windows.h> and the C runtime's low-level
// file functions. Everywhere else it declares the same small subset of Win32,
// area by area in platform/win32_subset/, implemented by the Win32 view of a
// mounted volume in platform/volume/ (with nothing running beside it in the
// offline program, and the stand-ins of tests/fake_windows in the tests),
// with the same types, constants, return values and error codes. Add a call
// here only when the engine needs it, and give ours the real call's behaviour.
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

#include "win32_subset/base.h"
#include "win32_subset/crt.h"
#include "win32_subset/files.h"
#include "win32_subset/processes.h"
#include "win32_subset/registry.h"
#include "win32_subset/security.h"
#include "win32_subset/services.h"
#include "win32_subset/system.h"
#include "win32_subset/text.h"
#include "win32_subset/windowing.h"

#endif // _WIN32

#endif // QUORVANE_PLATFORM_WIN32API_H
