#include "controls/Reflection.h"

#include <algorithm>
#include <cmath>

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

// One top-band row, darkened by `fade`, stretched (nearest pixel) to width + 2·grow pixels of
// which the frame keeps the middle `width`: frame pixel x shows source pixel
// ((x + grow) · width) div (width + 2·grow).
void StretchRow(const uchar* src, uchar* dst, int width, int grow, int fade) {
    const int den = width + 2 * grow;
    int s = grow * width / den;
    int rem = grow * width % den;
    for (int x = 0; x < width; ++x) {
        const uchar* p = src + s * 3;
        dst[0] = uchar(p[0] > fade ? p[0] - fade : 0);
        dst[1] = uchar(p[1] > fade ? p[1] - fade : 0);
        dst[2] = uchar(p[2] > fade ? p[2] - fade : 0);
        dst += 3;
        rem += width;
        if (rem >= den) { // den > width: the source advances at most one pixel per step
            rem -= den;
            ++s;
        }
    }
}

} // namespace

// The result is that of copying the top band into the strip, FlipBitmap, FadeBitmap and the
// stretched copies, but only the strip rows that survive are computed, straight from the
// frame: strip row i is frame row 36 - i darkened by FadeAmount(i, 37). The strip is kept
// as the scratch image its owner allocates once.
void DrawReflection(QImage& frame, QImage& strip) {
    const int w = frame.width();
    const int h = frame.height();
    if (strip.width() != w || strip.height() != TopBandRows || strip.format() != frame.format())
        strip = QImage(w, TopBandRows, frame.format());
    const int last = std::min(TopBandRows, h);
    for (int i = 0; i < last; ++i) {
        // Strip rows 2k and 2k+1 land on the same frame row and the later one stays, so the
        // earlier one need not be drawn at all.
        if (i + 1 < last && (i + 1) / 2 == i / 2)
            continue;
        const int row = TopBandRows + i / 2;
        if (row >= h)
            break;
        const int source = TopBandRows - 1 - i;
        if (source >= h)
            continue;
        StretchRow(frame.constScanLine(source), frame.scanLine(row), w, i,
                   FadeAmount(i, TopBandRows));
    }
}

} // namespace Reflection
