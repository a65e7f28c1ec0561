// The value rules the main window and the equalizer window rely on: clamping, which setters
// notify, and what the tray passes on.
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "controls/SimpleTray.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(OrvalenScreenValues, StartValues) {
    TOrvalenScreen screen(nullptr);
    EXPECT_EQ(screen.size(), QSize(244, 75));
    EXPECT_EQ(screen.TuneValue(), 1080);
    EXPECT_FALSE(screen.TunerState());
    EXPECT_TRUE(screen.IsStereo());
    EXPECT_EQ(screen.TuneLevel(), 1);
    EXPECT_FALSE(screen.RDSEnabled());
    EXPECT_TRUE(screen.isFmStyle());
    EXPECT_EQ(screen.FreqFont().family(), "Book Antiqua");
    EXPECT_EQ(screen.FreqFont().pointSize(), 28);
    EXPECT_EQ(screen.FreqFontColor(), QColor(0, 255, 255));
    EXPECT_EQ(screen.TextFont().family(), "Arial");
    EXPECT_EQ(screen.TextFontColor(), QColor(255, 255, 0));
    EXPECT_EQ(screen.BackColor(), QColor(0, 0, 0));
    EXPECT_EQ(screen.DisabledColor(), QColor(128, 128, 128));
    EXPECT_EQ(screen.StereoColor(), QColor(255, 0, 0));
    EXPECT_EQ(screen.LevelColor(), QColor(0, 255, 0));
    EXPECT_EQ(screen.BorderStyle(), bsNone);
}

TEST(OrvalenScreenValues, TuneLevelIsClampedAndOnlyAChangeRedraws) {
    TOrvalenScreen screen(nullptr);
    const struct { int set, stored; } cases[] = {{-3, 0}, {20, 15}, {0, 0}, {15, 15}, {7, 7}};
    for (const auto& c : cases) {
        screen.SetTuneLevel(c.set);
        EXPECT_EQ(screen.TuneLevel(), c.stored) << c.set;
    }
    screen.SetTuneLevel(0);
    const int before = screen.RedrawCount();
    screen.SetTuneLevel(-3); // stores 0 again: nothing to do
    EXPECT_EQ(screen.RedrawCount(), before);
}

TEST(OrvalenScreenValues, RedrawOnlyOnChangeExceptForRds) {
    TOrvalenScreen screen(nullptr);
    screen.SetText("ORVALEN");
    screen.SetTuneValue(880);
    int count = screen.RedrawCount();
    screen.SetText("ORVALEN");
    screen.SetTuneValue(880);
    screen.SetIsStereo(true);
    screen.SetVolumeLeft(0);
    EXPECT_EQ(screen.RedrawCount(), count);
    screen.SetRDSEnabled(false);
    screen.SetRDSString(QString());
    EXPECT_EQ(screen.RedrawCount(), count + 2);
}

TEST(OrvalenScreenValues, ColumnLevelsStayWithinTheColumn) {
    TOrvalenScreen screen(nullptr);
    screen.SetTunerState(true);
    screen.SetVolumeLeft(12);
    screen.SetPeekRight(-4);
    EXPECT_EQ(screen.volumeLeft(), 8);
    EXPECT_EQ(screen.peekRight(), 0);
}

struct NotifyLog {
    std::vector<int> positions;
    void Attach(TImageTrackBar& bar) {
        bar.OnChange = [this](TImageTrackBar* sender) { positions.push_back(sender->Position()); };
    }
};

TEST(ImageTrackBarValues, StartValues) {
    TImageTrackBar bar(nullptr);
    EXPECT_EQ(bar.size(), QSize(100, 28));
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 200);
    EXPECT_EQ(bar.Orientation(), trHorizontal);
    EXPECT_EQ(bar.Frequency(), 1);
    EXPECT_EQ(bar.Tag, 0);
}

TEST(ImageTrackBarValues, PositionSetterClampsAndNotifiesOnlyNewValues) {
    TImageTrackBar bar(nullptr);
    NotifyLog log;
    log.Attach(bar);
    bar.SetPosition(0); // already 0, but never notified yet
    bar.SetPosition(250);
    bar.SetPosition(200);
    bar.SetPosition(-5);
    bar.SetPosition(0);
    EXPECT_EQ(log.positions, (std::vector<int>{0, 200, 0}));
}

TEST(ImageTrackBarValues, PositionSetWithoutHandlerStillCountsAsNotified) {
    TImageTrackBar bar(nullptr);
    bar.SetPosition(40);
    NotifyLog log;
    log.Attach(bar);
    bar.SetPosition(40);
    EXPECT_TRUE(log.positions.empty());
}

TEST(ImageTrackBarValues, RangeChangesClampWithoutNotifying) {
    TImageTrackBar bar(nullptr);
    NotifyLog log;
    bar.SetPosition(150);
    log.Attach(bar);
    bar.SetMax(81);
    EXPECT_EQ(bar.Position(), 81);
    bar.SetMin(90);
    bar.SetMax(100);
    EXPECT_EQ(bar.Position(), 90);
    EXPECT_TRUE(log.positions.empty());
    // The last notified value is still 150, so setting the clamped value notifies.
    bar.SetPosition(90);
    EXPECT_EQ(log.positions, (std::vector<int>{90}));
}

TEST(SimpleTrayValues, TipIsCutTo127Characters) {
    EXPECT_EQ(TrayTip(QString(127, 'a')).size(), 127);
    EXPECT_EQ(TrayTip(QString(300, 'a')), QString(127, 'a'));
    EXPECT_EQ(TrayTip("USB Orvalen"), "USB Orvalen");
    // A character outside the BMP is not split in half.
    const QString pair = QString(126, 'a') + QString::fromUcs4(U"\U0001F4FB");
    EXPECT_EQ(TrayTip(pair), QString(126, 'a'));
}

TEST(SimpleTrayValues, HintBeforeShowOnlyStoresAndTheTipIsCut) {
    TSimpleTray tray(nullptr, nullptr, "USB Orvalen");
    EXPECT_FALSE(tray.IconShown());
    EXPECT_EQ(tray.Hint(), "USB Orvalen");
    const QString longHint(200, 'x');
    tray.SetHint(longHint);
    EXPECT_EQ(tray.Hint(), longHint);
    EXPECT_FALSE(tray.IconShown());
    EXPECT_TRUE(tray.TrayIcon()->toolTip().isEmpty());
    tray.ShowIcon();
    EXPECT_EQ(tray.TrayIcon()->toolTip(), QString(127, 'x'));
    // Once shown, a new hint reaches the icon, cut as well.
    tray.SetHint(QString(300, 'y'));
    EXPECT_EQ(tray.TrayIcon()->toolTip(), QString(127, 'y'));
}

} // namespace
