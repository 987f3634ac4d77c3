// Registry scenarios for tests, written as registry-export text (REGEDIT4,
// ANSI) and loaded through the real calls, so that one scenario serves the
// simulated machine and a Wine prefix alike:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Example]
//   @="default"
//   "Path"="C:\\Program Files\\x.exe"
//   "Count"=dword:0000002a
//   "Blob"=hex:de,ad,be,ef
//   "Expand"=hex(2):25,54,45,4d,50,25,00
//
// A hex list may go on over several lines, each but the last ending in a
// backslash; hex(7) is REG_MULTI_SZ and hex(0) REG_NONE.
//
// A scenario remembers the keys it created and deletes them, deepest first,
// when it goes out of scope; a value it set in a key that was there before
// gets its old data back (or goes, if it was not there). A scenario made for
// a registry view (KEY_WOW64_32KEY, say) opens every key in that view.
#ifndef QUORVANE_TESTS_SUPPORT_REGISTRY_FIXTURE_H
#define QUORVANE_TESTS_SUPPORT_REGISTRY_FIXTURE_H

#include <ostream>
#include <string>
#include <vector>

#include "win32api.h"

struct RegistryValue {
    std::string name; // "" for the default value
    DWORD type;
    std::string data; // the bytes, as the registry holds them
};
bool operator==(const RegistryValue& a, const RegistryValue& b);
std::ostream& operator<<(std::ostream& out, const RegistryValue& value);

// The data of a REG_SZ as a scenario writes it (with its zero), and of a
// REG_DWORD.
std::string stringData(const std::string& text);
std::string dwordData(DWORD value);

// One [key] section of an export.
struct RegistrySection {
    HKEY root;
    std::string path;
    std::vector<RegistryValue> values;
};

// Reads export text. False, with `error` naming the line, when it is not
// what the format allows.
bool parseRegistryExport(const std::string& text, std::vector<RegistrySection>& sections, std::string& error);

class RegistryScenario {
public:
    explicit RegistryScenario(REGSAM view = 0) : view_(view) {}
    ~RegistryScenario();
    RegistryScenario(const RegistryScenario&) = delete;
    RegistryScenario& operator=(const RegistryScenario&) = delete;

    // Creates the keys and sets the values. False, with error() saying why,
    // when the text is malformed or a call fails; what was done until then
    // is still undone at the end of the scope.
    bool load(const std::string& text);
    const std::string& error() const { return error_; }

private:
    struct CreatedKey {
        HKEY root;
        std::string path;
    };
    struct EarlierValue {
        HKEY root;
        std::string path;
        bool existed;
        RegistryValue value;
    };
    bool loadSection(const RegistrySection& section);
    bool createKey(HKEY root, const std::string& path, bool& newKey);
    void rememberEarlierValue(HKEY root, const std::string& path, const std::string& name);

    REGSAM view_;
    std::vector<CreatedKey> created_;
    std::vector<EarlierValue> earlier_;
    std::string error_;
};

// Keeps one value as it is now and puts it back (or deletes it, when there
// was none) at the end of the scope.
class SavedRegistryValue {
public:
    SavedRegistryValue(HKEY root, std::string path, std::string name);
    ~SavedRegistryValue();
    SavedRegistryValue(const SavedRegistryValue&) = delete;
    SavedRegistryValue& operator=(const SavedRegistryValue&) = delete;

    bool existed() const { return existed_; }
    // The data it had; empty when there was none.
    const std::string& data() const { return saved_.data; }

private:
    HKEY root_;
    std::string path_;
    bool existed_ = false;
    RegistryValue saved_;
};

// The values of a key in the order the registry enumerates them. False when
// the key cannot be opened or read.
bool readRegistryValues(HKEY root, const std::string& path, std::vector<RegistryValue>& values);

// One value (of the key opened in that view); false when it is not there.
bool readRegistryValue(HKEY root, const std::string& path, const std::string& name, RegistryValue& value,
                       REGSAM view = 0);

// The names of a key's subkeys in the order the registry enumerates them.
bool readSubkeyNames(HKEY root, const std::string& path, std::vector<std::string>& names);

bool registryKeyExists(HKEY root, const std::string& path, REGSAM view = 0);

// Natively makes the simulated machine play a system of that family
// (VER_PLATFORM_WIN32_WINDOWS or VER_PLATFORM_WIN32_NT) and says true; on
// Windows says whether the system is one. For the registry's family traits.
bool playsFamily(DWORD platformId);

#endif // QUORVANE_TESTS_SUPPORT_REGISTRY_FIXTURE_H
