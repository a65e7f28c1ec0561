#include "WorkArea.h"

#include "controls/WindowSystem.h"

QPoint KeepInside(qint64 left, qint64 top, QSize outer, const QRect& area) {
    const qint64 right = qint64(area.x()) + area.width();
    const qint64 bottom = qint64(area.y()) + area.height();
    if (left < 0)
        left = 0;
    if (left + outer.width() > right)
        left = right - outer.width();
    if (top < 0)
        top = 0;
    if (top + outer.height() > bottom)
        top = bottom - outer.height();
    return QPoint(int(left), int(top));
}

bool PlatformGivesPositions(const QString& platformName) {
    return !IsWaylandPlatform(platformName);
}
