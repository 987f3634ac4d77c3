// The registry as the engine relies on it, checked on the simulated machine
// and, built for Windows, against the real registry under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine_test.h"
#include "registry_fixture.h"

namespace {

const char* const testKey = "Software\\QuorvaneTests";

std::string keyPath(const std::string& below) { return std::string(testKey) + "\\" + below; }

std::string scenarioOf(const std::string& body) {
    return "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + std::string(testKey) + "]\n" + body;
}

// An open key that closes itself.
class Key {
public:
    Key(const std::string& path, REGSAM access) {
        status = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &handle);
    }
    ~Key() {
        if (status == ERROR_SUCCESS) RegCloseKey(handle);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    HKEY handle = nullptr;
    LONG status;
};

LONG setString(HKEY key, const char* name, const std::string& text) {
    const std::string data = stringData(text);
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}

std::string valueNameAt(HKEY key, DWORD index, LONG& status) {
    char name[64] = {};
    DWORD length = sizeof name;
    status = RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    return std::string(name, status == ERROR_SUCCESS ? length : 0);
}

std::string subkeyNameAt(HKEY key, DWORD index, LONG& status) {
    char name[64] = {};
    DWORD length = sizeof name;
    status = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    return std::string(name, status == ERROR_SUCCESS ? length : 0);
}

bool byName(const RegistryValue& a, const RegistryValue& b) { return a.name < b.name; }

using PlatformRegistry = EngineTest;

TEST_F(PlatformRegistry, EveryKindOfValueReadsBackByteForByte) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf("@=\"plain\"\n"
                                         "\"binary\"=hex:00,ff,10\n"
                                         "\"count\"=dword:0000002a\n"
                                         "\"expand\"=hex(2):25,77,69,6e,64,69,72,25,00\n"
                                         "\"list\"=hex(7):61,00,62,63,00,00\n"
                                         "\"none\"=hex(0):01,02\n"
                                         "\"quoted\"=\"say \\\"hi\\\" \\\\ bye\"\n")))
        << scenario.error();
    std::vector<RegistryValue> values;
    ASSERT_TRUE(readRegistryValues(HKEY_CURRENT_USER, testKey, values));
    std::sort(values.begin(), values.end(), byName);
    const std::vector<RegistryValue> expected = {
        {"", REG_SZ, stringData("plain")},
        {"binary", REG_BINARY, std::string("\x00\xff\x10", 3)},
        {"count", REG_DWORD, dwordData(42)},
        {"expand", REG_EXPAND_SZ, stringData("%windir%")},
        {"list", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)},
        {"none", REG_NONE, std::string("\x01\x02", 2)},
        {"quoted", REG_SZ, stringData("say \"hi\" \\ bye")},
    };
    EXPECT_EQ(values, expected);
}

TEST_F(PlatformRegistry, QueryGivesTheSizeAloneOrMoreDataWhenTheBufferIsTooSmall) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf("\"text\"=\"seven!\"\n"))) << scenario.error();
    Key key(testKey, KEY_QUERY_VALUE);
    ASSERT_EQ(key.status, ERROR_SUCCESS);
    DWORD type = REG_NONE;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key.handle, "text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 7u);
    BYTE small[3];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key.handle, "text", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    BYTE exact[7];
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExA(key.handle, "text", nullptr, &type, exact, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(exact), size), stringData("seven!"));
    EXPECT_EQ(RegQueryValueExA(key.handle, "nothing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(PlatformRegistry, EnumerationByIndexShiftsDownAfterADelete) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf("\"a1\"=\"1\"\n\"a2\"=\"2\"\n\"a3\"=\"3\"\n\n"
                                         "[HKEY_CURRENT_USER\\Software\\QuorvaneTests\\Zeta]\n"
                                         "[HKEY_CURRENT_USER\\Software\\QuorvaneTests\\alpha]\n"
                                         "[HKEY_CURRENT_USER\\Software\\QuorvaneTests\\Mid]\n")))
        << scenario.error();
    Key key(testKey, KEY_ALL_ACCESS);
    ASSERT_EQ(key.status, ERROR_SUCCESS);
    LONG status = 0;
    EXPECT_EQ(valueNameAt(key.handle, 1, status), "a2");
    ASSERT_EQ(RegDeleteValueA(key.handle, "a2"), ERROR_SUCCESS);
    EXPECT_EQ(valueNameAt(key.handle, 1, status), "a3");
    valueNameAt(key.handle, 2, status);
    EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);

    std::vector<std::string> names;
    ASSERT_TRUE(readSubkeyNames(HKEY_CURRENT_USER, testKey, names));
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Mid", "Zeta"}));
    ASSERT_EQ(RegDeleteKeyA(key.handle, subkeyNameAt(key.handle, 1, status).c_str()), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNameAt(key.handle, 1, status), "Zeta");
    subkeyNameAt(key.handle, 2, status);
    EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
}

TEST_F(PlatformRegistry, NamesMatchInAnyCaseAndKeepTheSpellingTheyWereCreatedWith) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf("\"Name\"=\"old\"\n\n"
                                         "[HKEY_CURRENT_USER\\Software\\QuorvaneTests\\Inner Key]\n")))
        << scenario.error();
    Key key("SOFTWARE\\QUORVANETESTS", KEY_ALL_ACCESS);
    ASSERT_EQ(key.status, ERROR_SUCCESS);
    ASSERT_EQ(setString(key.handle, "NAME", "new"), ERROR_SUCCESS);
    std::vector<RegistryValue> values;
    ASSERT_TRUE(readRegistryValues(HKEY_CURRENT_USER, testKey, values));
    EXPECT_EQ(values, (std::vector<RegistryValue>{{"Name", REG_SZ, stringData("new")}}));
    EXPECT_TRUE(registryKeyExists(HKEY_CURRENT_USER, keyPath("inner KEY")));
    std::vector<std::string> names;
    ASSERT_TRUE(readSubkeyNames(HKEY_CURRENT_USER, testKey, names));
    EXPECT_EQ(names, std::vector<std::string>{"Inner Key"});
}

TEST_F(PlatformRegistry, OpeningSaysWhatIsWrongWithThePath) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf(""))) << scenario.error();
    EXPECT_EQ(Key(keyPath("missing"), KEY_READ).status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Key("\\" + std::string(testKey), KEY_READ).status, ERROR_BAD_PATHNAME);
    EXPECT_EQ(Key(std::string(testKey) + "\\", KEY_READ).status, ERROR_SUCCESS);
    Key key(testKey, KEY_READ);
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyExA(key.handle, "", 0, KEY_READ, &same), ERROR_SUCCESS);
    EXPECT_NE(same, key.handle);
    EXPECT_EQ(RegCloseKey(same), ERROR_SUCCESS);
}

TEST_F(PlatformRegistry, EnumeratedNameLengthGoesInWithTheZeroAndComesOutWithout) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf("\"Alphabet\"=\"abcdef\"\n\n"
                                         "[HKEY_CURRENT_USER\\Software\\QuorvaneTests\\Subkeyname]\n")))
        << scenario.error();
    Key key(testKey, KEY_READ);
    ASSERT_EQ(key.status, ERROR_SUCCESS);
    char name[16];
    DWORD length = 8;
    EXPECT_EQ(RegEnumValueA(key.handle, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    length = 9;
    DWORD type = REG_NONE;
    DWORD size = 0;
    ASSERT_EQ(RegEnumValueA(key.handle, 0, name, &length, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(length, 8u);
    EXPECT_STREQ(name, "Alphabet");
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    BYTE data[2];
    length = sizeof name;
    size = sizeof data;
    EXPECT_EQ(RegEnumValueA(key.handle, 0, name, &length, nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key.handle, 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    length = 10;
    EXPECT_EQ(RegEnumKeyExA(key.handle, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    length = 11;
    ASSERT_EQ(RegEnumKeyExA(key.handle, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(length, 10u);
    EXPECT_STREQ(name, "Subkeyname");
    length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key.handle, 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

// The longest data is given in bytes as the registry stores it, which for
// text on NT is more than the ANSI bytes read back: only a lower bound holds.
TEST_F(PlatformRegistry, KeyInformationCountsEntriesAndTheirLongestNames) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf("\"x\"=hex:01,02,03,04,05,06,07,08,09,0a\n"
                                         "\"longest name\"=dword:00000001\n"
                                         "\"mid\"=\"\"\n\n"
                                         "[HKEY_CURRENT_USER\\Software\\QuorvaneTests\\ab]\n"
                                         "[HKEY_CURRENT_USER\\Software\\QuorvaneTests\\abcdef]\n")))
        << scenario.error();
    Key key(testKey, KEY_READ);
    ASSERT_EQ(key.status, ERROR_SUCCESS);
    DWORD subkeys = 0;
    DWORD longestSubkey = 0;
    DWORD values = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key.handle, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                               &longestName, &longestData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 2u);
    EXPECT_EQ(longestSubkey, 6u);
    EXPECT_EQ(values, 3u);
    EXPECT_EQ(longestName, 12u);
    EXPECT_GE(longestData, 10u);
}

TEST_F(PlatformRegistry, ADeletedKeysHandleFailsUntilItIsClosed) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf("\n[HKEY_CURRENT_USER\\Software\\QuorvaneTests\\doomed]\n\"v\"=\"1\"\n")))
        << scenario.error();
    HKEY doomed = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, keyPath("doomed").c_str(), 0, KEY_ALL_ACCESS, &doomed), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, keyPath("DOOMED").c_str()), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(doomed, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(setString(doomed, "w", "2"), ERROR_KEY_DELETED);
    LONG status = 0;
    valueNameAt(doomed, 0, status);
    EXPECT_EQ(status, ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(doomed), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(doomed), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(registryKeyExists(HKEY_CURRENT_USER, keyPath("doomed")));
}

TEST_F(PlatformRegistry, PredefinedKeysNeedNoClosing) {
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf("\"still\"=\"there\"\n"))) << scenario.error();
    EXPECT_TRUE(registryKeyExists(HKEY_CURRENT_USER, testKey));
}

// What the two families do differently with the same calls.
class NtRegistry : public EngineTest {
protected:
    void SetUp() override {
        if (!playsFamily(VER_PLATFORM_WIN32_NT)) GTEST_SKIP() << "not an NT system";
    }
};

class NineXRegistry : public EngineTest {
protected:
    void SetUp() override {
        if (!playsFamily(VER_PLATFORM_WIN32_WINDOWS)) GTEST_SKIP() << "not a 9x system";
    }
};

const char* const treeScenario = "[HKEY_CURRENT_USER\\Software\\QuorvaneTests\\tree\\branch\\leaf]\n\"v\"=\"1\"\n";
const char* const viewsScenario = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\QuorvaneTests\\views]\n\"v\"=\"32\"\n";

TEST_F(NtRegistry, AHandleOpenedToReadCannotSetOrDeleteValues) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf("\"kept\"=\"1\"\n"))) << scenario.error();
    Key reader(testKey, KEY_READ);
    EXPECT_EQ(setString(reader.handle, "kept", "2"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(reader.handle, "kept"), ERROR_ACCESS_DENIED);
    Key writer(testKey, KEY_SET_VALUE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(writer.handle, "kept", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    RegistryValue value;
    ASSERT_TRUE(readRegistryValue(HKEY_CURRENT_USER, testKey, "kept", value));
    EXPECT_EQ(value.data, stringData("1"));
}

TEST_F(NineXRegistry, HandlesCarryNoRights) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(scenarioOf("\"kept\"=\"1\"\n"))) << scenario.error();
    Key reader(testKey, KEY_READ);
    EXPECT_EQ(setString(reader.handle, "kept", "2"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(reader.handle, "kept"), ERROR_SUCCESS);
}

// Both NT systems here are 64-bit ones, which keep their 32-bit programs'
// part of HKEY_LOCAL_MACHINE\Software apart, under Software\Wow6432Node:
// the clean-up reaches each part through its view flag.
TEST_F(NtRegistry, The32BitViewOfTheMachinesSoftwareLiesUnderWow6432Node) {
    RegistryScenario scenario(KEY_WOW64_32KEY);
    ASSERT_TRUE(scenario.load(viewsScenario)) << scenario.error();
    RegistryValue value;
    EXPECT_TRUE(readRegistryValue(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\QuorvaneTests\\views", "v", value));
    EXPECT_TRUE(readRegistryValue(HKEY_LOCAL_MACHINE, "Software\\QuorvaneTests\\views", "v", value, KEY_WOW64_32KEY));
    EXPECT_EQ(value.data, stringData("32"));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, "Software\\QuorvaneTests\\views", KEY_WOW64_64KEY));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, "Software\\QuorvaneTests\\views")) << "a 64-bit program's";
}

TEST_F(NtRegistry, TheUsersSoftwareAndTheMachinesSystemAreOneInBothViews) {
    RegistryScenario scenario(KEY_WOW64_32KEY);
    ASSERT_TRUE(scenario.load(scenarioOf("\"v\"=\"32\"\n") +
                              "[HKEY_LOCAL_MACHINE\\SYSTEM\\QuorvaneTests]\n\"v\"=\"32\"\n"))
        << scenario.error();
    EXPECT_TRUE(registryKeyExists(HKEY_CURRENT_USER, testKey, KEY_WOW64_64KEY));
    EXPECT_TRUE(registryKeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\QuorvaneTests", KEY_WOW64_64KEY));
}

TEST_F(NineXRegistry, TheViewFlagsAreIgnoredWithTheRestOfTheAccessMask) {
    RegistryScenario scenario(KEY_WOW64_32KEY);
    ASSERT_TRUE(scenario.load(viewsScenario)) << scenario.error();
    EXPECT_TRUE(registryKeyExists(HKEY_LOCAL_MACHINE, "Software\\QuorvaneTests\\views"));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\QuorvaneTests"));
}

TEST_F(NtRegistry, DeletingAKeyWithSubkeysIsRefused) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(std::string("REGEDIT4\n") + treeScenario)) << scenario.error();
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, keyPath("tree").c_str()), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(registryKeyExists(HKEY_CURRENT_USER, keyPath("tree\\branch\\leaf")));
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, keyPath("tree\\branch\\leaf").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, keyPath("tree\\branch").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, keyPath("tree").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, keyPath("tree").c_str()), ERROR_FILE_NOT_FOUND);
}

TEST_F(NineXRegistry, DeletingAKeyTakesItsWholeSubtree) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(std::string("REGEDIT4\n") + treeScenario)) << scenario.error();
    Key leaf(keyPath("tree\\branch\\leaf"), KEY_ALL_ACCESS);
    ASSERT_EQ(leaf.status, ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, keyPath("tree").c_str()), ERROR_SUCCESS);
    EXPECT_FALSE(registryKeyExists(HKEY_CURRENT_USER, keyPath("tree")));
    EXPECT_EQ(setString(leaf.handle, "w", "2"), ERROR_KEY_DELETED);
    EXPECT_TRUE(registryKeyExists(HKEY_CURRENT_USER, testKey));
}

} // namespace
