// A registry hive file of the NT family, loaded into the machine's
// registry at a key of HKEY_LOCAL_MACHINE.
//
// The whole file is read into memory and, when the system left it dirty,
// completed from its logs (NAME.LOG1, NAME.LOG2, or the older NAME.LOG)
// there; the file itself is not touched until something changes. Keys are
// read from that image only when a call first needs them; each remembers
// its key node, and each value its record. A change made by a registry
// call is made in the image, cell by cell, and written at once through the
// hive's log into the file in place (see hive/in_place_write.h), before the
// call returns: the file is never replaced, so it keeps its owner,
// permissions and the volume's security descriptor. Before the first change
// the file and its logs, as they were, are copied whole.
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_FILE_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_FILE_H

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "hive/cell_edit.h"
#include "hive/cells.h"
#include "hive/in_place_write.h"
#include "hive/log_replay.h"
#include "registry_tree.h"

namespace sim {

struct HiveFile {
    HiveFile() = default;
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;
    ~HiveFile();

    std::string windowsPath; // as it was loaded
    std::string hostPath;
    struct stat opened {};   // of the file, to see that it is still the one there
    hive::Bytes image;       // the file as the registry sees it: completed from its logs
    std::unique_ptr<hive::HiveView> view;
    std::unique_ptr<hive::HiveEditor> editor;
    std::vector<std::string> logPaths; // its logs that are there, host paths
    hive::Recovery recovery;           // what its logs gave it as it was read
    hive::OpenHive disk;               // the file and its log as written to
    std::weak_ptr<RegKey> root;        // where it is loaded
    bool changed = false;              // a change has reached the file
    std::string backup;                // the copy kept of the file as it was, once made
    std::string damage;                // a part read later is damaged: nothing may be written
    std::string writeProblem;          // a write failed: nothing more is written
};

// Notes the first damage found in a hive; nothing is written to it then.
void noteDamage(HiveFile& hive, const std::string& what);

// The changes the registry calls make to keys and values of a loaded hive.
// Each is made in the image and written into the file before it returns;
// on failure neither the image nor the file has changed (or the file's log
// completes it, which the hive's outcome tells) and the call's error comes
// back: ERROR_ACCESS_DENIED while nothing may be written, ERROR_WRITE_FAULT
// when the file could not take it.
LONG deleteHiveValue(RegKey& key, const RegValue& value);
LONG deleteHiveKey(RegKey& parent, RegKey& key);
LONG setHiveValue(RegKey& key, const std::string& name, DWORD type, const std::string& stored, size_t& cell);
LONG addHiveKey(RegKey& parent, const std::string& name, size_t& node);

// The copy of the file and its logs kept before the first change; see
// hive_backup.cpp. False, with the reason, when they cannot all be kept.
bool keepOriginals(HiveFile& hive, const std::string& backupFolder, std::string& problem);

// The folder setHiveBackupFolder gave (empty: beside each hive).
const std::string& backupFolder();

} // namespace sim

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_FILE_H
