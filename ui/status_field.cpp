#include "status_field.h"

#include "status_pace.h"
#include "ui_state.h"

void StatusField::attach(HWND owner, HWND field) {
    owner_ = owner;
    field_ = field;
}

void StatusField::take(const char* text, bool scanInProgress) {
    lstrcpynA(text_, text, pathTextSize);
    held_ = true;
    if (statusShowsAtOnce(GetTickCount(), shownAt_, shownBefore_, scanInProgress)) {
        showNow();
        return;
    }
    // One timer for all that is held back until it fires.
    if (!timerSet_) timerSet_ = SetTimer(owner_, statusTimerId, statusRefreshMs, nullptr) != 0;
    if (!timerSet_) showNow(); // no timer to show it later
}

void StatusField::flush() {
    if (timerSet_) KillTimer(owner_, statusTimerId);
    timerSet_ = false;
    if (held_) showNow();
}

void StatusField::showNow() {
    SetWindowTextA(field_, text_);
    shownAt_ = GetTickCount();
    shownBefore_ = true;
    held_ = false;
}
