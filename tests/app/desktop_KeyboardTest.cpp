// The main window's keys: each does what its button does, nothing while its button is
// disabled or while another window of the program is in front, and Page Up and Page Down
// walk through the station list.
#include "ShownMainForm.h"
#include "app/Forms.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "equalizer/UnitEqualizer.h"
#include "platform/hid/SimHidBackend.h"
#include "sim/SimulatedTuners.h"
#include "stations/StationFile.h"
#include "stations/StationListBox.h"
#include "stations/UnitStation.h"
#include "windows/UnitAbout.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <ostream>

namespace {

// What the keys can change, read from the window and the virtual tuner.
struct TKeyState {
    bool PowerOn, Muted, Stereo, BandFM;
    int TuneValue;
    bool ListVisible, EqualizerVisible, AboutVisible;
    int SelectedRow;
    int SeeksUp, SeeksDown;
    friend bool operator==(const TKeyState&, const TKeyState&) = default;
    friend std::ostream& operator<<(std::ostream& out, const TKeyState& s) {
        return out << "power " << s.PowerOn << " mute " << s.Muted << " stereo " << s.Stereo
                   << " FM " << s.BandFM << " tune " << s.TuneValue << " list " << s.ListVisible
                   << " equalizer " << s.EqualizerVisible << " about " << s.AboutVisible << " row "
                   << s.SelectedRow << " seeks up " << s.SeeksUp << " down " << s.SeeksDown;
    }
};

const QKeyCombination AllKeys[] = {
    Qt::Key_Left,
    Qt::Key_Right,
    Qt::CTRL | Qt::Key_Left,
    Qt::CTRL | Qt::Key_Right,
    Qt::Key_PageUp,
    Qt::Key_PageDown,
    Qt::Key_M,
    Qt::Key_S,
    Qt::Key_B,
    Qt::Key_P,
    Qt::Key_E,
    Qt::Key_L,
    Qt::Key_F1,
};

class KeyboardTest : public ShownMainFormTest {
protected:
    void WriteStations(const QStringList& lines) {
        QString error;
        ASSERT_TRUE(Stations::SaveStationFile(FDir.filePath("orvalen.lst"), lines, &error))
            << error.toStdString();
    }

    void Activate() { ShownMainFormTest::Activate(FForm.get()); }

    TKeyState State() const {
        const TMainForm& f = *FForm;
        TKeyState s{f.FPowerOn,
                    f.FMuted,
                    f.FStereo,
                    f.FBandFM,
                    f.FScreen->TuneValue(),
                    f.GroupBoxList->isVisible(),
                    FormEqualizer->isVisible(),
                    FormAbout->isVisible(),
                    f.ListBoxStations->ItemIndex(),
                    0,
                    0};
        if (TSimulatedTuners* sim = f.SimulatedTuners()) {
            for (const QByteArray& report : sim->Backend().Written(sim->DeviceIndex())) {
                if (report.size() > 2 && report.at(1) == 'S')
                    ++(report.at(2) ? s.SeeksUp : s.SeeksDown);
            }
        }
        return s;
    }
};

} // namespace

TEST_F(KeyboardTest, EachKeyDoesWhatItsButtonDoes) {
    TMainForm& form = StartShown();
    ASSERT_TRUE(form.FConnected);
    ASSERT_FALSE(form.FPowerOn);
    // In the list of rows each changes the state as its button would; the list is empty, so
    // Page Up and Page Down seek.
    struct Case {
        QKeyCombination key;
        std::function<void(TKeyState&)> change;
    } cases[] = {
        {Qt::Key_P, [](TKeyState& s) { s.PowerOn = true; }},
        {Qt::Key_M, [](TKeyState& s) { s.Muted = true; }},
        {Qt::Key_M, [](TKeyState& s) { s.Muted = false; }},
        {Qt::Key_S, [](TKeyState& s) { s.Stereo = !s.Stereo; }},
        {Qt::Key_S, [](TKeyState& s) { s.Stereo = !s.Stereo; }},
        {Qt::Key_Right, [](TKeyState& s) { ++s.TuneValue; }},
        {Qt::Key_Right, [](TKeyState& s) { ++s.TuneValue; }},
        {Qt::Key_Left, [](TKeyState& s) { --s.TuneValue; }},
        {Qt::CTRL | Qt::Key_Right, [](TKeyState& s) { ++s.SeeksUp; }},
        {Qt::CTRL | Qt::Key_Left, [](TKeyState& s) { ++s.SeeksDown; }},
        {Qt::Key_PageDown, [](TKeyState& s) { ++s.SeeksUp; }},
        {Qt::Key_PageUp, [](TKeyState& s) { ++s.SeeksDown; }},
        {Qt::Key_B,
         [&](TKeyState& s) {
             s.BandFM = false;
             s.TuneValue = 659 + form.FUKVPosition;
         }},
        {Qt::Key_B,
         [&](TKeyState& s) {
             s.BandFM = true;
             s.TuneValue = 880 + form.FFMPosition;
         }},
        {Qt::Key_L, [](TKeyState& s) { s.ListVisible = true; }},
        {Qt::Key_L, [](TKeyState& s) { s.ListVisible = false; }},
        {Qt::Key_E, [](TKeyState& s) { s.EqualizerVisible = true; }},
        {Qt::Key_F1, [](TKeyState& s) { s.AboutVisible = true; }},
        {Qt::Key_P, [](TKeyState& s) { s.PowerOn = false; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(KeyName(c.key));
        // A window the previous key opened is in front; the keys are the main window's.
        Activate();
        TKeyState expected = State();
        c.change(expected);
        Press(c.key);
        EXPECT_EQ(State(), expected);
    }
    EXPECT_EQ(form.height(), 197) << "L hid the list again, as its button does";
}

TEST_F(KeyboardTest, KeysOfDisabledButtonsDoNothing) {
    // Without digital sound the equalizer window's button is disabled.
    WriteSettings("[main]\ndirectsound=0\n");
    WriteStations({"101.7=Новости", "95.5=Дача"});
    const struct {
        const char* what;
        bool simulate;
        std::vector<QKeyCombination> keys;
    } cases[] = {
        {"no tuner: power, tuning and stations",
         false,
         {Qt::Key_P, Qt::Key_Left, Qt::Key_Right, Qt::CTRL | Qt::Key_Left, Qt::CTRL | Qt::Key_Right,
          Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_E}},
        {"tuner off: tuning and stations send nothing",
         true,
         {Qt::Key_Left, Qt::Key_Right, Qt::CTRL | Qt::Key_Left, Qt::CTRL | Qt::Key_Right,
          Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_E}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TMainForm& form = StartShown(c.simulate);
        ASSERT_EQ(form.FConnected, c.simulate);
        ASSERT_FALSE(form.FPowerOn);
        for (QKeyCombination key : c.keys) {
            SCOPED_TRACE(KeyName(key));
            const TKeyState before = State();
            Press(key);
            Settle();
            EXPECT_EQ(State(), before);
        }
        TearDown();
    }
}

TEST_F(KeyboardTest, NoKeyReachesTheMainWindowWhileADialogIsOpen) {
    WriteStations({"101.7=Новости", "95.5=Дача"});
    WriteSettings("[main]\nShowList=1\n");
    const struct {
        const char* what;
        std::function<void(TMainForm&)> open;
    } cases[] = {
        {"station dialog", [](TMainForm& f) { f.SpeedButtonAddStation->click(); }},
        {"message box", [](TMainForm& f) { f.SpeedButtonDelStation->click(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TMainForm& form = StartShown();
        Press(Qt::Key_P);
        ASSERT_TRUE(form.FPowerOn);
        const TKeyState before = State();
        int pressedWhileOpen = 0;
        QString typed;
        QTimer poll;
        poll.setInterval(5);
        QElapsedTimer waited;
        waited.start();
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            // The keyboard goes to the dialog once it is the active window.
            if (QApplication::activeWindow() != dialog) {
                if (waited.elapsed() > 10000) {
                    ADD_FAILURE() << "the dialog never became the active window";
                    dialog->reject();
                }
                return;
            }
            poll.stop();
            for (QKeyCombination key : AllKeys) {
                // Where a user's key goes: the dialog. And, should one ever get there, to
                // the main window behind it.
                Press(key);
                Press(key, &form);
                ++pressedWhileOpen;
            }
            if (auto* station = qobject_cast<TFormStation*>(dialog))
                typed = station->EditFreq->text();
            dialog->reject();
        });
        poll.start();
        c.open(form);
        EXPECT_EQ(pressedWhileOpen, int(std::size(AllKeys)));
        EXPECT_EQ(State(), before);
        EXPECT_EQ(form.ListBoxStations->Lines(), QStringList({"101.7=Новости", "95.5=Дача"}));
        if (QString(c.what) == "station dialog") {
            EXPECT_TRUE(typed.contains("msbpel"))
                << "the letters went to the dialog's edit: " << typed.toStdString();
        }
        TearDown();
    }
}

TEST_F(KeyboardTest, AFieldForTypingInTheWindowKeepsEveryKey) {
    TMainForm& form = StartShown();
    Press(Qt::Key_P);
    ASSERT_TRUE(form.FPowerOn);
    auto* edit = new QLineEdit(&form);
    edit->show();
    edit->setFocus();
    ASSERT_TRUE(WaitFor([&] { return edit->hasFocus(); }));
    const TKeyState before = State();
    for (QKeyCombination key : AllKeys)
        Press(key);
    EXPECT_EQ(State(), before);
    EXPECT_EQ(edit->text(), "msbpel");
}

TEST_F(KeyboardTest, PageUpAndPageDownWalkThroughTheStationsOfTheBandAndWrap) {
    // Unsorted, with one station in the other band.
    WriteStations({"101.7=Новости", "88.0=Первое", "95.5=Дача", "70.0=Юность"});
    WriteSettings("[main]\nShowList=1\n");
    TMainForm& form = StartShown();
    Press(Qt::Key_P);
    ASSERT_TRUE(form.FPowerOn);
    Settle();
    ASSERT_EQ(form.FScreen->TuneValue(), 880);
    form.ListBoxStations->setFocus();
    ASSERT_TRUE(form.ListBoxStations->hasFocus());

    struct Step {
        QKeyCombination key;
        int tuneValue;
        int row;
        const char* name;
    } steps[] = {
        {Qt::Key_PageDown, 955, 2, "Дача"},   {Qt::Key_PageDown, 1017, 0, "Новости"},
        {Qt::Key_PageDown, 880, 1, "Первое"}, {Qt::Key_PageUp, 1017, 0, "Новости"},
        {Qt::Key_PageUp, 955, 2, "Дача"},     {Qt::Key_B, 659, 2, ""},
        {Qt::Key_PageDown, 700, 3, "Юность"}, {Qt::Key_PageUp, 700, 3, "Юность"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(KeyName(s.key) + " to " + std::to_string(s.tuneValue));
        Press(s.key);
        EXPECT_EQ(form.FScreen->TuneValue(), s.tuneValue);
        EXPECT_EQ(form.ListBoxStations->ItemIndex(), s.row);
        EXPECT_EQ(form.FScreen->Text(), QString(s.name));
    }
    EXPECT_EQ(State().SeeksUp + State().SeeksDown, 0) << "a list with stations never seeks";

    // The list keeps its own keys: Up moves the selection without tuning, Space tunes it.
    Press(Qt::Key_Up);
    EXPECT_EQ(form.ListBoxStations->ItemIndex(), 2);
    EXPECT_EQ(form.FScreen->TuneValue(), 700);
    Press(Qt::Key_Space);
    EXPECT_EQ(form.FScreen->TuneValue(), 955);
    EXPECT_TRUE(form.FBandFM);
}
