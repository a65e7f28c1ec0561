#include "EmbedFiles.h"
#include "FileBytes.h"
#include "ImageDecode.h"
#include "RawPictures.h"

#include <PictureData.h>
#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;

namespace {

QByteArray Encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
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

// The painter takes the pixels as they are, so a half-transparent colour must already be
// multiplied by its alpha, and the rows must follow each other without padding.
TEST(RawPictures, PixelsArePremultipliedRowAfterRow) {
    QImage source(3, 2, QImage::Format_ARGB32);
    source.fill(Qt::transparent);
    source.setPixel(2, 0, qRgba(200, 100, 50, 128));
    source.setPixel(0, 1, qRgba(10, 20, 30, 255));
    std::string error;
    const auto picture = DecodePicture("fixture.png", Encode(source, "PNG"), &error);
    ASSERT_TRUE(picture) << error;
    EXPECT_EQ(picture->Width, 3);
    EXPECT_EQ(picture->Height, 2);
    EXPECT_EQ(picture->Pixels, (std::vector<std::uint32_t>{0, 0, 0x80643219, 0xff0a141e, 0, 0}));
}

TEST(RawPictures, UnusableFilesAreRefusedWithTheReason) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::gray);
    const QByteArray png = Encode(image, "PNG");
    const struct {
        const char* name;
        QByteArray bytes;
        const char* reason;
    } cases[] = {
        {"broken.png", png.left(png.size() - 10), "PNG"},
        {"photo.jpg", png, "JPEG"},
        {"picture.gif", png, ".png"},
        {"quote\".png", png, "file name"},
        {"", png, "file name"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(DecodePicture(c.name, c.bytes, &error)) << c.name;
        EXPECT_THAT(error, HasSubstr(c.reason)) << c.name;
    }
}

// A picture that does not decode stops the build with its path and leaves the last good
// source as it was, rather than one that lacks the picture.
TEST(EmbedPictureFiles, ADamagedPictureStopsTheBuildNamingIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::gray);
    const QByteArray png = Encode(image, "PNG");
    WriteFileBytes(dir.filePath("good.png"), png);
    WriteFileBytes(dir.filePath("damaged.png"), png.left(png.size() - 10));
    const std::string good = dir.filePath("good.png").toStdString();
    const std::string damaged = dir.filePath("damaged.png").toStdString();
    const std::string missing = dir.filePath("missing.png").toStdString();
    const std::string output = dir.filePath("PictureData.cpp").toStdString();

    std::string error;
    ASSERT_TRUE(EmbedPictureFiles({good}, output, &error)) << error;
    const QByteArray source = ReadFileBytes(QString::fromStdString(output));
    EXPECT_THAT(source.toStdString(), HasSubstr("\"good.png\", 4, 4"));
    for (const std::string& bad : {damaged, missing}) {
        EXPECT_FALSE(EmbedPictureFiles({good, bad}, output, &error));
        EXPECT_THAT(error, HasSubstr(bad));
        EXPECT_EQ(ReadFileBytes(QString::fromStdString(output)), source);
    }
}

// What the build compiled in is exactly what each committed file holds.
TEST(EmbeddedPictures, MatchTheCommittedFiles) {
    const QDir folder(QStringLiteral(ORVALEN_SOURCE_DIR "/resources/pictures"));
    const QStringList names = folder.entryList({"*.png", "*.jpg"}, QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        std::string error;
        const auto expected =
            DecodePicture(name.toStdString(), ReadFileBytes(folder.filePath(name)), &error);
        ASSERT_TRUE(expected) << error;
        const TEmbeddedPicture* built = FindEmbeddedPicture(name.toLatin1().constData());
        ASSERT_NE(built, nullptr) << name.toStdString();
        ASSERT_EQ(QSize(built->Width, built->Height), QSize(expected->Width, expected->Height));
        EXPECT_TRUE(std::equal(expected->Pixels.begin(), expected->Pixels.end(), built->Pixels))
            << name.toStdString();
    }
    EXPECT_EQ(FindEmbeddedPicture("missing.png"), nullptr);
}

// Pixels the generator sets one by one: the tuning needle's opaque dark red middle column and
// its half-transparent top corners.
TEST(EmbeddedPictures, NeedleKeepsItsKnownPixels) {
    const TEmbeddedPicture* needle = FindEmbeddedPicture("trackbar_1_tuning_needle.png");
    ASSERT_NE(needle, nullptr);
    ASSERT_EQ(QSize(needle->Width, needle->Height), QSize(3, 48));
    const std::uint32_t* pixels = needle->Pixels;
    EXPECT_EQ(pixels[1], 0xff6e0000u) << "top of the middle column";
    EXPECT_EQ(pixels[47 * 3 + 1], 0xff6e0000u) << "bottom of the middle column";
    const std::uint32_t corner = pixels[0]; // (235, 40, 40) at alpha 110
    EXPECT_EQ(qAlpha(corner), 110);
    EXPECT_NEAR(qRed(corner), 235 * 110 / 255.0, 1.0);
    EXPECT_NEAR(qGreen(corner), 40 * 110 / 255.0, 1.0);
    EXPECT_NEAR(qBlue(corner), 40 * 110 / 255.0, 1.0);
}

} // namespace
