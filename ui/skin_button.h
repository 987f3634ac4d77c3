// Owner-drawn push buttons that paint a bitmap chosen by their state. The
// faces are bitmap resources named after the button's caption (C_FOCUS,
// C_NOTFOCUS and, where there is one, C_DISABLE). A button takes the
// keyboard focus as soon as the mouse enters it and is lit while the mouse
// is over it or it has the focus.
#ifndef QUORVANE_UI_SKIN_BUTTON_H
#define QUORVANE_UI_SKIN_BUTTON_H

#include "dialog.h"

class SkinButton : public Control {
public:
    ~SkinButton() override;

    // Binds the button to its dialog item and loads its faces; false when
    // it cannot be bound or has no caption.
    bool attachSkin(int id, HWND parent);
    bool loadSkinBitmaps(const char* focusName, const char* notFocusName, const char* disabledName);
    // Sizes the button to its normal face without moving it.
    bool sizeToBitmap();

    bool drawItem(const DRAWITEMSTRUCT& item) override;
    bool highlighted() const { return highlighted_ != 0; }

protected:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void releaseBitmaps();
    void setHighlighted(int value);
    void onMouseMove(LPARAM lParam);

    int highlighted_ = 0;
    RECT bitmapRect_ = {};
    HBITMAP disabledBitmap_ = nullptr;
    HBITMAP notFocusBitmap_ = nullptr;
    HBITMAP focusBitmap_ = nullptr;
};

// The main window's buttons: they also show a pointing hand.
class CExButton : public SkinButton {
public:
    ~CExButton() override;
    void loadHandCursor();

protected:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HCURSOR handCursor_ = nullptr;
};

// The message box's buttons keep the standard cursor.
class NCExButton : public SkinButton {};

// A resource bitmap with the standard greys mapped to the 3-D colours.
HBITMAP loadResourceBitmap(const char* name);

#endif // QUORVANE_UI_SKIN_BUTTON_H
