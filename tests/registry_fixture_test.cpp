// The registry scenarios of the tests: export text read as the format has
// it, loaded through the real calls and undone at the end of their scope,
// natively and under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test.h"
#include "registry_fixture.h"

namespace {

const char* const scenarioKey = "Software\\QuorvaneFixture";

std::vector<RegistrySection> parsed(const std::string& text) {
    std::vector<RegistrySection> sections;
    std::string error;
    EXPECT_TRUE(parseRegistryExport(text, sections, error)) << error;
    return sections;
}

TEST(RegistryExport, EveryKindOfValueIsRead) {
    const auto sections = parsed("REGEDIT4\r\n\r\n"
                                 "; a comment\r\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\A B]\r\n"
                                 "@=\"C:\\\\dir\\\\\"\r\n"
                                 "\"say \\\"x\\\"\"=\"\"\r\n"
                                 "\"n\"=dword:0000002A\r\n"
                                 "\"h\"=hex:de,AD\r\n"
                                 "\"e\"=hex(2):25,00\r\n"
                                 "\"m\"=hex(7):61,00,00\r\n"
                                 "\"z\"=hex(0):\r\n"
                                 "\r\n"
                                 "[HKEY_CURRENT_USER]\r\n");
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(sections[0].path, "Software\\A B");
    const std::vector<RegistryValue> expected = {
        {"", REG_SZ, stringData("C:\\dir\\")},
        {"say \"x\"", REG_SZ, stringData("")},
        {"n", REG_DWORD, std::string("\x2a\0\0\0", 4)},
        {"h", REG_BINARY, "\xde\xad"},
        {"e", REG_EXPAND_SZ, std::string("%\0", 2)},
        {"m", REG_MULTI_SZ, std::string("a\0\0", 3)},
        {"z", REG_NONE, ""},
    };
    EXPECT_EQ(sections[0].values, expected);
    EXPECT_EQ(sections[1].root, HKEY_CURRENT_USER);
    EXPECT_EQ(sections[1].path, "");
    EXPECT_TRUE(sections[1].values.empty());
}

TEST(RegistryExport, HexListsGoOnOverLinesEndingInABackslash) {
    const auto sections =
        parsed("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"b\"=hex:01,02,\\\n  03,\\\n\t04\n\"c\"=dword:1\n");
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(sections[0].values, (std::vector<RegistryValue>{{"b", REG_BINARY, "\x01\x02\x03\x04"},
                                                              {"c", REG_DWORD, std::string("\x01\0\0\0", 4)}}));
}

TEST(RegistryExport, WhatTheFormatDoesNotAllowIsRefusedByLine) {
    struct Bad {
        const char* text;
        const char* line;
    };
    const Bad bad[] = {
        {"[HKEY_CURRENT_USER\\K]\n", "line 1"},
        {"REGEDIT4\n\"v\"=\"x\"\n", "line 2"},
        {"REGEDIT4\n[HKEY_USERS\\K]\n", "line 2"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K\n", "line 2"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"a\\nb\"\n", "line 3"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"open\n", "line 3"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\n\"v\"=dword:123456789\n", "line 4"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=dword:xyz\n", "line 3"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex:1,02\n", "line 3"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex(z):01\n", "line 3"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"\"x\"\n", "line 3"},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"x\" trailing\n", "line 3"},
        {"", "empty"},
    };
    for (const Bad& item : bad) {
        SCOPED_TRACE(item.text);
        std::vector<RegistrySection> sections;
        std::string error;
        EXPECT_FALSE(parseRegistryExport(item.text, sections, error));
        EXPECT_EQ(error.compare(0, std::string(item.line).size(), item.line), 0) << error;
    }
}

using RegistryScenarioTest = EngineTest;

TEST_F(RegistryScenarioTest, WhatItCreatedGoesAtTheEndOfItsScopeAndWhatWasThereStays) {
    RegistryScenario before;
    ASSERT_TRUE(before.load(std::string("REGEDIT4\n[HKEY_CURRENT_USER\\") + scenarioKey + "]\n")) << before.error();
    const std::string deep = std::string(scenarioKey) + "\\one\\two";
    {
        RegistryScenario scenario;
        ASSERT_TRUE(scenario.load("REGEDIT4\n[HKEY_CURRENT_USER\\" + deep + "]\n\"v\"=\"1\"\n[HKEY_CURRENT_USER\\" +
                                  scenarioKey + "\\side]\n"))
            << scenario.error();
        RegistryValue value;
        ASSERT_TRUE(readRegistryValue(HKEY_CURRENT_USER, deep, "v", value));
        EXPECT_EQ(value, (RegistryValue{"v", REG_SZ, stringData("1")}));
        EXPECT_TRUE(registryKeyExists(HKEY_CURRENT_USER, std::string(scenarioKey) + "\\side"));
    }
    std::vector<std::string> names;
    ASSERT_TRUE(readSubkeyNames(HKEY_CURRENT_USER, scenarioKey, names));
    EXPECT_TRUE(names.empty());
}

TEST_F(RegistryScenarioTest, ValuesSetInAKeyThatWasThereGetTheirOldDataBack) {
    RegistryScenario before;
    ASSERT_TRUE(before.load(std::string("REGEDIT4\n[HKEY_CURRENT_USER\\") + scenarioKey + "]\n\"v\"=\"old\"\n"))
        << before.error();
    {
        RegistryScenario scenario;
        ASSERT_TRUE(scenario.load(std::string("REGEDIT4\n[HKEY_CURRENT_USER\\") + scenarioKey +
                                  "]\n\"v\"=\"new\"\n\"w\"=dword:00000001\n\"v\"=\"newer\"\n"))
            << scenario.error();
        RegistryValue value;
        ASSERT_TRUE(readRegistryValue(HKEY_CURRENT_USER, scenarioKey, "v", value));
        EXPECT_EQ(value.data, stringData("newer"));
    }
    std::vector<RegistryValue> values;
    ASSERT_TRUE(readRegistryValues(HKEY_CURRENT_USER, scenarioKey, values));
    EXPECT_EQ(values, (std::vector<RegistryValue>{{"v", REG_SZ, stringData("old")}}));
}

TEST_F(RegistryScenarioTest, AFailedLoadSaysWhyAndIsUndoneAllTheSame) {
    {
        RegistryScenario scenario;
        EXPECT_FALSE(scenario.load(std::string("REGEDIT4\n[HKEY_CURRENT_USER\\") + scenarioKey +
                                   "]\n\"v\"=\"1\"\n\"w\"=dword:\n"));
        EXPECT_NE(scenario.error().find("line 4"), std::string::npos) << scenario.error();
    }
    EXPECT_FALSE(registryKeyExists(HKEY_CURRENT_USER, scenarioKey));
}

TEST_F(RegistryScenarioTest, ASavedValueComesBackOrGoesAgain) {
    RegistryScenario scenario;
    ASSERT_TRUE(scenario.load(std::string("REGEDIT4\n[HKEY_CURRENT_USER\\") + scenarioKey + "]\n\"kept\"=\"1\"\n"))
        << scenario.error();
    {
        SavedRegistryValue kept(HKEY_CURRENT_USER, scenarioKey, "kept");
        SavedRegistryValue added(HKEY_CURRENT_USER, scenarioKey, "added");
        EXPECT_TRUE(kept.existed());
        EXPECT_EQ(kept.data(), stringData("1"));
        EXPECT_FALSE(added.existed());
        RegistryScenario change;
        ASSERT_TRUE(change.load(std::string("REGEDIT4\n[HKEY_CURRENT_USER\\") + scenarioKey +
                                "]\n\"kept\"=\"2\"\n\"added\"=\"3\"\n"))
            << change.error();
    }
    std::vector<RegistryValue> values;
    ASSERT_TRUE(readRegistryValues(HKEY_CURRENT_USER, scenarioKey, values));
    EXPECT_EQ(values, (std::vector<RegistryValue>{{"kept", REG_SZ, stringData("1")}}));
}

} // namespace
