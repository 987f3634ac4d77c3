// The changes the registry made to a loaded hive's keys, and writing them
// into the hive library's copy of the file.
#ifndef QUORVANE_PLATFORM_SIM_HIVE_WRITE_H
#define QUORVANE_PLATFORM_SIM_HIVE_WRITE_H

#include <hivex.h>

#include <string>

#include "registry_tree.h"

namespace sim {

// True when a key read from a hive, or anything read below it, differs
// from what the file holds: a subkey added or deleted, a value set, added
// or deleted.
bool keyChanged(const RegKey& key);

// Makes the library's copy hold what the key and everything read below it
// hold. False, with the reason in `problem`, when the library refuses a
// change; the copy is then half changed and must not be written.
bool writeKey(hive_h* handle, RegKey& key, std::string& problem);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_HIVE_WRITE_H
