// Enabling a privilege of the program's own token.
#include "privileges.h"

#include <string.h>

bool enablePrivilege(const char* name, DWORD& error) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES privileges;
    memset(&privileges, 0, sizeof privileges);
    // A failed look-up leaves the zeroed identifier, which the adjustment
    // then refuses: its error is the one that counts.
    LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    error = GetLastError();
    CloseHandle(token);
    return true;
}
