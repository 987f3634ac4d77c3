// How often the main window's status field is redrawn while a scan runs.
// A pure rule, so that it is testable without a window.
#ifndef QUORVANE_UI_STATUS_PACE_H
#define QUORVANE_UI_STATUS_PACE_H

#include "win32api.h"

// The walk reports every entry, thousands a second; the field is redrawn at
// most this often, since nobody reads faster and each redraw costs more than
// the check of the file it names. A path held back is shown when this much
// time has passed since the last redraw.
constexpr DWORD statusRefreshMs = 100;

// Whether a status that arrives at tick `now` is shown at once rather than
// held back: always outside a running scan and once the scan has finished
// (its closing word must be on screen before any question that follows),
// else when nothing has been shown yet or the last redraw, at tick
// `shownAt`, is at least statusRefreshMs old. Ticks wrap around.
bool statusShowsAtOnce(DWORD now, DWORD shownAt, bool shownBefore, bool scanInProgress);

#endif // QUORVANE_UI_STATUS_PACE_H
