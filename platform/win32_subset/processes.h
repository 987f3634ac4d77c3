// The simulated machine's Win32 subset: other processes, and the libraries
// through which the engine reaches the process listings.
//
// The Toolhelp functions (CreateToolhelp32Snapshot, Process32First,
// Process32Next) and the PSAPI ones (EnumProcesses, GetModuleFileNameExA)
// are deliberately not declared: a program reaches them only through
// LoadLibraryA and GetProcAddress, since NT 4 has no Toolhelp and the 9x
// family no psapi.dll.
#ifndef QUORVANE_PLATFORM_WIN32_SUBSET_PROCESSES_H
#define QUORVANE_PLATFORM_WIN32_SUBSET_PROCESSES_H

#include "base.h"
#include "windowing.h" // HMODULE

typedef intptr_t(WINAPI* FARPROC)();

#define ERROR_BAD_LENGTH 24L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_PARTIAL_COPY 299L

// The exit code of a process that has not ended.
#define STILL_ACTIVE 259

// Access rights of a process handle.
#define PROCESS_TERMINATE 0x0001
#define PROCESS_VM_READ 0x0010
#define PROCESS_QUERY_INFORMATION 0x0400

// CreateToolhelp32Snapshot.
#define TH32CS_SNAPPROCESS 0x00000002

typedef struct tagPROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    CHAR szExeFile[MAX_PATH];
} PROCESSENTRY32, *PPROCESSENTRY32, *LPPROCESSENTRY32;

HMODULE LoadLibraryA(LPCSTR libFileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);

HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId);
BOOL TerminateProcess(HANDLE process, UINT exitCode);

#endif // QUORVANE_PLATFORM_WIN32_SUBSET_PROCESSES_H
