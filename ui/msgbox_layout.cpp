#include "msgbox_layout.h"

namespace {

// The system message box's style bits and answers.
constexpr unsigned styleOkCancel = 0x1;
constexpr unsigned styleYesNo = 0x4;
constexpr unsigned styleIconError = 0x10;
constexpr unsigned styleIconQuestion = 0x20;
constexpr unsigned styleIconBoth = 0x30; // the exclamation bits of the system box
constexpr unsigned styleIconInformation = 0x40;
constexpr int answerCancel = 2;
constexpr int answerNo = 7;

constexpr size_t charactersPerStep = 30;
constexpr int growthStep = 10;
// Beyond any question the program asks; keeps the arithmetic within int.
constexpr size_t longestLaidOutText = 30000;

} // namespace

MsgBoxMode msgBoxModeForStyle(unsigned style) {
    if (style & styleOkCancel) return MsgBoxMode::okCancel;
    if (style & styleYesNo) return MsgBoxMode::yesNo;
    return MsgBoxMode::okAlone;
}

int msgBoxIconForStyle(unsigned style) {
    if ((style & styleIconBoth) == styleIconBoth) return iconWarning;
    if (style & styleIconInformation) return iconInformation;
    if (style & styleIconQuestion) return iconQuestion;
    if (style & styleIconError) return iconError;
    return iconWarning;
}

MsgBoxGrowth msgBoxGrowthForText(size_t textLength) {
    if (textLength > longestLaidOutText) textLength = longestLaidOutText;
    MsgBoxGrowth growth;
    growth.a = static_cast<int>(textLength / charactersPerStep + 1) * growthStep;
    growth.b = static_cast<int>(growth.a * 1.25);
    growth.c = growth.a - growth.b / 4;
    return growth;
}

bool msgBoxMovesIcon(const MsgBoxGrowth& growth) { return growth.a > 3 * growthStep; }

int msgBoxCancelResult(MsgBoxMode mode) { return mode == MsgBoxMode::yesNo ? answerNo : answerCancel; }
