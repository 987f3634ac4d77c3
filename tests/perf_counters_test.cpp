// The performance-counter way of ending a process (NT 4 and NT 6 and later):
// the counter names and the process object read from the registry, and the
// instance names matched against the file's name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test.h"
#include "fake_windows.h"
#include "process_kill.h"

namespace {

const char* const couldNotKill = "Could not kill process";

class PerfCounters : public EngineTest {
protected:
    PerfCounters() {
        sim::setRelease(sim::Release::windows10);
        sim::installPerformanceCounterNames();
    }
    DWORD run(const std::string& image, const std::string& counterName = "") {
        sim::ProcessSetup setup;
        setup.imagePath = image;
        setup.counterName = counterName;
        setup.holdsImage = false;
        return sim::startProcess(setup);
    }
};

TEST_F(PerfCounters, EndsEveryInstanceOfTheFileAndItsNumberedDuplicates) {
    const DWORD first = run("C:\\X\\ABC.EXE");
    const DWORD second = run("C:\\Y\\abc.exe", "abc#1");
    const DWORD other = run("C:\\X\\B.EXE");
    EXPECT_EQ(killProcessByPath("C:\\X\\ABC.EXE"), 1);
    EXPECT_FALSE(sim::processRunning(first));
    EXPECT_FALSE(sim::processRunning(second));
    EXPECT_TRUE(sim::processRunning(other));
    EXPECT_TRUE(givenNotices.empty());
}

TEST_F(PerfCounters, NameThatOnlyBeginsWithTheTargetIsAnotherProgram) {
    const DWORD longer = run("C:\\X\\ABCDEF.EXE");
    const DWORD numbered = run("C:\\X\\ABC.EXE", "abc#x1");
    EXPECT_EQ(killProcessByPath("C:\\X\\ABC.EXE"), 0);
    EXPECT_TRUE(sim::processRunning(longer));
    EXPECT_TRUE(sim::processRunning(numbered));
    ASSERT_EQ(givenNotices.size(), 1u);
    EXPECT_EQ(givenNotices[0].text, couldNotKill);
    EXPECT_EQ(givenNotices[0].caption, "C:\\X\\ABC.EXE");
}

TEST_F(PerfCounters, TargetIsTheFileNameUpToItsLastDot) {
    const DWORD toolbox = run("C:\\X\\TOOLBOX.EXE");
    const DWORD tool = run("C:\\X\\TOOL.JS");
    const DWORD dotted = run("C:\\X\\my.tool.exe");
    EXPECT_EQ(killProcessByPath("C:\\X\\TOOL.JS"), 1);
    EXPECT_TRUE(sim::processRunning(toolbox));
    EXPECT_FALSE(sim::processRunning(tool));
    EXPECT_EQ(killProcessByPath("C:\\X\\MY.TOOL.EXE"), 1);
    EXPECT_FALSE(sim::processRunning(dotted));
}

TEST_F(PerfCounters, InstanceNameOverSixteenCharactersIsNeverFound) {
    const DWORD sixteen = run("C:\\X\\ABCDEFGHIJKLMNOP.EXE");
    const DWORD seventeen = run("C:\\X\\ABCDEFGHIJKLMNOPQ.EXE");
    EXPECT_EQ(killProcessByPath("C:\\X\\ABCDEFGHIJKLMNOP.EXE"), 1);
    EXPECT_FALSE(sim::processRunning(sixteen));
    EXPECT_EQ(killProcessByPath("C:\\X\\ABCDEFGHIJKLMNOPQ.EXE"), 0);
    EXPECT_TRUE(sim::processRunning(seventeen));
}

TEST_F(PerfCounters, InstanceWithProcessIdZeroIsNeverOpened) {
    // Every counter data block has the Idle instance, whose identifier is 0.
    EXPECT_EQ(killProcessByPath("C:\\WINDOWS\\IDLE.EXE"), 0);
    for (const sim::ProcessCall& call : sim::processCalls()) EXPECT_NE(call.id, 0u) << call.call;
}

TEST_F(PerfCounters, OnlyTerminateAccessIsAskedForAndEachMatchIsWaitedFor) {
    run("C:\\X\\ABC.EXE");
    run("C:\\X\\ABC.EXE", "abc#1");
    EXPECT_EQ(killByPerfCounters("C:\\X\\ABC.EXE"), 1);
    for (const sim::ProcessCall& call : sim::processCalls()) {
        if (call.call == "OpenProcess") {
            EXPECT_EQ(call.access, static_cast<DWORD>(PROCESS_TERMINATE));
        }
    }
    EXPECT_EQ(sim::sleptMilliseconds(), 2 * 500u);
}

TEST_F(PerfCounters, DataLargerThanTheFirstBufferIsReadWhole) {
    const DWORD target = run("C:\\X\\ABC.EXE");
    // Enough instances that the process object outgrows the first buffer.
    for (int i = 0; i < 1000; ++i) run("C:\\X\\FILLER" + std::to_string(i) + ".EXE");
    EXPECT_EQ(killProcessByPath("C:\\X\\ABC.EXE"), 1);
    EXPECT_FALSE(sim::processRunning(target));
}

TEST_F(PerfCounters, NothingIsEndedWithoutTheCounterNames) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009", 0,
                            KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, "Counters"), ERROR_SUCCESS);
    RegCloseKey(key);
    sim::setRelease(sim::Release::windowsNt4);
    const DWORD target = run("C:\\X\\ABC.EXE");
    EXPECT_EQ(killProcessByPath("C:\\X\\ABC.EXE"), 0);
    EXPECT_TRUE(sim::processRunning(target));
    EXPECT_EQ(givenNotices.size(), 1u);
}

TEST_F(PerfCounters, MalformedDataEndsNothing) {
    const DWORD target = run("C:\\X\\ABC.EXE");
    for (const std::vector<unsigned char>& data :
         {std::vector<unsigned char>{}, std::vector<unsigned char>{'P', 0, 'E', 0, 'R', 0, 'F', 0},
          std::vector<unsigned char>(4096, 0xFF)}) {
        sim::setPerformanceDataOverride(data);
        EXPECT_EQ(killProcessByPath("C:\\X\\ABC.EXE"), 0);
        EXPECT_TRUE(sim::processRunning(target));
    }
    sim::setPerformanceDataOverride(std::nullopt);
}

} // namespace
