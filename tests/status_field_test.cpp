// The main window's status field, on real static controls: a path that
// comes too soon after the last redraw is held back, the refresh timer
// shows it, and a flush shows what is held at once.
#include <gtest/gtest.h>

#include <string>

#include "status_field.h"
#include "status_pace.h"
#include "ui_state.h"

namespace {

class StatusFieldTest : public ::testing::Test {
protected:
    // Message-only windows: the tests run without a display.
    void SetUp() override {
        owner_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 100, 20, HWND_MESSAGE, nullptr, nullptr, nullptr);
        field_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 100, 20, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
        ASSERT_NE(field_, nullptr);
        status_.attach(owner_, field_);
    }
    void TearDown() override {
        if (owner_) DestroyWindow(owner_);
        if (field_) DestroyWindow(field_);
    }

    std::string shown() const {
        char text[pathTextSize] = {};
        GetWindowTextA(field_, text, sizeof text);
        return text;
    }

    // Hands the refresh timer's messages to the field, as the main window
    // does, for up to `waitMs`; whether one came.
    bool runTimer(DWORD waitMs) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < waitMs) {
            MSG msg;
            if (PeekMessageA(&msg, owner_, WM_TIMER, WM_TIMER, PM_REMOVE)) {
                if (msg.wParam != statusTimerId) continue;
                status_.flush();
                return true;
            }
            Sleep(5);
        }
        return false;
    }

    HWND owner_ = nullptr;
    HWND field_ = nullptr;
    StatusField status_;
};

TEST_F(StatusFieldTest, APathHeldBackIsShownByTheTimerWithoutAnotherStatus) {
    const DWORD start = GetTickCount();
    status_.take("C:\\first", true);
    EXPECT_EQ(shown(), "C:\\first"); // the first path of a scan is shown at once
    status_.take("C:\\second", true);
    if (GetTickCount() - start < statusRefreshMs) {
        EXPECT_EQ(shown(), "C:\\first");
    }
    ASSERT_TRUE(runTimer(10 * statusRefreshMs)) << "no refresh timer";
    EXPECT_EQ(shown(), "C:\\second");
    EXPECT_FALSE(runTimer(3 * statusRefreshMs)) << "the timer goes on with nothing held back";
}

TEST_F(StatusFieldTest, AFlushAndTheEndOfTheScanShowTheTextAtOnce) {
    status_.take("C:\\first", true);
    status_.take("C:\\second", true);
    status_.flush();
    EXPECT_EQ(shown(), "C:\\second");
    EXPECT_FALSE(runTimer(3 * statusRefreshMs)) << "the flush leaves the timer running";

    status_.take("C:\\third", true);
    status_.take("Scanning completed", false);
    EXPECT_EQ(shown(), "Scanning completed");
}

} // namespace
