#include "ui/WindowPlacement.h"

#include <gtest/gtest.h>

namespace {
PlacementRect Rect(long l, long t, long r, long b) {
    PlacementRect rect;
    rect.left = l;
    rect.top = t;
    rect.right = r;
    rect.bottom = b;
    return rect;
}
}  // namespace

TEST(CenteredPosition, CentresOnTheReference) {
    const PlacementRect area = Rect(0, 0, 1000, 800);
    PlacementPoint p = CenteredPosition(200, 100, area, area);
    EXPECT_EQ(p.x, 400);
    EXPECT_EQ(p.y, 350);
}

TEST(CenteredPosition, HalvesTruncateTowardZero) {
    const PlacementRect area = Rect(-1000, -1000, 1000, 1000);
    // Reference centre (-3 + 0) / 2 = -1 (not -2); width 5 / 2 = 2.
    PlacementPoint p = CenteredPosition(5, 3, Rect(-3, -3, 0, 0), area);
    EXPECT_EQ(p.x, -1 - 2);
    EXPECT_EQ(p.y, -1 - 1);
}

TEST(CenteredPosition, ClampsToTheLeftAndTopEdges) {
    PlacementPoint p = CenteredPosition(200, 200, Rect(0, 0, 10, 10), Rect(0, 0, 1000, 800));
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(CenteredPosition, ClampsToTheRightAndBottomEdges) {
    PlacementPoint p = CenteredPosition(200, 200, Rect(990, 790, 1000, 800), Rect(0, 0, 1000, 800));
    EXPECT_EQ(p.x, 800);
    EXPECT_EQ(p.y, 600);
}

TEST(CenteredPosition, WindowLargerThanAreaGoesToLeftTop) {
    const PlacementRect area = Rect(10, 20, 610, 420);
    PlacementPoint p = CenteredPosition(2000, 1500, area, area);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
}
