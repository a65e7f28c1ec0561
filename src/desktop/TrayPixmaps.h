#pragma once

// The pictures a tray item offers its host. A host picks the size nearest to its panel and
// scales that one itself, which turns a small pixel-art picture into a blur. So the item offers
// the 16-px state picture at every size a panel commonly uses, each sharp: enlarged by whole
// factors with nearest-neighbour pixels where a factor fits (32, 48, 64), or centred on a
// transparent canvas where none does (22, 24).

#include <QByteArray>
#include <QImage>
#include <QList>

// The sizes TrayPixmaps returns, in order.
inline constexpr int TrayPixmapSizes[] = {16, 22, 24, 32, 48, 64};

// The source at each of TrayPixmapSizes, square, Format_ARGB32 (not premultiplied). A source of
// another size is enlarged by the largest whole factor that fits and centred; one larger than a
// size is scaled down smoothly to fit, keeping its proportions. A null source gives no pictures.
QList<QImage> TrayPixmaps(const QImage& source);

// The pixel bytes of one picture as the tray protocol carries them beside its width and height:
// row by row, 4 bytes a pixel, A, R, G, B (ARGB32 in network byte order), not premultiplied.
QByteArray SniPixelBytes(const QImage& image);
