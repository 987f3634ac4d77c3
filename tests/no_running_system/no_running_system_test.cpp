// What the offline program has of a running Windows: nothing. Built
// against the same parts that quorvane-scan links, never the stand-ins.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "machine.h"
#include "privileges.h"
#include "process_list.h"
#include "scan_state.h"
#include "service_stop.h"
#include "version_probe.h"
#include "win32api.h"

// The front end's answers: nobody is there.
void tellUser(const char*, const char*) {}
int askUser(const char*, const char*, unsigned) { return 0; }
void endProgram(UINT exitCode) { std::exit(static_cast<int>(exitCode)); }

namespace {

constexpr UINT probeMessage = 0x8001; // WM_APP + 1
UINT lastMessage = 0;

LRESULT CALLBACK recordingProcedure(HWND, UINT message, WPARAM, LPARAM) {
    lastMessage = message;
    return 7;
}

// A host folder presented as drive C:, removed afterwards.
class NoRunningSystem : public ::testing::Test {
protected:
    void SetUp() override {
        sim::reset();
        char pattern[] = "/tmp/quorvane-offline-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ASSERT_TRUE(sim::mapDrive('C', folder_));
    }
    void TearDown() override {
        sim::reset();
        std::system(("rm -rf '" + folder_ + "'").c_str());
    }
    std::string folder_;
};

TEST_F(NoRunningSystem, ListsNoProcesses) {
    EXPECT_TRUE(listProcessesToolhelp().empty());
    EXPECT_TRUE(listProcessesPsapi(true).empty());
    EXPECT_EQ(LoadLibraryA("kernel32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(NoRunningSystem, OpensAndEndsNoProcess) {
    EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, 0x1000), nullptr);
    EXPECT_FALSE(terminateProcessById(0x1000));
}

TEST_F(NoRunningSystem, RefusesTheServiceManager) {
    EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(stopService("KarvexSvc", true), 0);
}

TEST_F(NoRunningSystem, HasNoPerformanceData) {
    DWORD size = 0;
    EXPECT_NE(RegQueryValueExA(HKEY_PERFORMANCE_DATA, "230", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
}

TEST_F(NoRunningSystem, HoldsNoPrivilegesAndDoesNotRestart) {
    DWORD error = 0;
    EXPECT_FALSE(enablePrivilege("SeShutdownPrivilege", error));
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
}

TEST_F(NoRunningSystem, ReportWindowGetsWhatIsSent) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = recordingProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "OfflineProbe";
    ASSERT_NE(windowClass.hInstance, nullptr);
    if (RegisterClassA(&windowClass) == 0) {
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    }
    HWND window = CreateWindowExA(0, "offlineprobe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageA(window, probeMessage, 0, 0), 7);
    EXPECT_EQ(lastMessage, probeMessage);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(SendMessageA(window, probeMessage, 0, 0), 0);
}

TEST_F(NoRunningSystem, NothingHoldsTheVolumesFiles) {
    const std::string host = folder_ + "/KARVEX.EXE";
    const int made = ::open(host.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(made, 0);
    ::close(made);
    const int fd = _open("C:\\KARVEX.EXE", _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    char byte = 0;
    EXPECT_EQ(_read(fd, &byte, 1), 0);
    EXPECT_EQ(_close(fd), 0);
    EXPECT_TRUE(DeleteFileA("C:\\KARVEX.EXE"));
    EXPECT_NE(::access(host.c_str(), F_OK), 0);
}

TEST_F(NoRunningSystem, KnowsNoHandleItDidNotGive) {
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234))));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

} // namespace
