// The tray pictures at every size a panel asks for: where the source lands on each canvas, that
// whole-factor enlargements keep every source pixel exact, and the protocol's byte order.
#include "desktop/TrayPixmaps.h"

#include <QRect>
#include <gtest/gtest.h>

namespace {

// The part of the picture that is not fully transparent.
QRect Drawn(const QImage& image) {
    QRect drawn;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                drawn |= QRect(x, y, 1, 1);
    return drawn;
}

QImage Opaque(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(10, 120, 200));
    return image;
}

// A 1-px checkerboard of two colours with one half-transparent pixel and a 1-px line: any
// blending by the enlargement shows at once.
QImage Checkerboard() {
    QImage image(16, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgba(255, 0, 0, 255) : qRgba(0, 0, 255, 255));
    for (int x = 0; x < 16; ++x)
        image.setPixel(x, 9, qRgba(0, 255, 0, 255));
    image.setPixel(5, 5, qRgba(40, 80, 120, 128));
    return image;
}

} // namespace

TEST(TrayPixmaps, EachSizeHoldsTheSourceAtTheLargestWholeFactorCentred) {
    struct Case {
        QSize source;
        // Where the source lands at 16, 22, 24, 32, 48, 64.
        QRect drawn[6];
    };
    const Case cases[] = {
        {{16, 16},
         {{0, 0, 16, 16},
          {3, 3, 16, 16},
          {4, 4, 16, 16},
          {0, 0, 32, 32},
          {0, 0, 48, 48},
          {0, 0, 64, 64}}},
        {{8, 8},
         {{0, 0, 16, 16},
          {3, 3, 16, 16},
          {0, 0, 24, 24},
          {0, 0, 32, 32},
          {0, 0, 48, 48},
          {0, 0, 64, 64}}},
        // Wider than high: the factor is set by the width, the height centred too.
        {{20, 10},
         {{0, 4, 16, 8},
          {1, 6, 20, 10},
          {2, 7, 20, 10},
          {6, 11, 20, 10},
          {4, 14, 40, 20},
          {2, 17, 60, 30}}},
        // Larger than the small sizes: scaled down to fit.
        {{32, 32},
         {{0, 0, 16, 16},
          {0, 0, 22, 22},
          {0, 0, 24, 24},
          {0, 0, 32, 32},
          {8, 8, 32, 32},
          {0, 0, 64, 64}}},
    };
    for (const Case& c : cases) {
        const QList<QImage> pictures = TrayPixmaps(Opaque(c.source));
        ASSERT_EQ(pictures.size(), 6);
        for (int i = 0; i < 6; ++i) {
            const int side = TrayPixmapSizes[i];
            SCOPED_TRACE(testing::Message()
                         << c.source.width() << "x" << c.source.height() << " at " << side);
            EXPECT_EQ(pictures[i].size(), QSize(side, side));
            EXPECT_EQ(pictures[i].format(), QImage::Format_ARGB32);
            EXPECT_EQ(Drawn(pictures[i]), c.drawn[i]);
        }
    }
    EXPECT_TRUE(TrayPixmaps(QImage()).isEmpty());
}

TEST(TrayPixmaps, EverySourcePixelStaysExactAtEachSize) {
    const QImage source = Checkerboard();
    const QList<QImage> pictures = TrayPixmaps(source);
    ASSERT_EQ(pictures.size(), 6);
    for (int i = 0; i < 6; ++i) {
        const int side = TrayPixmapSizes[i];
        const int factor = side / 16;
        const int offset = (side - 16 * factor) / 2;
        const QImage& picture = pictures[i];
        int wrong = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const int sx = (x - offset) / factor;
                const int sy = (y - offset) / factor;
                const bool inside = x >= offset && y >= offset && sx < 16 && sy < 16;
                // The half-transparent pixel keeps its colour: no premultiplying on the way.
                const QRgb expected = inside ? source.pixel(sx, sy) : qRgba(0, 0, 0, 0);
                if (picture.pixel(x, y) != expected && ++wrong <= 3)
                    ADD_FAILURE() << "at " << side << ": pixel " << x << "," << y << " is "
                                  << std::hex << picture.pixel(x, y) << ", not " << expected;
            }
        EXPECT_EQ(wrong, 0) << "at " << side;
    }
}

TEST(TrayPixmaps, PixelBytesAreARGBInNetworkOrderRowByRow) {
    QImage image(2, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0x11, 0x22, 0x33, 0x80));
    image.setPixel(1, 0, qRgba(0xAA, 0xBB, 0xCC, 0xFF));
    image.setPixel(0, 1, qRgba(0x01, 0x02, 0x03, 0x00));
    image.setPixel(1, 1, qRgba(0xF0, 0xE0, 0xD0, 0x7F));
    EXPECT_EQ(SniPixelBytes(image).toHex(' '),
              QByteArray("80 11 22 33 ff aa bb cc 00 01 02 03 7f f0 e0 d0"));

    // A picture without alpha is opaque; another format is converted first.
    QImage rgb(1, 1, QImage::Format_RGB888);
    rgb.setPixel(0, 0, qRgb(0x12, 0x34, 0x56));
    EXPECT_EQ(SniPixelBytes(rgb).toHex(' '), QByteArray("ff 12 34 56"));

    EXPECT_TRUE(SniPixelBytes(QImage()).isEmpty());
}
