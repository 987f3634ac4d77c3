// The message box's rules: buttons and picture from the style bits, growth
// with the text, and the answer of a box closed without a choice.
#include <gtest/gtest.h>

#include "msgbox_layout.h"

namespace {

TEST(MsgBoxStyle, OkCancelBitWinsOverYesNo) {
    EXPECT_EQ(msgBoxModeForStyle(0x24), MsgBoxMode::yesNo);  // the terminate and restart questions
    EXPECT_EQ(msgBoxModeForStyle(0x41), MsgBoxMode::okCancel);
    EXPECT_EQ(msgBoxModeForStyle(3), MsgBoxMode::okCancel);  // Yes/No/Cancel is shown as OK and Cancel
    EXPECT_EQ(msgBoxModeForStyle(5), MsgBoxMode::okCancel);
    EXPECT_EQ(msgBoxModeForStyle(0), MsgBoxMode::okAlone);
    EXPECT_EQ(msgBoxModeForStyle(2), MsgBoxMode::okAlone);   // Abort/Retry/Ignore has no counterpart
}

TEST(MsgBoxStyle, PictureFollowsTheIconBits) {
    EXPECT_EQ(msgBoxIconForStyle(0x24), iconQuestion);
    EXPECT_EQ(msgBoxIconForStyle(0x41), iconInformation);
    EXPECT_EQ(msgBoxIconForStyle(0x10), iconError);
    EXPECT_EQ(msgBoxIconForStyle(0x30), iconWarning); // both low bits: the exclamation
    EXPECT_EQ(msgBoxIconForStyle(0x70), iconWarning);
    EXPECT_EQ(msgBoxIconForStyle(0x60), iconInformation);
    EXPECT_EQ(msgBoxIconForStyle(0), iconWarning);
    EXPECT_EQ(msgBoxIconForStyle(0x4), iconWarning);
}

TEST(MsgBoxStyle, ClosingWithoutAChoiceIsNoOnlyInYesNoMode) {
    EXPECT_EQ(msgBoxCancelResult(MsgBoxMode::yesNo), 7);
    EXPECT_EQ(msgBoxCancelResult(MsgBoxMode::okCancel), 2);
    EXPECT_EQ(msgBoxCancelResult(MsgBoxMode::okAlone), 2);
}

void expectGrowth(size_t length, int a, int b, int c) {
    const MsgBoxGrowth growth = msgBoxGrowthForText(length);
    EXPECT_EQ(growth.a, a) << length;
    EXPECT_EQ(growth.b, b) << length;
    EXPECT_EQ(growth.c, c) << length;
}

TEST(MsgBoxLayout, GrowsByTenForEveryStartedThirtyCharacters) {
    expectGrowth(0, 10, 12, 7);
    expectGrowth(23, 10, 12, 7); // "Terminate the Scan now?"
    expectGrowth(29, 10, 12, 7);
    expectGrowth(30, 20, 25, 14);
    expectGrowth(59, 20, 25, 14);
    expectGrowth(95, 40, 50, 28);
    expectGrowth(185, 70, 87, 49);
}

TEST(MsgBoxLayout, TheIconMovesFromNinetyCharacters) {
    EXPECT_FALSE(msgBoxMovesIcon(msgBoxGrowthForText(29)));
    EXPECT_FALSE(msgBoxMovesIcon(msgBoxGrowthForText(89)));
    EXPECT_TRUE(msgBoxMovesIcon(msgBoxGrowthForText(90)));
}

TEST(MsgBoxLayout, AnEndlessTextStaysWithinReach) {
    const MsgBoxGrowth growth = msgBoxGrowthForText(static_cast<size_t>(-1));
    EXPECT_GT(growth.a, 0);
    EXPECT_GT(growth.b, growth.a);
    EXPECT_GT(growth.c, 0);
}

} // namespace
