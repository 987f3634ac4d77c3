// How host names appear on the simulated machine.
//
// A host file system lets a name hold bytes that a Windows path cannot carry
// (a backslash, control characters). Such a byte is presented as '<', two
// upper-case hex digits and '>', so "a\nb.exe" is listed as "a<0A>b.exe".
// '<' and '>' themselves are presented the same way, which keeps the mapping
// reversible; an ordinary Windows name, which never holds them, is unchanged.
#ifndef QUORVANE_PLATFORM_SIM_NAMES_H
#define QUORVANE_PLATFORM_SIM_NAMES_H

#include <string>

namespace sim {

// The name under which a host entry is listed.
std::string presentedName(const std::string& hostName);

// The host name that `name` presents. False unless `name` is exactly what
// presentedName makes of some host name: every '<' opens a well-formed
// escape of a byte that needs one, no such byte appears bare, and there is
// no stray '>'.
bool decodePresentedName(const std::string& name, std::string& hostName);

// The longest prefix of a presented name that has at most `limit`
// characters and does not cut an escape in two.
std::string presentedPrefix(const std::string& name, size_t limit);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_NAMES_H
