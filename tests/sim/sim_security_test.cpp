// The simulated machine's token privileges and restart requests: what a
// test sets, what the calls make of it, and what a real system will not do
// on demand (take a privilege away, restart, be a 9x system with tokens).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fake_windows.h"

namespace {

class SimSecurity : public ::testing::Test {
protected:
    SimSecurity() { sim::reset(); }
    ~SimSecurity() override {
        if (token != nullptr) CloseHandle(token);
        sim::reset();
    }

    // Enables or disables the named privileges in one call; the last error.
    DWORD adjust(std::vector<const char*> names, bool enable, BOOL& result) {
        if (token == nullptr) {
            EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
        }
        std::vector<char> record(sizeof(TOKEN_PRIVILEGES) + names.size() * sizeof(LUID_AND_ATTRIBUTES));
        auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(record.data());
        privileges->PrivilegeCount = static_cast<DWORD>(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            EXPECT_TRUE(LookupPrivilegeValueA(nullptr, names[i], &privileges->Privileges[i].Luid));
            privileges->Privileges[i].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        }
        result = AdjustTokenPrivileges(token, FALSE, privileges, 0, nullptr, nullptr);
        return GetLastError();
    }

    HANDLE token = nullptr;
};

TEST_F(SimSecurity, HeldPrivilegesAreOffUntilEnabledAndCanBeTurnedOffAgain) {
    EXPECT_FALSE(sim::privilegeEnabled(SE_SHUTDOWN_NAME));
    BOOL result = FALSE;
    EXPECT_EQ(adjust({SE_SHUTDOWN_NAME, SE_DEBUG_NAME}, true, result), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(result);
    EXPECT_TRUE(sim::privilegeEnabled("seshutdownprivilege"));
    EXPECT_TRUE(sim::privilegeEnabled(SE_DEBUG_NAME));
    EXPECT_EQ(adjust({SE_DEBUG_NAME}, false, result), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(sim::privilegeEnabled(SE_DEBUG_NAME));
    EXPECT_TRUE(sim::privilegeEnabled(SE_SHUTDOWN_NAME));
}

TEST_F(SimSecurity, APrivilegeNotHeldStaysOffAndTheOthersAreStillAssigned) {
    ASSERT_TRUE(sim::setPrivilegeHeld(SE_SHUTDOWN_NAME, false));
    BOOL result = FALSE;
    EXPECT_EQ(adjust({SE_SHUTDOWN_NAME, SE_DEBUG_NAME}, true, result), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
    EXPECT_TRUE(result);
    EXPECT_FALSE(sim::privilegeEnabled(SE_SHUTDOWN_NAME));
    EXPECT_TRUE(sim::privilegeEnabled(SE_DEBUG_NAME));
    ASSERT_TRUE(sim::setPrivilegeHeld("SeBackupPrivilege", true));
    EXPECT_EQ(adjust({"SeBackupPrivilege"}, true, result), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(sim::privilegeEnabled("SeBackupPrivilege"));
}

TEST_F(SimSecurity, APrivilegeTakenAwayIsDisabledAndAnUnknownOneCannotBeGiven) {
    BOOL result = FALSE;
    adjust({SE_DEBUG_NAME}, true, result);
    ASSERT_TRUE(sim::privilegeEnabled(SE_DEBUG_NAME));
    ASSERT_TRUE(sim::setPrivilegeHeld(SE_DEBUG_NAME, false));
    EXPECT_FALSE(sim::privilegeEnabled(SE_DEBUG_NAME));
    EXPECT_FALSE(sim::setPrivilegeHeld("SeNoSuchPrivilege", true));
    EXPECT_FALSE(sim::privilegeEnabled("SeNoSuchPrivilege"));
}

TEST_F(SimSecurity, ThePreviousStateHoldsWhatChangedOrNothingChangesAtAll) {
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &wanted.Privileges[0].Luid));
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES previous{};
    DWORD length = 0;
    EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &wanted, sizeof(DWORD), &previous, &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(length, static_cast<DWORD>(sizeof previous));
    EXPECT_FALSE(sim::privilegeEnabled(SE_SHUTDOWN_NAME));
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted, sizeof previous, &previous, &length));
    EXPECT_EQ(previous.PrivilegeCount, 1u);
    EXPECT_EQ(previous.Privileges[0].Luid.LowPart, wanted.Privileges[0].Luid.LowPart);
    EXPECT_EQ(previous.Privileges[0].Attributes, 0u);
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &wanted, sizeof previous, &previous, &length));
    EXPECT_EQ(previous.PrivilegeCount, 0u) << "nothing changed the second time";
}

TEST_F(SimSecurity, DisablingAllTurnsEveryPrivilegeOff) {
    BOOL result = FALSE;
    adjust({SE_SHUTDOWN_NAME, SE_DEBUG_NAME}, true, result);
    ASSERT_TRUE(AdjustTokenPrivileges(token, TRUE, nullptr, 0, nullptr, nullptr));
    EXPECT_FALSE(sim::privilegeEnabled(SE_SHUTDOWN_NAME));
    EXPECT_FALSE(sim::privilegeEnabled(SE_DEBUG_NAME));
}

TEST_F(SimSecurity, The9xFamilyHasNoTokens) {
    sim::setRelease(sim::Release::windows98);
    HANDLE noToken = nullptr;
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &noToken));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    LUID luid{};
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_FALSE(AdjustTokenPrivileges(noToken, TRUE, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

bool sameRequest(const sim::ExitRequest& a, const sim::ExitRequest& b) {
    return a.flags == b.flags && a.reason == b.reason && a.granted == b.granted;
}

TEST_F(SimSecurity, NtRestartsOnlyWithTheShutdownPrivilegeEnabled) {
    constexpr UINT forcedReboot = EWX_REBOOT | EWX_FORCE;
    constexpr DWORD reason = 0x40000;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(ExitWindowsEx(forcedReboot, reason));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
    BOOL result = FALSE;
    adjust({SE_SHUTDOWN_NAME}, true, result);
    EXPECT_TRUE(ExitWindowsEx(forcedReboot, 0));
    EXPECT_TRUE(ExitWindowsEx(EWX_SHUTDOWN, 0));
    const auto requests = sim::exitRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(sameRequest(requests[0], {forcedReboot, reason, false}));
    EXPECT_TRUE(sameRequest(requests[1], {forcedReboot, 0, true}));
    EXPECT_TRUE(sameRequest(requests[2], {EWX_SHUTDOWN, 0, true}));
}

TEST_F(SimSecurity, LoggingOffAsksNoPrivilegeAndThe9xFamilyAsksNone) {
    EXPECT_TRUE(ExitWindowsEx(EWX_LOGOFF, 0));
    sim::setRelease(sim::Release::windows98);
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0));
    const auto requests = sim::exitRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].granted);
    EXPECT_TRUE(requests[1].granted);
    sim::reset();
    EXPECT_TRUE(sim::exitRequests().empty());
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0)) << "power-on is XP, privilege off";
}

} // namespace
