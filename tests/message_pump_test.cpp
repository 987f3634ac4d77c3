#include <gtest/gtest.h>

#include "engine_test.h"

namespace {

using MessagePump = EngineTest;

TEST_F(MessagePump, EmptyQueueDoesNothing) {
    pumpMessages();
    EXPECT_FALSE(scanState.terminateRequested);
    EXPECT_TRUE(askedQuestions.empty());
}

TEST_F(MessagePump, EscapeAnsweredNoGoesOnAndSwallowsTheKey) {
    PostMessageA(window.handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    scriptedAnswers.push_back(IDNO);
    pumpMessages();
    EXPECT_FALSE(scanState.terminateRequested);
    ASSERT_EQ(askedQuestions.size(), 1u);
    EXPECT_EQ(askedQuestions[0].text, "Terminate the Scan now?");
    EXPECT_EQ(askedQuestions[0].caption, "Quorvane Ver 1.0");
    EXPECT_EQ(askedQuestions[0].style, 36u);
    pumpMessages(); // nothing was translated into a character for the window
    EXPECT_TRUE(window.otherMessages().empty());
}

TEST_F(MessagePump, EscapeAnsweredYesOrOkStopsTheScan) {
    for (int answer : {IDYES, IDOK}) {
        scanState.terminateRequested = false;
        PostMessageA(window.handle(), WM_KEYDOWN, VK_ESCAPE, 0);
        scriptedAnswers.push_back(answer);
        pumpMessages();
        EXPECT_TRUE(scanState.terminateRequested) << "answer " << answer;
    }
}

// With no control focused, as while Scan is disabled, Escape comes as a system key.
TEST_F(MessagePump, EscapeAsASystemKeyAsksToo) {
    PostMessageA(window.handle(), WM_SYSKEYDOWN, VK_ESCAPE, 0);
    scriptedAnswers.push_back(IDYES);
    pumpMessages();
    ASSERT_EQ(askedQuestions.size(), 1u);
    EXPECT_TRUE(scanState.terminateRequested);
    EXPECT_TRUE(window.otherMessages().empty());
}

TEST_F(MessagePump, OtherMessagesCarryingTwentySevenAreDispatched) {
    PostMessageA(window.handle(), WM_TIMER, VK_ESCAPE, 0);
    PostMessageA(window.handle(), WM_LBUTTONDOWN, VK_ESCAPE, 0);
    pumpMessages();
    pumpMessages();
    EXPECT_TRUE(askedQuestions.empty());
    EXPECT_FALSE(scanState.terminateRequested);
    EXPECT_EQ(window.otherMessages(), (std::vector<UINT>{WM_TIMER, WM_LBUTTONDOWN}));
}

TEST_F(MessagePump, QuitAndDestroyStopWithoutAskingOrDispatching) {
    PostQuitMessage(0);
    pumpMessages();
    EXPECT_TRUE(scanState.terminateRequested);

    scanState.terminateRequested = false;
    PostMessageA(window.handle(), WM_DESTROY, 0, 0);
    pumpMessages();
    EXPECT_TRUE(scanState.terminateRequested);
    EXPECT_TRUE(askedQuestions.empty());
    EXPECT_TRUE(window.otherMessages().empty());
}

TEST_F(MessagePump, HandlesOneMessagePerCall) {
    PostMessageA(window.handle(), WM_TIMER, 1, 0);
    PostMessageA(window.handle(), WM_TIMER, 2, 0);
    pumpMessages();
    EXPECT_EQ(window.otherMessages().size(), 1u);
    pumpMessages();
    EXPECT_EQ(window.otherMessages().size(), 2u);
}

} // namespace
