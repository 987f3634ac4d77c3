// The simulated registry where a real system shows its own terms only, or
// where Wine differs from Windows: the order values and subkeys come in,
// data kept exactly as given, rights on every call, the two roots, reset,
// the two views of Software.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_windows.h"
#include "registry_fixture.h"

namespace {

class SimRegistry : public ::testing::Test {
protected:
    SimRegistry() { sim::reset(); }
    ~SimRegistry() override { sim::reset(); }

    static HKEY created(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, access, nullptr, &key, nullptr), ERROR_SUCCESS);
        return key;
    }
    static LONG setBytes(HKEY key, const char* name, DWORD type, const std::string& data) {
        return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                              static_cast<DWORD>(data.size()));
    }
};

std::vector<std::string> namesOf(const std::vector<RegistryValue>& values) {
    std::vector<std::string> names;
    for (const RegistryValue& value : values) names.push_back(value.name);
    return names;
}

// Wine sorts values by name; Windows keeps them in the order they came.
TEST_F(SimRegistry, ValuesEnumerateInTheOrderTheyWereCreated) {
    HKEY key = created(HKEY_LOCAL_MACHINE, "Software\\Order");
    for (const char* name : {"zeta", "Alpha", "mid"}) ASSERT_EQ(setBytes(key, name, REG_SZ, stringData("v")), 0);
    ASSERT_EQ(setBytes(key, "ALPHA", REG_DWORD, dwordData(1)), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, "zeta"), ERROR_SUCCESS);
    ASSERT_EQ(setBytes(key, "zeta", REG_SZ, stringData("again")), ERROR_SUCCESS);
    std::vector<RegistryValue> values;
    ASSERT_TRUE(readRegistryValues(HKEY_LOCAL_MACHINE, "Software\\Order", values));
    EXPECT_EQ(namesOf(values), (std::vector<std::string>{"Alpha", "mid", "zeta"}));
    EXPECT_EQ(values[0].type, static_cast<DWORD>(REG_DWORD));
    RegCloseKey(key);
}

// Windows orders subkeys by their upper-case names, so '_' comes after the
// letters; Wine compares lower-case names and puts it before them.
TEST_F(SimRegistry, SubkeysEnumerateInUpperCaseNameOrder) {
    for (const char* path : {"S\\_u", "S\\a_b", "S\\B", "S\\aab", "S\\Ab"}) {
        RegCloseKey(created(HKEY_CURRENT_USER, path));
    }
    std::vector<std::string> names;
    ASSERT_TRUE(readSubkeyNames(HKEY_CURRENT_USER, "S", names));
    EXPECT_EQ(names, (std::vector<std::string>{"aab", "Ab", "a_b", "B", "_u"}));
}

TEST_F(SimRegistry, DataIsKeptExactlyAsGivenWhateverItsType) {
    HKEY key = created(HKEY_CURRENT_USER, "Raw");
    ASSERT_EQ(setBytes(key, "unterminated", REG_SZ, "abc"), ERROR_SUCCESS);
    ASSERT_EQ(setBytes(key, "short", REG_DWORD, "\x01\x02"), ERROR_SUCCESS);
    ASSERT_EQ(setBytes(key, "empty", REG_MULTI_SZ, ""), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "nowhere", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    std::vector<RegistryValue> values;
    ASSERT_TRUE(readRegistryValues(HKEY_CURRENT_USER, "Raw", values));
    EXPECT_EQ(values, (std::vector<RegistryValue>{{"unterminated", REG_SZ, "abc"},
                                                  {"short", REG_DWORD, "\x01\x02"},
                                                  {"empty", REG_MULTI_SZ, ""}}));
    RegCloseKey(key);
}

TEST_F(SimRegistry, EveryCallAsksForItsOwnRightOnNt) {
    RegCloseKey(created(HKEY_CURRENT_USER, "Rights\\Sub"));
    HKEY enumerator = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Rights", 0, KEY_ENUMERATE_SUB_KEYS, &enumerator), ERROR_SUCCESS);
    DWORD count = 0;
    EXPECT_EQ(RegQueryInfoKeyA(enumerator, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    char name[16];
    DWORD length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(enumerator, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(enumerator, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
    RegCloseKey(enumerator);

    HKEY querier = created(HKEY_CURRENT_USER, "Rights", KEY_QUERY_VALUE);
    length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(querier, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
    RegCloseKey(querier);
}

TEST_F(SimRegistry, GenericRightsStandForTheKeyRights) {
    constexpr REGSAM genericRead = 0x80000000;
    constexpr REGSAM genericWrite = 0x40000000;
    HKEY writer = created(HKEY_CURRENT_USER, "Generic", genericWrite);
    EXPECT_EQ(setBytes(writer, "v", REG_SZ, stringData("x")), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(writer, "v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    HKEY reader = created(HKEY_CURRENT_USER, "Generic", genericRead);
    EXPECT_EQ(RegQueryValueExA(reader, "v", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(setBytes(reader, "v", REG_SZ, stringData("y")), ERROR_ACCESS_DENIED);
    RegCloseKey(writer);
    RegCloseKey(reader);
}

TEST_F(SimRegistry, EachRootIsATreeOfItsOwn) {
    RegCloseKey(created(HKEY_LOCAL_MACHINE, "Software\\OnlyHere"));
    EXPECT_TRUE(registryKeyExists(HKEY_LOCAL_MACHINE, "software\\onlyhere"));
    EXPECT_FALSE(registryKeyExists(HKEY_CURRENT_USER, "Software\\OnlyHere"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
}

TEST_F(SimRegistry, ResetEmptiesTheRegistryAndForgetsItsHandles) {
    HKEY key = created(HKEY_CURRENT_USER, "Gone");
    sim::reset();
    EXPECT_FALSE(registryKeyExists(HKEY_CURRENT_USER, "Gone"));
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(SimRegistry, OnlyThe9xFamilyCreatesAKeyWhosePathStartsWithABackslash) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BAD_PATHNAME);
    sim::setRelease(sim::Release::windows98);
    DWORD disposition = 0;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, "\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_TRUE(registryKeyExists(HKEY_CURRENT_USER, "Lead"));
    RegCloseKey(key);
}

TEST_F(SimRegistry, CreatingAKeyThatIsThereOpensIt) {
    DWORD disposition = 0;
    HKEY first = nullptr;
    HKEY second = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Twice\\Deep", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &first,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "TWICE\\deep", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &second,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    ASSERT_EQ(setBytes(first, "v", REG_SZ, stringData("one")), ERROR_SUCCESS);
    RegistryValue value;
    ASSERT_TRUE(readRegistryValue(HKEY_CURRENT_USER, "Twice\\Deep", "v", value));
    EXPECT_EQ(value.data, stringData("one"));
    RegCloseKey(first);
    RegCloseKey(second);
}

// The machine is a 64-bit system: its 32-bit programs' part of Software
// lies under Software\Wow6432Node (what Wine shows too, and the 9x family's
// one view, are checked in platform_registry_test.cpp).
class SimRegistryViews : public SimRegistry {
protected:
    static LONG opened(HKEY root, const char* path, REGSAM view) {
        HKEY key = nullptr;
        const LONG status = RegOpenKeyExA(root, path, 0, KEY_READ | view, &key);
        if (status == ERROR_SUCCESS) RegCloseKey(key);
        return status;
    }
};

TEST_F(SimRegistryViews, The32BitFlagLeadsUnderWow6432NodeAndThe64BitFlagToTheKeyItself) {
    RegCloseKey(created(HKEY_LOCAL_MACHINE, "Software\\Vendor\\App", KEY_ALL_ACCESS | KEY_WOW64_32KEY));
    EXPECT_TRUE(registryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432NODE\\Vendor\\App"));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Vendor"));
    EXPECT_EQ(opened(HKEY_LOCAL_MACHINE, "Software\\Vendor\\App", KEY_WOW64_64KEY), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(opened(HKEY_LOCAL_MACHINE, "Software\\Vendor\\App", KEY_WOW64_32KEY), ERROR_SUCCESS);
    EXPECT_EQ(opened(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Vendor\\App", KEY_WOW64_32KEY), ERROR_SUCCESS)
        << "a path already in the 32-bit view stays there";
    RegCloseKey(created(HKEY_LOCAL_MACHINE, "Software\\Vendor\\App64", KEY_ALL_ACCESS | KEY_WOW64_64KEY));
    EXPECT_TRUE(registryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Vendor\\App64"));
    EXPECT_EQ(opened(HKEY_LOCAL_MACHINE, "Software\\Vendor\\App64", KEY_WOW64_32KEY), ERROR_FILE_NOT_FOUND);
}

TEST_F(SimRegistryViews, AKeyOpenedInThe32BitViewLeadsOnInIt) {
    HKEY software = created(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS | KEY_WOW64_32KEY);
    RegCloseKey(created(software, "Vendor"));
    EXPECT_TRUE(registryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Vendor"));
    EXPECT_EQ(opened(software, "Vendor", 0), ERROR_SUCCESS);
    RegCloseKey(software);
}

TEST_F(SimRegistryViews, OnlyTheMachinesSoftwareHasTwoViews) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const char* path = root == HKEY_CURRENT_USER ? "Software\\Vendor" : "SYSTEM\\ControlSet001\\Services\\x";
        RegCloseKey(created(root, path, KEY_ALL_ACCESS | KEY_WOW64_32KEY));
        EXPECT_TRUE(registryKeyExists(root, path)) << path;
    }
    EXPECT_FALSE(registryKeyExists(HKEY_CURRENT_USER, "Software\\Wow6432Node"));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\Software", 0, KEY_READ | KEY_WOW64_32KEY, &key),
              ERROR_BAD_PATHNAME);
}

} // namespace
