// The simulated machine's other processes: what a test starts, what the
// listings, the libraries of each release, opening and terminating make of
// it, the images the processes hold, and WOW64, which none runs under.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "fake_windows.h"
#include "test_machine.h"

namespace {

using CreateSnapshot = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
using ProcessWalk = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32* entry);
using EnumProcessIds = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
using ModuleFileName = DWORD(WINAPI*)(HANDLE process, HMODULE module, LPSTR name, DWORD size);
using AnyFunction = void (*)();

constexpr DWORD readModule = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

template <typename Function>
Function lookUp(const char* library, const char* name) {
    HMODULE module = LoadLibraryA(library);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(GetProcAddress(module, name)));
}

class SimProcesses : public ::testing::Test {
protected:
    ~SimProcesses() override { sim::reset(); }

    static DWORD start(const std::string& imagePath) {
        sim::ProcessSetup setup;
        setup.imagePath = imagePath;
        return sim::startProcess(setup);
    }

    static HANDLE snapshot() {
        const auto create = lookUp<CreateSnapshot>("kernel32.dll", "CreateToolhelp32Snapshot");
        return create == nullptr ? INVALID_HANDLE_VALUE : create(TH32CS_SNAPPROCESS, 0);
    }

    // Every entry of the snapshot, first to last.
    static std::vector<PROCESSENTRY32> walk(HANDLE snapshot) {
        const auto first = lookUp<ProcessWalk>("kernel32.dll", "Process32First");
        const auto next = lookUp<ProcessWalk>("kernel32.dll", "Process32Next");
        std::vector<PROCESSENTRY32> entries;
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL got = first(snapshot, &entry); got; got = next(snapshot, &entry)) entries.push_back(entry);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        return entries;
    }

    static std::vector<std::string> exeFiles(const std::vector<PROCESSENTRY32>& entries) {
        std::vector<std::string> names;
        for (const PROCESSENTRY32& entry : entries) names.push_back(entry.szExeFile);
        return names;
    }

    static std::vector<DWORD> enumerated(DWORD capacity = 64) {
        std::vector<DWORD> ids(capacity);
        DWORD bytes = 0;
        const auto enumProcesses = lookUp<EnumProcessIds>("psapi.dll", "EnumProcesses");
        EXPECT_TRUE(enumProcesses(ids.data(), capacity * sizeof(DWORD), &bytes));
        ids.resize(bytes / sizeof(DWORD));
        return ids;
    }

    static bool deletable(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

    TestFolder folder; // resets the machine
};

TEST_F(SimProcesses, ListingsFollowTheStartOrderAndLeaveEndedProcessesOut) {
    const DWORD a = start("C:\\apps\\a.exe");
    const DWORD b = start("C:\\apps\\b.exe");
    const DWORD c = start("C:\\apps\\c.exe");
    for (DWORD id : {a, b, c}) {
        EXPECT_NE(id, 0u);
        EXPECT_EQ(id % 4, 0u);
        EXPECT_NE(id, GetCurrentProcessId());
    }
    EXPECT_EQ(sim::runningProcesses(), (std::vector<DWORD>{a, b, c}));
    sim::endProcess(b);
    EXPECT_FALSE(sim::processRunning(b));
    EXPECT_EQ(sim::processExitCode(b), 0u);
    EXPECT_EQ(sim::processExitCode(a), static_cast<UINT>(STILL_ACTIVE));
    EXPECT_EQ(enumerated(), (std::vector<DWORD>{0, a, c})) << "the idle process comes first on NT";
    HANDLE shot = snapshot();
    const std::vector<PROCESSENTRY32> entries = walk(shot);
    EXPECT_EQ(exeFiles(entries), (std::vector<std::string>{"[System Process]", "a.exe", "c.exe"}));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].th32ProcessID, c);
    EXPECT_TRUE(CloseHandle(shot));
}

TEST_F(SimProcesses, ASnapshotKeepsTheProcessesOfTheMomentItWasTaken) {
    const DWORD a = start("C:\\a.exe");
    const DWORD b = start("C:\\b.exe");
    HANDLE shot = snapshot();
    sim::endProcess(a);
    start("C:\\late.exe");
    EXPECT_EQ(exeFiles(walk(shot)), (std::vector<std::string>{"[System Process]", "a.exe", "b.exe"}));
    EXPECT_EQ(exeFiles(walk(shot)).size(), 3u) << "Process32First starts the walk again";
    EXPECT_TRUE(CloseHandle(shot));
    EXPECT_TRUE(sim::processRunning(b));
}

TEST_F(SimProcesses, ToolhelpGivesFullPathsOn9xBareNamesOnNtOrTheNameSetUp) {
    sim::setRelease(sim::Release::windows98);
    start("C:\\WINDOWS\\EXPLORER.EXE");
    sim::ProcessSetup odd;
    odd.imagePath = "C:\\x\\odd.exe";
    odd.toolhelpName = "ODD.EXE";
    sim::startProcess(odd);
    HANDLE shot = snapshot();
    EXPECT_EQ(exeFiles(walk(shot)), (std::vector<std::string>{"C:\\WINDOWS\\EXPLORER.EXE", "ODD.EXE"}));
    CloseHandle(shot);
    sim::setRelease(sim::Release::windows10);
    shot = snapshot();
    EXPECT_EQ(exeFiles(walk(shot)), (std::vector<std::string>{"[System Process]", "EXPLORER.EXE", "ODD.EXE"}));
    CloseHandle(shot);
}

TEST_F(SimProcesses, AWalkWantsTheEntrySizeAndASnapshotIsClosedOnce) {
    start("C:\\a.exe");
    const auto first = lookUp<ProcessWalk>("kernel32.dll", "Process32First");
    HANDLE shot = snapshot();
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry - 1;
    EXPECT_FALSE(first(shot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));
    const std::string longName(400, 'n');
    sim::ProcessSetup named;
    named.toolhelpName = longName;
    sim::startProcess(named);
    HANDLE second = snapshot();
    const std::vector<PROCESSENTRY32> entries = walk(second);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(std::string(entries[2].szExeFile), longName.substr(0, MAX_PATH - 1));
    EXPECT_TRUE(CloseHandle(shot));
    EXPECT_FALSE(CloseHandle(shot));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    entry.dwSize = sizeof entry;
    EXPECT_FALSE(first(shot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    const auto create = lookUp<CreateSnapshot>("kernel32.dll", "CreateToolhelp32Snapshot");
    constexpr DWORD snapThreads = 0x00000004; // TH32CS_SNAPTHREAD
    EXPECT_EQ(create(snapThreads, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(second);
}

// Whether GetProcAddress finds the function in the library, which must load.
bool hasFunction(const char* library, const char* function) {
    HMODULE module = LoadLibraryA(library);
    EXPECT_NE(module, nullptr) << library;
    if (GetProcAddress(module, function) != nullptr) return true;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    return false;
}

bool loads(const char* library) {
    if (LoadLibraryA(library) != nullptr) return true;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    return false;
}

TEST_F(SimProcesses, EachReleaseHasItsOwnLibrariesAndFunctions) {
    sim::setRelease(sim::Release::windows98);
    EXPECT_TRUE(hasFunction("KERNEL32.DLL", "CreateToolhelp32Snapshot"));
    EXPECT_TRUE(hasFunction("kernel32", "Process32Next"));
    EXPECT_FALSE(loads("psapi.dll"));
    sim::setRelease(sim::Release::windowsNt4);
    EXPECT_FALSE(hasFunction("Kernel32.dll", "CreateToolhelp32Snapshot"));
    EXPECT_TRUE(hasFunction("PSAPI.DLL", "EnumProcesses"));
    EXPECT_TRUE(hasFunction("psapi.dll", "GetModuleFileNameExA"));
    EXPECT_FALSE(hasFunction("psapi.dll", "getmodulefilenameexa")) << "function names keep their case";
    sim::setRelease(sim::Release::windowsXp);
    EXPECT_TRUE(hasFunction("kernel32.dll", "Process32First"));
    EXPECT_TRUE(hasFunction("psapi.dll", "EnumProcesses"));
    EXPECT_FALSE(hasFunction("kernel32.dll", "K32EnumProcesses"));
    sim::setRelease(sim::Release::windows10);
    EXPECT_TRUE(hasFunction("kernel32.dll", "K32EnumProcesses"));
    EXPECT_FALSE(loads("nosuch.dll"));
    EXPECT_FALSE(loads("kernel32."));
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x1234)), "EnumProcesses"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(SimProcesses, ATestCanTakeLibrariesAndFunctionsAwayOrGiveThemBack) {
    sim::setLibraryAvailable("PSAPI", false);
    EXPECT_FALSE(loads("psapi.dll"));
    sim::setFunctionAvailable("kernel32.dll", "Process32Next", false);
    EXPECT_FALSE(hasFunction("kernel32.dll", "Process32Next"));
    EXPECT_TRUE(hasFunction("kernel32.dll", "Process32First"));
    sim::setRelease(sim::Release::windowsNt4);
    sim::setFunctionAvailable("Kernel32.dll", "CreateToolhelp32Snapshot", true);
    EXPECT_TRUE(hasFunction("kernel32.dll", "CreateToolhelp32Snapshot"));
    sim::setFunctionAvailable("kernel32.dll", "MadeUpFunction", true);
    EXPECT_FALSE(hasFunction("kernel32.dll", "MadeUpFunction"));
    sim::reset();
    EXPECT_TRUE(loads("psapi.dll"));
}

TEST_F(SimProcesses, GetModuleHandleFindsKernel32AlwaysAndOtherLibrariesOnceLoaded) {
    EXPECT_EQ(GetModuleHandleA("KERNEL32"), LoadLibraryA("kernel32.dll"));
    EXPECT_NE(GetModuleHandleA("kernel32.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA("psapi.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    const HMODULE psapi = LoadLibraryA("psapi.dll");
    ASSERT_NE(psapi, nullptr);
    EXPECT_EQ(GetModuleHandleA("PSAPI"), psapi);
    EXPECT_EQ(GetModuleHandleA("nosuch.dll"), nullptr);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr) << "the program's own";
    sim::setLibraryAvailable("kernel32.dll", false);
    EXPECT_EQ(GetModuleHandleA("kernel32.dll"), nullptr);
}

TEST_F(SimProcesses, IsWow64ProcessCameWithXpSp2AndServer2003Sp1) {
    const char* const query = "IsWow64Process";
    sim::setRelease(sim::Release::windows98);
    EXPECT_FALSE(hasFunction("kernel32.dll", query));
    sim::setRelease(sim::Release::windowsNt4);
    EXPECT_FALSE(hasFunction("kernel32.dll", query));
    sim::setVersion(sim::VersionInfo{VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 1", 1});
    EXPECT_FALSE(hasFunction("kernel32.dll", query));
    sim::setRelease(sim::Release::windowsXp); // its third service pack
    EXPECT_TRUE(hasFunction("kernel32.dll", query));
    sim::setVersion(sim::VersionInfo{VER_PLATFORM_WIN32_NT, 5, 2, 3790, "", 0});
    EXPECT_FALSE(hasFunction("kernel32.dll", query));
    sim::setVersion(sim::VersionInfo{VER_PLATFORM_WIN32_NT, 5, 2, 3790, "Service Pack 1", 1});
    EXPECT_TRUE(hasFunction("kernel32.dll", query));
    sim::setRelease(sim::Release::windows10);
    EXPECT_TRUE(hasFunction("kernel32.dll", query));
}

TEST_F(SimProcesses, IsWow64ProcessSaysNoOfEveryProcessAndWantsAQueryHandle) {
    using IsWow64 = BOOL(WINAPI*)(HANDLE process, BOOL* wow64);
    const auto isWow64 = lookUp<IsWow64>("kernel32.dll", "IsWow64Process");
    ASSERT_NE(isWow64, nullptr);
    BOOL wow64 = TRUE;
    EXPECT_TRUE(isWow64(GetCurrentProcess(), &wow64));
    EXPECT_FALSE(wow64);
    const DWORD other = start("C:\\other.exe");
    HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, other);
    HANDLE terminate = OpenProcess(PROCESS_TERMINATE, FALSE, other);
    wow64 = TRUE;
    EXPECT_TRUE(isWow64(query, &wow64));
    EXPECT_FALSE(wow64);
    EXPECT_FALSE(isWow64(terminate, &wow64));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(isWow64(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234)), &wow64));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(isWow64(GetCurrentProcess(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOACCESS));
    sim::setProgramUnderWow64(true);
    EXPECT_TRUE(isWow64(GetCurrentProcess(), &wow64));
    EXPECT_TRUE(wow64);
    EXPECT_TRUE(isWow64(query, &wow64));
    EXPECT_FALSE(wow64) << "only the program itself is said to run under WOW64";
    CloseHandle(query);
    CloseHandle(terminate);
}

TEST_F(SimProcesses, OpenProcessRefusesUnknownEndedAndGuardedProcesses) {
    sim::ProcessSetup guarded;
    guarded.imagePath = "C:\\guarded.exe";
    guarded.opens = false;
    const DWORD refusing = sim::startProcess(guarded);
    const DWORD ended = start("C:\\ended.exe");
    sim::endProcess(ended);
    for (DWORD id : {DWORD{0}, ended, ended + 4, GetCurrentProcessId()}) {
        EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, id), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << id;
    }
    EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, refusing), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    const std::vector<sim::ProcessCall> calls = sim::processCalls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls.back().call, "OpenProcess");
    EXPECT_EQ(calls.back().id, refusing);
    EXPECT_EQ(calls.back().access, static_cast<DWORD>(PROCESS_TERMINATE));
    EXPECT_FALSE(calls.back().ok);
}

// Enables SeDebugPrivilege in the token, as a program does.
void enableDebugPrivilege() {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_DEBUG_NAME, &wanted.Privileges[0].Luid));
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted, 0, nullptr, nullptr));
    CloseHandle(token);
}

TEST_F(SimProcesses, AProcessOfAnotherUserOpensOnceTheDebugPrivilegeIsEnabled) {
    sim::ProcessSetup system;
    system.imagePath = "C:\\WINDOWS\\system32\\winlogon.exe";
    system.needsDebugPrivilege = true;
    const DWORD id = sim::startProcess(system);
    EXPECT_EQ(OpenProcess(readModule, FALSE, id), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    enableDebugPrivilege();
    HANDLE process = OpenProcess(readModule, FALSE, id);
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(CloseHandle(process));
    const std::vector<sim::ProcessCall> calls = sim::processCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_FALSE(calls[0].ok);
    EXPECT_TRUE(calls[1].ok);
    EXPECT_EQ(calls[1].access, readModule);
    sim::setRelease(sim::Release::windows98);
    sim::setPrivilegeHeld(SE_DEBUG_NAME, false);
    process = OpenProcess(readModule, FALSE, id);
    EXPECT_NE(process, nullptr) << "the 9x family has no security";
    CloseHandle(process);
}

TEST_F(SimProcesses, TerminateNeedsTheRightAndEndsTheProcessOnce) {
    const DWORD id = start("C:\\a.exe");
    HANDLE reader = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
    EXPECT_FALSE(TerminateProcess(reader, 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE killer = OpenProcess(PROCESS_TERMINATE, FALSE, id);
    ASSERT_TRUE(TerminateProcess(killer, 7));
    EXPECT_FALSE(sim::processRunning(id));
    EXPECT_EQ(sim::processExitCode(id), 7u);
    EXPECT_FALSE(TerminateProcess(killer, 8)) << "the handle outlives the process";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(sim::processExitCode(id), 7u);
    EXPECT_TRUE(CloseHandle(killer));
    EXPECT_FALSE(CloseHandle(killer));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(TerminateProcess(killer, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(reader);
    sim::ProcessSetup stubborn;
    stubborn.terminates = false;
    const DWORD survivor = sim::startProcess(stubborn);
    HANDLE handle = OpenProcess(PROCESS_TERMINATE, FALSE, survivor);
    EXPECT_FALSE(TerminateProcess(handle, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(sim::processRunning(survivor));
    CloseHandle(handle);
}

TEST_F(SimProcesses, AnEndedProcessLetsGoOfItsImageUnlessAnotherStillRunsIt) {
    folder.writeFile("run.exe");
    folder.writeFile("free.exe");
    const std::string image = folder.path("run.exe");
    const DWORD first = start(image);
    std::string otherSpelling = image;
    for (char& c : otherSpelling) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const DWORD second = start(otherSpelling);
    sim::ProcessSetup loose;
    loose.imagePath = folder.path("free.exe");
    loose.holdsImage = false;
    sim::startProcess(loose);
    EXPECT_TRUE(deletable(folder.path("free.exe")));
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, first);
    ASSERT_TRUE(TerminateProcess(process, 0));
    CloseHandle(process);
    EXPECT_FALSE(deletable(image));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    sim::endProcess(second);
    EXPECT_TRUE(deletable(image));
}

TEST_F(SimProcesses, ModulePathsNeedTheReadRightsAndAReadableProcess) {
    const std::string image = "C:\\Program Files\\app\\app.exe";
    const DWORD id = start(image);
    const auto moduleName = lookUp<ModuleFileName>("psapi.dll", "GetModuleFileNameExA");
    char path[MAX_PATH] = {};
    HANDLE terminator = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, id);
    EXPECT_EQ(moduleName(terminator, nullptr, path, sizeof path), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE reader = OpenProcess(readModule, FALSE, id);
    EXPECT_EQ(moduleName(reader, nullptr, path, sizeof path), image.size());
    EXPECT_EQ(std::string(path), image);
    char small[6];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(moduleName(reader, nullptr, small, sizeof small), sizeof small) << "a cut path gives the size";
    EXPECT_EQ(std::string(small), image.substr(0, sizeof small - 1));
    ASSERT_TRUE(TerminateProcess(terminator, 0));
    EXPECT_EQ(moduleName(reader, nullptr, path, sizeof path), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PARTIAL_COPY));
    CloseHandle(reader);
    CloseHandle(terminator);
    sim::ProcessSetup hidden;
    hidden.imagePath = "C:\\protected.exe";
    hidden.moduleReadable = false;
    reader = OpenProcess(readModule, FALSE, sim::startProcess(hidden));
    EXPECT_EQ(moduleName(reader, nullptr, path, sizeof path), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PARTIAL_COPY));
    CloseHandle(reader);
}

TEST_F(SimProcesses, EnumProcessesGivesAsManyIdentifiersAsFit) {
    const DWORD a = start("C:\\a.exe");
    start("C:\\b.exe");
    start("C:\\c.exe");
    EXPECT_EQ(enumerated(2), (std::vector<DWORD>{0, a}));
    EXPECT_EQ(enumerated(0).size(), 0u);
    EXPECT_EQ(enumerated().size(), 4u);
}

// Reads the performance data by the published offsets, bounds checked: a
// field beyond the block reads as 0.
class PerfBlock {
public:
    explicit PerfBlock(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}

    DWORD dword(size_t at) const {
        if (at + 4 > bytes_.size()) return 0;
        return DWORD{bytes_[at]} | DWORD{bytes_[at + 1]} << 8 | DWORD{bytes_[at + 2]} << 16 |
               DWORD{bytes_[at + 3]} << 24;
    }
    // UTF-16 text of ASCII characters, up to its terminator or `bytes`.
    std::string text(size_t at, size_t bytes) const {
        std::string result;
        for (size_t i = 0; i + 1 < bytes && at + i + 1 < bytes_.size(); i += 2) {
            const unsigned unit = bytes_[at + i] | bytes_[at + i + 1] << 8;
            if (unit == 0) break;
            result.push_back(static_cast<char>(unit));
        }
        return result;
    }
    size_t size() const { return bytes_.size(); }

private:
    std::vector<unsigned char> bytes_;
};

struct CounterInstance {
    std::string name;
    DWORD id;
    bool operator==(const CounterInstance& other) const { return name == other.name && id == other.id; }
};

constexpr DWORD idProcessIndex = 784;

// The process object's instances with their ID Process counter, found the
// way a reader must: the counter by its index, the records by their lengths.
std::vector<CounterInstance> processInstances(const PerfBlock& block) {
    std::vector<CounterInstance> instances;
    const size_t object = block.dword(24);           // HeaderLength
    const size_t definitions = block.dword(object + 4); // DefinitionLength
    DWORD idOffset = 0;
    for (DWORD i = 0; i < block.dword(object + 32); ++i) { // NumCounters
        const size_t counter = object + 64 + i * 40;
        if (block.dword(counter + 4) == idProcessIndex) idOffset = block.dword(counter + 36);
    }
    size_t at = object + definitions;
    for (DWORD i = 0; i < block.dword(object + 40) && at < block.size(); ++i) { // NumInstances
        const size_t counters = at + block.dword(at);
        instances.push_back({block.text(at + block.dword(at + 16), block.dword(at + 20)),
                             block.dword(counters + idOffset)});
        at = counters + block.dword(counters);
    }
    return instances;
}

class SimPerformanceData : public ::testing::Test {
protected:
    SimPerformanceData() { sim::reset(); }
    ~SimPerformanceData() override { sim::reset(); }

    static DWORD start(const std::string& imagePath, const std::string& counterName = "") {
        sim::ProcessSetup setup;
        setup.imagePath = imagePath;
        setup.counterName = counterName;
        return sim::startProcess(setup);
    }

    // The data for a value name, read the way the engine reads it: a buffer
    // that grows by what the system says plus a step, until it fits.
    static PerfBlock query(const char* valueName, DWORD firstSize = 1 << 16) {
        std::vector<unsigned char> data(firstSize);
        DWORD size = firstSize;
        DWORD type = REG_NONE;
        LONG result = ERROR_MORE_DATA;
        for (tries = 1;; ++tries) {
            result = RegQueryValueExA(HKEY_PERFORMANCE_DATA, valueName, nullptr, &type, data.data(), &size);
            if (result != ERROR_MORE_DATA || tries > 3) break;
            data.resize(size + 256);
            size = static_cast<DWORD>(data.size());
        }
        EXPECT_EQ(result, ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        data.resize(result == ERROR_SUCCESS ? size : 0);
        return PerfBlock(data);
    }

    static int tries;
};

int SimPerformanceData::tries = 0;

TEST_F(SimPerformanceData, TheProcessObjectHoldsIdleTheRunningProcessesAndTotal) {
    const DWORD a = start("C:\\apps\\a.exe");
    const DWORD ended = start("C:\\apps\\gone.exe");
    const DWORD dotted = start("C:\\apps\\my.tool.exe");
    const DWORD bare = start("C:\\apps\\noextension");
    sim::endProcess(ended);
    const PerfBlock block = query("230");
    EXPECT_EQ(block.text(0, 8), "PERF");
    EXPECT_EQ(block.dword(20), block.size()) << "TotalByteLength";
    EXPECT_EQ(block.dword(24) % 8, 0u);
    EXPECT_EQ(block.text(block.dword(84), block.dword(80)), "QUORVANE-SIM");
    EXPECT_EQ(block.dword(28), 1u) << "NumObjectTypes";
    const size_t object = block.dword(24);
    EXPECT_EQ(block.dword(object + 12), 230u);
    EXPECT_EQ(block.dword(object), block.size() - object) << "the object's TotalByteLength";
    EXPECT_EQ(block.dword(object + 64 + 4), 6u) << "% Processor Time comes before ID Process";
    const std::vector<CounterInstance> expected = {
        {"Idle", 0}, {"a", a}, {"my.tool", dotted}, {"noextension", bare}, {"_Total", 0}};
    EXPECT_EQ(processInstances(block), expected);
}

TEST_F(SimPerformanceData, NamesThatRepeatStayAsTheyAreUnlessSetUp) {
    const DWORD first = start("C:\\one\\svchost.exe");
    const DWORD second = start("C:\\two\\SVCHOST.EXE");
    const DWORD numbered = start("C:\\three\\svchost.exe", "svchost#1");
    const std::vector<CounterInstance> expected = {
        {"Idle", 0}, {"svchost", first}, {"SVCHOST", second}, {"svchost#1", numbered}, {"_Total", 0}};
    EXPECT_EQ(processInstances(query("230")), expected);
}

TEST_F(SimPerformanceData, ASmallBufferIsToldThereIsMoreAndTheGrownOneFits) {
    for (int i = 0; i < 20; ++i) start("C:\\p" + std::to_string(i) + ".exe");
    const PerfBlock block = query("230", 64);
    EXPECT_EQ(tries, 2);
    EXPECT_EQ(processInstances(block).size(), 22u);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(HKEY_PERFORMANCE_DATA, "230", nullptr, nullptr, nullptr, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, block.size());
    EXPECT_EQ(RegCloseKey(HKEY_PERFORMANCE_DATA), ERROR_SUCCESS);
}

TEST_F(SimPerformanceData, OnlyTheProcessObjectIsThere) {
    start("C:\\a.exe");
    EXPECT_EQ(query("238").dword(28), 0u);
    EXPECT_EQ(query("Global").dword(28), 0u);
    EXPECT_EQ(query("2301").dword(28), 0u);
    EXPECT_EQ(processInstances(query("238 230")).size(), 3u);
}

TEST_F(SimPerformanceData, AnOverrideAnswersInsteadAndThe9xFamilyHasNoSuchKey) {
    sim::setPerformanceDataOverride(std::vector<unsigned char>{'P', 0, 'E', 0, 'R'});
    const PerfBlock block = query("230");
    EXPECT_EQ(block.size(), 5u) << "the bytes as they are, of any length";
    EXPECT_EQ(block.text(0, 6), "PE");
    sim::setPerformanceDataOverride(std::nullopt);
    EXPECT_EQ(query("230").dword(28), 1u);
    sim::setRelease(sim::Release::windows98);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(HKEY_PERFORMANCE_DATA, "230", nullptr, nullptr, nullptr, &size), ERROR_BADKEY);
}

TEST_F(SimPerformanceData, TheCounterNamesAreInTheRegistryOnlyOnceInstalled) {
    const char* const english = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009";
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, english, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    sim::installPerformanceCounterNames();
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, english, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = REG_NONE;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "Counters", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    std::string names(size, '\0');
    ASSERT_EQ(RegQueryValueExA(key, "Counters", nullptr, &type, reinterpret_cast<LPBYTE>(&names[0]), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(names.compare(0, 7, std::string("1\0" "1847\0", 7)), 0);
    EXPECT_NE(names.find(std::string("\0" "230\0Process\0", 13)), std::string::npos);
    EXPECT_NE(names.find(std::string("\0" "784\0ID Process\0", 16)), std::string::npos);
    EXPECT_NE(names.find("Processor"), std::string::npos);
    EXPECT_EQ(names.substr(names.size() - 2), std::string("\0\0", 2));
}

} // namespace
