#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// The window position the start-up allows: a left or top edge before the work area's origin
// moves to 0, a right or bottom edge beyond the work area moves back onto it. The sums are
// taken in 64 bits, so any stored position, however large, ends inside the work area.
QPoint KeepInside(qint64 left, qint64 top, QSize outer, const QRect& area);
