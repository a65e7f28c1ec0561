// The options dialog on the real main window: the settings button shows it without blocking
// the window, and OK reaches the main window, its sound chain, the log window and the file.
#include "MainFormFixture.h"
#include "ModalAnswers.h"
#include "WaitFor.h"
#include "app/Forms.h"
#include "app/OptionsHost.h"
#include "windows/OptionsUnit.h"
#include "windows/UnitLogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

namespace {

class OptionsMainFormTest : public MainFormTest {
protected:
    TMainForm& StartWithDialog() {
        TMainForm& form = Start();
        OptionsForm = CreateOptionsForm(form);
        form.show();
        return form;
    }

    void TearDown() override {
        EXPECT_TRUE(Answers.AllUsed()) << "a window the test expected never opened";
        EXPECT_EQ(Answers.Unexpected, 0) << "a window opened that the test did not expect";
        // The dialog and a log window it made go with the main window.
        FForm.reset();
        OptionsForm = nullptr;
        FormLogs = nullptr;
    }

    static void Choose(QComboBox* list, const QString& text) {
        list->setCurrentIndex(list->findText(text));
        ASSERT_GE(list->currentIndex(), 0) << text.toStdString();
    }

    QStringList SettingsLines() const {
        return QString::fromUtf8(ReadSettings()).remove('\r').split('\n', Qt::SkipEmptyParts);
    }

    TModalAnswers Answers;
};

} // namespace

TEST_F(OptionsMainFormTest, SettingsButtonShowsTheDialogModelessAndOkAppliesAndWrites) {
    TMainForm& form = StartWithDialog();
    form.SpeedButton1->click();
    RunEvents();
    ASSERT_TRUE(OptionsForm->isVisible()) << "the click must show the dialog and return";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // The main window goes on working while the dialog is open.
    form.SpeedButtonList->click();
    EXPECT_TRUE(form.GroupBoxList->isVisibleTo(&form));

    EXPECT_EQ(OptionsForm->ComboBoxAudioDevices->currentText(), "Default");
    EXPECT_EQ(OptionsForm->ComboBoxBits->currentText(), "16");
    EXPECT_EQ(OptionsForm->ComboBoxSampleRate->currentText(), "44100");
    Choose(OptionsForm->ComboBoxAudioDevices, "Line In");
    Choose(OptionsForm->ComboBoxBits, "24");
    Choose(OptionsForm->ComboBoxSampleRate, "96000");
    OptionsForm->CheckBoxDebug->setChecked(true);
    OptionsForm->CheckBoxScreenSnap->setChecked(true);
    OptionsForm->RadioGroupFMModule->Buttons()[2]->click();
    OptionsForm->BitBtn1->click();

    EXPECT_FALSE(OptionsForm->isVisible());
    EXPECT_EQ(FAudio->FBits, 24);
    EXPECT_EQ(FAudio->FSampleRate, 96000);
    EXPECT_EQ(form.CaptureBits(), 24);
    EXPECT_EQ(form.CaptureSampleRate(), 96000);
    EXPECT_EQ(FAudio->FInDeviceName, "Line In");
    EXPECT_EQ(form.FInDeviceName, "Line In");
    EXPECT_TRUE(form.FDebug);
    EXPECT_TRUE(form.ScreenSnap);
    EXPECT_EQ(form.FModuleSetting, 2);
    EXPECT_EQ(form.FModule, 0) << "the module choice is only stored";
    ASSERT_NE(FormLogs, nullptr);
    EXPECT_TRUE(FormLogs->isVisible());
    EXPECT_EQ(SettingsLines(),
              (QStringList{"[main]", "directsound=1", "currentindevicename=Line In",
                           "currentoutdevicename=Default", "debug=1", "ScreenSnap=1", "audiobits=2",
                           "audiosamplerate=7", "usedmodule=2", "userds=0", "hardVolume=8"}));

    // Shown again it reads the main window back; unticking Debug hides the log window.
    form.SpeedButton1->click();
    ASSERT_TRUE(OptionsForm->isVisible());
    EXPECT_EQ(OptionsForm->ComboBoxBits->currentText(), "24");
    EXPECT_EQ(OptionsForm->ComboBoxAudioDevices->currentText(), "Line In");
    EXPECT_TRUE(OptionsForm->CheckBoxDebug->isChecked());
    OptionsForm->CheckBoxDebug->setChecked(false);
    OptionsForm->BitBtn1->click();
    EXPECT_FALSE(FormLogs->isVisible());
    EXPECT_FALSE(form.FDebug);
}

TEST_F(OptionsMainFormTest, CancelLeavesDigitalSoundAsItWas) {
    TMainForm& form = StartWithDialog();
    form.SpeedButton1->click();
    OptionsForm->CheckBoxDirectSound->click();
    EXPECT_FALSE(OptionsForm->GroupBox2->isEnabled());
    OptionsForm->BitBtn2->click();
    EXPECT_FALSE(OptionsForm->isVisible());
    EXPECT_TRUE(form.FDigitalAudio);
    EXPECT_TRUE(form.SpeedButtonEqalizerForm->isEnabled());
    EXPECT_TRUE(ReadSettings().isEmpty()) << "nothing is written";
}

TEST_F(OptionsMainFormTest, UnwritableSettingsAreShownAndTheChoicesStillApply) {
    WriteSettings("[main]\nvolume=40\n");
    TMainForm& form = StartWithDialog();
    QFile::setPermissions(SettingsPath(), QFile::ReadOwner);
    form.SpeedButton1->click();
    Choose(OptionsForm->ComboBoxSampleRate, "48000");
    OptionsForm->CheckBoxDirectSound->click();
    Answers.Message();
    OptionsForm->BitBtn1->click();

    EXPECT_EQ(Answers.Messages, QStringList({"Orvalen|Unable to write to " + SettingsPath() +
                                             ": the file is read-only"}));
    EXPECT_FALSE(form.FDigitalAudio);
    EXPECT_EQ(FAudio->FSampleRate, 48000);
    EXPECT_EQ(ReadSettings(), QByteArray("[main]\nvolume=40\n"));
    EXPECT_TRUE(OptionsForm->isVisible()) << "open, so that OK can write once it is possible";
}
