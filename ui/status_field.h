// The main window's status field: it takes every status the engine reports,
// and redraws at the pace of ui/status_pace.h, showing a held-back path
// from a timer so that the field never stays behind the walk for long.
#ifndef QUORVANE_UI_STATUS_FIELD_H
#define QUORVANE_UI_STATUS_FIELD_H

#include "scan_state.h"
#include "win32api.h"

class StatusField {
public:
    // The field, and the window whose timer shows what was held back.
    void attach(HWND owner, HWND field);

    // Takes a copy of `text` before it returns; shows it now or within
    // statusRefreshMs (statusShowsAtOnce).
    void take(const char* text, bool scanInProgress);

    // Shows what was held back now, and stops the timer: when the refresh
    // timer fires, and when the scan is over.
    void flush();

private:
    void showNow();

    HWND owner_ = nullptr;
    HWND field_ = nullptr;
    char text_[pathTextSize] = {};
    DWORD shownAt_ = 0;
    bool shownBefore_ = false;
    bool held_ = false;
    bool timerSet_ = false;
};

#endif // QUORVANE_UI_STATUS_FIELD_H
