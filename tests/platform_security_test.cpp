// The process token and its privileges as the engine relies on them on the
// NT family, checked on the simulated machine and, built for Windows,
// against the real calls under Wine.
#include <gtest/gtest.h>

#include <cstring>

#include "engine_test.h"
#include "registry_fixture.h"

namespace {

constexpr DWORD shutdownIdentifier = 19;
constexpr DWORD debugIdentifier = 20;
constexpr DWORD unknownIdentifier = 999;
constexpr DWORD untouchedError = 77;

class NtToken : public EngineTest {
protected:
    void SetUp() override {
        if (!playsFamily(VER_PLATFORM_WIN32_NT)) GTEST_SKIP() << "not an NT system";
    }
    void TearDown() override {
        if (token != nullptr) CloseHandle(token);
    }
    bool open(DWORD access) { return OpenProcessToken(GetCurrentProcess(), access, &token) != FALSE; }

    // Adjusts one privilege; the last error as the call left it.
    DWORD adjust(DWORD identifier, DWORD attributes, BOOL& result) {
        TOKEN_PRIVILEGES privileges;
        std::memset(&privileges, 0, sizeof privileges);
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Luid.LowPart = identifier;
        privileges.Privileges[0].Attributes = attributes;
        SetLastError(untouchedError);
        result = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        return GetLastError();
    }

    HANDLE token = nullptr;
};

TEST_F(NtToken, PrivilegeNamesGiveTheSystemsIdentifiersInAnyCase) {
    LUID luid{};
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &luid));
    EXPECT_EQ(luid.LowPart, shutdownIdentifier);
    EXPECT_EQ(luid.HighPart, 0);
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_DEBUG_NAME, &luid));
    EXPECT_EQ(luid.LowPart, debugIdentifier);
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, "seshutdownprivilege", &luid));
    EXPECT_EQ(luid.LowPart, shutdownIdentifier);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
}

// The adjustment succeeds either way: the last error tells whether every
// privilege named was there to enable.
TEST_F(NtToken, AdjustingSucceedsAndTheLastErrorSaysWhetherAllWereAssigned) {
    ASSERT_TRUE(open(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY));
    BOOL result = FALSE;
    EXPECT_EQ(adjust(shutdownIdentifier, SE_PRIVILEGE_ENABLED, result), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(result);
    EXPECT_EQ(adjust(unknownIdentifier, SE_PRIVILEGE_ENABLED, result), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
    EXPECT_TRUE(result);
    EXPECT_EQ(adjust(0, SE_PRIVILEGE_ENABLED, result), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
    EXPECT_TRUE(result);
}

TEST_F(NtToken, ATokenOpenedOnlyToQueryCannotBeAdjusted) {
    ASSERT_TRUE(open(TOKEN_QUERY));
    BOOL result = TRUE;
    EXPECT_EQ(adjust(shutdownIdentifier, SE_PRIVILEGE_ENABLED, result), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(result);
}

TEST_F(NtToken, OnlyAnOpenTokenOfARealProcessServes) {
    HANDLE other = nullptr;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(OpenProcessToken(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234)), TOKEN_QUERY, &other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    ASSERT_TRUE(open(TOKEN_ADJUST_PRIVILEGES));
    EXPECT_TRUE(CloseHandle(token));
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CloseHandle(token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    BOOL result = TRUE;
    EXPECT_EQ(adjust(shutdownIdentifier, SE_PRIVILEGE_ENABLED, result), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(result);
    token = nullptr;
}

} // namespace
