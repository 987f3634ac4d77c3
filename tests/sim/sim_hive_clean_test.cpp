// The engine's registry clean-up on a disk's own hive files, read back
// through the hive library once the hives are closed: exactly the family's
// values and keys go, and every other key and value stays byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test.h"
#include "hive_builder.h"
#include "fake_windows.h"
#include "registry_clean.h"
#include "registry_ops.h"
#include "text_util.h"

namespace {

const char* const runInHive = "Microsoft\\Windows\\CurrentVersion\\Run";
const char* const runServicesInHive = "Microsoft\\Windows\\CurrentVersion\\RunServices";
const char* const uninstallInHive = "Microsoft\\Windows\\CurrentVersion\\Uninstall\\rhcjg7j0e38v";
const char* const otherUninstallInHive = "Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mail";

// One value as the builder writes it and the dump shows it.
struct HiveValue {
    const char* key;
    const char* name;
    const char* text;
    DWORD type;
};

class HiveClean : public EngineTest {
protected:
    HiveClean() { folder.makeFolder("config"); }
    ~HiveClean() override { sim::closeHives(); }

    std::string software() const { return folder.hostPath("config/SOFTWARE"); }
    std::string system() const { return folder.hostPath("config/SYSTEM"); }

    void makeSoftware(const std::vector<HiveValue>& values) {
        hives::HiveBuilder builder(software());
        for (const HiveValue& value : values) builder.text(value.key, value.name, value.text, value.type);
        builder.dword(runInHive, "Count", 3).commit();
    }
    void load(sim::MachineHive which, const char* relative) {
        std::string problem;
        ASSERT_TRUE(sim::loadHive(which, folder.path(relative), problem)) << problem;
    }
    void detected(const std::string& path) {
        copyText(scanState.currentFile, sizeof scanState.currentFile, path.c_str());
    }
    // Closes the hives and expects the file to hold what it held before
    // less exactly the lines of the values given.
    void expectOnlyGone(const std::string& file, const std::string& before, const std::vector<std::string>& gone) {
        const std::vector<sim::HiveOutcome> outcomes = sim::closeHives();
        ASSERT_FALSE(outcomes.empty());
        for (const sim::HiveOutcome& outcome : outcomes) EXPECT_TRUE(outcome.problem.empty()) << outcome.problem;
        bool missing = false;
        const std::string expected = hives::withoutLines(before, gone, missing);
        EXPECT_FALSE(missing) << "a value said to go was not there before";
        EXPECT_EQ(hives::hiveDump(file), expected);
    }
    static std::string line(const HiveValue& value) {
        return hives::dumpLine(value.name, value.type, hives::utf16(value.text));
    }
};

TEST_F(HiveClean, OnlyTheRunValuesThatStartTheFileGoWhateverTheirSpelling) {
    const std::vector<HiveValue> family = {
        {runInHive, "Karvex1", "C:\\WINDOWS\\SYSTEM32\\BAD.EXE", REG_SZ},
        {runInHive, "karvex2", "\"c:\\windows\\system32\\bad.exe\" -run", REG_SZ},
        {runInHive, "Karvex3", "%SystemRoot%\\System32\\bad.exe", REG_EXPAND_SZ},
        {runInHive, "Karvex4", "bad.exe", REG_SZ},
        {runServicesInHive, "Service", "C:\\Windows\\System32\\bad.exe /service", REG_SZ},
    };
    const std::vector<HiveValue> others = {
        {runInHive, "Mail", "C:\\Program Files\\Mail\\mail.exe", REG_SZ},
        {runInHive, "Old", "C:\\WINDOWS\\system32\\bad.exe.old", REG_SZ},
        {runInHive, "Helper", "C:\\WINDOWS\\system32\\notbad.exe", REG_SZ},
        {runInHive, "Empty", "", REG_SZ},
        {runServicesInHive, "Keep", "C:\\Program Files\\Other\\other.exe", REG_SZ},
    };
    std::vector<HiveValue> all = others;
    for (size_t i = 0; i < family.size(); ++i) all.insert(all.begin() + static_cast<long>(2 * i), family[i]);
    makeSoftware(all);
    const std::string before = hives::hiveDump(software());
    load(sim::MachineHive::software, "config\\SOFTWARE");
    detected(systemFolder() + "\\bad.exe");
    EXPECT_EQ(cleanRegistryFor("W32/Karvex.Trojan"), 1);
    EXPECT_EQ(window.lines().size(), family.size());
    std::vector<std::string> gone;
    for (const HiveValue& value : family) gone.push_back(line(value));
    expectOnlyGone(software(), before, gone);
}

TEST_F(HiveClean, TheUninstallEntryAndTheFamilysOwnStartUpValueGoAfterADelete) {
    const HiveValue uninstall{uninstallInHive, "UninstallString", "C:\\WINDOWS\\uninstall.exe /x", REG_SZ};
    const HiveValue startUp{runInHive, "SMrhcjg7j0e38v", "C:\\WINDOWS\\rhcjg7j0e38v.exe", REG_SZ};
    makeSoftware({uninstall,
                  startUp,
                  {uninstallInHive, "DisplayName", "Something", REG_SZ},
                  {otherUninstallInHive, "UninstallString", "C:\\Program Files\\Mail\\uninstall.exe", REG_SZ},
                  {runInHive, "Mail", "C:\\Program Files\\Mail\\mail.exe", REG_SZ}});
    const std::string before = hives::hiveDump(software());
    load(sim::MachineHive::software, "config\\SOFTWARE");
    EXPECT_TRUE(afterFileRemoved());
    expectOnlyGone(software(), before, {line(uninstall), line(startUp)});
}

// The hive of a 64-bit system keeps its 32-bit programs' keys under
// Wow6432Node, where the family's files, 32-bit programs, leave their traces.
TEST_F(HiveClean, TheHivesWow6432NodeIsCleanedAsThe32BitView) {
    const char* const run32 = "Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
    const char* const uninstall32 = "Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\rhcjg7j0e38v";
    const std::vector<HiveValue> family = {
        {run32, "Karvex32", "C:\\WINDOWS\\SYSTEM32\\BAD.EXE", REG_SZ},
        {runInHive, "Karvex64", "C:\\Windows\\System32\\bad.exe", REG_SZ},
        {uninstall32, "UninstallString", "C:\\WINDOWS\\uninstall.exe /x", REG_SZ},
        {run32, "SMrhcjg7j0e38v", "C:\\WINDOWS\\rhcjg7j0e38v.exe", REG_SZ},
    };
    std::vector<HiveValue> all = family;
    all.push_back({run32, "Mail", "C:\\Program Files\\Mail\\mail.exe", REG_SZ});
    // Without an uninstall entry beside it, the 64-bit view's stays.
    all.push_back({runInHive, "SMrhcjg7j0e38v", "C:\\WINDOWS\\System32\\rhcjg7j0e38v.exe", REG_SZ});
    makeSoftware(all);
    const std::string before = hives::hiveDump(software());
    load(sim::MachineHive::software, "config\\SOFTWARE");
    detected(systemFolder() + "\\bad.exe");
    cleanRegistryFor("W32/Karvex.Trojan");
    EXPECT_EQ(window.lines().size(), 2u);
    EXPECT_TRUE(afterFileRemoved());
    std::vector<std::string> gone;
    for (const HiveValue& value : family) gone.push_back(line(value));
    expectOnlyGone(software(), before, gone);
}

class ServiceKeysInHive : public HiveClean, public ::testing::WithParamInterface<DWORD> {
protected:
    static std::string set(unsigned number) { return number == 1 ? "ControlSet001" : "ControlSet002"; }
};

// The family's service is registered in both control sets; which one the
// system starts from makes no difference to what goes.
TEST_P(ServiceKeysInHive, TheServiceGoesFromBothControlSets) {
    {
        hives::HiveBuilder builder(system());
        for (unsigned number : {1u, 2u}) {
            const std::string services = set(number) + "\\Services\\";
            builder.text(services + "karvex", "ImagePath", "C:\\WINDOWS\\system32\\karvex.exe")
                .text(services + "karvex\\Enum", "0", "Root\\LEGACY_KARVEX\\0000")
                .raw(services + "karvex\\Security", "Security", REG_BINARY, "\x01\x00\x14\x80")
                .text(services + "Tcpip", "ImagePath", "system32\\drivers\\tcpip.sys", REG_EXPAND_SZ)
                .key(services + "Tcpip\\Parameters")
                .text(set(number) + "\\Control", "Marker", set(number));
        }
        builder.dword("Select", "Current", GetParam()).commit();
    }
    load(sim::MachineHive::system, "config\\SYSTEM");
    EXPECT_TRUE(deleteServiceKeys("karvex"));
    sim::closeHives();
    for (unsigned number : {1u, 2u}) {
        const std::string services = set(number) + "\\Services\\";
        EXPECT_FALSE(hives::hiveHasKey(system(), services + "karvex")) << services;
        EXPECT_TRUE(hives::hiveHasValue(system(), services + "Tcpip", "ImagePath")) << services;
        EXPECT_TRUE(hives::hiveHasKey(system(), services + "Tcpip\\Parameters")) << services;
    }
    EXPECT_TRUE(hives::hiveHasValue(system(), "Select", "Current"));
    EXPECT_FALSE(hives::hiveHasKey(system(), "CurrentControlSet"));
}

// A file queued for deletion at the next start is queued in the control
// set the system will start from.
TEST_P(ServiceKeysInHive, ARestartDeletionIsQueuedInTheCurrentControlSet) {
    hives::HiveBuilder(system())
        .key("ControlSet001\\Control\\Session Manager")
        .key("ControlSet002\\Control\\Session Manager")
        .dword("Select", "Current", GetParam())
        .commit();
    load(sim::MachineHive::system, "config\\SYSTEM");
    ASSERT_TRUE(MoveFileExA("C:\\WINDOWS\\bad.exe", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    sim::closeHives();
    const std::string pending = "PendingFileRenameOperations";
    EXPECT_TRUE(hives::hiveHasValue(system(), set(GetParam()) + "\\Control\\Session Manager", pending));
    EXPECT_FALSE(hives::hiveHasValue(system(), set(3 - GetParam()) + "\\Control\\Session Manager", pending));
    const std::string stored = hives::utf16(std::string("\\??\\C:\\WINDOWS\\bad.exe") + '\0' + '\0');
    EXPECT_NE(hives::hiveDump(system()).find(hives::dumpLine(pending, REG_MULTI_SZ, stored)), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(EitherSet, ServiceKeysInHive, ::testing::Values(1u, 2u));

} // namespace
