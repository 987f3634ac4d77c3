// The simulated machine's registry: a tree of keys under each predefined
// root, and the open key handles.
//
// Names compare ASCII case-insensitively and keep the spelling they were
// created with. Subkeys are kept in upper-case name order and values in the
// order they were created, as the system's own registry enumerates them.
// Data is kept byte for byte as it was given, whatever its type.
//
// A key may come from a registry hive file (see hive_file.h): its subkeys
// and values are read from the file the first time anything asks for them,
// so every reader goes through subkeysOf and valuesOf.
#ifndef QUORVANE_PLATFORM_SIM_REGISTRY_TREE_H
#define QUORVANE_PLATFORM_SIM_REGISTRY_TREE_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win32api.h"

namespace sim {

struct HiveFile;

struct RegValue {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;   // as the ANSI calls see it
    // A value of a hive file: its record there and its data exactly as the
    // file holds it, which is what goes back when the data is added to.
    size_t cell = 0;
    std::string stored;
};

struct RegKey;
using KeyPtr = std::shared_ptr<RegKey>;

struct RegKey : std::enable_shared_from_this<RegKey> {
    std::string name;
    std::weak_ptr<RegKey> parent; // empty for a root
    std::vector<KeyPtr> subkeys;  // upper-case name order
    std::vector<RegValue> values; // creation order
    bool deleted = false;         // open handles of a deleted key fail
    // A key read from a hive file: the file, the key's node in it, and how
    // many subkeys and values the node had. A key made here has no node.
    std::shared_ptr<HiveFile> hive;
    size_t node = 0;
    size_t storedSubkeys = 0;
    size_t storedValues = 0;
    bool unread = false;   // its subkeys and values are still only in the file
    bool hiveRoot = false; // a hive is loaded here: the key cannot be deleted
    KeyPtr link;           // a symbolic link: a path through this key goes on in that one
};

// One open key handle: the key, and the rights it was opened with.
struct OpenKey {
    KeyPtr key;
    REGSAM access = 0;
};

struct Registry {
    KeyPtr localMachine = std::make_shared<RegKey>();
    KeyPtr currentUser = std::make_shared<RegKey>();
    std::map<uintptr_t, OpenKey> handles; // by handle value
};

// A key's subkeys and values, read from its hive file first if need be.
std::vector<KeyPtr>& subkeysOf(RegKey& key);
std::vector<RegValue>& valuesOf(RegKey& key);

// Reads an unread key's subkeys (unread themselves) and values from its
// hive file; see hive_read.cpp.
void readFromHive(RegKey& key);

// The subkey of that name, or null.
KeyPtr findSubkey(RegKey& key, const std::string& name);

// Adds a new, empty subkey in its place in the name order. Below a key of
// a hive file it is made in the file first; null when it cannot be.
KeyPtr addSubkey(const KeyPtr& parent, const std::string& name);

// The value of that name ("" is the default value), or null.
RegValue* findValue(RegKey& key, const std::string& name);

// Sets a value, keeping the place and spelling of one that exists. In a
// key of a hive file the change is written into the file first (see
// hive_file.h); its error comes back when it cannot be.
LONG setValue(RegKey& key, const std::string& name, DWORD type, std::string data);

// The same in a key of a hive file, with the data as the file is to hold
// it (for a string type, UTF-16LE), which the ANSI calls then see converted.
LONG setStoredValue(RegKey& key, const std::string& name, DWORD type, std::string stored);

// Deletes a value of the key; in a key of a hive file, from the file first.
LONG deleteValue(RegKey& key, const RegValue& value);

// Follows a subkey path ('\' between names; empty names between separators
// are passed over) from `from`. A null or empty path names `from` itself. A
// leading '\' is ERROR_BAD_PATHNAME. With `create`, missing keys are made
// and `created` tells whether the last one was; otherwise a missing key is
// ERROR_FILE_NOT_FOUND. A link is followed to the key it names, wherever it
// stands in the path.
LONG walkKeyPath(const KeyPtr& from, const char* path, bool create, KeyPtr& found, bool& created);

// The same walk as RegOpenKeyExA and RegCreateKeyExA make it with the access
// mask `desired`: on the NT family a path under HKEY_LOCAL_MACHINE\Software
// that KEY_WOW64_32KEY asks for leads to its place in the 32-bit view,
// Software\Wow6432Node; see registry_redirection.cpp.
LONG walkKeyPathInView(const KeyPtr& from, const char* path, REGSAM desired, bool create, KeyPtr& found,
                       bool& created);

// The names of a key path, without the empty ones between separators.
std::vector<std::string> splitKeyPath(const std::string& path);

// Takes a key out of its parent and marks it and everything below it
// deleted. A root, or a key a hive is loaded at, cannot be removed:
// ERROR_ACCESS_DENIED; a key of a hive file is deleted from the file first
// (which takes only a key without subkeys).
LONG removeKey(const KeyPtr& key);

// Takes a loaded hive's keys out of the registry, leaving its file alone.
void unloadKey(const KeyPtr& key);

// Gives a value's type and data the way RegQueryValueExA does: the size
// alone without a buffer, ERROR_MORE_DATA and the size needed when the
// buffer is too small.
LONG copyValueData(const RegValue& value, LPDWORD type, LPBYTE data, LPDWORD dataSize);

// The key behind a handle (a predefined root or one the machine opened),
// once it is known to be open, not deleted, and, on the NT family, opened
// with every right in `needed`. The 9x family has no registry security.
LONG keyOfHandle(HKEY handle, REGSAM needed, KeyPtr& key);

// A new handle to the key with the rights asked for (generic rights mapped
// to the key rights they stand for).
HKEY newKeyHandle(const KeyPtr& key, REGSAM desired);

// True when the handle was open (or is a predefined root); it is closed.
bool closeKeyHandle(HKEY handle);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_REGISTRY_TREE_H
