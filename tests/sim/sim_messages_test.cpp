#include <gtest/gtest.h>

#include "engine_test.h"
#include "fake_windows.h"

namespace {

using SimMessages = EngineTest;

TEST_F(SimMessages, QuitIsSeenOnlyAfterPostedMessages) {
    PostQuitMessage(3);
    PostMessageA(window.handle(), WM_TIMER, 1, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(SimMessages, TranslateTurnsAKeyPressIntoACharacter) {
    MSG key{};
    key.hwnd = window.handle();
    key.message = WM_KEYDOWN;
    key.wParam = 'Q';
    EXPECT_TRUE(TranslateMessage(&key));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, 0x0102u); // WM_CHAR
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('q'));
}

TEST_F(SimMessages, DestroyedWindowTakesNoMessages) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "SimDoomed";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    EXPECT_EQ(RegisterClassA(&windowClass), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    HWND doomed = CreateWindowExA(0, "simdoomed", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(doomed, nullptr);
    EXPECT_TRUE(DestroyWindow(doomed));
    EXPECT_FALSE(IsWindow(doomed));
    EXPECT_EQ(SendMessageA(doomed, WM_TIMER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(PostMessageA(doomed, WM_TIMER, 0, 0));
    EXPECT_EQ(sim::pendingMessages(), 0u);
}

} // namespace
