// Pixels of the screen's frame image, at the main window's size (248 × 75).
#include "controls/OrvalenScreen.h"

#include <QFontMetrics>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

Rgb At(const QImage& frame, int x, int y) {
    const uchar* p = frame.constScanLine(y) + x * 3;
    return {p[2], p[1], p[0]};
}

constexpr Rgb Lime{0, 255, 0}, Grey{128, 128, 128}, Black{0, 0, 0};

class Screen : public ::testing::Test {
protected:
    TOrvalenScreen screen{nullptr};
    void SetUp() override {
        screen.resize(248, 75);
        screen.SetTuneValue(880);
        screen.SetTunerState(true);
        screen.Paint();
    }
    const QImage& Frame() { return screen.Frame(); }
    int W() { return Frame().width(); }

    // Level bars: the only lime or grey pixels of row 35 between the two columns.
    std::vector<std::pair<int, Rgb>> BarsInRow35() {
        std::vector<std::pair<int, Rgb>> bars;
        for (int x = 35; x < W() - 35; ++x) {
            const Rgb c = At(Frame(), x, 35);
            if (c == Lime || c == Grey)
                bars.push_back({x, c});
        }
        return bars;
    }
    // A column's segment k (1 = top) shows its middle pixel at frame row 4k + 2.
    Rgb SegmentMiddle(bool left, int k) { return At(Frame(), left ? 17 : W() - 18, 4 * k + 2); }
};

TEST_F(Screen, LevelBarsLightUpToTuneLevelWithTheirHeights) {
    const struct { int level, lit; } cases[] = {{-3, 0}, {0, 0}, {1, 1}, {7, 7}, {20, 10}};
    for (const auto& c : cases) {
        screen.SetTuneLevel(c.level);
        const auto bars = BarsInRow35();
        ASSERT_EQ(bars.size(), 10u) << c.level;
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(bars[std::size_t(i)].second, i < c.lit ? Lime : Grey)
                << "level " << c.level << " bar " << i + 1;
    }
    // Bars three pixels apart, one wide, bottoms on row 35, heights i + i div 2.
    const auto bars = BarsInRow35();
    for (int i = 1; i <= 10; ++i) {
        const int x = bars[std::size_t(i - 1)].first;
        if (i > 1) {
            EXPECT_EQ(x - bars[std::size_t(i - 2)].first, 3);
        }
        int height = 0;
        while (At(Frame(), x, 35 - height) == Lime)
            ++height;
        EXPECT_EQ(height, i + i / 2) << "bar " << i;
        EXPECT_EQ(At(Frame(), x + 1, 30), Black);
    }
}

TEST_F(Screen, SwitchedOffEverythingIsGrey) {
    screen.SetText("ORVALEN");
    screen.SetRDSEnabled(true);
    screen.SetRDSString("NOVOSTI");
    screen.SetTuneLevel(15);
    screen.SetVolumeLeft(8);
    screen.SetVolumeRight(5);
    screen.SetTunerState(false);
    int grey = 0;
    for (int y = 0; y < Frame().height(); ++y)
        for (int x = 0; x < W(); ++x) {
            const Rgb c = At(Frame(), x, y);
            ASSERT_TRUE(c.r == c.g && c.g == c.b) << x << "," << y;
            grey += c == Grey;
        }
    EXPECT_GT(grey, 300);
    // The columns show only outlines: the middle of every segment stays black.
    for (int k = 1; k <= 8; ++k) {
        EXPECT_EQ(SegmentMiddle(true, k), Black) << k;
        EXPECT_EQ(At(Frame(), 17, 4 * k + 1), Grey) << k;
    }
}

TEST_F(Screen, FrequencyIsRightAlignedInAFiveCharacterBox) {
    screen.SetTuneValue(1080);
    const QImage wide = Frame().copy();
    screen.SetTuneValue(880);
    const QImage narrow = Frame().copy();
    // The digits' right edge: the rightmost lit pixel in rows 0..20 (only digits are lit
    // there; the "УКВ" mark is grey in the FM band).
    int right = -1;
    for (int y = 0; y <= 20; ++y)
        for (int x = 35; x < W() - 35; ++x)
            if (At(wide, x, y).b > 128 && At(wide, x, y).r == 0)
                right = std::max(right, x);
    ASSERT_GT(right, 100);
    QFont digits("Book Antiqua");
    digits.setPixelSize(37);
    const int tail = QFontMetrics(digits).horizontalAdvance("8.0");
    // "108.0" and " 88.0" share "8.0": only the columns left of it differ.
    int lastDifferent = -1, firstDifferent = W();
    for (int y = 0; y <= 36; ++y)
        for (int x = 0; x < W(); ++x)
            if (!(At(wide, x, y) == At(narrow, x, y))) {
                lastDifferent = std::max(lastDifferent, x);
                firstDifferent = std::min(firstDifferent, x);
            }
    EXPECT_LT(lastDifferent, right - tail + 3);
    EXPECT_GT(firstDifferent, 40);
}

TEST_F(Screen, PeakLightsItsOwnSegmentOnlyAboveTheBar) {
    const struct {
        int volume, peak;
        std::set<int> lit; // segments, 1 = top
    } cases[] = {
        {8, 3, {1, 2, 3, 4, 5, 6, 7, 8}}, {2, 6, {7, 8, 3}}, {0, 0, {}}, {0, 8, {1}},
        {5, 5, {4, 5, 6, 7, 8}},
    };
    const Rgb colours[9] = {{},
                            {255, 0, 0},
                            {255, 0, 0},
                            {255, 255, 0},
                            {255, 255, 0},
                            {0, 255, 255},
                            {0, 255, 255},
                            {0, 255, 255},
                            {0, 255, 255}};
    for (const auto& c : cases) {
        screen.SetVolumeLeft(c.volume);
        screen.SetPeekLeft(c.peak);
        screen.SetVolumeRight(c.volume);
        screen.SetPeekRight(c.peak);
        for (int k = 1; k <= 8; ++k)
            for (const bool left : {true, false}) {
                EXPECT_EQ(SegmentMiddle(left, k), c.lit.count(k) ? colours[k] : Black)
                    << "volume " << c.volume << " peak " << c.peak << " segment " << k
                    << (left ? " left" : " right");
            }
    }
}

TEST_F(Screen, ColumnUpdateTouchesOnlyItsColumnAndTheReflection) {
    screen.SetText("ORVALEN");
    const QImage before = Frame().copy();
    const int redraws = screen.RedrawCount();
    screen.SetVolumeLeft(6);
    EXPECT_EQ(screen.RedrawCount(), redraws + 1);
    for (int y = 0; y < Frame().height(); ++y)
        for (int x = 0; x < W(); ++x)
            if (y <= 37 ? (x < 5 || x > 29) : y > 55) {
                ASSERT_EQ(At(Frame(), x, y), At(before, x, y)) << x << "," << y;
            }
    // The lit segments are mirrored into the band: some reflection pixel is now aqua-ish.
    bool reflected = false;
    for (int y = 38; y <= 55; ++y)
        for (int x = 0; x < 40; ++x)
            reflected |= At(Frame(), x, y).g > 100 && At(Frame(), x, y).r == 0;
    EXPECT_TRUE(reflected);
}

TEST_F(Screen, LitTopSegmentIsReflectedIntoRows51And52) {
    screen.SetPeekLeft(8); // only segment 1, frame rows 5..7
    std::set<int> rows;
    for (int y = 38; y <= 55; ++y)
        for (int x = 0; x < 40; ++x) {
            const Rgb c = At(Frame(), x, y);
            if (c.r > 0 && c.g == 0)
                rows.insert(y);
        }
    EXPECT_EQ(rows, (std::set<int>{51, 52}));
    // Darker (row 7 faded by 100, row 5 by 107) and wider: it reaches x 0, left of the
    // column's own x 5.
    EXPECT_EQ(At(Frame(), 0, 51), (Rgb{155, 0, 0}));
    EXPECT_EQ(At(Frame(), 2, 52), (Rgb{148, 0, 0}));
}

TEST_F(Screen, TextPanelClipsTheNameAndSplitsOnlyWithRds) {
    const QString name = "WWWWWWWWWWWWWWWWWWWWWWWW";
    screen.SetRDSString("NOVOSTI");
    screen.SetText(name);
    auto yellowColumns = [&](int from, int to) {
        int n = 0;
        for (int x = from; x < to; ++x)
            for (int y = 57; y < Frame().height(); ++y)
                if (At(Frame(), x, y).r > 100 && At(Frame(), x, y).b == 0) {
                    ++n;
                    break;
                }
        return n;
    };
    EXPECT_GT(yellowColumns(3, 153), 100);
    EXPECT_EQ(yellowColumns(153, W()), 0);
    EXPECT_EQ(At(Frame(), 153, 60), Black);
    for (int x = 0; x < W(); ++x)
        ASSERT_EQ(At(Frame(), x, 56), Grey) << x;

    screen.SetText("A");
    screen.SetRDSEnabled(true);
    EXPECT_GT(yellowColumns(155, W()), 20);
    for (int y = 56; y < Frame().height(); ++y)
        EXPECT_EQ(At(Frame(), 153, y), Grey) << y;
}

TEST_F(Screen, TextChangeRedrawsOnlyThePanel) {
    const QImage before = Frame().copy();
    screen.SetText("RETRO");
    for (int y = 0; y < 56; ++y)
        for (int x = 0; x < W(); ++x)
            ASSERT_EQ(At(Frame(), x, y), At(before, x, y)) << x << "," << y;
    const int redraws = screen.RedrawCount();
    const QImage after = Frame().copy();
    screen.SetText("RETRO");
    EXPECT_EQ(screen.RedrawCount(), redraws);
    EXPECT_EQ(Frame(), after);
}

TEST_F(Screen, SingleBorderFramesTheScreenInTheControlsColour) {
    QPalette palette = screen.palette();
    palette.setColor(QPalette::Window, QColor(10, 20, 30));
    screen.setPalette(palette);
    screen.SetBorderStyle(bsSingle);
    screen.Paint();
    for (const QPoint p : {QPoint(0, 0), QPoint(247, 40), QPoint(100, 74), QPoint(0, 50)})
        EXPECT_EQ(At(Frame(), p.x(), p.y()), (Rgb{10, 20, 30})) << p.x() << "," << p.y();
}

} // namespace

namespace {

// What the window system shows is the frame image, including after a resize.
TEST(ScreenWidget, ShowsItsFrame) {
    TOrvalenScreen screen(nullptr);
    screen.SetTunerState(true);
    screen.resize(248, 75);
    const QImage shown = screen.grab().toImage().convertToFormat(QImage::Format_BGR888);
    ASSERT_EQ(screen.Frame().size(), QSize(248, 75));
    EXPECT_EQ(shown, screen.Frame());
}

} // namespace
