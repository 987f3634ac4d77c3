// The probe's facts about a window, one per line: a keyword, then the
// values, so that a test can grep for the whole line.
#pragma once

#include <windows.h>

namespace probe {

// "window 0xHWND", "title TEXT", "pid N", "visible 0|1", "enabled 0|1",
// "rect LEFT TOP RIGHT BOTTOM" (screen pixels), "focus ID|window|none|other"
// (which has its thread's keyboard focus), "active 0|1".
void printWindow(HWND window);

// For each direct child, in z-order: "control ID class NAME",
// "control ID visible 0|1", "control ID enabled 0|1",
// "control ID rect LEFT TOP RIGHT BOTTOM", "control ID text TEXT".
// False when a control did not answer in time.
bool printControls(HWND window);

// "count N", "selected N" (-1 for none), "extent N" (the horizontal
// extent), then "line I TEXT" for each line from 0. False when the list
// did not answer in time.
bool printList(HWND list);

// For each top-level window: "toplevel H pid N visible 0|1 class NAME
// title TEXT" (the title last, as it may hold spaces).
void printTopLevelWindows();

// "text ID TEXT" with the control's text; false when it did not answer.
bool printText(HWND control, int id);

} // namespace probe
