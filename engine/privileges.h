// Enabling a privilege of the program's own token.
#ifndef QUORVANE_ENGINE_PRIVILEGES_H
#define QUORVANE_ENGINE_PRIVILEGES_H

#include "win32api.h"

// Enables the privilege `name` in the process token. Returns false when the
// token cannot be opened; otherwise error is the thread's last error as the
// adjustment left it (ERROR_NOT_ALL_ASSIGNED when the privilege is not held).
bool enablePrivilege(const char* name, DWORD& error);

#endif // QUORVANE_ENGINE_PRIVILEGES_H
