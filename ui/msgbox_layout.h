// The arithmetic of the skinned message box: how its buttons and icon follow
// from the style bits, how it grows with the text, and what closing it means.
// Pure functions, so that every rule is testable without a window.
#ifndef QUORVANE_UI_MSGBOX_LAYOUT_H
#define QUORVANE_UI_MSGBOX_LAYOUT_H

#include <stddef.h>

enum class MsgBoxMode { okAlone, okCancel, yesNo };

// Bitmap resources of the four pictures.
constexpr int iconInformation = 152;
constexpr int iconQuestion = 153;
constexpr int iconWarning = 154; // also the picture of a style without icon bits
constexpr int iconError = 155;

// Fixed pixel offsets of the layout, read at the screen origin.
constexpr int textRaise = 25;          // the text control moves up by this much
constexpr int largeFontsTextExtra = 25; // and is this much taller with large fonts
constexpr int iconRaise = 30;          // where a long text moves the picture
constexpr int buttonsAboveBottom = 65; // buttons' top, above the dialog's bottom

struct MsgBoxGrowth {
    int a; // text size class: 10 per started 30 characters
    int b; // extra width in pixels
    int c; // extra height in pixels
};

// Bit 0x1 wins over bit 0x4: style 3 gives OK and Cancel, style 2 the lone OK.
MsgBoxMode msgBoxModeForStyle(unsigned style);

// The picture chosen by the icon bits 0x10, 0x20 and 0x40.
int msgBoxIconForStyle(unsigned style);

MsgBoxGrowth msgBoxGrowthForText(size_t textLength);

// A text of 90 characters or more moves the picture up beside it.
bool msgBoxMovesIcon(const MsgBoxGrowth& growth);

// Escape, the close box and Cancel: No in Yes and No mode, Cancel otherwise.
int msgBoxCancelResult(MsgBoxMode mode);

#endif // QUORVANE_UI_MSGBOX_LAYOUT_H
