#include "status_pace.h"

bool statusShowsAtOnce(DWORD now, DWORD shownAt, bool shownBefore, bool scanInProgress) {
    if (!scanInProgress || !shownBefore) return true;
    const DWORD elapsed = now - shownAt; // unsigned: right across the wrap of the tick count
    return elapsed >= statusRefreshMs;
}
