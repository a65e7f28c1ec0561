#include "controls/Reflection.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Reflection {

void FlipBitmap(QImage& image) {
    const int rows = image.height();
    const qsizetype bytes = qsizetype(image.width()) * 3;
    for (int r = 0; r <= (rows - 1) / 2; ++r) {
        uchar* a = image.scanLine(r);
        uchar* b = image.scanLine(rows - 1 - r);
        if (a != b)
            std::swap_ranges(a, a + bytes, b);
    }
}

int FadeAmount(int y, int rows) {
    // nearbyint in the default rounding mode rounds ties to even.
    return int(std::nearbyint(255.0 * y / (2.0 * rows)));
}

void FadeBitmap(QImage& image) {
    const int rows = image.height();
    const qsizetype bytes = qsizetype(image.width()) * 3;
    for (int y = 0; y < rows; ++y) {
        const int d = FadeAmount(y, rows);
        if (d == 0)
            continue;
        uchar* p = image.scanLine(y);
        for (qsizetype i = 0; i < bytes; ++i)
            p[i] = uchar(std::max(int(p[i]) - d, 0));
    }
}

namespace {

// One strip row stretched (nearest pixel) to width + 2·grow pixels, of which the frame keeps
// the middle `width`: frame pixel x shows source pixel ((x + grow) · width) div (width + 2·grow).
void StretchRow(const uchar* src, uchar* dst, int width, int grow) {
    const int den = width + 2 * grow;
    int num = grow * width;
    int s = num / den;
    int rem = num % den;
    for (int x = 0; x < width; ++x) {
        const uchar* p = src + s * 3;
        dst[0] = p[0];
        dst[1] = p[1];
        dst[2] = p[2];
        dst += 3;
        rem += width;
        while (rem >= den) {
            rem -= den;
            ++s;
        }
    }
}

} // namespace

void DrawReflection(QImage& frame, QImage& strip) {
    const int w = frame.width();
    const int h = frame.height();
    if (strip.width() != w || strip.height() != TopBandRows || strip.format() != frame.format())
        strip = QImage(w, TopBandRows, frame.format());
    const int copied = std::min(TopBandRows, h);
    const qsizetype bytes = qsizetype(w) * 3;
    for (int r = 0; r < copied; ++r)
        std::memcpy(strip.scanLine(r), frame.constScanLine(r), bytes);
    FlipBitmap(strip);
    FadeBitmap(strip);
    const int last = std::min(TopBandRows, h);
    for (int i = 0; i < last; ++i) {
        // Strip rows 2k and 2k+1 land on the same frame row and the later one stays, so the
        // earlier one need not be drawn at all.
        if (i + 1 < last && (i + 1) / 2 == i / 2)
            continue;
        const int row = TopBandRows + i / 2;
        if (row >= h)
            break;
        StretchRow(strip.constScanLine(i), frame.scanLine(row), w, i);
    }
}

} // namespace Reflection
