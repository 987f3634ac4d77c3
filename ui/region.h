// Window shape and layout from the skin: a region cut from a bitmap by a key
// colour, and the rescaling of a dialog's children to its real client size.
#ifndef QUORVANE_UI_REGION_H
#define QUORVANE_UI_REGION_H

#include "win32api.h"

// The caller owns the region returned; null when none could be built.
HRGN bitmapToRegion(HBITMAP bitmap, COLORREF key, bool keyIsTransparent);

// Scales every descendant of window from a layout designed for a client
// area of designWidth x designHeight. The scaling is about the screen
// origin, which is where the main window sits when it calls this.
void scaleChildWindows(HWND window, int designWidth, int designHeight);

#endif // QUORVANE_UI_REGION_H
