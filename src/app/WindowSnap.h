#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where a window proposed at `proposed` with the outer size `size` lands when it snaps to the
// edges of a work area: each edge closer than `distance` pulls the window onto it, left, top,
// right, bottom in this order, so a later edge wins over an earlier one (a window almost as wide
// as the area ends at the right edge). The origin (0, 0) is taken as it is.
QPoint SnapToWorkArea(QPoint proposed, QSize size, const QRect& area, int distance);
