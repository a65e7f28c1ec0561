#include "app/WorkArea.h"

#include <gtest/gtest.h>

TEST(WorkArea, AnyStoredPositionEndsInsideTheArea) {
    const QRect area(0, 0, 1024, 740); // a panel takes the bottom 28 pixels
    const QRect offset(1920, 24, 1280, 1000);
    const QSize outer(370, 468);
    const struct {
        qint64 left, top;
        QRect area;
        QPoint expected;
    } cases[] = {
        {200, 133, area, {200, 133}},
        {-50, -7, area, {0, 0}},
        {1000, 500, area, {654, 272}},
        {2147483278, 2147483647, area, {654, 272}},
        {-2147483648LL, -2147483648LL, area, {0, 0}},
        // On a second screen the origin is not 0, yet a negative position still goes to 0
        // first and then only the far edges pull back.
        {5000, 10, offset, {2830, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << "," << c.top);
        EXPECT_EQ(KeepInside(c.left, c.top, outer, c.area), c.expected);
    }
}
