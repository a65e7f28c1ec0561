// The keys for the functions that had none (options, bass, equalizer on/off, volume), and the
// window's keys with the keyboard's focus on a slider or a button.
#include "ShownMainForm.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "sim/SimulatedTuners.h"
#include "stations/StationFile.h"
#include "stations/StationListBox.h"

#include <QToolButton>
#include <functional>
#include <ostream>

namespace {

struct TState {
    bool OptionsVisible, Bass, EqualizerOn;
    int Volume, TuneValue;
    friend bool operator==(const TState&, const TState&) = default;
    friend std::ostream& operator<<(std::ostream& out, const TState& s) {
        return out << "options " << s.OptionsVisible << " bass " << s.Bass << " equalizer "
                   << s.EqualizerOn << " volume " << s.Volume << " tune " << s.TuneValue;
    }
};

class EveryFunctionKeysTest : public ShownMainFormTest {
protected:
    TState State() const {
        const TMainForm& f = *FForm;
        return {OptionsForm->isVisible(), f.FBass, f.SpeedButtonEqalizerOnOff->isChecked(),
                f.TrackBarVolume->Position(), f.FScreen->TuneValue()};
    }
};

TEST_F(EveryFunctionKeysTest, EachNewKeyDoesWhatItsControlDoes) {
    WriteSettings("[main]\nvolume=50\nShowList=1\n");
    TMainForm& form = StartShown();
    const struct {
        QKeyCombination key;
        std::function<void(TState&)> change;
    } cases[] = {
        {Qt::Key_A, [](TState& s) { s.Bass = true; }},
        {Qt::Key_A, [](TState& s) { s.Bass = false; }},
        {Qt::Key_Q, [](TState& s) { s.EqualizerOn = !s.EqualizerOn; }},
        {Qt::Key_Q, [](TState& s) { s.EqualizerOn = !s.EqualizerOn; }},
        {Qt::Key_Plus, [](TState& s) { s.Volume += 5; }},
        {Qt::Key_Equal, [](TState& s) { s.Volume += 5; }},
        {Qt::Key_Minus, [](TState& s) { s.Volume -= 5; }},
        {Qt::Key_O, [](TState& s) { s.OptionsVisible = true; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(KeyName(c.key));
        Activate(&form);
        // The list keeps the focus it starts with; these keys are the window's all the same.
        ASSERT_EQ(QApplication::focusWidget(), form.ListBoxStations);
        TState expected = State();
        c.change(expected);
        Press(c.key);
        EXPECT_EQ(State(), expected);
    }
    EXPECT_EQ(FAudio->FEqualizerEnabled, form.SpeedButtonEqalizerOnOff->isChecked());
}

TEST_F(EveryFunctionKeysTest, VolumeKeysStopAtTheEndsAndFollowTheRange) {
    WriteSettings("[main]\nvolume=97\n");
    TMainForm& form = StartShown(false);
    Press(Qt::Key_Plus);
    EXPECT_EQ(form.TrackBarVolume->Position(), 100);
    Press(Qt::Key_Plus);
    EXPECT_EQ(form.TrackBarVolume->Position(), 100);
    for (int i = 0; i < 25; ++i)
        Press(Qt::Key_Minus);
    EXPECT_EQ(form.TrackBarVolume->Position(), 0);
    EXPECT_EQ(FAudio->FCoefficient, 0.0) << "the sound follows the slider, as after a drag";
    // Without digital sound (and no chip volume) the slider is disabled, and so are its keys.
    form.SetDigitalAudio(false);
    ASSERT_FALSE(form.TrackBarVolume->isEnabled());
    Press(Qt::Key_Plus);
    EXPECT_EQ(form.TrackBarVolume->Position(), 0);
}

TEST_F(EveryFunctionKeysTest, FocusedSlidersTakeTheirKeysAndButtonsLeaveThemToTheWindow) {
    QString error;
    ASSERT_TRUE(Stations::SaveStationFile(FDir.filePath("orvalen.lst"),
                                          {"101.7=Новости", "95.5=Дача"}, &error));
    WriteSettings("[main]\nfmfrequency=100\nvolume=50\n");
    TMainForm& form = StartShown();
    form.SpeedButtonPower->click();
    Settle();
    ASSERT_TRUE(form.FPowerOn);
    ASSERT_EQ(form.FScreen->TuneValue(), 980);
    const auto seeks = [&form] {
        int count = 0;
        for (const QByteArray& report :
             form.SimulatedTuners()->Backend().Written(form.SimulatedTuners()->DeviceIndex()))
            count += report.size() > 2 && report.at(1) == 'S';
        return count;
    };
    const struct {
        QWidget* focus;
        QKeyCombination key;
        int tuneValue, volume, seeks;
    } cases[] = {
        // On a button the window's keys are the window's.
        {form.SpeedButtonMute, Qt::Key_Right, 981, 50, 0},
        {form.SpeedButtonMute, Qt::Key_PageUp, 955, 50, 0},
        {form.SpeedButtonMute, Qt::Key_PageDown, 1017, 50, 0},
        {form.SpeedButtonMute, Qt::Key_Minus, 1017, 45, 0},
        // On the tuning scale they move the scale, as a drag does; with Ctrl they seek.
        {form.TrackBarFMTune, Qt::Key_Left, 1016, 45, 0},
        {form.TrackBarFMTune, Qt::Key_PageUp, 1026, 45, 0},
        {form.TrackBarFMTune, Qt::Key_End, 1080, 45, 0},
        {form.TrackBarFMTune, Qt::CTRL | Qt::Key_Left, -1, 45, 1},
        // On the volume slider the arrows step as the volume keys do.
        {form.TrackBarVolume, Qt::Key_Up, -1, 50, 1},
        {form.TrackBarVolume, Qt::Key_Home, -1, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Name(c.focus) + " " + KeyName(c.key));
        c.focus->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(c.focus->hasFocus());
        Press(c.key);
        if (c.tuneValue > 0) {
            EXPECT_EQ(form.FScreen->TuneValue(), c.tuneValue);
        }
        EXPECT_EQ(form.TrackBarVolume->Position(), c.volume);
        EXPECT_EQ(seeks(), c.seeks);
        Settle();
    }
}

} // namespace
