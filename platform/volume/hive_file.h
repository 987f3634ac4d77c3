// A registry hive file of the NT family, loaded into the simulated
// machine's registry at a key of HKEY_LOCAL_MACHINE.
//
// The file is read through the hive library, which holds a copy of it in
// memory, and nothing is written to it until the hives are closed (see
// closeHives in machine.h). Keys are read from the copy only when a call
// first needs them; each remembers its node, and each value what the file
// held of it, so that closing can tell what changed and write back only
// that.
#ifndef QUORVANE_PLATFORM_SIM_HIVE_FILE_H
#define QUORVANE_PLATFORM_SIM_HIVE_FILE_H

#include <hivex.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "registry_tree.h"

namespace sim {

struct HiveFile {
    HiveFile() = default;
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;
    ~HiveFile();

    std::string windowsPath; // as it was loaded
    std::string hostPath;
    int fd = -1;             // the file as it was read, for the backup copy
    struct stat opened {};   // of that file, to see that it is still the one there
    hive_h* handle = nullptr;
    std::weak_ptr<RegKey> root; // where it is loaded
    std::string damage;      // a part read later is damaged: nothing may be written
};

// Notes the first damage found in a hive; nothing is written to it then.
void noteDamage(HiveFile& hive, const std::string& what);

// A value's type travels through the library as its enumeration, but a
// file may hold any 32-bit number there, which C++ must never read as one:
// these move the number in and out of the enumeration's storage untouched.
static_assert(sizeof(hive_type) == sizeof(DWORD), "the library's type field is 32 bits");
DWORD typeNumber(const hive_type& stored);
void setTypeNumber(hive_type& stored, DWORD type);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_HIVE_FILE_H
