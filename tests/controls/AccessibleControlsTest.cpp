// The image slider and the display as assistive technology sees them, and the slider's
// keyboard.
#include "WaitFor.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

TEST(ScreenReading, SaysWhatTheDisplayShows) {
    const struct {
        TScreenReading reading;
        const char* text;
    } cases[] = {
        {{1017, true, "Новости", true, true, true, "ROCK    "},
         "101.7 МГц FM, Новости, стерео, RDS: ROCK"},
        {{700, false, "", true, false, false, "ROCK"}, "70.0 МГц УКВ, моно"},
        {{880, true, "  ", true, true, true, "        "}, "88.0 МГц FM, стерео"},
        {{1080, true, "Дача", true, false, true, ""}, "108.0 МГц FM, Дача, моно"},
        // A tuner that is off shows only the frequency, whatever else is stored.
        {{880, true, "Первое", false, true, true, "ROCK"}, "88.0 МГц FM, выключен"},
        {{659, false, "", false, false, false, ""}, "65.9 МГц УКВ, выключен"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScreenReadingText(c.reading).toStdString(), c.text);
}

TEST(ScreenAccessible, IsStaticTextNamedByItsReadingAndAnnouncesChanges) {
    TOrvalenScreen screen(nullptr);
    screen.SetTunerState(true);
    screen.SetTuneValue(1017);
    screen.SetText("Новости");
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&screen);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::StaticText);
    EXPECT_EQ(face->text(QAccessible::Name), screen.ReadingText());
    EXPECT_EQ(face->text(QAccessible::Name).toStdString(), "101.7 МГц FM, Новости, стерео");

    // Each change of what the display says is told once (and so given to assistive
    // technology as a new name); what leaves it alone, never.
    int told = 0;
    QObject::connect(&screen, &TOrvalenScreen::ReadingChanged, [&] { ++told; });
    const struct {
        const char* what;
        std::function<void()> change;
        int events;
    } steps[] = {
        {"station name", [&] { screen.SetText("Дача"); }, 1},
        {"same name", [&] { screen.SetText("Дача"); }, 0},
        {"frequency", [&] { screen.SetTuneValue(955); }, 1},
        {"mono", [&] { screen.SetIsStereo(false); }, 1},
        {"RDS name shown", [&] { screen.SetRDSEnabled(true), screen.SetRDSString("ROCK"); }, 1},
        {"same RDS again", [&] { screen.SetRDSString("ROCK"); }, 0},
        {"level columns", [&] { screen.SetVolumeLeft(5), screen.SetTuneLevel(9); }, 0},
        {"band", [&] { screen.SetIsFmStyle(false); }, 1},
        {"off", [&] { screen.SetTunerState(false); }, 1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        told = 0;
        s.change();
        EXPECT_EQ(told, s.events);
    }
    EXPECT_EQ(face->text(QAccessible::Name).toStdString(), "95.5 МГц УКВ, выключен");
}

class TrackBarAccess : public ::testing::Test {
protected:
    void SetUp() override {
        bar.SetMin(0);
        bar.SetMax(200);
        bar.SetPosition(50);
        bar.OnChange = [this](TImageTrackBar* sender) { notified.push_back(sender->Position()); };
    }
    QAccessibleValueInterface* Value() {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&bar);
        return face ? face->valueInterface() : nullptr;
    }
    TImageTrackBar bar{nullptr};
    std::vector<int> notified;
};

TEST_F(TrackBarAccess, IsASliderWithTheOwnersValueText) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Slider);
    EXPECT_EQ(face->text(QAccessible::Value), "50") << "the bare position without a formatter";
    bar.AccessibleValueText = [](int position) { return QString("%1 units").arg(position * 2); };
    EXPECT_EQ(face->text(QAccessible::Value), "100 units");
    QAccessibleValueInterface* value = face->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 50);
    EXPECT_EQ(value->minimumValue().toInt(), 0);
    EXPECT_EQ(value->maximumValue().toInt(), 200);
    EXPECT_EQ(value->minimumStepSize().toInt(), 1);
}

TEST_F(TrackBarAccess, SettingTheValueActsAsADrag) {
    QAccessibleValueInterface* value = Value();
    ASSERT_NE(value, nullptr);
    value->setCurrentValue(120);
    EXPECT_EQ(bar.Position(), 120);
    EXPECT_EQ(notified, std::vector<int>({120}));
    // The same value again is no change; past the end is the end.
    value->setCurrentValue(120);
    value->setCurrentValue(999);
    EXPECT_EQ(bar.Position(), 200);
    EXPECT_EQ(notified, std::vector<int>({120, 200}));
    value->setCurrentValue(QString("not a number"));
    EXPECT_EQ(bar.Position(), 200);
    // A disabled bar is no more moved this way than by the mouse.
    bar.setEnabled(false);
    value->setCurrentValue(10);
    EXPECT_EQ(bar.Position(), 200);
    EXPECT_EQ(notified.size(), 2u);
}

// A bar in a window that has window shortcuts on the bar's keys, as the main window has.
class TrackBarKeys : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(300, 200);
        horizontal->setGeometry(10, 10, 240, 30);
        vertical->setGeometry(10, 50, 20, 140);
        vertical->SetOrientation(trVertical);
        vertical->SetMin(-15);
        vertical->SetMax(15);
        horizontal->SetMax(200);
        for (QKeyCombination key : {QKeyCombination(Qt::Key_Left), Qt::CTRL | Qt::Key_Left,
                                    QKeyCombination(Qt::Key_PageUp)}) {
            auto* action = new QAction(&window);
            action->setShortcut(key);
            action->setShortcutContext(Qt::WindowShortcut);
            QObject::connect(action, &QAction::triggered,
                             [this, key] { shortcuts.push_back(key.key()); });
            window.addAction(action);
        }
        window.show();
        window.activateWindow();
        ASSERT_TRUE(WaitFor([&] { return window.isActiveWindow(); }));
    }
    static void Press(QWidget* target, QKeyCombination key) {
        QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers());
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key.key(), key.keyboardModifiers());
        QApplication::sendEvent(target, &release);
    }
    QWidget window;
    TImageTrackBar* horizontal = new TImageTrackBar(&window);
    TImageTrackBar* vertical = new TImageTrackBar(&window);
    std::vector<int> shortcuts;
};

TEST_F(TrackBarKeys, FocusedBarAnswersTheSliderKeysAheadOfTheWindowsShortcuts) {
    horizontal->SetPosition(100);
    vertical->SetPosition(0);
    // Up, Right and Page Up move the thumb up or right: on the vertical bar, towards Min.
    const struct {
        TImageTrackBar* bar;
        QKeyCombination key;
        int position;
    } cases[] = {
        {horizontal, Qt::Key_Right, 101},  {horizontal, Qt::Key_Up, 102},
        {horizontal, Qt::Key_Left, 101},   {horizontal, Qt::Key_Down, 100},
        {horizontal, Qt::Key_PageUp, 120}, {horizontal, Qt::Key_PageDown, 100},
        {horizontal, Qt::Key_End, 200},    {horizontal, Qt::Key_Right, 200},
        {horizontal, Qt::Key_Home, 0},     {horizontal, Qt::Key_PageDown, 0},
        {vertical, Qt::Key_Up, -1},        {vertical, Qt::Key_Down, 0},
        {vertical, Qt::Key_Right, -1},     {vertical, Qt::Key_PageUp, -4},
        {vertical, Qt::Key_PageDown, -1},  {vertical, Qt::Key_End, 15},
        {vertical, Qt::Key_Home, -15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
        c.bar->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(c.bar->hasFocus());
        Press(c.bar, c.key);
        EXPECT_EQ(c.bar->Position(), c.position);
    }
    EXPECT_TRUE(shortcuts.empty()) << "a focused bar keeps its keys";
    // With a modifier the key is the window's.
    Press(horizontal, Qt::CTRL | Qt::Key_Left);
    EXPECT_EQ(shortcuts, std::vector<int>({Qt::Key_Left}));
    EXPECT_EQ(horizontal->Position(), 0);
}

TEST_F(TrackBarKeys, KeysMoveAsADragAndADisabledBarLeavesThemToTheWindow) {
    std::vector<int> notified;
    horizontal->SetPosition(100);
    horizontal->OnChange = [&](TImageTrackBar* sender) { notified.push_back(sender->Position()); };
    horizontal->SetLineSize(5);
    horizontal->SetPageSize(50);
    horizontal->setFocus(Qt::TabFocusReason);
    Press(horizontal, Qt::Key_Right);
    Press(horizontal, Qt::Key_PageDown);
    Press(horizontal, Qt::Key_Home);
    Press(horizontal, Qt::Key_Home);
    EXPECT_EQ(notified, std::vector<int>({105, 55, 0}));
    horizontal->setEnabled(false);
    vertical->setEnabled(false);
    Press(&window, Qt::Key_Left);
    EXPECT_EQ(shortcuts, std::vector<int>({Qt::Key_Left}));
}

TEST_F(TrackBarKeys, FocusShowsOnlyWhenTheKeyboardBroughtIt) {
    QImage pictures(240, 30, QImage::Format_ARGB32);
    pictures.fill(QColor(0, 0, 255));
    QImage thumb(3, 30, QImage::Format_ARGB32);
    thumb.fill(QColor(255, 0, 0));
    horizontal->SetSlidePNGImage(&pictures);
    horizontal->SetThumbPNGImage(&thumb);
    vertical->setFocusPolicy(Qt::NoFocus);
    const QImage plain = horizontal->grab().toImage();
    const QImage frame = horizontal->Frame();
    // Focus from a click draws nothing more.
    horizontal->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(horizontal->hasFocus());
    EXPECT_EQ(horizontal->grab().toImage(), plain);
    horizontal->clearFocus();
    // Tab does.
    Press(&window, Qt::Key_Tab);
    ASSERT_TRUE(horizontal->hasFocus());
    EXPECT_NE(horizontal->grab().toImage(), plain);
    EXPECT_EQ(horizontal->Frame(), frame) << "the frame holds the pictures alone";
    horizontal->clearFocus();
    EXPECT_EQ(horizontal->grab().toImage(), plain);
}

} // namespace
