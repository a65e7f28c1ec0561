#include "controls/Pictures.h"

#include <PictureData.h>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// Transparent pictures (a missing one) would still have the right size.
bool HasInk(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128)
                return true;
    return false;
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
    const struct {
        const char* what;
        QImage image;
        QSize size;
    } singles[] = {
        {"equalizer slide", *Pictures::EqualizerSlide(), {18, 140}},
        {"equalizer knob", *Pictures::EqualizerKnob(), {18, 10}},
        {"equalizer icon", Pictures::EqualizerIcon(), {16, 16}},
        {"window icon", Pictures::WindowIcon(), {64, 64}},
        {"About button", Pictures::AboutButton(), {16, 16}},
        {"Options button", Pictures::OptionsButton(), {16, 16}},
        {"list button", Pictures::ListButton(), {16, 16}},
    };
    for (const auto& single : singles) {
        EXPECT_EQ(single.image.size(), single.size) << single.what;
        EXPECT_TRUE(HasInk(single.image)) << single.what;
    }
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

// A picture is the built-in constant pixels themselves; painting on it must change a copy,
// never those pixels (they are read-only memory).
TEST(Pictures, PicturesAreReadOnlyViewsOfTheBuiltInPixels) {
    const QImage button = Pictures::ImageList1(2);
    EXPECT_EQ(button.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(static_cast<const void*>(button.constBits()),
              static_cast<const void*>(FindEmbeddedPicture("imagelist1_02.png")->Pixels));
    QImage changed = Pictures::ImageList1(2);
    changed.fill(Qt::red);
    EXPECT_EQ(Pictures::ImageList1(2), button);
    EXPECT_NE(changed, button);
}

// A name that is not built in, or a size other than the picture's, gives a transparent
// picture of the size the caller lays out.
TEST(Pictures, LoadGivesATransparentPictureForAnUnknownNameOrSize) {
    for (const auto& [name, size] : {std::pair{"no_such_picture.png", QSize(7, 5)},
                                     std::pair{"imagelist1_00.png", QSize(20, 20)}}) {
        const QImage image = Pictures::Load(QString::fromLatin1(name), size.width(), size.height());
        EXPECT_EQ(image.size(), size) << name;
        EXPECT_FALSE(HasInk(image)) << name;
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << name;
    }
}

// Without the program's icon in the icon theme, the icon is made from the built-in pictures:
// the picture drawn for a size where there is one, else the next larger scaled down.
TEST(Pictures, ApplicationIconFallsBackToTheBuiltInPictures) {
    QTemporaryDir noThemes;
    ASSERT_TRUE(noThemes.isValid());
    const QStringList themePaths = QIcon::themeSearchPaths();
    const QStringList fallbackPaths = QIcon::fallbackSearchPaths();
    QIcon::setThemeSearchPaths({noThemes.path()});
    QIcon::setFallbackSearchPaths({noThemes.path()});
    const QIcon icon = Pictures::ApplicationIcon();
    QIcon::setThemeSearchPaths(themePaths);
    QIcon::setFallbackSearchPaths(fallbackPaths);

    ASSERT_FALSE(icon.isNull());
    for (const int side : {16, 256}) {
        const QImage built =
            Pictures::Load(QStringLiteral("app_icon_%1.png").arg(side), side, side);
        ASSERT_TRUE(HasInk(built)) << side;
        const QImage shown = icon.pixmap(side, side).toImage();
        EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied), built) << side;
    }
    EXPECT_EQ(icon.pixmap(40, 40).size(), QSize(40, 40));
    EXPECT_EQ(icon.pixmap(512, 512).size(), QSize(256, 256)) << "never enlarged";
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
