// The rules of the main window's result list: how many lines it keeps while
// a scan runs, which line is selected, and how wide it lets the user scroll.
// Pure functions, so that they are testable without a window.
#ifndef QUORVANE_UI_LIST_RULES_H
#define QUORVANE_UI_LIST_RULES_H

// A running scan keeps at most this many lines; the next one empties the list.
constexpr int runningListLimit = 150;

// Lines narrower than this never widen the scrolling extent.
constexpr int extentThreshold = 560;

// Whether the list must be emptied before the next line is added.
bool listMustEmpty(int lineCount, bool scanFinished);

// The line to select once the list holds lineCount lines, or -1 to leave the
// selection alone: the first two lines are not selected.
int listSelectionAfterAppend(int lineCount);

// The horizontal extent after an append whose widest line measures widest:
// three quarters of it when it is wider than the threshold and the current
// extent, else the current extent unchanged.
int listExtentAfterAppend(int currentExtent, int widest);

#endif // QUORVANE_UI_LIST_RULES_H
