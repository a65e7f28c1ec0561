#include "controls/Pictures.h"

#include "controls/ImageDecode.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

QByteArray Encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Transparent pictures (a failed decode) would still have the right size.
bool HasInk(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128)
                return true;
    return false;
}

TEST(ImageDecode, PngKeepsColoursAndTransparencyOfEveryLayout) {
    QImage source(5, 3, QImage::Format_ARGB32);
    source.fill(Qt::transparent);
    source.setPixel(0, 0, qRgba(255, 0, 0, 255));
    source.setPixel(4, 2, qRgba(10, 200, 30, 128));
    source.setPixel(2, 1, qRgba(0, 0, 255, 255));
    const QImage cases[] = {
        source,
        source.convertToFormat(QImage::Format_RGB32),
        source.convertToFormat(QImage::Format_Grayscale8),
        source.convertToFormat(QImage::Format_Indexed8),
        source.convertToFormat(QImage::Format_RGBA64),
    };
    for (const QImage& image : cases) {
        const QImage decoded = ImageDecode::DecodePng(Encode(image, "PNG"));
        ASSERT_EQ(decoded.size(), image.size()) << image.format();
        const QImage expected = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(decoded.pixel(x, y), expected.pixel(x, y))
                    << image.format() << " at " << x << "," << y;
    }
}

TEST(ImageDecode, DamagedFilesGiveNullImages) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor(20, 120, 220));
    const QByteArray png = Encode(image, "PNG");
    const QByteArray jpeg = Encode(image, "JPG");
    ASSERT_FALSE(ImageDecode::DecodePng(png).isNull());
    ASSERT_FALSE(ImageDecode::DecodeJpeg(jpeg).isNull());
    for (const QByteArray& bad :
         {QByteArray(), QByteArray("not a picture"), png.left(60), png.left(png.size() - 20), jpeg})
        EXPECT_TRUE(ImageDecode::DecodePng(bad).isNull()) << bad.size();
    for (const QByteArray& bad : {QByteArray(), QByteArray("not a picture"), jpeg.left(200), png})
        EXPECT_TRUE(ImageDecode::DecodeJpeg(bad).isNull()) << bad.size();
}

TEST(ImageDecode, JpegColoursSurvive) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 40));
    const QImage decoded = ImageDecode::DecodeJpeg(Encode(image, "JPG"));
    ASSERT_EQ(decoded.size(), QSize(16, 16));
    const QColor c = decoded.pixelColor(8, 8);
    EXPECT_NEAR(c.red(), 200, 6);
    EXPECT_NEAR(c.green(), 40, 6);
    EXPECT_NEAR(c.blue(), 40, 6);
}

TEST(Pictures, EveryPictureIsBuiltInAtItsSize) {
    for (int i = 0; i < 15; ++i) {
        const QImage image = Pictures::ImageList1(i);
        EXPECT_EQ(image.size(), QSize(16, 16)) << i;
        EXPECT_TRUE(HasInk(image)) << "ImageList1 " << i;
    }
    for (int i = 0; i < 7; ++i) {
        const QImage image = Pictures::ImageList2(i);
        EXPECT_EQ(image.size(), QSize(16, 16)) << i;
        EXPECT_TRUE(HasInk(image)) << "ImageList2 " << i;
    }
    EXPECT_TRUE(Pictures::ImageList1(15).isNull());
    EXPECT_TRUE(Pictures::ImageList2(-1).isNull());
    const QSize trackBars[5] = {{240, 32}, {3, 48}, {240, 32}, {125, 22}, {10, 22}};
    for (int i = 0; i < 5; ++i) {
        const QImage* image = Pictures::TrackBarImage(i);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->size(), trackBars[i]) << i;
        EXPECT_TRUE(HasInk(*image)) << "track bar " << i;
        EXPECT_EQ(Pictures::TrackBarImage(i), image) << "the pointer is stable";
    }
    EXPECT_EQ(Pictures::TrackBarImage(5), nullptr);
    EXPECT_EQ(Pictures::EqualizerSlide()->size(), QSize(18, 140));
    EXPECT_EQ(Pictures::EqualizerKnob()->size(), QSize(18, 10));
    EXPECT_TRUE(HasInk(*Pictures::EqualizerKnob()));
    EXPECT_EQ(Pictures::EqualizerIcon().size(), QSize(16, 16));
    EXPECT_TRUE(HasInk(Pictures::EqualizerIcon()));
    EXPECT_EQ(Pictures::WindowIcon().size(), QSize(64, 64));
    EXPECT_TRUE(HasInk(Pictures::WindowIcon()));
    const QImage about = Pictures::AboutPicture();
    ASSERT_EQ(about.size(), QSize(110, 124));
    int coloured = 0;
    for (int y = 0; y < about.height(); ++y)
        for (int x = 0; x < about.width(); ++x) {
            const QColor c = about.pixelColor(x, y);
            coloured += std::abs(c.red() - c.blue()) > 30;
        }
    EXPECT_GT(coloured, 200) << "a colour picture";
}

// The scale marks sit under the needle's middle pixel for the labelled frequencies, so that
// the needle stands on the mark when the tuner is there.
TEST(Pictures, ScaleMarksStandUnderTheNeedle) {
    const struct {
        int item, position, range;
    } marks[] = {
        {0, 0, 200}, {0, 70, 200}, {0, 120, 200}, {0, 170, 200}, {0, 200, 200}, // 88..108
        {2, 0, 81},  {2, 41, 81},  {2, 81, 81},                                 // 65.9, 70, 74
    };
    for (const auto& m : marks) {
        const QImage* scale = Pictures::TrackBarImage(m.item);
        const int offset = int(std::nearbyint(237.0 / m.range * m.position));
        const int middle = offset + 1;
        auto inked = [&](int x) { return qAlpha(scale->pixel(x, 17)) > 200; };
        EXPECT_TRUE(inked(middle)) << "item " << m.item << " position " << m.position;
        EXPECT_FALSE(inked(middle - 1) || inked(middle + 1)) << "a one-pixel mark";
    }
}

} // namespace
