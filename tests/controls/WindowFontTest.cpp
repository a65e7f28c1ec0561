#include "controls/WindowFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <gtest/gtest.h>

namespace {

class WindowFontTest : public ::testing::TestWithParam<qreal> {
protected:
    static void SetUpTestSuite() {
        QFontDatabase::addApplicationFont(
            QStringLiteral("/usr/share/wine/fonts/ms_sans_serif.ttf"));
    }

    static QFont Bitmap(QFont::Weight weight) {
        QFont font(QStringLiteral("MS Sans Serif"));
        font.setPixelSize(11);
        font.setWeight(weight);
        return font;
    }
};

const QString Sample = QStringLiteral("Частота дискретизации 44100");

} // namespace

// At other ratios the stand-in keeps the weight and writes a text about as wide, so the
// windows' fixed layouts still fit.
TEST_P(WindowFontTest, StandInIsScalableAsWideAndOfTheSameWeight) {
    for (const QFont::Weight weight : {QFont::Normal, QFont::Bold}) {
        const QFont bitmap = Bitmap(weight);
        const QFont font = WindowFontFor(bitmap, GetParam());
        EXPECT_TRUE(QFontDatabase::isSmoothlyScalable(QFontInfo(font).family()))
            << QFontInfo(font).family().toStdString();
        EXPECT_EQ(QFontInfo(font).weight(), weight);
        const qreal wanted = QFontMetricsF(bitmap).horizontalAdvance(Sample);
        EXPECT_NEAR(QFontMetricsF(font).horizontalAdvance(Sample), wanted, 0.1 * wanted);
    }
}

INSTANTIATE_TEST_SUITE_P(Ratios, WindowFontTest, ::testing::Values(1.25, 1.5, 2.0));
