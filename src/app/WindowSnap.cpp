#include "WindowSnap.h"

#include <cstdlib>

QPoint SnapToWorkArea(QPoint proposed, QSize size, const QRect& area, int distance) {
    if (proposed.isNull())
        return proposed;
    // QRect's right() and bottom() are the last pixel inside; the edges are one beyond.
    const int left = area.x(), top = area.y();
    const int right = area.x() + area.width(), bottom = area.y() + area.height();
    int x = proposed.x(), y = proposed.y();
    if (std::abs(x - left) < distance)
        x = left;
    if (std::abs(y - top) < distance)
        y = top;
    if (std::abs(x + size.width() - right) < distance)
        x = right - size.width();
    if (std::abs(y + size.height() - bottom) < distance)
        y = bottom - size.height();
    return {x, y};
}
