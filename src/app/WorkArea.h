#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// The window position the start-up allows: a left or top edge before the work area's origin
// moves to 0, a right or bottom edge beyond the work area moves back onto it. The sums are
// taken in 64 bits, so any stored position, however large, ends inside the work area.
QPoint KeepInside(qint64 left, qint64 top, QSize outer, const QRect& area);

// Whether the window system tells a program where its windows are: Wayland keeps that to the
// compositor, so a position read there means nothing.
bool PlatformGivesPositions(const QString& platformName);
