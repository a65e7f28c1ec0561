// Snapping a dragged window to the edges of the work area.
#include "app/WindowSnap.h"

#include <gtest/gtest.h>

TEST(WindowSnap, EdgesCloserThanTheDistancePullTheWindowOnTheLaterEdgeWinning) {
    const QRect area(0, 0, 1024, 740); // a panel below
    const QSize size(376, 500);
    const struct {
        QPoint Proposed, Expected;
        const char* What;
    } cases[] = {
        {{7, 100}, {0, 100}, "7 pixels from the left edge snaps"},
        {{10, 100}, {10, 100}, "10 pixels does not"},
        {{-9, 100}, {0, 100}, "beyond the edge by 9 snaps back"},
        {{200, 5}, {200, 0}, "top"},
        {{1024 - 376 - 3, 100}, {1024 - 376, 100}, "right edge"},
        {{200, 740 - 500 + 9}, {200, 740 - 500}, "bottom edge"},
        {{0, 0}, {0, 0}, "the origin stays"},
        {{3, 3}, {0, 0}, "a corner snaps both ways"},
        {{500, 300}, {500, 300}, "far from every edge"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SnapToWorkArea(c.Proposed, size, area, 10), c.Expected) << c.What;
}

TEST(WindowSnap, ALaterRuleWinsAndTheAreaMayStartAnywhere) {
    // A window 5 pixels narrower than the area: left snaps first, then right moves it on.
    EXPECT_EQ(SnapToWorkArea({2, 100}, {1019, 400}, QRect(0, 0, 1024, 768), 10), QPoint(5, 100));
    // A second screen to the right, with a panel on its left.
    const QRect second(1064, 0, 1240, 1024);
    EXPECT_EQ(SnapToWorkArea({1070, 200}, {376, 500}, second, 10), QPoint(1064, 200));
    EXPECT_EQ(SnapToWorkArea({1054, 200}, {376, 500}, second, 10), QPoint(1054, 200));
}
