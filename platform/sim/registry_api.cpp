// The registry calls of the simulated machine.
#include "sim_state.h"

namespace {
constexpr LONG notYet = ERROR_CALL_NOT_IMPLEMENTED;
}

LONG RegOpenKeyExA(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) { return notYet; }
LONG RegCreateKeyExA(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, const LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) {
    return notYet;
}
LONG RegCloseKey(HKEY) { return notYet; }
LONG RegQueryValueExA(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) { return notYet; }
LONG RegSetValueExA(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) { return notYet; }
LONG RegDeleteValueA(HKEY, LPCSTR) { return notYet; }
LONG RegDeleteKeyA(HKEY, LPCSTR) { return notYet; }
LONG RegEnumValueA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD) { return notYet; }
LONG RegEnumKeyExA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPSTR, LPDWORD, PFILETIME) { return notYet; }
LONG RegQueryInfoKeyA(HKEY, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                      PFILETIME) {
    return notYet;
}
