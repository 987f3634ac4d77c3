// A static control that paints its text white on the header's blue in the
// bold caption font: the main window's family line.
#ifndef QUORVANE_UI_COLOR_STATIC_H
#define QUORVANE_UI_COLOR_STATIC_H

#include "dialog.h"

// The header blue behind the text, as a Windows colour value.
constexpr COLORREF headerBlue = 0xF64D02;

class CColorStatic : public Control {
protected:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void paint();

    COLORREF textColour_ = RGB(255, 255, 255);
};

#endif // QUORVANE_UI_COLOR_STATIC_H
