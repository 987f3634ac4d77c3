// The lines of the undo file, as the system's registry editor writes them
// ("Windows Registry Editor Version 5.00"): UTF-16 text, every key path,
// value name and string exact. The engine's copies hold ANSI text, read as
// UTF-16 through the system code page.
#ifndef QUORVANE_CLI_UNDO_LINES_H
#define QUORVANE_CLI_UNDO_LINES_H

#include <string>

#include "change_journal.h"

// "HKEY_LOCAL_MACHINE\SOFTWARE\...": the key's full name, with the hive's
// name in capitals as the registry editor writes it.
std::u16string registryKeyUnits(HKEY root, const std::string& path);
// The same in UTF-8, for the report.
std::string registryKeyName(HKEY root, const std::string& path);

// "[HKEY_LOCAL_MACHINE\SOFTWARE\...]": the key's line.
std::u16string undoKeyLine(HKEY root, const std::string& path);

// One "name"=data line (@ for the default value): a string in quotes when
// it is a whole REG_SZ that text gives back unit for unit, dword: for a
// number, hex(N): for the rest, with the bytes the registry keeps (strings
// as UTF-16LE). Backslashes and quotes in quotes are escaped.
std::u16string undoValueLine(const RegistryValueCopy& value);

#endif // QUORVANE_CLI_UNDO_LINES_H
