// The start-up memory sweep: running images probed, detected processes
// ended or stopped as services, their files disposed of at once, and on the
// NT family the program's end, with a restart offered where one is needed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test.h"
#include "fake_windows.h"
#include "memory_sweep.h"
#include "pe_sample.h"
#include "registry_fixture.h"
#include "scan_driver.h"
#include "text_util.h"

namespace {

const char* const memoryLine = "System Memory    W32/Karvex.Trojan  removed";
const char* const restartPrompt =
    "W32/Karvex.Trojan  found in memory! registry entries created by the worm are removed. You must restart the "
    "computer and run this program to continue scanning.\n\nRestart the computer now?";
const char* const serviceKey = "SYSTEM\\ControlSet001\\Services\\karvex";

class MemorySweep : public EngineTest {
protected:
    MemorySweep() {
        memoryRestartNeeded = 0;
        scanState.userChoice = choiceDelete;
    }
    ~MemorySweep() override { memoryRestartNeeded = 0; }

    // A running process whose image is a detected sample, karvex.exe.
    DWORD runTrojan(bool terminates = true) {
        samples::writeFile(folder.hostPath("karvex.exe"), samples::matchingSample(0));
        return runImage(folder.path("karvex.exe"), terminates);
    }
    DWORD runImage(const std::string& image, bool terminates = true) {
        sim::ProcessSetup setup;
        setup.imagePath = image;
        setup.terminates = terminates;
        return sim::startProcess(setup);
    }
    void addService(DWORD process, bool stops) {
        sim::ServiceSetup setup;
        setup.name = "karvex";
        setup.processId = process;
        setup.acceptsStop = stops;
        sim::addService(setup);
    }
    // The sweep on the NT family; the exit code it ended the program with,
    // or -1 when it returned.
    static long sweepUntilEnd() {
        try {
            sweepMemory();
        } catch (const ProgramEnded& ended) {
            return static_cast<long>(ended.exitCode);
        }
        return -1;
    }
    std::vector<std::string> disposalLines() const {
        return {memoryLine, folder.path("karvex.exe") + "     W32/Karvex.Trojan  removed"};
    }
};

TEST_F(MemorySweep, CleanProcessesLeaveNoTraceButTheStatus) {
    folder.writeFile("tool.exe", "a harmless program");
    const DWORD process = runImage(folder.path("tool.exe"));
    EXPECT_EQ(sweepUntilEnd(), -1);
    EXPECT_TRUE(sim::processRunning(process));
    EXPECT_TRUE(window.lines().empty());
    EXPECT_EQ(window.statuses(), std::vector<std::string>{folder.path("tool.exe")});
    EXPECT_EQ(scanState.filesScanned, 0);
    EXPECT_FALSE(scanState.probeOnly);
}

TEST_F(MemorySweep, NineXEndsTheTrojanDisposesOfItAndTheScanGoesOn) {
    sim::setRelease(sim::Release::windows98);
    const DWORD process = runTrojan();
    copyText(scanState.scanTarget, pathTextSize, folder.path().c_str());
    runScan();
    EXPECT_FALSE(sim::processRunning(process));
    EXPECT_FALSE(folder.exists("karvex.exe"));
    const std::vector<std::string> lines = window.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 2), disposalLines());
    EXPECT_TRUE(askedQuestions.empty());
    EXPECT_EQ(scanState.filesInfected, 1);
    EXPECT_EQ(scanState.filesRemoved, 1);
    EXPECT_EQ(scanState.filesScanned, 0); // the folder is empty once the trojan is gone
}

TEST_F(MemorySweep, NtFiveEndedTrojanIsDisposedOfAndARestartIsOffered) {
    const DWORD process = runTrojan();
    scriptedAnswers.push_back(IDOK);
    EXPECT_EQ(sweepUntilEnd(), 0);
    EXPECT_FALSE(sim::processRunning(process));
    EXPECT_FALSE(folder.exists("karvex.exe"));
    EXPECT_EQ(window.lines(), disposalLines());
    // The second attempt finds the process gone: it is taken for a service
    // that no longer answers, so only a restart is sure to have freed it.
    EXPECT_EQ(memoryRestartNeeded, 1);
    ASSERT_EQ(askedQuestions.size(), 1u);
    EXPECT_EQ(askedQuestions[0].text, restartPrompt);
    EXPECT_EQ(askedQuestions[0].style, askOkCancel);
    EXPECT_EQ(sim::exitRequests().size(), 1u);
}

TEST_F(MemorySweep, CancelledRestartStillEndsTheProgram) {
    runTrojan();
    EXPECT_EQ(sweepUntilEnd(), 0);
    EXPECT_EQ(askedQuestions.size(), 1u);
    EXPECT_TRUE(sim::exitRequests().empty());
}

TEST_F(MemorySweep, SurvivorWhoseServiceStopsIsDisposedOfWithoutARestart) {
    RegistryScenario registry;
    ASSERT_TRUE(registry.load("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\" + std::string(serviceKey) +
                              "]\n\"ImagePath\"=\"karvex.exe\"\n"))
        << registry.error();
    const DWORD process = runTrojan(false);
    addService(process, true);
    EXPECT_EQ(sweepUntilEnd(), 0);
    EXPECT_FALSE(sim::processRunning(process));
    EXPECT_EQ(sim::serviceState("karvex"), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, serviceKey));
    EXPECT_FALSE(folder.exists("karvex.exe"));
    EXPECT_EQ(memoryRestartNeeded, 0);
    EXPECT_TRUE(askedQuestions.empty());
}

TEST_F(MemorySweep, SurvivorWhoseServiceWillNotStopDemandsARestart) {
    const DWORD process = runTrojan(false);
    addService(process, false);
    EXPECT_EQ(sweepUntilEnd(), 0);
    EXPECT_TRUE(sim::processRunning(process));
    EXPECT_TRUE(folder.exists("karvex.exe")); // left for the restart
    EXPECT_TRUE(window.lines().empty());
    EXPECT_EQ(memoryRestartNeeded, 1);
    EXPECT_EQ(askedQuestions.size(), 1u);
}

TEST_F(MemorySweep, NtSixEndsTheTrojanWithoutAServiceStepOrAPrompt) {
    sim::setRelease(sim::Release::windows10);
    const DWORD process = runTrojan();
    EXPECT_EQ(sweepUntilEnd(), 0);
    EXPECT_FALSE(sim::processRunning(process));
    EXPECT_EQ(window.lines(), disposalLines());
    EXPECT_EQ(sim::serviceCallCounts("karvex").opens, 0u);
    EXPECT_TRUE(askedQuestions.empty());
}

TEST_F(MemorySweep, NtSixSurvivorIsLeftWithItsFile) {
    sim::setRelease(sim::Release::windows10);
    const DWORD process = runTrojan(false);
    EXPECT_EQ(sweepUntilEnd(), 0);
    EXPECT_TRUE(sim::processRunning(process));
    EXPECT_TRUE(folder.exists("karvex.exe"));
    EXPECT_TRUE(askedQuestions.empty());
}

TEST_F(MemorySweep, LeaveChoiceLeavesProcessesRunningButStillEndsOnNt) {
    scanState.userChoice = choiceLeave;
    const DWORD process = runTrojan();
    EXPECT_EQ(sweepUntilEnd(), 0);
    EXPECT_TRUE(sim::processRunning(process));
    EXPECT_TRUE(folder.exists("karvex.exe"));
    EXPECT_TRUE(window.lines().empty());
    EXPECT_EQ(scanState.filesInfected, 1);

    sim::setRelease(sim::Release::windows98);
    EXPECT_EQ(sweepUntilEnd(), -1);
    EXPECT_TRUE(sim::processRunning(process));
}

TEST_F(MemorySweep, UnreadableImageAfterADetectedOneIsNotTakenForTheTrojan) {
    sim::setRelease(sim::Release::windows98);
    scanState.userChoice = choiceLeave;
    runTrojan();
    const DWORD kernel = runImage("\\SystemRoot\\System32\\smss.exe");
    EXPECT_EQ(sweepUntilEnd(), -1);
    EXPECT_TRUE(sim::processRunning(kernel));
    EXPECT_EQ(scanState.filesInfected, 1);
}

TEST_F(MemorySweep, EverySweepProbesAfreshWithoutCountingScannedFiles) {
    sim::setRelease(sim::Release::windows98);
    scanState.userChoice = choiceLeave;
    runTrojan();
    sweepMemory();
    sweepMemory();
    EXPECT_EQ(scanState.filesInfected, 2);
    EXPECT_EQ(scanState.filesScanned, 0);
}

TEST_F(MemorySweep, WithoutAWindowDetectionsAreOnlyNoted) {
    scanState.resultList = nullptr;
    const DWORD process = runTrojan();
    EXPECT_EQ(sweepUntilEnd(), 0);
    EXPECT_TRUE(folder.exists("karvex.exe")); // no forced disposal without a window
    EXPECT_FALSE(sim::processRunning(process));
}

} // namespace
