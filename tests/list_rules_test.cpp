// The result list's rules: selection, the running scan's line limit and the
// scrolling extent.
#include <gtest/gtest.h>

#include "list_rules.h"

namespace {

TEST(ResultListRules, TheNewestLineIsSelectedFromTheThird) {
    EXPECT_EQ(listSelectionAfterAppend(1), -1);
    EXPECT_EQ(listSelectionAfterAppend(2), -1);
    EXPECT_EQ(listSelectionAfterAppend(3), 2);
    EXPECT_EQ(listSelectionAfterAppend(150), 149);
}

TEST(ResultListRules, LineOneHundredFiftyOneOfARunningScanEmptiesTheList) {
    EXPECT_FALSE(listMustEmpty(149, false));
    EXPECT_TRUE(listMustEmpty(150, false));
    EXPECT_FALSE(listMustEmpty(150, true)); // the statistics are never emptied away
    EXPECT_FALSE(listMustEmpty(100000, true));
}

TEST(ResultListRules, OnlyLinesWiderThanTheThresholdAndTheExtentWidenIt) {
    EXPECT_EQ(listExtentAfterAppend(0, 560), 0);
    EXPECT_EQ(listExtentAfterAppend(0, 561), 420);
    EXPECT_EQ(listExtentAfterAppend(0, 800), 600);
    EXPECT_EQ(listExtentAfterAppend(600, 800), 600);
    EXPECT_EQ(listExtentAfterAppend(600, 700), 525); // wider than the extent: set again, narrower
    EXPECT_EQ(listExtentAfterAppend(800, 800), 800);
    EXPECT_EQ(listExtentAfterAppend(900, 700), 900);
    EXPECT_EQ(listExtentAfterAppend(0, 2147483647), 1610612735);
}

} // namespace
