// The engine against a real running process: the runnable sample, written
// to a test folder and started as a program of its own, so that the system
// holds its file as a running image. Disposal ends the process before it
// deletes again, the listings find it, and the memory sweep ends it. Windows
// only: the simulated machine's processes are tested with the rest of it.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "disposal.h"
#include "engine_test.h"
#include "exe_check.h"
#include "memory_sweep.h"
#include "process_list.h"
#include "registry_fixture.h"
#include "running_sample.h"
#include "signatures/exe_signatures.h"
#include "text_util.h"
#include "version_probe.h"

namespace {

const char* const sampleName = "looper.exe";
const char* const sessionManager = "System\\CurrentControlSet\\Control\\Session Manager";
const char* const pendingOperations = "PendingFileRenameOperations";
const char* const memoryLine = "System Memory    W32/Karvex.Trojan  removed";
const char* const couldNotKill = "Could not kill process";

constexpr DWORD startWait = 10000; // ms the sample may take until its module can be read
constexpr DWORD startPoll = 50;    // ms between two looks
constexpr DWORD endWait = 5000;    // ms an ended process may take to go

using ModuleFileNameFunction = DWORD(WINAPI*)(HANDLE process, HMODULE module, LPSTR name, DWORD size);

// Wine's ntdll exports its own version; no Windows ntdll does.
bool underWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

ModuleFileNameFunction moduleFileNameFunction() {
    HMODULE psapi = LoadLibraryA("psapi.dll");
    if (psapi == nullptr) return nullptr;
    return reinterpret_cast<ModuleFileNameFunction>(
        reinterpret_cast<void*>(GetProcAddress(psapi, "GetModuleFileNameExA")));
}

// The sample as a process of its own. It has started once the loader has
// set up its main module (where PSAPI reads its path); it is ended, whatever
// the test did, when this goes, for each one keeps a core busy.
class SampleProcess {
public:
    explicit SampleProcess(const std::string& path) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + path + "\"";
        if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_)) {
            throw std::runtime_error("cannot start " + path + ", error " + std::to_string(GetLastError()));
        }
        CloseHandle(process_.hThread);
        waitUntilLoaded();
    }
    ~SampleProcess() {
        if (runs()) TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, endWait);
        CloseHandle(process_.hProcess);
    }
    SampleProcess(const SampleProcess&) = delete;
    SampleProcess& operator=(const SampleProcess&) = delete;

    DWORD id() const { return process_.dwProcessId; }
    bool runs() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
    // Its exit code once it has ended; STILL_ACTIVE when it runs on.
    DWORD exitCodeOnceEnded() const {
        WaitForSingleObject(process_.hProcess, endWait);
        DWORD code = 0;
        if (!GetExitCodeProcess(process_.hProcess, &code)) throw std::runtime_error("no exit code");
        return code;
    }

private:
    // Without PSAPI (a real 9x system) it is enough that it runs.
    void waitUntilLoaded() const {
        const ModuleFileNameFunction moduleFileName = moduleFileNameFunction();
        for (DWORD waited = 0; waited < startWait; waited += startPoll) {
            if (!runs()) throw std::runtime_error("the sample ended at once");
            char name[MAX_PATH] = {};
            if (moduleFileName == nullptr || moduleFileName(process_.hProcess, nullptr, name, sizeof name) != 0) {
                return;
            }
            Sleep(startPoll);
        }
        throw std::runtime_error("the sample's module never became readable");
    }

    PROCESS_INFORMATION process_{};
};

const ProcessRecord* findProcess(const ProcessListing& listing, DWORD processId) {
    const auto found = std::find_if(listing.begin(), listing.end(),
                                    [processId](const ProcessRecord& record) { return record.processId == processId; });
    return found == listing.end() ? nullptr : &*found;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The sample runs from a test folder for the whole test. The delayed
// deletion queue and the sweep's restart flag are put back afterwards: the
// queue lives in the prefix's registry, and a queued file could otherwise
// go at the next start of a Wine process.
class RunningProcess : public EngineTest {
protected:
    void SetUp() override {
        memoryRestartNeeded = 0; // whatever an earlier sweep left
        ASSERT_GE(record, 0);
        const samples::Bytes bytes = samples::runnableSample(record);
        ASSERT_FALSE(bytes.empty());
        folder.writeFile(sampleName, std::string(bytes.begin(), bytes.end()));
        sample.reset(new SampleProcess(path));
        ASSERT_TRUE(sample->runs());
    }
    ~RunningProcess() override { memoryRestartNeeded = 0; }

    bool isNineX() const { return getWinVersionClass() == winVersion9x; }
    bool isNt() const { return getWinVersionClass() == winVersionNt; }
    bool isNtFive() const { return isNt() && getNtVersionClass() == ntVersion5; }
    std::string line(const char* detectionName, const char* result) const {
        return path + "     " + detectionName + " " + result;
    }

    const int record = samples::runnableRecordIndex();
    const std::string path = folder.path(sampleName);
    SavedRegistryValue queue{HKEY_LOCAL_MACHINE, sessionManager, pendingOperations};
    std::unique_ptr<SampleProcess> sample; // last, so that it ends first
};

TEST_F(RunningProcess, DeleteEndsTheProcessAndRemovesTheFileOnSecondTry) {
    // Toolhelp (9x; Wine gives bare names, the kill compares file names)
    // and PSAPI (NT 5.x; full paths) find the process.
    if (!isNineX() && !isNtFive()) GTEST_SKIP() << "ended through the performance counters here";
    ASSERT_FALSE(DeleteFileA(path.c_str())); // the running image holds it
    scanState.userChoice = choiceDelete;
    disposeFile(path.c_str(), exeSignatureTable[record].name);
    EXPECT_EQ(window.lines(), std::vector<std::string>{line(exeSignatureTable[record].name, "removed")});
    EXPECT_EQ(scanState.filesRemoved, 1);
    EXPECT_EQ(scanState.restartNeeded, 0);
    EXPECT_FALSE(folder.exists(sampleName));
    EXPECT_EQ(sample->exitCodeOnceEnded(), 0u); // as terminateProcessById ends it
    EXPECT_TRUE(givenNotices.empty());
}

TEST_F(RunningProcess, DeleteThatCannotEndTheProcessQueuesTheFileForRestart) {
    // NT 4 and NT 6 and later look for the process in the performance data,
    // where Wine publishes no process at all; the native tests cover the
    // counters' way with data that has them.
    if (!isNt() || isNtFive()) GTEST_SKIP() << "ended through Toolhelp or PSAPI here";
    if (!underWine()) GTEST_SKIP() << "the system's performance data lists the process";
    scanState.userChoice = choiceDelete;
    disposeFile(path.c_str(), exeSignatureTable[record].name);
    ASSERT_EQ(givenNotices.size(), 1u);
    EXPECT_EQ(givenNotices[0].text, couldNotKill);
    EXPECT_EQ(givenNotices[0].caption, path);
    EXPECT_EQ(window.lines(), std::vector<std::string>{line(exeSignatureTable[record].name, "Unable to remove")});
    EXPECT_EQ(scanState.filesRemoved, 0);
    EXPECT_EQ(scanState.restartNeeded, 1);
    RegistryValue value;
    ASSERT_TRUE(readRegistryValue(HKEY_LOCAL_MACHINE, sessionManager, pendingOperations, value));
    EXPECT_NE(value.data.find("\\??\\" + path + '\0'), std::string::npos);
    EXPECT_TRUE(folder.exists(sampleName));
    EXPECT_TRUE(sample->runs());
}

TEST_F(RunningProcess, PsapiListsItWithItsFullPath) {
    if (!isNt()) GTEST_SKIP() << "PSAPI is the NT family's listing";
    const ProcessListing listing = listProcessesPsapi(false);
    const ProcessRecord* found = findProcess(listing, sample->id());
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(sameTextNoCase(found->imageFile, path.c_str())) << found->imageFile;
}

TEST_F(RunningProcess, ToolhelpListsItByItsFileNameUnderWine) {
    // Wine gives a bare file name under every version; a real 9x system
    // gives the full path, a real NT one the bare name.
    const bool fullPath = isNineX() && !underWine();
    const ProcessListing listing = listProcessesToolhelp();
    const ProcessRecord* found = findProcess(listing, sample->id());
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(sameTextNoCase(found->imageFile, fullPath ? path.c_str() : sampleName)) << found->imageFile;
}

TEST_F(RunningProcess, NtSweepEndsTheProcessRemovesTheFileAndEndsTheProgram) {
    if (!isNt()) GTEST_SKIP() << "the NT family's sweep";
    scanState.userChoice = choiceDelete;
    ASSERT_TRUE(scriptedAnswers.empty()); // a restart question is answered Cancel: no restart
    try {
        sweepMemory();
        ADD_FAILURE() << "the sweep returned";
    } catch (const ProgramEnded& ended) {
        EXPECT_EQ(ended.exitCode, 0u);
    }
    // The forced disposal reports under the checker's name, trailing space and all.
    EXPECT_EQ(window.lines(), (std::vector<std::string>{memoryLine, line(exeCheckName, "removed")}));
    EXPECT_EQ(sample->exitCodeOnceEnded(), 0u);
    EXPECT_FALSE(folder.exists(sampleName));
    // Windows refuses to terminate an ended process, so the second attempt
    // fails; on NT 4 and 5.x no service of the image's name can be stopped
    // then, and only a restart is said to free the file. Wine terminates an
    // ended process once more without complaint: the second attempt
    // succeeds there, and the sweep asks nothing.
    const bool serviceStep = !underWine() && (getNtVersionClass() == ntVersion4 || isNtFive());
    EXPECT_EQ(memoryRestartNeeded, serviceStep ? 1 : 0);
    if (!serviceStep) {
        EXPECT_TRUE(askedQuestions.empty());
        return;
    }
    ASSERT_EQ(askedQuestions.size(), 1u);
    EXPECT_NE(askedQuestions[0].text.find("found in memory"), std::string::npos);
    EXPECT_EQ(askedQuestions[0].style, askOkCancel);
}

TEST_F(RunningProcess, NtSweepWithLeaveChoiceLeavesProcessAndFile) {
    if (!isNt()) GTEST_SKIP() << "the NT family's sweep";
    scanState.userChoice = choiceLeave;
    EXPECT_THROW(sweepMemory(), ProgramEnded);
    EXPECT_TRUE(sample->runs());
    EXPECT_TRUE(folder.exists(sampleName));
    EXPECT_FALSE(hasLine(window.lines(), memoryLine));
    EXPECT_TRUE(askedQuestions.empty());
}

TEST_F(RunningProcess, NineXSweepUnderWineFindsNoReadableImage) {
    // Toolhelp's bare names under Wine name no file in the test's working
    // folder, so no image is probed; the drive walk finds the file later.
    if (!isNineX()) GTEST_SKIP() << "the 9x sweep";
    if (!underWine()) GTEST_SKIP() << "a real 9x system lists full paths";
    ASSERT_EQ(GetFileAttributesA(sampleName), INVALID_FILE_ATTRIBUTES);
    scanState.userChoice = choiceDelete;
    sweepMemory();
    EXPECT_TRUE(sample->runs());
    EXPECT_TRUE(folder.exists(sampleName));
    EXPECT_TRUE(window.lines().empty());
    EXPECT_FALSE(scanState.probeOnly);
}

} // namespace

#endif // _WIN32
