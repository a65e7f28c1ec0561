#include "SendMouse.h"
#include "controls/ImageTrackBar.h"
#include "controls/Pictures.h"
#include "equalizer/GraphicEqualizer.h"
#include "equalizer/UnitEqualizer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <vector>

namespace {

using TRow = std::vector<int>;

const TRow kRockRow = {-2, 1, 3, 7, -2, -2, 0, 0, 7, 7};
const TRow kZeros(10, 0);

enum { kDefault = 0, kRock = 1, kPop = 6, kVoice = 8, kCustom = 9 };

// The window on a real equalizer made as the main window makes its own (ten bands from
// 31.25 Hz), with the settings file's section held in a map.
class EqualizerWindow : public ::testing::Test {
protected:
    EqualizerWindow() {
        for (int i = 0; i < 10; ++i)
            equalizer.Channels().Add();
    }

    TFormEqualizer& Create() {
        TEqualizerSettingsAccess access;
        access.ReadInteger = [this](const QString& key, int Default) {
            const auto found = stored.find(key);
            return found == stored.end() ? Default : found->second;
        };
        access.WriteInteger = [this](const QString& key, int value) {
            if (key == failingKey)
                throw std::runtime_error("Unable to write to /config/orvalen.ini");
            stored[key] = value;
        };
        form = new TFormEqualizer(&mainWindow, equalizer, access);
        return *form;
    }

    // What the user does in the list: the choice raises the list's own signal.
    void Choose(int index) {
        form->ComboBoxEQ->setCurrentIndex(index);
        emit form->ComboBoxEQ->activated(index);
    }

    TRow Positions() const {
        TRow row;
        for (const TImageTrackBar* bar : form->FTrackBars)
            row.push_back(bar->Position());
        return row;
    }
    TRow Custom() const {
        return TRow(form->FCustomPositions.begin(), form->FCustomPositions.end());
    }
    std::vector<double> Gains() const {
        std::vector<double> gains;
        for (int i = 0; i < equalizer.Channels().Count(); ++i)
            gains.push_back(equalizer.Channels().Items(i).Coefficient());
        return gains;
    }
    void ExpectGains(const std::vector<double>& expected) const {
        const std::vector<double> gains = Gains();
        ASSERT_EQ(gains.size(), expected.size());
        for (std::size_t i = 0; i < gains.size(); ++i)
            EXPECT_DOUBLE_EQ(gains[i], expected[i]) << "band " << i;
    }
    TRow StoredCustom() const {
        TRow row;
        for (int k = 0; k < 10; ++k)
            row.push_back(stored.at(QStringLiteral("eqcustom") + QString::number(k)));
        return row;
    }

    TGraphicEqualizer equalizer;
    std::map<QString, int> stored;
    QString failingKey;
    QWidget mainWindow; // owns the window, and goes before the equalizer it uses
    TFormEqualizer* form = nullptr;
};

TEST_F(EqualizerWindow, FirstStartShowsDefaultWithTheWindowsFrequencies) {
    TFormEqualizer& window = Create();
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Эквалайзер"));
    EXPECT_EQ(window.size(), QSize(359, 223));
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.GroupBoxTracks->geometry(), QRect(8, 5, 345, 159));
    EXPECT_TRUE(window.GroupBoxTracks->title().isEmpty());
    EXPECT_EQ(window.ComboBoxEQ->geometry(), QRect(6, 194, 137, 21));
    EXPECT_FALSE(window.ComboBoxEQ->isEditable());
    ASSERT_EQ(window.ComboBoxEQ->count(), 10);
    EXPECT_EQ(window.ComboBoxEQ->itemText(kPop), "Pop");
    EXPECT_EQ(window.ComboBoxEQ->itemText(kCustom), "Custom");

    EXPECT_EQ(window.ComboBoxEQ->currentIndex(), kDefault);
    EXPECT_EQ(Positions(), kZeros);
    ExpectGains(std::vector<double>(10, 1.0));
    const double frequencies[] = {80, 170, 310, 600, 1000, 3000, 6000, 10000, 12000, 14000};
    const char* captions[] = {"80",  "170", "310",  "600",  "1 k",
                              "3 k", "6 k", "10 k", "12 k", "14 k"};
    ASSERT_EQ(equalizer.Channels().Count(), 10);
    for (int i = 0; i < 10; ++i) {
        const TImageTrackBar& bar = *window.FTrackBars[std::size_t(i)];
        const QLabel& label = *window.FLabels[std::size_t(i)];
        EXPECT_EQ(equalizer.Channels().Items(i).Frequency(), frequencies[i]);
        EXPECT_EQ(bar.parentWidget(), window.GroupBoxTracks);
        EXPECT_EQ(bar.geometry(), QRect(10 + 34 * i, 10, 20, 140));
        EXPECT_EQ(bar.Orientation(), trVertical);
        EXPECT_EQ(bar.Min(), -15);
        EXPECT_EQ(bar.Max(), 15);
        EXPECT_EQ(bar.Tag, i);
        EXPECT_EQ(label.text(), captions[i]);
        EXPECT_EQ(label.parentWidget(), &window);
        EXPECT_EQ(label.geometry(), QRect(14 + 34 * i, 170, 26, 15));
    }
    EXPECT_TRUE(window.FReady);
    EXPECT_TRUE(stored.empty()) << "creation only reads the settings";
}

TEST_F(EqualizerWindow, AnEqualizerWithFewerBandsIsGivenTen) {
    equalizer.Channels().Clear();
    equalizer.Channels().Add();
    Create();
    ASSERT_EQ(equalizer.Channels().Count(), 10);
    EXPECT_EQ(equalizer.Channels().Items(0).Frequency(), 80);
    EXPECT_EQ(equalizer.Channels().Items(9).Frequency(), 14000);
}

TEST_F(EqualizerWindow, ChosenPresetsSetEveryBandsGain) {
    Create();
    Choose(kVoice);
    EXPECT_EQ(form->ComboBoxEQ->currentIndex(), kVoice) << "applying a preset is not an edit";
    EXPECT_EQ(Positions(), TRow({-8, -6, -4, 1, 0, 0, 0, -4, -6, -8}));
    ExpectGains({1.48, 1.36, 1.24, 0.94, 1.0, 1.0, 1.0, 1.24, 1.36, 1.48});
    EXPECT_EQ(Custom(), kZeros);

    Choose(kDefault);
    EXPECT_EQ(Positions(), kZeros);
    ExpectGains(std::vector<double>(10, 1.0));
}

TEST_F(EqualizerWindow, DraggingASliderUnderRockMakesCustomAndPresetsKeepIt) {
    stored[QStringLiteral("equalizertype")] = kRock;
    Create().show();
    ASSERT_EQ(Positions(), kRockRow);
    TImageTrackBar& bar = *form->FTrackBars[3]; // 600 Hz, at 7
    SendMouse(bar, QEvent::MouseButtonPress, bar.ThumbRect().center());
    EXPECT_EQ(form->ComboBoxEQ->currentIndex(), kRock) << "a press on the thumb is no edit";
    // Offset 108 gives position 10 (−15 + 30 · 108 / 130 = 9.92); the press point is 5 below.
    SendMouse(bar, QEvent::MouseMove, {9, 113});
    SendMouse(bar, QEvent::MouseButtonRelease, {9, 113});

    TRow edited = kRockRow;
    edited[3] = 10;
    EXPECT_EQ(form->ComboBoxEQ->currentIndex(), kCustom);
    EXPECT_EQ(Positions(), edited);
    EXPECT_EQ(Custom(), edited);
    EXPECT_DOUBLE_EQ(Gains()[3], 0.4);
    EXPECT_DOUBLE_EQ(Gains()[0], 1.12);

    Choose(kRock);
    EXPECT_EQ(Positions(), kRockRow);
    EXPECT_DOUBLE_EQ(Gains()[3], 0.58);
    EXPECT_EQ(Custom(), edited);

    Choose(kCustom);
    EXPECT_EQ(Positions(), edited);
    EXPECT_DOUBLE_EQ(Gains()[3], 0.4);
}

TEST_F(EqualizerWindow, APressOnTheTrackBesideTheThumbMakesCustomEvenInPlace) {
    stored[QStringLiteral("equalizertype")] = kRock;
    Create().show();
    TImageTrackBar& bar = *form->FTrackBars[0]; // at −2: thumb rows 56..65, columns 0..17
    ASSERT_EQ(bar.ThumbRect(), QRect(0, 56, 18, 10));
    SendMouse(bar, QEvent::MouseButtonPress, {19, 60}); // right of the thumb: offset 55 is −2 again
    SendMouse(bar, QEvent::MouseButtonRelease, {19, 60});
    EXPECT_EQ(form->ComboBoxEQ->currentIndex(), kCustom);
    EXPECT_EQ(Positions(), kRockRow);
    EXPECT_EQ(Custom(), kRockRow);
    EXPECT_DOUBLE_EQ(Gains()[0], 1.12);
}

TEST_F(EqualizerWindow, ClosingStoresThePresetAndTheUntouchedCustomPositions) {
    const struct {
        const char* how;
        void (*close)(TFormEqualizer&);
    } ways[] = {
        {"close box", [](TFormEqualizer& w) { w.close(); }},
        {"Esc",
         [](TFormEqualizer& w) {
             QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QCoreApplication::sendEvent(&w, &key);
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        stored = {{QStringLiteral("eqcustom2"), 5}, {QStringLiteral("eqcustom9"), -15}};
        delete form;
        Create().show();
        Choose(kPop);
        form->hide(); // as when the main window goes to the tray: not a close
        EXPECT_EQ(stored.size(), 2u);
        form->show();
        way.close(*form);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(stored.at(QStringLiteral("equalizertype")), kPop);
        EXPECT_EQ(StoredCustom(), TRow({0, 0, 5, 0, 0, 0, 0, 0, 0, -15}));
        // Only hidden: shown again it is as it was.
        form->show();
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->ComboBoxEQ->currentIndex(), kPop);
    }
}

TEST_F(EqualizerWindow, TheProgramsCloseWritesTheSettingOnlyWhenItChanged) {
    // Leaving through the tray or a logout never closes this window: the program's close
    // sequence asks it to write what changed.
    stored = {{QStringLiteral("equalizertype"), kRock}};
    Create().show();
    form->WriteIfChanged();
    EXPECT_EQ(stored.size(), 1u) << "nothing changed: nothing written";
    TImageTrackBar& bar = *form->FTrackBars[3];
    SendMouse(bar, QEvent::MouseButtonPress, bar.ThumbRect().center());
    SendMouse(bar, QEvent::MouseMove, {9, 113});
    SendMouse(bar, QEvent::MouseButtonRelease, {9, 113});
    form->hide(); // to the tray with the main window
    form->WriteIfChanged();
    TRow edited = kRockRow;
    edited[3] = 10;
    EXPECT_EQ(stored.at(QStringLiteral("equalizertype")), kCustom);
    EXPECT_EQ(StoredCustom(), edited);
    stored.clear();
    form->WriteIfChanged();
    EXPECT_TRUE(stored.empty()) << "written once";
}

TEST_F(EqualizerWindow, StoredCustomPositionsOutsideTheSlidersRangeAreClampedNotWrapped) {
    // A byte's wrap would make 200 a cut and -999 a boost.
    stored = {{QStringLiteral("eqcustom0"), 2147483647},
              {QStringLiteral("eqcustom1"), 200},
              {QStringLiteral("eqcustom2"), -3},
              {QStringLiteral("eqcustom5"), -999},
              {QStringLiteral("equalizertype"), kCustom}};
    Create().show();
    EXPECT_EQ(Custom(), TRow({15, 15, -3, 0, 0, -15, 0, 0, 0, 0}));
    EXPECT_EQ(Positions(), TRow({15, 15, -3, 0, 0, -15, 0, 0, 0, 0}));
    ExpectGains({0.1, 0.1, 1.18, 1.0, 1.0, 1.9, 1.0, 1.0, 1.0, 1.0});
    form->close();
    EXPECT_EQ(StoredCustom(), TRow({15, 15, -3, 0, 0, -15, 0, 0, 0, 0}));
    EXPECT_EQ(stored.at(QStringLiteral("equalizertype")), kCustom);
}

TEST_F(EqualizerWindow, AStoredPresetOutsideTheListSelectsNothing) {
    for (const int type : {12, 10, -1}) {
        SCOPED_TRACE(type);
        stored = {{QStringLiteral("equalizertype"), type}, {QStringLiteral("eqcustom4"), 6}};
        delete form;
        Create().show();
        EXPECT_EQ(form->ComboBoxEQ->currentIndex(), -1);
        EXPECT_EQ(Positions(), kZeros);
        ExpectGains(std::vector<double>(10, 1.0));
        form->close();
        EXPECT_EQ(stored.at(QStringLiteral("equalizertype")), -1);
        EXPECT_EQ(stored.at(QStringLiteral("eqcustom4")), 6);
    }
}

TEST_F(EqualizerWindow, AFailedSettingsWriteStillHidesTheWindow) {
    failingKey = QStringLiteral("eqcustom3");
    Create().show();
    QStringList errors;
    form->OnError = [&errors](const QString& message) { errors << message; };
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(errors, QStringList{"Unable to write to /config/orvalen.ini"});
    EXPECT_EQ(stored.count(QStringLiteral("eqcustom2")), 1u);
    EXPECT_EQ(stored.count(QStringLiteral("equalizertype")), 0u) << "the rest is abandoned";

    // Without a handler the failure is thrown on, after the window has hidden.
    form->OnError = nullptr;
    form->show();
    EXPECT_THROW(form->reject(), std::runtime_error);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(EqualizerWindow, FirstShownCentredOnTheMainWindowThenStaysPut) {
    mainWindow.setGeometry(300, 200, 370, 197);
    mainWindow.show();
    Create().show();
    EXPECT_LE((form->geometry().center() - mainWindow.geometry().center()).manhattanLength(), 2);
    form->move(20, 30);
    form->hide();
    mainWindow.move(500, 400);
    form->show();
    EXPECT_EQ(form->pos(), QPoint(20, 30));
}

// The sliders are drawn from the window's pictures: the slide and, at the middle, the knob.
TEST_F(EqualizerWindow, SlidersAreDrawnFromTheEqualizerPictures) {
    Create();
    TImageTrackBar& bar = *form->FTrackBars[5];
    bar.Paint();
    const QImage& frame = bar.Frame();
    const QImage slide = Pictures::EqualizerSlide()->convertToFormat(QImage::Format_ARGB32);
    const QImage knob = Pictures::EqualizerKnob()->convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(slide.size(), QSize(18, 140));
    ASSERT_EQ(knob.size(), QSize(18, 10));
    const QRect thumb = bar.ThumbRect();
    ASSERT_EQ(thumb, QRect(0, 65, 18, 10));
    int slideChecked = 0, knobChecked = 0;
    for (int y = 0; y < 140; ++y)
        for (int x = 0; x < 18; ++x) {
            const bool onKnob = thumb.contains(x, y);
            const QRgb source = onKnob ? knob.pixel(x, y - thumb.top()) : slide.pixel(x, y);
            if (qAlpha(source) != 255)
                continue;
            EXPECT_EQ(frame.pixel(x, y) & 0xFFFFFF, source & 0xFFFFFF) << x << "," << y;
            ++(onKnob ? knobChecked : slideChecked);
        }
    EXPECT_GT(slideChecked, 100);
    EXPECT_GT(knobChecked, 20);
}

} // namespace
