#pragma once

// The program's pictures are pixel drawings at their size on a 1:1 screen. On a screen with a
// device pixel ratio other than 1 they are enlarged here by repeating pixels, never blending
// them, to a picture of the device's resolution that the painter lays down pixel for pixel:
// the edges stay as crisp as at 1:1.

#include <QIcon>
#include <QImage>
#include <QPoint>

class QPainter;

// `image` made `ratio` times as large by repeating pixels and tagged with `ratio`, so that it
// still covers its own size in logical pixels; `image` itself at ratio 1.
QImage AtDeviceRatio(const QImage& image, qreal ratio);

// Draws `image` with its top left corner at `topLeft`, at the resolution of the painter's
// device.
void DrawSharpImage(QPainter& painter, QPoint topLeft, const QImage& image);

// Adds `image` to `icon` for `mode`, with its enlargement for this application's screens.
void AddSharpPixmaps(QIcon& icon, const QImage& image, QIcon::Mode mode = QIcon::Normal);
// An icon of `image` with its enlargement for this application's screens.
QIcon SharpIcon(const QImage& image);
