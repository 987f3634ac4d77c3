// The simulated machine's Win32 subset: the version, the system folders,
// the environment and the process itself.
#ifndef QUORVANE_PLATFORM_WIN32_SUBSET_SYSTEM_H
#define QUORVANE_PLATFORM_WIN32_SUBSET_SYSTEM_H

#include "base.h"

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
} OSVERSIONINFOEXA, *POSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;

BOOL GetVersionExA(LPOSVERSIONINFOA versionInformation);

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);
DWORD ExpandEnvironmentStringsA(LPCSTR source, LPSTR destination, DWORD size);

HANDLE GetCurrentProcess(void);
DWORD GetCurrentProcessId(void);

#endif // QUORVANE_PLATFORM_WIN32_SUBSET_SYSTEM_H
