// The smallest valid registry hive file of the NT family: a base block, one
// bin holding the root key and its security record, and nothing else. The
// hive library cannot make a hive from nothing, but once this exists it adds
// keys and values to it, so the tests build every hive they need from here.
#ifndef QUORVANE_TOOLS_HIVES_EMPTY_HIVE_H
#define QUORVANE_TOOLS_HIVES_EMPTY_HIVE_H

#include <string>

// The bytes of an empty hive whose root key is called rootName (ASCII, at
// most 255 characters; the system names the root of a hive it creates
// after the tool that made it, and no program reads it). Empty when the
// name does not fit.
std::string emptyHiveImage(const std::string& rootName);

// Writes that hive as a new file (never over an existing one). False when
// the name does not fit or the file could not be written whole; nothing is
// left behind then.
bool writeEmptyHive(const std::string& path, const std::string& rootName);

#endif // QUORVANE_TOOLS_HIVES_EMPTY_HIVE_H
