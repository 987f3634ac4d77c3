// The simulated registry on a disk's own hive files: finding the Windows
// installation, reading its hives as the ANSI calls show them, the system's
// CurrentControlSet, refusing damaged hives, and writing changes back so
// that nothing is ever lost.
#include <fcntl.h>
#include <sys/file.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hive_builder.h"
#include "host_tree.h"
#include "fake_windows.h"
#include "registry_fixture.h"

namespace {

namespace fs = std::filesystem;

const char* const softwarePath = "C:\\Windows\\System32\\config\\SOFTWARE";
const char* const systemPath = "C:\\Windows\\System32\\config\\SYSTEM";
const char* const runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const runInHive = "Microsoft\\Windows\\CurrentVersion\\Run";

void writeHostFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

void expectBytes(const std::string& path, const std::string& wanted) {
    EXPECT_TRUE(hosttree::hostContent(path) == wanted) << path << " is not byte for byte what it should be";
}

// A folder laid out as a Windows volume, presented as drive C:.
class SimHives : public ::testing::Test {
protected:
    SimHives() {
        sim::reset();
        fs::create_directories(config);
        sim::mapDrive('C', volume.path());
    }
    ~SimHives() override { sim::reset(); }

    std::string host(const std::string& relative) const { return volume.path() + "/" + relative; }
    std::string software() const { return config + "/SOFTWARE"; }
    std::string system() const { return config + "/SYSTEM"; }

    // A SOFTWARE hive with a Run key of two values, committed.
    void makeSoftware() {
        hives::HiveBuilder(software())
            .text(runInHive, "Mail", "C:\\Program Files\\Mail\\mail.exe")
            .text(runInHive, "bad", "C:\\WINDOWS\\system32\\bad.exe")
            .commit();
    }
    // A SYSTEM hive with two control sets, each with a marker value, and
    // Select\Current naming one of them.
    void makeSystem(DWORD current) {
        hives::HiveBuilder(system())
            .text("ControlSet001\\Control", "Marker", "one")
            .text("ControlSet002\\Control", "Marker", "two")
            .dword("Select", "Current", current)
            .dword("Select", "Default", 1)
            .commit();
    }
    std::vector<std::string> configFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(config)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    bool load(sim::MachineHive which, const std::string& path) {
        problem.clear();
        return sim::loadHive(which, path, problem);
    }

    hosttree::OutsideFolder volume;
    std::string config = volume.path() + "/Windows/System32/config";
    std::string problem;
};

// --- finding the installation -----------------------------------------------

TEST_F(SimHives, AnNtInstallationIsFoundInAnyLetterCaseAndSpelledAsOnDisk) {
    fs::remove_all(host("Windows"));
    fs::create_directories(host("winnt/SYSTEM32/Config"));
    hives::HiveBuilder(host("winnt/SYSTEM32/Config/software")).commit();
    hives::HiveBuilder(host("winnt/SYSTEM32/Config/System")).commit();
    const sim::WindowsInstallation found = sim::findWindowsInstallation('c');
    EXPECT_EQ(found.family, sim::SystemFamily::nt);
    EXPECT_EQ(found.windowsFolder, "C:\\winnt");
    EXPECT_EQ(found.softwareHive, "C:\\winnt\\SYSTEM32\\Config\\software");
    EXPECT_EQ(found.systemHive, "C:\\winnt\\SYSTEM32\\Config\\System");
}

TEST_F(SimHives, BothHivesAreNeededAndMustBeFiles) {
    makeSoftware();
    EXPECT_EQ(sim::findWindowsInstallation('C').family, sim::SystemFamily::none);
    fs::create_directory(system());
    EXPECT_EQ(sim::findWindowsInstallation('C').family, sim::SystemFamily::none);
    fs::remove(system());
    hosttree::makeFifo(system());
    EXPECT_EQ(sim::findWindowsInstallation('C').family, sim::SystemFamily::none);
    EXPECT_EQ(sim::findWindowsInstallation('D').family, sim::SystemFamily::none); // no such drive
}

TEST_F(SimHives, AHiveLinkedFromOutsideTheDrivesIsNotFound) {
    hosttree::OutsideFolder outside;
    hives::HiveBuilder(outside.path() + "/SOFTWARE").commit();
    makeSystem(1);
    fs::create_symlink(outside.path() + "/SOFTWARE", software());
    EXPECT_EQ(sim::findWindowsInstallation('C').family, sim::SystemFamily::none);
    EXPECT_FALSE(load(sim::MachineHive::software, softwarePath));
}

TEST_F(SimHives, A9xInstallationIsKnownByItsRegistryFiles) {
    fs::remove_all(host("Windows"));
    fs::create_directories(host("WINDOWS"));
    writeHostFile(host("WINDOWS/system.dat"), "CREG");
    const sim::WindowsInstallation found = sim::findWindowsInstallation('C');
    EXPECT_EQ(found.family, sim::SystemFamily::nineX);
    EXPECT_EQ(found.windowsFolder, "C:\\WINDOWS");
    EXPECT_TRUE(found.softwareHive.empty());
}

// --- reading ----------------------------------------------------------------

TEST_F(SimHives, TheHiveIsReadAsTheAnsiCallsShowIt) {
    hives::HiveBuilder(software())
        .text(runInHive, "zeta", "C:\\z.exe")
        .text(runInHive, "Alpha", "%SystemRoot%\\a.exe", REG_EXPAND_SZ)
        .raw(runInHive, "Gr\xc3\xbc\xc3\x9f" "e", REG_SZ, hives::utf16("Stra\xdf" "e"))
        .raw(runInHive, "odd", REG_SZ, std::string("a\0b", 3))
        .raw(runInHive, "wide", REG_SZ, std::string("\x2d\x4e\x00\x00", 4))
        .dword(runInHive, "count", 42)
        .key("Microsoft\\b")
        .key("Microsoft\\_u")
        .key("Microsoft\\A")
        .commit();
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    std::vector<RegistryValue> values;
    ASSERT_TRUE(readRegistryValues(HKEY_LOCAL_MACHINE, "software\\MICROSOFT\\windows\\currentversion\\run", values));
    EXPECT_EQ(values, (std::vector<RegistryValue>{{"zeta", REG_SZ, stringData("C:\\z.exe")},
                                                  {"Alpha", REG_EXPAND_SZ, stringData("%SystemRoot%\\a.exe")},
                                                  {"Gr\xfc\xdf" "e", REG_SZ, stringData("Stra\xdf" "e")},
                                                  {"odd", REG_SZ, "a"},
                                                  {"wide", REG_SZ, std::string("?\0", 2)},
                                                  {"count", REG_DWORD, dwordData(42)}}));
    std::vector<std::string> names;
    ASSERT_TRUE(readSubkeyNames(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft", names));
    EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "Windows", "_u"}));
}

TEST_F(SimHives, TheHiveTakesThePlaceOfTheMachinesOwnKey) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Before", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    makeSoftware();
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Before"));
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_KEY_DELETED);
    RegCloseKey(key);
    EXPECT_TRUE(registryKeyExists(HKEY_LOCAL_MACHINE, runKey));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE"), ERROR_ACCESS_DENIED);
}

class ControlSets : public SimHives, public ::testing::WithParamInterface<DWORD> {};

TEST_P(ControlSets, CurrentControlSetIsTheOneSelectCurrentNames) {
    makeSystem(GetParam());
    ASSERT_TRUE(load(sim::MachineHive::system, systemPath)) << problem;
    RegistryValue marker;
    ASSERT_TRUE(readRegistryValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control", "Marker", marker));
    EXPECT_EQ(marker.data, stringData(GetParam() == 1 ? "one" : "two"));
    std::vector<std::string> names;
    ASSERT_TRUE(readSubkeyNames(HKEY_LOCAL_MACHINE, "SYSTEM", names));
    EXPECT_EQ(names, (std::vector<std::string>{"ControlSet001", "ControlSet002", "CurrentControlSet", "Select"}));

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\New", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const std::vector<sim::HiveOutcome> outcomes = sim::closeHives();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].written) << outcomes[0].problem;
    const std::string chosen = GetParam() == 1 ? "ControlSet001" : "ControlSet002";
    const std::string other = GetParam() == 1 ? "ControlSet002" : "ControlSet001";
    EXPECT_TRUE(hives::hiveHasKey(system(), chosen + "\\Control\\New"));
    EXPECT_FALSE(hives::hiveHasKey(system(), other + "\\Control\\New"));
    EXPECT_FALSE(hives::hiveHasKey(system(), "CurrentControlSet"));
}

INSTANTIATE_TEST_SUITE_P(EitherSet, ControlSets, ::testing::Values(1u, 2u));

TEST_F(SimHives, ASystemHiveThatNamesNoControlSetIsRefused) {
    hives::HiveBuilder(system()).text("ControlSet001\\Control", "Marker", "one").dword("Select", "Current", 3).commit();
    const std::string before = hosttree::hostContent(system());
    EXPECT_FALSE(load(sim::MachineHive::system, systemPath));
    EXPECT_NE(problem.find("Select\\Current"), std::string::npos) << problem;
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, "SYSTEM"));
    EXPECT_TRUE(sim::closeHives().empty());
    expectBytes(system(), before);
}

TEST_F(SimHives, NtDeletesOnlyAKeyWithoutSubkeys) {
    hives::HiveBuilder(software()).key("Vendor\\App\\Part").text("Vendor\\Other", "v", "kept").commit();
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\App"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\vendor\\app\\PART"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\App"), ERROR_SUCCESS);
    ASSERT_TRUE(sim::closeHives()[0].written);
    EXPECT_FALSE(hives::hiveHasKey(software(), "Vendor\\App"));
    EXPECT_TRUE(hives::hiveHasValue(software(), "Vendor\\Other", "v"));
}

// --- damaged hives ----------------------------------------------------------

class DamagedHives : public SimHives {
protected:
    // A real hive's bytes, with which the damaged ones are made.
    std::string validImage() {
        makeSoftware();
        const std::string image = hosttree::hostContent(software());
        fs::remove(software());
        return image;
    }
    // The file is refused, nothing of it shows, and it stays as it was.
    void expectRefused(const std::string& image) {
        writeHostFile(software(), image);
        EXPECT_FALSE(load(sim::MachineHive::software, softwarePath));
        EXPECT_FALSE(problem.empty());
        EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE"));
        EXPECT_TRUE(sim::closeHives().empty());
        expectBytes(software(), image);
        EXPECT_EQ(configFiles(), std::vector<std::string>{"SOFTWARE"}) << problem;
        fs::remove(software());
    }
};

constexpr size_t baseBlockSize = 4096;

std::string pseudoRandomBytes(size_t count, unsigned seed) {
    std::string bytes;
    unsigned state = seed;
    for (size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u; // any fixed sequence will do
        bytes += static_cast<char>(state >> 16);
    }
    return bytes;
}

TEST_F(DamagedHives, ATruncatedHiveIsRefused) {
    const std::string image = validImage();
    expectRefused(image.substr(0, image.size() - 100));
    expectRefused(image.substr(0, baseBlockSize));
    expectRefused(image.substr(0, 100));
    expectRefused("");
}

TEST_F(DamagedHives, RandomBytesAreRefused) {
    expectRefused(pseudoRandomBytes(3 * baseBlockSize, 1));
    expectRefused("regf" + pseudoRandomBytes(3 * baseBlockSize, 2));
}

TEST_F(DamagedHives, AValidHeaderOverGarbageIsRefused) {
    const std::string image = validImage();
    const std::string header = image.substr(0, baseBlockSize);
    expectRefused(header + pseudoRandomBytes(image.size() - baseBlockSize, 3));
    expectRefused(header + std::string(image.size() - baseBlockSize, '\0'));
    expectRefused(header + "hbin" + pseudoRandomBytes(image.size() - baseBlockSize - 4, 4));
}

TEST_F(DamagedHives, AHiveLeftDirtyBySystemThatStoppedIsRefused) {
    std::string image = validImage();
    image[8] = static_cast<char>(image[8] + 1); // the second sequence number
    expectRefused(image);
}

TEST_F(DamagedHives, ADamagedKeyAnywhereRefusesTheHiveBeforeAnythingIsWritten) {
    size_t damaged = 0;
    {
        hives::HiveBuilder builder(software());
        builder.text(runInHive, "bad", "C:\\bad.exe").key("Vendor\\Broken\\Below");
        damaged = builder.nodeOf("Vendor\\Broken");
        builder.commit();
    }
    std::string image = hosttree::hostContent(software());
    ASSERT_LT(damaged + 8, image.size());
    image.replace(damaged + 4, 2, "zz"); // the record's signature, after its size
    expectRefused(image);
    EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
}

// A value whose data lies past the end of the file: the hive is refused
// as it is loaded, before anything could be written into it.
TEST_F(DamagedHives, AValueThatCannotBeReadRefusesTheHive) {
    size_t broken = 0;
    {
        hives::HiveBuilder builder(software());
        builder.text(runInHive, "first", "C:\\first.exe").text(runInHive, "second", "C:\\second.exe")
            .text(runInHive, "third", "C:\\a value long enough to be kept outside its record.exe");
        broken = builder.valueOf(runInHive, "third");
        builder.commit();
    }
    std::string image = hosttree::hostContent(software());
    constexpr size_t dataOffsetAt = 12; // in the value's record, after size, "vk", name and data lengths
    ASSERT_NE(broken, 0u);
    ASSERT_LT(broken + dataOffsetAt + 4, image.size());
    image.replace(broken + dataOffsetAt, 4, "\xf0\xff\xff\x7f"); // its data far past the end of the file
    expectRefused(image);
}

// --- writing back -----------------------------------------------------------

class SavedHives : public SimHives {
protected:
    // A SOFTWARE hive with data of every kind the ANSI calls cannot show
    // exactly, beside the value the tests delete.
    void makeRichSoftware() {
        hives::HiveBuilder(software())
            .text(runInHive, "Mail", "C:\\Program Files\\Mail\\mail.exe")
            .raw(runInHive, "odd", REG_SZ, std::string("a\0b", 3))
            .raw(runInHive, "wide", REG_SZ, std::string("\x2d\x4e\x00\x00", 4))
            .raw(runInHive, "\xe4\xb8\xad", REG_BINARY, "\x01\x02")
            .raw(runInHive, "strange", 0x12345, "abc")
            .raw(runInHive, "big", REG_BINARY, pseudoRandomBytes(20000, 5))
            .text(runInHive, "bad", "C:\\WINDOWS\\system32\\bad.exe")
            .text(runInHive, "last", "C:\\last.exe", REG_EXPAND_SZ)
            .text("Vendor\\Untouched", "", "default")
            .commit();
    }
    void deleteRunValue(const char* name) {
        HKEY run = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, runKey, 0, KEY_ALL_ACCESS, &run), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteValueA(run, name), ERROR_SUCCESS);
        RegCloseKey(run);
    }
    void setValue(const char* path, const char* name, DWORD type, const std::string& data) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    // Loads the plain SOFTWARE hive and deletes one of its values.
    void changeSoftware() {
        makeSoftware();
        ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
        deleteRunValue("bad");
    }
    sim::HiveOutcome closeOne() {
        std::vector<sim::HiveOutcome> outcomes = sim::closeHives();
        EXPECT_EQ(outcomes.size(), 1u);
        return outcomes.empty() ? sim::HiveOutcome{} : outcomes[0];
    }
};

TEST_F(SavedHives, AHiveReadButNotChangedIsNotWritten) {
    makeSoftware();
    const std::string before = hosttree::hostContent(software());
    const auto modified = fs::last_write_time(software());
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    std::vector<RegistryValue> values;
    ASSERT_TRUE(readRegistryValues(HKEY_LOCAL_MACHINE, runKey, values));
    setValue(runKey, "Mail", REG_SZ, stringData("C:\\Program Files\\Mail\\mail.exe")); // the same again
    const sim::HiveOutcome outcome = closeOne();
    EXPECT_EQ(outcome.file, softwarePath);
    EXPECT_FALSE(outcome.written);
    EXPECT_TRUE(outcome.problem.empty());
    expectBytes(software(), before);
    EXPECT_EQ(fs::last_write_time(software()), modified);
    EXPECT_EQ(configFiles(), std::vector<std::string>{"SOFTWARE"});
}

TEST_F(SavedHives, AChangeIsWrittenAfterACopyAndEverythingElseStaysByteForByte) {
    makeRichSoftware();
    const std::string original = hosttree::hostContent(software());
    const std::string before = hives::hiveDump(software());
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    deleteRunValue("bad");
    // In the file before the call returned, with the copy kept first.
    expectBytes(software() + ".quorvane-backup", original);
    bool missing = false;
    const std::string expected = hives::withoutLines(
        before, {hives::dumpLine("bad", REG_SZ, hives::utf16("C:\\WINDOWS\\system32\\bad.exe"))}, missing);
    EXPECT_FALSE(missing);
    EXPECT_EQ(hives::hiveDump(software()), expected);
    const sim::HiveOutcome outcome = closeOne();
    EXPECT_TRUE(outcome.changed);
    ASSERT_TRUE(outcome.written) << outcome.problem;
    EXPECT_EQ(outcome.backup, software() + ".quorvane-backup");
    EXPECT_EQ(configFiles(), (std::vector<std::string>{"SOFTWARE", "SOFTWARE.LOG1", "SOFTWARE.quorvane-backup"}));
}

TEST_F(SavedHives, NewAndChangedDataReachesTheFileAsTheSystemStoresIt) {
    makeSoftware();
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    setValue("SOFTWARE\\Vendor\\Caf\xe9", "Name", REG_SZ, stringData("\x80uro"));
    setValue(runKey, "Mail", REG_EXPAND_SZ, stringData("%ProgramFiles%\\Mail\\mail.exe"));
    setValue(runKey, "count", REG_DWORD, dwordData(7));
    ASSERT_TRUE(closeOne().written);
    const std::string dump = hives::hiveDump(software());
    EXPECT_NE(dump.find("[\\Vendor\\Caf\xc3\xa9]\n\"Name\" 1 ac20750072006f000000\n"), std::string::npos) << dump;
    EXPECT_TRUE(hives::hiveHasValue(software(), runInHive, "count"));
    EXPECT_NE(dump.find("\"Mail\" 2 2500"), std::string::npos) << dump;
}

TEST_F(SavedHives, TheWrittenHiveAndItsCopyKeepWhoMayReadIt) {
    makeSoftware();
    fs::permissions(software(), fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    deleteRunValue("bad");
    const sim::HiveOutcome outcome = closeOne();
    ASSERT_TRUE(outcome.written) << outcome.problem;
    EXPECT_EQ(hosttree::hostMode(software()), 0600u);
    EXPECT_EQ(hosttree::hostMode(outcome.backup), 0600u);
}

TEST_F(SavedHives, AnEarlierCopyIsNeverReplaced) {
    writeHostFile(software() + ".quorvane-backup", "earlier");
    writeHostFile(software() + ".quorvane-backup.1", "earlier still");
    fs::create_directory(software() + ".quorvane-backup.2");
    writeHostFile(software() + ".quorvane-backup.3.partial", "left by a run that was stopped");
    makeSoftware();
    const std::string original = hosttree::hostContent(software());
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    deleteRunValue("bad");
    const sim::HiveOutcome outcome = closeOne();
    ASSERT_TRUE(outcome.written) << outcome.problem;
    EXPECT_EQ(outcome.backup, software() + ".quorvane-backup.4");
    expectBytes(outcome.backup, original);
    EXPECT_EQ(hosttree::hostContent(software() + ".quorvane-backup"), "earlier");
    EXPECT_EQ(hosttree::hostContent(software() + ".quorvane-backup.1"), "earlier still");
}

TEST_F(SavedHives, TheCopyGoesToTheBackupFolderWhenOneIsGiven) {
    hosttree::OutsideFolder backups;
    sim::setHiveBackupFolder(backups.path());
    makeSoftware();
    const std::string original = hosttree::hostContent(software());
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    deleteRunValue("bad");
    const sim::HiveOutcome outcome = closeOne();
    ASSERT_TRUE(outcome.written) << outcome.problem;
    EXPECT_EQ(outcome.backup, backups.path() + "/SOFTWARE.quorvane-backup");
    expectBytes(outcome.backup, original);
    EXPECT_EQ(configFiles(), (std::vector<std::string>{"SOFTWARE", "SOFTWARE.LOG1"}));
}

TEST_F(SavedHives, WithoutACopyNothingIsWritten) {
    sim::setHiveBackupFolder(volume.path() + "/no-such-folder");
    makeSoftware();
    const std::string original = hosttree::hostContent(software());
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, runKey, 0, KEY_ALL_ACCESS, &run), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(run, "bad"), ERROR_WRITE_FAULT);
    EXPECT_EQ(RegDeleteValueA(run, "Mail"), ERROR_ACCESS_DENIED) << "nothing more is tried";
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(run, "bad", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS) << "the value stays";
    RegCloseKey(run);
    const sim::HiveOutcome outcome = closeOne();
    EXPECT_FALSE(outcome.written);
    EXPECT_NE(outcome.problem.find("no copy"), std::string::npos) << outcome.problem;
    expectBytes(software(), original);
    EXPECT_EQ(configFiles(), std::vector<std::string>{"SOFTWARE"});
}

// Sets the largest file the process may write while it lives: a write past
// it fails (EFBIG) instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST_F(SavedHives, AWriteThatFailsLeavesTheHiveAsItWas) {
    makeSoftware();
    const std::string original = hosttree::hostContent(software());
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, runKey, 0, KEY_ALL_ACCESS, &run), ERROR_SUCCESS);
    const std::string large = pseudoRandomBytes(256 * 1024, 6); // its log entry is larger than the room left
    {
        const FileSizeLimit limit(original.size() + baseBlockSize); // room for the copy only
        EXPECT_EQ(RegSetValueExA(run, "large", 0, REG_BINARY, reinterpret_cast<const BYTE*>(large.data()),
                                 static_cast<DWORD>(large.size())),
                  ERROR_WRITE_FAULT);
    }
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(run, "large", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(run);
    const sim::HiveOutcome outcome = closeOne();
    EXPECT_FALSE(outcome.written);
    EXPECT_NE(outcome.problem.find("cannot be written"), std::string::npos) << outcome.problem;
    expectBytes(software(), original);
}

TEST_F(SavedHives, AFileChangedSinceItWasReadIsNotWritten) {
    makeSoftware();
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    std::ofstream(software(), std::ios::binary | std::ios::app) << "more";
    const std::string now = hosttree::hostContent(software());
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, runKey, 0, KEY_ALL_ACCESS, &run), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteValueA(run, "bad"), ERROR_SUCCESS);
    RegCloseKey(run);
    const sim::HiveOutcome outcome = closeOne();
    EXPECT_FALSE(outcome.written);
    EXPECT_NE(outcome.problem.find("changed"), std::string::npos) << outcome.problem;
    expectBytes(software(), now);
    EXPECT_EQ(configFiles(), std::vector<std::string>{"SOFTWARE"});
}

TEST_F(SavedHives, AHiveAnotherScanHoldsIsNotTakenUntilItLetsGo) {
    makeSoftware();
    ASSERT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
    const int other = open(software().c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0) << "this scan holds it";
    closeOne();
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "closing let go of it";
    EXPECT_FALSE(load(sim::MachineHive::software, softwarePath));
    EXPECT_NE(problem.find("another program"), std::string::npos) << problem;
    close(other);
    EXPECT_TRUE(load(sim::MachineHive::software, softwarePath)) << problem;
}

TEST_F(SavedHives, ClosingTakesTheHivesOutOfTheRegistry) {
    changeSoftware();
    makeSystem(1);
    ASSERT_TRUE(load(sim::MachineHive::system, systemPath)) << problem;
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, runKey, 0, KEY_READ, &run), ERROR_SUCCESS);
    const std::vector<sim::HiveOutcome> outcomes = sim::closeHives();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_TRUE(outcomes[0].written);
    EXPECT_EQ(outcomes[1].file, systemPath);
    EXPECT_FALSE(outcomes[1].changed);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(run, "Mail", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    RegCloseKey(run);
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE"));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, "SYSTEM"));
    EXPECT_TRUE(sim::closeHives().empty());
}

} // namespace
