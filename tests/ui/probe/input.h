// Using a window as a person would: pressing its buttons, clicking at a
// control, typing a key.
#pragma once

#include <windows.h>

namespace probe {

// Why a person could not use `control` of `window` now ("hidden",
// "disabled", "window-disabled"), or nullptr when they could.
const char* unusable(HWND window, HWND control);

// Why a click at `point` would not reach `control` ("covered"), or nullptr.
const char* unreachable(HWND control, POINT point);

// The control's centre on the screen.
POINT centreOf(HWND control);

// Posts the button's command to `window`, as the button does when pressed.
// Posted, never sent: a window that answers with a modal loop would hold a
// sent message until the loop ends.
bool postCommand(HWND window, int id, HWND control);

// `clicks` real left clicks in a row at `point` (1 or 2; two are one
// double-click): the pointer is moved there and the button pressed and
// released through the system's input queue.
bool clickAt(POINT point, int clicks);

// Makes `window` the foreground window, so that keys reach its focus
// control; false when the system did not do so.
bool bringToFront(HWND window);

// A real key press and release of virtual key `key`, to the foreground
// window's focus control.
bool typeKey(WORD key);

// Posts a key-down message of `key` to `window`'s focus control (to the
// window itself when the focus is elsewhere).
bool postKey(HWND window, WORD key);

// The virtual key named `name` ("escape", "enter", "space", "tab"), or 0.
WORD keyNamed(const char* name);

} // namespace probe
