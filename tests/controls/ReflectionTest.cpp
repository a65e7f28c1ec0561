#include "controls/Reflection.h"

#include <gtest/gtest.h>

namespace {

using namespace Reflection;

struct Bgr {
    int r, g, b;
    bool operator==(const Bgr&) const = default;
};

Bgr At(const QImage& image, int x, int y) {
    const uchar* p = image.constScanLine(y) + x * 3;
    return {p[2], p[1], p[0]};
}

void Put(QImage& image, int x, int y, Bgr c) {
    uchar* p = image.scanLine(y) + x * 3;
    p[0] = uchar(c.b);
    p[1] = uchar(c.g);
    p[2] = uchar(c.r);
}

void FillRow(QImage& image, int y, Bgr c) {
    for (int x = 0; x < image.width(); ++x)
        Put(image, x, y, c);
}

TEST(Reflection, FlipExchangesRowsAroundTheMiddle) {
    for (const int rows : {37, 4}) {
        QImage image(3, rows, QImage::Format_BGR888);
        for (int y = 0; y < rows; ++y)
            FillRow(image, y, {y, 0, 0});
        FlipBitmap(image);
        for (int y = 0; y < rows; ++y)
            EXPECT_EQ(At(image, 2, y).r, rows - 1 - y) << rows << " rows, row " << y;
    }
}

TEST(Reflection, FadeAmountRoundsTiesToEven) {
    const struct {
        int y, rows, d;
    } cases[] = {
        {0, 37, 0},   {1, 37, 3},    {2, 37, 7}, {10, 37, 34},
        {18, 37, 62}, {36, 37, 124}, {1, 85, 2}, // 1.5
        {1, 51, 2},                              // 2.5
        {1, 17, 8},                              // 7.5
        {3, 85, 4},                              // 4.5
    };
    for (const auto& c : cases)
        EXPECT_EQ(FadeAmount(c.y, c.rows), c.d) << c.y << "/" << c.rows;
}

TEST(Reflection, FadeDarkensEveryByteAndStopsAtBlack) {
    QImage image(2, 37, QImage::Format_BGR888);
    image.fill(Qt::black);
    Put(image, 0, 1, {5, 2, 200});
    Put(image, 1, 36, {255, 124, 123});
    FadeBitmap(image);
    EXPECT_EQ(At(image, 0, 1), (Bgr{2, 0, 197}));
    EXPECT_EQ(At(image, 1, 36), (Bgr{131, 0, 0}));
    EXPECT_EQ(At(image, 1, 1), (Bgr{0, 0, 0}));
}

class ReflectionBand : public ::testing::Test {
protected:
    QImage frame{248, 75, QImage::Format_BGR888};
    QImage strip{248, TopBandRows, QImage::Format_BGR888};
    void SetUp() override { frame.fill(Qt::black); }
};

TEST_F(ReflectionBand, AquaRowsReappearDarkenedInTheirMirrorRows) {
    const Bgr aqua{0, 255, 255};
    FillRow(frame, 35, aqua);
    FillRow(frame, 1, aqua);
    DrawReflection(frame, strip);
    for (int x = 0; x < frame.width(); ++x) {
        ASSERT_EQ(At(frame, x, 37), (Bgr{0, 252, 252})) << x;
        ASSERT_EQ(At(frame, x, 54), (Bgr{0, 134, 134})) << x;
    }
    // Every other reflection row mirrors a black row and stays black; the top band and the
    // text panel are left alone.
    for (int y = 0; y < frame.height(); ++y) {
        if (y == 1 || y == 35 || y == 37 || y == 54)
            continue;
        for (int x = 0; x < frame.width(); ++x)
            ASSERT_EQ(At(frame, x, y), (Bgr{0, 0, 0})) << x << "," << y;
    }
}

TEST_F(ReflectionBand, EachRowShowsTheLaterOfItsTwoStripRows) {
    // Frame row 37 + k shows frame row 35 - 2k; row 55 shows row 0.
    for (int y = 0; y < TopBandRows; ++y)
        FillRow(frame, y, {0, 0, 200 + y});
    DrawReflection(frame, strip);
    for (int k = 0; k <= 17; ++k) {
        const int source = 35 - 2 * k;
        const int j = 36 - source;
        EXPECT_EQ(At(frame, 100, 37 + k).b, 200 + source - FadeAmount(j, TopBandRows)) << k;
    }
    EXPECT_EQ(At(frame, 100, 55).b, 200 - 124);
}

TEST_F(ReflectionBand, LowerRowsAreWiderCopies) {
    // One lit pixel right of the middle moves outwards, one pixel per side per strip row.
    for (int y = 0; y < TopBandRows; ++y)
        Put(frame, 186, y, {255, 255, 255});
    DrawReflection(frame, strip);
    int previous = 186;
    for (int row = 37; row <= 55; ++row) {
        int lit = -1;
        for (int x = 0; x < frame.width(); ++x)
            if (At(frame, x, row).r > 0) {
                lit = x;
                break;
            }
        ASSERT_GE(lit, previous) << row;
        previous = lit;
    }
    EXPECT_GT(previous, 186 + 10);
}

} // namespace
