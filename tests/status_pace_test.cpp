// The status field's pace: while a scan runs a path is shown at once only
// when the last redraw is old enough; the closing word and everything
// outside a scan are shown at once.
#include <gtest/gtest.h>

#include "status_pace.h"

namespace {

TEST(StatusPace, WhileAScanRunsAPathIsHeldBackUntilTheLastRedrawIsOldEnough) {
    EXPECT_TRUE(statusShowsAtOnce(5000, 0, false, true)); // the first path of a scan
    EXPECT_FALSE(statusShowsAtOnce(5000, 5000, true, true));
    EXPECT_FALSE(statusShowsAtOnce(5000 + statusRefreshMs - 1, 5000, true, true));
    EXPECT_TRUE(statusShowsAtOnce(5000 + statusRefreshMs, 5000, true, true));
    EXPECT_TRUE(statusShowsAtOnce(900000, 5000, true, true));
}

TEST(StatusPace, TheTickCountWrappingAroundNeitherHoldsAPathBackForeverNorShowsItEarly) {
    const DWORD beforeWrap = 0xFFFFFFF0u;
    EXPECT_FALSE(statusShowsAtOnce(beforeWrap + 20, beforeWrap, true, true)); // 4 past the wrap
    EXPECT_TRUE(statusShowsAtOnce(beforeWrap + statusRefreshMs, beforeWrap, true, true));
}

TEST(StatusPace, OutsideARunningScanEveryStatusIsShownAtOnce) {
    EXPECT_TRUE(statusShowsAtOnce(5000, 5000, true, false));
    EXPECT_TRUE(statusShowsAtOnce(5001, 5000, true, false));
}

} // namespace
