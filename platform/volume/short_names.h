// The short (8.3) names of the simulated machine.
//
// A name that already is a valid 8.3 name is its own short name, spelled as
// it is. Any other gets the usual generated one: its base upper-cased
// without spaces and dots, characters an 8.3 name cannot hold made '_', cut
// to six characters (fewer once the number grows), then "~N" and the first
// three characters of its extension. N counts up among the names of the
// folder, taken in listing order, until the short name is one no other
// name of the folder has.
#ifndef QUORVANE_PLATFORM_SIM_SHORT_NAMES_H
#define QUORVANE_PLATFORM_SIM_SHORT_NAMES_H

#include <string>
#include <vector>

namespace sim {

// True when a presented name is a valid 8.3 name as it stands.
bool isShortName(const std::string& name);

// The short name of every presented name of one folder, in the order given.
std::vector<std::string> shortNamesOf(const std::vector<std::string>& presentedNames);

// The short name of one host name of a folder that holds `hostNames`.
std::string shortNameIn(const std::vector<std::string>& hostNames, const std::string& hostName);

// The short name the volume itself holds for the host entry (ntfs-3g shows
// it as the extended attribute system.ntfs_dos_name), upper-cased; false
// when it holds none or the mount does not show it. Where it holds one,
// that name is the entry's, whatever a generated one would be.
bool volumeShortName(const std::string& hostPath, std::string& shortName);

// The host name in hostFolder whose short name on the volume is `wanted`
// (in any letter case); false when none is.
bool findByVolumeShortName(const std::string& hostFolder, const std::vector<std::string>& hostNames,
                           const std::string& wanted, std::string& hostName);

// The host name of a folder whose generated short name is `wanted` (in any
// letter case); false when none is.
bool findByShortName(const std::vector<std::string>& hostNames, const std::string& wanted, std::string& hostName);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_SHORT_NAMES_H
