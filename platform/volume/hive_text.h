// Names and data between a registry hive file and what the machine's ANSI
// registry calls show of them.
//
// A hive file keeps names as UTF-16 (or Latin-1, which is the same units).
// The NT family keeps the string types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ)
// as UTF-16LE and its ANSI calls convert them to and from the system code
// page; data of every other type is bytes, shown as it is.
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_TEXT_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_TEXT_H

#include <string>

#include "win32api.h"

namespace sim {

// A name as the ANSI calls show it, in the machine's code page (see
// ansi_units.h): exact in UTF-8; in Windows-1252 a character it lacks reads '?'.
std::string codePageName(const std::u16string& units);
// A name made by the ANSI calls, as the file keeps it.
std::u16string hiveName(const std::string& codePage);

// Stored data as RegQueryValueExA gives it (an odd last byte of a string
// type is no unit, and is not shown).
std::string codePageData(DWORD type, const std::string& stored);
// Data given to RegSetValueExA as the hive stores it.
std::string storedData(DWORD type, const std::string& codePage);

} // namespace sim

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_TEXT_H
