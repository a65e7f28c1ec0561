#include "TrayPixmaps.h"

#include <algorithm>

namespace {

// Each source pixel becomes a factor × factor block: no pixel is invented, so edges stay sharp.
QImage Enlarge(const QImage& source, int factor) {
    QImage enlarged(source.width() * factor, source.height() * factor, QImage::Format_ARGB32);
    for (int y = 0; y < enlarged.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y / factor));
        auto* to = reinterpret_cast<QRgb*>(enlarged.scanLine(y));
        for (int x = 0; x < enlarged.width(); ++x)
            to[x] = from[x / factor];
    }
    return enlarged;
}

QImage Fit(const QImage& source, int side) {
    QImage canvas(side, side, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    const int factor = std::min(side / source.width(), side / source.height());
    const QImage picture =
        factor >= 1 ? Enlarge(source, factor)
                    : source.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_ARGB32);
    // An extreme strip (say 1000 × 1) scales to nothing; the canvas stays empty then.
    if (picture.isNull())
        return canvas;
    const int left = (side - picture.width()) / 2;
    const int top = (side - picture.height()) / 2;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        std::copy(from, from + picture.width(),
                  reinterpret_cast<QRgb*>(canvas.scanLine(top + y)) + left);
    }
    return canvas;
}

} // namespace

QList<QImage> TrayPixmaps(const QImage& source) {
    if (source.isNull())
        return {};
    // Straight (not premultiplied) alpha: that is what the protocol carries, and copying pixels
    // one for one keeps semi-transparent edges exactly as drawn.
    const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    QList<QImage> pictures;
    for (int side : TrayPixmapSizes)
        pictures << Fit(argb, side);
    return pictures;
}

QByteArray SniPixelBytes(const QImage& image) {
    if (image.isNull())
        return {};
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray bytes(qsizetype(argb.width()) * argb.height() * 4, Qt::Uninitialized);
    char* out = bytes.data();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            *out++ = char(qAlpha(line[x]));
            *out++ = char(qRed(line[x]));
            *out++ = char(qGreen(line[x]));
            *out++ = char(qBlue(line[x]));
        }
    }
    return bytes;
}
