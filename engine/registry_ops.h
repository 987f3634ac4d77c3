// The small registry operations the cleaning rests on. Failures are quiet:
// each operation only says whether it worked.
#ifndef QUORVANE_ENGINE_REGISTRY_OPS_H
#define QUORVANE_ENGINE_REGISTRY_OPS_H

#include <vector>

#include "win32api.h"

// `view` is the registry view the key is opened in (KEY_WOW64_64KEY or
// KEY_WOW64_32KEY, see registry_views.h); 0 is the one view of a system
// that has no others.

// Deletes valueName from subKey (opened with every right). True only when
// the open, the delete and the close all worked.
bool deleteRegValue(HKEY root, const char* subKey, const char* valueName, REGSAM view = 0);

// Deletes valueName from key, which is root\subKey opened with every
// right in that view; a change journal is told what it held, and where.
bool deleteOpenKeyValue(HKEY root, const char* subKey, HKEY key, const char* valueName, REGSAM view = 0);

// The data of valueName in subKey (opened to read), whatever its type and
// length, with a zero after it so that text tests can run on any type.
// False when it cannot be read, or is longer than any start-up command.
bool readRegValue(HKEY root, const char* subKey, const char* valueName, std::vector<char>& data,
                  REGSAM view = 0);

// The same from a key that is already open.
bool readOpenKeyValue(HKEY key, const char* valueName, std::vector<char>& data);

// Deletes that one key under HKEY_LOCAL_MACHINE; true on success.
bool deleteMachineKey(const char* subKey);

// Deletes the service registration serviceName (its Enum and Security
// subkeys, then the key) in both control sets. True when any deletion worked.
bool deleteServiceKeys(const char* serviceName);

#endif // QUORVANE_ENGINE_REGISTRY_OPS_H
