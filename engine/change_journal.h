// What a scan changes on the machine, told as it happens to a front end
// that keeps a record of it (quorvane-scan's report and undo file). While no
// journal is set, the engine does no work for one.
#ifndef QUORVANE_ENGINE_CHANGE_JOURNAL_H
#define QUORVANE_ENGINE_CHANGE_JOURNAL_H

#include <string>
#include <vector>

#include "result_lines.h"
#include "win32api.h"

// A registry value as it was read just before it was deleted: its data as
// the system's ANSI calls give it.
struct RegistryValueCopy {
    std::string name;
    DWORD type = 0;
    std::vector<unsigned char> data;
};

// A key as it was before it was deleted: its path under the root, with its
// last name spelled as the registry has it, and its values.
struct RegistryKeyCopy {
    std::string path;
    std::vector<RegistryValueCopy> values;
};

struct ChangeJournal {
    // A value deleted from root\keyPath.
    void (*valueRemoved)(HKEY root, const char* keyPath, const RegistryValueCopy& value);
    // A key deleted: the key first, then each key that went with it, every
    // key before the keys under it.
    void (*keyRemoved)(HKEY root, const std::vector<RegistryKeyCopy>& tree);
    // A result line about a detected file (lineRemoved to lineTextLeftAsChosen).
    void (*fileLine)(ResultLine line, const char* path, const char* detectionName);
    // A file given to the next start to delete; queued is false when that failed.
    void (*restartEntry)(const char* path, bool queued);
    // Whether the record still holds every registry removal told so far
    // (null: it always does). Once it does not, nothing more is removed.
    bool (*recordWhole)();
};

extern const ChangeJournal* changeJournal;

// Whether a registry value or key may be removed now: always without a
// journal; with one, only while its record is whole. The value or key must
// also be copied first, and is left in place when that fails.
bool registryRemovalAllowed();

// The value's type and data; false when it cannot be read whole or is
// larger than any value the engine deletes.
bool copyRegistryValue(HKEY key, const char* valueName, RegistryValueCopy& copy);

// The key root\path with every key under it, as keyRemoved lists them;
// false when any of it cannot be read.
bool copyRegistryKey(HKEY root, const char* path, std::vector<RegistryKeyCopy>& tree);

// The names of the open key's subkeys, in the registry's order; false when
// the listing fails before its end.
bool subkeyNames(HKEY key, std::vector<std::string>& names);

// Whether a result line is one that fileLine is told of.
bool isFileLine(ResultLine line);

#endif // QUORVANE_ENGINE_CHANGE_JOURNAL_H
