#include "controls/ImageTrackBar.h"

#include "SendMouse.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(TrackBarConversions, RoundToNearestWithTiesToEven) {
    const struct {
        int position, min, max, travel, offset;
    } toOffset[] = {
        {48, 0, 100, 115, 55},   {50, 0, 200, 237, 59},   {70, 0, 200, 237, 83},
        {120, 0, 200, 237, 142}, {200, 0, 200, 237, 237}, {0, -15, 15, 130, 65},
        {1, 0, 2, 3, 2}, // 1.5
        {1, 0, 2, 5, 2}, // 2.5
        {-15, -15, 15, 130, 0},
    };
    for (const auto& c : toOffset)
        EXPECT_EQ(TrackOffsetFromPosition(c.position, c.min, c.max, c.travel), c.offset)
            << c.position << " in " << c.min << ".." << c.max << ", travel " << c.travel;
    const struct {
        int offset, min, max, travel, position;
    } toPosition[] = {
        {55, 0, 100, 115, 48},   {59, 0, 200, 237, 50},
        {115, 0, 100, 115, 100}, {1, 0, 1, 2, 0}, // 0.5
        {3, 0, 1, 2, 2},                          // 1.5
        {0, -15, 15, 130, -15},  {65, -15, 15, 130, 0},
    };
    for (const auto& c : toPosition)
        EXPECT_EQ(TrackPositionFromOffset(c.offset, c.min, c.max, c.travel), c.position)
            << c.offset << " of " << c.travel;
}

// The two sliders of the main window and one of the equalizer window, with plain pictures of
// the documented sizes.
struct Pictures {
    QImage fmScale{240, 32, QImage::Format_ARGB32};
    QImage needle{3, 48, QImage::Format_ARGB32};
    QImage volumeScale{125, 22, QImage::Format_ARGB32};
    QImage volumeKnob{10, 22, QImage::Format_ARGB32};
    QImage eqSlide{18, 140, QImage::Format_ARGB32};
    QImage eqKnob{18, 10, QImage::Format_ARGB32};
    Pictures() {
        fmScale.fill(QColor(0, 0, 255));
        needle.fill(QColor(255, 0, 0));
        volumeScale.fill(QColor(0, 0, 255));
        volumeKnob.fill(QColor(255, 0, 0));
        eqSlide.fill(QColor(0, 0, 255));
        eqKnob.fill(QColor(255, 0, 0));
    }
};

class TrackBarMouse : public ::testing::Test {
protected:
    Pictures pictures;
    TImageTrackBar tuning{nullptr};
    TImageTrackBar volume{nullptr};
    TImageTrackBar equalizer{nullptr};
    std::vector<int> notified;

    void SetUp() override {
        tuning.resize(240, 35);
        tuning.SetSlidePNGImage(&pictures.fmScale);
        tuning.SetThumbPNGImage(&pictures.needle);
        volume.resize(125, 22);
        volume.SetSlidePNGImage(&pictures.volumeScale);
        volume.SetThumbPNGImage(&pictures.volumeKnob);
        volume.SetMax(100);
        equalizer.SetSlidePNGImage(&pictures.eqSlide);
        equalizer.SetThumbPNGImage(&pictures.eqKnob);
        equalizer.SetMin(-15);
        equalizer.SetMax(15);
        equalizer.SetOrientation(trVertical);
        equalizer.resize(20, 140);
        equalizer.SetPosition(0);
    }
    void Watch(TImageTrackBar& bar) {
        bar.OnChange = [this](TImageTrackBar* sender) { notified.push_back(sender->Position()); };
    }
};

TEST_F(TrackBarMouse, PressesJumpWithTheThumbsMiddleUnderThePointer) {
    const struct {
        TImageTrackBar* bar;
        int x, offset, position;
    } cases[] = {
        {&volume, 60, 55, 48}, {&volume, 3, 0, 0}, {&volume, 124, 115, 100},
        {&tuning, 60, 59, 50}, {&tuning, 0, 0, 0}, {&tuning, 239, 237, 200},
    };
    for (const auto& c : cases) {
        c.bar->SetPosition(c.bar == &volume ? 50 : 150); // the thumb is elsewhere
        SendMouse(*c.bar, QEvent::MouseButtonPress, {c.x, 0});
        SendMouse(*c.bar, QEvent::MouseButtonRelease, {c.x, 0});
        EXPECT_EQ(c.bar->Position(), c.position) << c.x;
        EXPECT_EQ(c.bar->ThumbOffset(), c.offset) << c.x;
    }
}

TEST_F(TrackBarMouse, PressesAlwaysNotifyDragsOnlyOnChange) {
    tuning.SetPosition(100);
    Watch(tuning);
    SendMouse(tuning, QEvent::MouseButtonPress, {60, 0});
    SendMouse(tuning, QEvent::MouseButtonRelease, {60, 0});
    SendMouse(tuning, QEvent::MouseButtonPress, {60, 0});
    EXPECT_EQ(notified, (std::vector<int>{50, 50}));
    // The presses left the last notified value at 100, so the first drag step tells again.
    SendMouse(tuning, QEvent::MouseMove, {60, 10});
    SendMouse(tuning, QEvent::MouseMove, {60, 20});
    SendMouse(tuning, QEvent::MouseMove, {60, 30});
    EXPECT_EQ(notified, (std::vector<int>{50, 50, 50}));
    // Dragging on after leaving the control: 300 is past the end.
    SendMouse(tuning, QEvent::MouseMove, {300, 30});
    SendMouse(tuning, QEvent::MouseButtonRelease, {300, 30});
    SendMouse(tuning, QEvent::MouseMove, {10, 10}); // not pressed: no drag
    EXPECT_EQ(notified, (std::vector<int>{50, 50, 50, 200}));
    EXPECT_EQ(tuning.Position(), 200);
}

TEST_F(TrackBarMouse, PressOnTheThumbNeitherMovesNorNotifies) {
    volume.SetPosition(48); // thumb at x 55..64
    Watch(volume);
    SendMouse(volume, QEvent::MouseButtonPress, {57, 11});
    EXPECT_EQ(volume.Position(), 48);
    EXPECT_TRUE(notified.empty());
    SendMouse(volume, QEvent::MouseMove, {60, 11}); // offset 55: still 48, nothing to tell
    SendMouse(volume, QEvent::MouseMove, {80, 11}); // offset 75: 65
    SendMouse(volume, QEvent::MouseButtonRelease, {80, 11});
    EXPECT_EQ(notified, (std::vector<int>{65}));
}

TEST_F(TrackBarMouse, ThumbEdgeIsNotInside) {
    volume.SetPosition(48); // thumb rectangle x 55..64, y 0..21
    Watch(volume);
    SendMouse(volume, QEvent::MouseButtonPress, {55, 11});
    EXPECT_EQ(notified.size(), 1u) << "a press on the thumb's edge jumps";
}

TEST_F(TrackBarMouse, DisabledBarIgnoresTheMouse) {
    volume.SetPosition(10);
    Watch(volume);
    volume.setEnabled(false);
    SendMouse(volume, QEvent::MouseButtonPress, {100, 5});
    SendMouse(volume, QEvent::MouseMove, {110, 5});
    EXPECT_EQ(volume.Position(), 10);
    EXPECT_TRUE(notified.empty());
}

TEST_F(TrackBarMouse, VerticalBarHasMinAtTheTopAndKeepsItsPositionWhenPainted) {
    equalizer.Paint();
    EXPECT_EQ(equalizer.Position(), 0);
    EXPECT_EQ(equalizer.ThumbOffset(), 65);
    const struct { int y, position; } cases[] = {{5, -15}, {0, -15}, {139, 15}, {70, 0}, {40, -7}};
    for (const auto& c : cases) {
        SendMouse(equalizer, QEvent::MouseButtonPress, {1, c.y});
        SendMouse(equalizer, QEvent::MouseButtonRelease, {1, c.y});
        equalizer.Paint();
        EXPECT_EQ(equalizer.Position(), c.position) << c.y;
    }
}

TEST_F(TrackBarMouse, PaintDrawsSlideAndThumbFromThePictures) {
    volume.SetColor(QColor(10, 20, 30));
    volume.SetPosition(48);
    volume.Paint();
    const QImage& frame = volume.Frame();
    ASSERT_EQ(frame.size(), QSize(125, 22));
    EXPECT_EQ(frame.pixelColor(20, 11), QColor(0, 0, 255));
    EXPECT_EQ(frame.pixelColor(55, 11), QColor(255, 0, 0));
    EXPECT_EQ(frame.pixelColor(64, 11), QColor(255, 0, 0));
    EXPECT_EQ(frame.pixelColor(65, 11), QColor(0, 0, 255));
    // The tall needle is cut off at the bar's bottom; beside the slide the bar's colour shows.
    tuning.SetColor(QColor(10, 20, 30));
    tuning.SetPosition(50);
    tuning.Paint();
    EXPECT_EQ(tuning.Frame().pixelColor(60, 34), QColor(255, 0, 0));
    EXPECT_EQ(tuning.Frame().pixelColor(20, 33), QColor(10, 20, 30));
}

TEST(TrackBarPaint, WithoutPicturesDrawsOutlines) {
    TImageTrackBar bar(nullptr);
    bar.SetColor(Qt::white);
    bar.SetPosition(0);
    bar.Paint();
    // Thumb (0, 4)-(10, 24) outlined; the inside keeps the bar's colour.
    EXPECT_EQ(bar.ThumbRect(), QRect(0, 4, 10, 20));
    EXPECT_EQ(bar.Frame().pixelColor(0, 10), QColor(Qt::black));
    EXPECT_EQ(bar.Frame().pixelColor(5, 6), QColor(Qt::white));
    EXPECT_EQ(bar.Travel(), 90);
}

} // namespace

namespace {

TEST(TrackBarWidget, ShowsWhatItPaints) {
    TImageTrackBar bar(nullptr);
    bar.SetColor(QColor(200, 210, 220));
    bar.SetPosition(120);
    const QImage shown = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, bar.Frame().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(shown.pixelColor(50, 2), QColor(200, 210, 220));
}

} // namespace
