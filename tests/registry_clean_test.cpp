// The registry and hosts clean-up of a hit, against the simulated registry
// natively and the real one under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "change_journal.h"
#include "engine_test.h"
#include "exe_check.h"
#include "pe_sample.h"
#include "registry_fixture.h"
#include "registry_clean.h"
#include "registry_ops.h"
#include "text_sample.h"
#include "text_util.h"

#ifndef _WIN32
#include "fake_windows.h"
#endif

namespace {

const char* const runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const runServicesKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
const char* const uninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\rhcjg7j0e38v";
const char* const familyLine = "System Registry     W32/Karvex.Trojan removed";

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    return text;
}

// A registry export's text for one value under HKEY_LOCAL_MACHINE: a string
// with its escapes, or the bytes of another type.
std::string exportValue(const std::string& key, const std::string& name, const std::string& data, DWORD type,
                        bool terminated) {
    std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\" + key + "]\n\"" + name + "\"=";
    if (type == REG_SZ && terminated) {
        text += '"';
        for (char c : data) text += (c == '\\' || c == '"') ? std::string{'\\', c} : std::string{c};
        return text + "\"\n";
    }
    char number[16]; // a 32-bit type in hex, or a comma and one byte
    snprintf(number, sizeof number, "%lx", static_cast<unsigned long>(type));
    text += std::string("hex(") + number + "):";
    const std::string bytes = terminated ? data + '\0' : data;
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(number, sizeof number, "%s%02x", i == 0 ? "" : ",", static_cast<unsigned char>(bytes[i]));
        text += number;
    }
    return text + "\n";
}

// Where a test puts a key of the 32-bit view of a 64-bit system: natively
// straight at its place under Software\Wow6432Node, where the simulated
// machine's view must lead; on Windows through the view, as a 32-bit
// program writes it.
#ifdef _WIN32
constexpr REGSAM setUpView = KEY_WOW64_32KEY;
std::string setUpPath(const std::string& key) { return key; }
#else
constexpr REGSAM setUpView = 0;
std::string setUpPath(const std::string& key) {
    const std::string software = "Software";
    return software + "\\Wow6432Node" + key.substr(software.size());
}
#endif

// Values the test writes under HKEY_LOCAL_MACHINE, gone again when it ends,
// so that a real registry is left as it was found.
class MachineValues {
public:
    MachineValues() = default;
    ~MachineValues() {
        while (!scenarios_.empty()) scenarios_.pop_back(); // the last one first
    }
    MachineValues(const MachineValues&) = delete;
    MachineValues& operator=(const MachineValues&) = delete;

    void set(const std::string& key, const std::string& name, const std::string& data, DWORD type = REG_SZ,
             bool terminated = true) {
        scenarios_.emplace_back(new RegistryScenario);
        ASSERT_TRUE(scenarios_.back()->load(exportValue(key, name, data, type, terminated)))
            << scenarios_.back()->error();
    }
    void load(const std::string& exportText) {
        scenarios_.emplace_back(new RegistryScenario);
        ASSERT_TRUE(scenarios_.back()->load("REGEDIT4\n\n" + exportText)) << scenarios_.back()->error();
    }
    // The same in the 32-bit view of a 64-bit system.
    void set32(const std::string& key, const std::string& name, const std::string& data) {
        scenarios_.emplace_back(new RegistryScenario(setUpView));
        ASSERT_TRUE(scenarios_.back()->load(exportValue(setUpPath(key), name, data, REG_SZ, true)))
            << scenarios_.back()->error();
    }
    static bool has(const std::string& key, const std::string& name) {
        RegistryValue value;
        return readRegistryValue(HKEY_LOCAL_MACHINE, key, name, value);
    }
    static bool has32(const std::string& key, const std::string& name) {
        RegistryValue value;
        return readRegistryValue(HKEY_LOCAL_MACHINE, setUpPath(key), name, value, setUpView);
    }
    static bool hasKey(const std::string& key) { return registryKeyExists(HKEY_LOCAL_MACHINE, key); }

private:
    std::vector<std::unique_ptr<RegistryScenario>> scenarios_;
};

class RegistryClean : public EngineTest {
protected:
    // As the executable check leaves it while a hit is cleaned up.
    void detected(const std::string& path) {
        copyText(scanState.currentFile, sizeof scanState.currentFile, path.c_str());
    }
    void cleanRun() { cleanRunKey(HKEY_LOCAL_MACHINE, runKey); }

    MachineValues registry;
};

TEST_F(RegistryClean, AQuotedCapitalisedRunValueWithArgumentsIsRemoved) {
    const std::string file = folder.path("bad.exe");
    registry.set(runKey, "qv-quoted", "\"" + upper(file) + "\" -start");
    registry.set(runKey, "qv-other", "\"" + file + ".old\" -start");
    detected(file);
    cleanRun();
    EXPECT_FALSE(MachineValues::has(runKey, "qv-quoted"));
    EXPECT_TRUE(MachineValues::has(runKey, "qv-other")); // another file whose name begins like it
    EXPECT_EQ(window.lines(), std::vector<std::string>{familyLine});
    EXPECT_STREQ(scanState.runValueName, "qv-quoted");
}

TEST_F(RegistryClean, AValueThatExpandsToTheFileIsRemoved) {
    const std::string file = windowsFolder() + "\\qvtest\\bad.exe";
    registry.set(runKey, "qv-expand", "%windir%\\qvtest\\bad.exe /s", REG_EXPAND_SZ);
    detected(file);
    cleanRun();
    EXPECT_FALSE(MachineValues::has(runKey, "qv-expand"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{familyLine});
}

TEST_F(RegistryClean, ABareNameCountsOnlyForItsOwnFileInASystemFolder) {
    registry.set(runKey, "qv-bare", "bad.exe -x");
    registry.set(runKey, "qv-notbad", "notbad.exe");
    detected(folder.path("bad.exe")); // not in a system folder
    cleanRun();
    EXPECT_TRUE(MachineValues::has(runKey, "qv-bare"));
    detected(systemFolder() + "\\bad.exe");
    cleanRun();
    EXPECT_FALSE(MachineValues::has(runKey, "qv-bare"));
    EXPECT_TRUE(MachineValues::has(runKey, "qv-notbad"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{familyLine});
}

TEST_F(RegistryClean, EveryValueIsExaminedAfterADeletionMovesTheOthersDown) {
    const std::string file = folder.path("bad.exe");
    registry.set(runKey, "qv-a", file);
    registry.set(runKey, "qv-b", file + " /b");
    registry.set(runKey, "qv-keep", "c:\\program files\\mail\\mail.exe");
    registry.set(runKey, "qv-c", "\"" + file + "\"");
    detected(file);
    cleanRun();
    for (const char* gone : {"qv-a", "qv-b", "qv-c"}) EXPECT_FALSE(MachineValues::has(runKey, gone)) << gone;
    EXPECT_TRUE(MachineValues::has(runKey, "qv-keep"));
    EXPECT_EQ(window.lines().size(), 3u);
}

TEST_F(RegistryClean, LongAndNonStringDataIsJudgedWholeAndSafely) {
    const std::string file = folder.path("bad.exe");
    registry.set(runKey, "qv-long", file + " " + std::string(2000, 'a'));
    registry.set(runKey, "qv-binary", file, REG_BINARY, false);
    registry.set(runKey, "qv-long-other", std::string(3000, 'x'));
    detected(file);
    cleanRun();
    EXPECT_FALSE(MachineValues::has(runKey, "qv-long"));
    EXPECT_FALSE(MachineValues::has(runKey, "qv-binary"));
    EXPECT_TRUE(MachineValues::has(runKey, "qv-long-other"));
}

TEST_F(RegistryClean, ALaterHitDeletesTheRememberedNameEverywhereWithItsOwnName) {
    registry.load(R"([HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\RunServices]
"qv-remembered"="whatever"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\rhcjg7j0e38v]
"qv-remembered"="whatever"
)");
    copyText(scanState.runValueName, sizeof scanState.runValueName, "qv-remembered");
    cleanRegistryFor("W32/Karvex.Bds.Trojan");
    EXPECT_FALSE(MachineValues::has(runServicesKey, "qv-remembered"));
    EXPECT_FALSE(MachineValues::has(uninstallKey, "qv-remembered"));
    EXPECT_EQ(window.lines(), std::vector<std::string>(2, "System Registry     W32/Karvex.Bds.Trojan removed"));
}

TEST_F(RegistryClean, AfterADeleteTheFamilysUninstallEntryAndOwnStartUpValueGo) {
    registry.load(R"([HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\rhcjg7j0e38v]
"UninstallString"="C:\\WINDOWS\\uninstall.exe /x"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run]
"SMrhcjg7j0e38v"="C:\\WINDOWS\\rhcjg7j0e38v.exe"
)");
    EXPECT_TRUE(afterFileRemoved());
    EXPECT_FALSE(MachineValues::has(uninstallKey, "UninstallString"));
    EXPECT_FALSE(MachineValues::has(runKey, "SMrhcjg7j0e38v"));
    EXPECT_TRUE(window.lines().empty());
}

TEST_F(RegistryClean, WithoutTheUninstallEntryTheStartUpValueIsNotLookedAt) {
    registry.set(runKey, "SMrhcjg7j0e38v", "C:\\WINDOWS\\rhcjg7j0e38v.exe");
    EXPECT_FALSE(afterFileRemoved());
    EXPECT_TRUE(MachineValues::has(runKey, "SMrhcjg7j0e38v"));
    registry.set(uninstallKey, "UninstallString", "C:\\Program Files\\Other\\remove.exe");
    registry.set(runKey, "SMrhcjg7j0e38v", "C:\\Program Files\\Other\\other.exe");
    EXPECT_TRUE(afterFileRemoved()); // neither names the family's files
    EXPECT_TRUE(MachineValues::has(uninstallKey, "UninstallString"));
    EXPECT_TRUE(MachineValues::has(runKey, "SMrhcjg7j0e38v"));
}

TEST_F(RegistryClean, AServiceRegistrationGoesFromBothControlSets) {
    const std::string first = "SYSTEM\\ControlSet001\\Services\\qvsvc";
    registry.load(R"([HKEY_LOCAL_MACHINE\SYSTEM\ControlSet001\Services\qvsvc\Enum]
[HKEY_LOCAL_MACHINE\SYSTEM\ControlSet001\Services\qvsvc\Security]
)");
    EXPECT_TRUE(deleteServiceKeys("qvsvc"));
    EXPECT_FALSE(MachineValues::hasKey(first));
    EXPECT_FALSE(deleteServiceKeys("qvsvc"));
}

// A 64-bit system of the NT family keeps a second Run key, uninstall
// entries and the rest of Software for its 32-bit programs, which the
// family's files are. The 9x family ignores the view flags, as it does the
// whole access mask: both views are its one registry.
class RegistryCleanBothViews : public RegistryClean {
protected:
    void SetUp() override {
        if (!playsFamily(VER_PLATFORM_WIN32_NT)) GTEST_SKIP() << "a 9x system has one view";
    }
};

class RegistryCleanOneView : public RegistryClean {
protected:
    void SetUp() override {
        if (!playsFamily(VER_PLATFORM_WIN32_WINDOWS)) GTEST_SKIP() << "an NT system here has two views";
    }
};

TEST_F(RegistryCleanBothViews, AFamilyStartUpValueGoesFromEitherViewAndAnotherProgramsStays) {
    const std::string file = folder.path("bad.exe");
    registry.set(runKey, "qv-64", file);
    registry.set32(runKey, "qv-32", "\"" + file + "\" /start");
    registry.set32(runKey, "qv-other32", "c:\\program files\\mail\\mail.exe");
    registry.set32(runServicesKey, "qv-service32", file);
    detected(file);
    cleanRegistryFor("W32/Karvex.Trojan");
    EXPECT_FALSE(MachineValues::has(runKey, "qv-64"));
    EXPECT_FALSE(MachineValues::has32(runKey, "qv-32"));
    EXPECT_FALSE(MachineValues::has32(runServicesKey, "qv-service32"));
    EXPECT_TRUE(MachineValues::has32(runKey, "qv-other32"));
    EXPECT_EQ(window.lines(), std::vector<std::string>(3, familyLine));
}

TEST_F(RegistryCleanBothViews, TheRememberedNameGoesFromBothViewsAsTwoRemovals) {
    registry.set(runKey, "qv-remembered", "whatever");
    registry.set32(runKey, "qv-remembered", "whatever");
    registry.set32(uninstallKey, "qv-remembered", "whatever");
    copyText(scanState.runValueName, sizeof scanState.runValueName, "qv-remembered");
    cleanRegistryFor("W32/Karvex.Bds.Trojan");
    EXPECT_FALSE(MachineValues::has(runKey, "qv-remembered"));
    EXPECT_FALSE(MachineValues::has32(runKey, "qv-remembered"));
    EXPECT_FALSE(MachineValues::has32(uninstallKey, "qv-remembered"));
    EXPECT_EQ(window.lines(), std::vector<std::string>(3, "System Registry     W32/Karvex.Bds.Trojan removed"));
}

TEST_F(RegistryCleanBothViews, TheUninstallEntryOfThe32BitViewGoesWithItsOwnStartUpValueOnly) {
    registry.set32(uninstallKey, "UninstallString", "C:\\WINDOWS\\uninstall.exe /x");
    registry.set32(runKey, "SMrhcjg7j0e38v", "C:\\WINDOWS\\rhcjg7j0e38v.exe");
    registry.set(runKey, "SMrhcjg7j0e38v", "C:\\WINDOWS\\rhcjg7j0e38v.exe");
    EXPECT_TRUE(afterFileRemoved());
    EXPECT_FALSE(MachineValues::has32(uninstallKey, "UninstallString"));
    EXPECT_FALSE(MachineValues::has32(runKey, "SMrhcjg7j0e38v"));
    EXPECT_TRUE(MachineValues::has(runKey, "SMrhcjg7j0e38v")) << "no uninstall entry in the 64-bit view";
}

// What a front end's record is told: where each value was, so that putting
// it back puts it there.
std::vector<std::string> journalledKeys;
void recordValueRemoved(HKEY, const char* keyPath, const RegistryValueCopy& value) {
    journalledKeys.push_back(std::string(keyPath) + " " + value.name);
}
void ignoreKeys(HKEY, const std::vector<RegistryKeyCopy>&) {}
void ignoreFileLine(ResultLine, const char*, const char*) {}
void ignoreRestartEntry(const char*, bool) {}
const ChangeJournal valueRecorder = {recordValueRemoved, ignoreKeys, ignoreFileLine, ignoreRestartEntry, nullptr};

// The journal is told of each removal once, where the value was.
std::vector<std::string> journalled(const std::function<void()>& clean) {
    journalledKeys.clear();
    changeJournal = &valueRecorder;
    clean();
    changeJournal = nullptr;
    return journalledKeys;
}

TEST_F(RegistryCleanBothViews, AValueOfThe32BitViewIsJournalledUnderWow6432Node) {
    const std::string file = folder.path("bad.exe");
    registry.set(runKey, "qv-64", file);
    registry.set32(runKey, "qv-32", file);
    detected(file);
    EXPECT_EQ(journalled([this] { cleanRun(); }),
              (std::vector<std::string>{std::string(runKey) + " qv-64",
                                        "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run qv-32"}));
}

TEST_F(RegistryCleanOneView, EachValueIsRemovedOnceThoughBothViewsAreLookedIn) {
    const std::string file = folder.path("bad.exe");
    registry.set(runKey, "qv-once", file);
    registry.set(runServicesKey, "qv-remembered", "whatever");
    copyText(scanState.runValueName, sizeof scanState.runValueName, "qv-remembered");
    detected(file);
    EXPECT_EQ(journalled([] { cleanRegistryFor("W32/Karvex.Trojan"); }),
              (std::vector<std::string>{std::string(runServicesKey) + " qv-remembered",
                                        std::string(runKey) + " qv-once"}));
    EXPECT_FALSE(MachineValues::has(runKey, "qv-once"));
    EXPECT_FALSE(MachineValues::has(runServicesKey, "qv-remembered"));
    EXPECT_EQ(window.lines(), std::vector<std::string>(2, familyLine));
}

// A journal that counts the removals it is told of, and whose record stops
// being whole when the test says so.
int removalsTold = 0;
bool recordIsWhole = true;
void countValue(HKEY, const char*, const RegistryValueCopy&) { ++removalsTold; }
void countKeys(HKEY, const std::vector<RegistryKeyCopy>&) { ++removalsTold; }
bool wholeRecord() { return recordIsWhole; }
const ChangeJournal countingJournal = {countValue, countKeys, ignoreFileLine, ignoreRestartEntry, wholeRecord};

class RegistryCleanRecorded : public RegistryClean {
protected:
    RegistryCleanRecorded() {
        removalsTold = 0;
        recordIsWhole = true;
        changeJournal = &countingJournal;
    }
    ~RegistryCleanRecorded() override { changeJournal = nullptr; }
};

TEST_F(RegistryCleanRecorded, OnceTheRecordIsNotWholeNoValueOrKeyIsRemoved) {
    registry.set(runKey, "qv-kept", "whatever");
    registry.load(R"([HKEY_LOCAL_MACHINE\SYSTEM\ControlSet001\Services\qvkept\Enum]
)");
    recordIsWhole = false;
    EXPECT_FALSE(deleteRegValue(HKEY_LOCAL_MACHINE, runKey, "qv-kept"));
    EXPECT_FALSE(deleteServiceKeys("qvkept"));
    EXPECT_TRUE(MachineValues::has(runKey, "qv-kept"));
    EXPECT_TRUE(MachineValues::hasKey("SYSTEM\\ControlSet001\\Services\\qvkept\\Enum"));
    EXPECT_EQ(removalsTold, 0);
    recordIsWhole = true;
    EXPECT_TRUE(deleteRegValue(HKEY_LOCAL_MACHINE, runKey, "qv-kept"));
    EXPECT_TRUE(deleteServiceKeys("qvkept"));
    EXPECT_FALSE(MachineValues::has(runKey, "qv-kept"));
    EXPECT_FALSE(MachineValues::hasKey("SYSTEM\\ControlSet001\\Services\\qvkept"));
    EXPECT_EQ(removalsTold, 3) << "the value, then Enum and the service's key as each went";
}

// Larger than any copy the journal takes, so that it cannot be recorded.
const std::string uncopiedData(((size_t{1} << 20) + 1), 'q');

TEST_F(RegistryCleanRecorded, AValueThatCannotBeCopiedStaysAndNoLineTellsOfIt) {
    registry.set(runKey, "qv-huge", uncopiedData, REG_BINARY, false);
    copyText(scanState.runValueName, sizeof scanState.runValueName, "qv-huge");
    cleanRegistryFor("W32/Karvex.Trojan");
    EXPECT_TRUE(MachineValues::has(runKey, "qv-huge"));
    EXPECT_TRUE(window.lines().empty());
    EXPECT_EQ(removalsTold, 0);
    changeJournal = nullptr; // without a journal, as the window program runs
    cleanRegistryFor("W32/Karvex.Trojan");
    EXPECT_FALSE(MachineValues::has(runKey, "qv-huge"));
    EXPECT_EQ(window.lines(), std::vector<std::string>{familyLine});
}

// The hosts file of the running system, put back afterwards.
class HostsFile {
public:
    HostsFile() {
        char path[MAX_PATH];
        if (!hostsFilePath(path)) throw std::runtime_error("no hosts file on this system");
        windowsPath_ = path;
#ifdef _WIN32
        host_ = windowsPath_;
#else
        // Its folders need not exist yet on the simulated drive.
        std::string rest = windowsPath_.substr(3);
        std::replace(rest.begin(), rest.end(), '\\', '/');
        host_ = sim::hostPathOf(windowsPath_.substr(0, 3)) + "/" + rest;
#endif
        std::ifstream in(host_, std::ios::binary);
        hadFile_ = static_cast<bool>(in);
        if (hadFile_) saved_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ~HostsFile() {
        if (hadFile_) {
            write(saved_);
        } else {
            std::error_code ignored;
            std::filesystem::remove(host_, ignored);
        }
    }
    void write(const std::string& content) const {
        std::filesystem::create_directories(std::filesystem::path(host_).parent_path());
        std::ofstream(host_, std::ios::binary | std::ios::trunc) << content;
    }
    bool exists() const { return std::filesystem::exists(host_); }
    const std::string& path() const { return windowsPath_; }

private:
    std::string windowsPath_;
    std::string host_;
    bool hadFile_ = false;
    std::string saved_;
};

TEST_F(RegistryClean, AHitChecksTheSystemsHostsFileAndKeepsItsOwnNameForTheFile) {
    HostsFile hosts;
    hosts.write(samples::uuencodedHosts(12));
    const samples::Bytes bytes = samples::matchingSample(8);
    folder.writeFile("s.exe", std::string(bytes.begin(), bytes.end()));
    scanState.userChoice = choiceDelete;
    checkExecutable(exeCheckName, folder.path("s.exe").c_str());
    EXPECT_EQ(window.lines(), (std::vector<std::string>{hosts.path() + "     W32/Nyxem.Worm removed",
                                                        folder.path("s.exe") + "     W32/Karvex.Bds.Trojan removed"}));
    EXPECT_FALSE(hosts.exists());
    EXPECT_STREQ(scanState.detectedName, "W32/Karvex.Bds.Trojan");
    EXPECT_EQ(scanState.filesInfected, 2);
    EXPECT_EQ(scanState.filesRemoved, 2);
}

TEST_F(RegistryClean, APlainHostsFileIsLeftAlone) {
    HostsFile hosts;
    hosts.write(samples::plainHosts());
    detected(folder.path("bad.exe"));
    cleanRegistryFor("W32/Karvex.Bds.Trojan");
    EXPECT_TRUE(hosts.exists());
    EXPECT_TRUE(window.lines().empty());
}

} // namespace
