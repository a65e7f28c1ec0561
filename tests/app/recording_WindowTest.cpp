// The recording's place in the main window, on the virtual tuner and its virtual sound: the
// tray item is there only to be used while sound flows and says why not otherwise, a folder
// that cannot be made is told without touching the sound, a recording ended by power off
// leaves a readable file and the caption as it was, and one a full disk takes nothing of leaves
// no file and says it did not start.
#include "../recording/FileSizeLimit.h"
#include "MainFormFixture.h"
#include "WaitFor.h"
#include "controls/SimpleTray.h"
#include "recording/RecordingSink.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QToolButton>
#include <sndfile.h>

namespace {

class RecordingWindowTest : public MainFormTest {
protected:
    void TearDown() override {
        FForm.reset();
        qunsetenv("XDG_MUSIC_DIR");
    }

    // The window over the virtual tuner and the real sound chain on its virtual devices.
    TMainForm& StartSimulated(const QByteArray& settings) {
        FForm.reset();
        WriteSettings(settings);
        TCommandLine line;
        line.ConfigDir = FDir.path();
        line.Simulate = true;
        FForm = std::make_unique<TMainForm>(line);
        EXPECT_TRUE(WaitFor([&] { return FForm->FConnected; }));
        return *FForm;
    }

    QString Hint() const { return FForm->NRecord->toolTip(); }

    QMessageBox* ShownMessage() const {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                return box;
        }
        return nullptr;
    }
};

} // namespace

TEST_F(RecordingWindowTest, TheItemIsUsableOnlyWhileSoundFlowsAndSaysWhy) {
    {
        TMainForm& form = StartSimulated("[main]\r\ndirectsound=0\r\n");
        QStringList items;
        for (QAction* action : form.PopupMenuTray->actions())
            items.append(action->text());
        ASSERT_GE(items.size(), 2);
        EXPECT_EQ(items.mid(items.size() - 2), QStringList({"Запись", "Выход"}));
        EXPECT_TRUE(form.NRecord->isCheckable());
        form.SpeedButtonPower->click();
        EXPECT_FALSE(form.NRecord->isEnabled());
        EXPECT_TRUE(Hint().contains("цифровой обработке")) << Hint().toStdString();
        // The key does nothing then either.
        form.NRecord->trigger();
        EXPECT_FALSE(form.Recording());
        EXPECT_FALSE(form.NRecord->isChecked());
    }
    TMainForm& form = StartSimulated("[main]\r\ndirectsound=1\r\n");
    EXPECT_FALSE(form.NRecord->isEnabled());
    EXPECT_TRUE(Hint().contains("выключен")) << Hint().toStdString();
    form.SpeedButtonPower->click();
    EXPECT_TRUE(form.NRecord->isEnabled());
    EXPECT_TRUE(Hint().contains("FLAC")) << Hint().toStdString();
}

TEST_F(RecordingWindowTest, AFolderInTheWayIsToldAndPowerOffEndsAReadableRecording) {
    TMainForm& form = StartSimulated("[main]\r\ndirectsound=1\r\n");
    form.SpeedButtonPower->click();
    TRecordingSink* sink = form.Audio().Recorder();
    ASSERT_NE(sink, nullptr);
    ASSERT_TRUE(WaitFor([&] { return sink->HasStream(); }, 10000));

    // The music folder is a file: nothing starts, the user learns why, the sound goes on.
    QFile blocker(FDir.filePath("music"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_MUSIC_DIR", QFile::encodeName(blocker.fileName()));
    form.NRecord->trigger();
    QMessageBox* box = ShownMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().startsWith("Запись не начата.")) << box->text().toStdString();
    EXPECT_TRUE(box->text().contains("in the way")) << box->text().toStdString();
    EXPECT_FALSE(box->isModal());
    box->close();
    EXPECT_FALSE(form.NRecord->isChecked());
    EXPECT_EQ(form.windowTitle(), QString("USB Orvalen"));
    EXPECT_TRUE(sink->HasStream());

    const QString folder = FDir.filePath("songs");
    qputenv("XDG_MUSIC_DIR", QFile::encodeName(folder));
    form.NRecord->trigger();
    ASSERT_TRUE(form.Recording());
    EXPECT_TRUE(form.NRecord->isChecked());
    EXPECT_EQ(form.windowTitle(), QString("USB Orvalen — запись"));
    WaitFor([] { return false; }, 500); // half a second of sound
    form.SpeedButtonPower->click();
    EXPECT_FALSE(form.Recording());
    EXPECT_FALSE(form.NRecord->isChecked());
    EXPECT_FALSE(form.NRecord->isEnabled());
    EXPECT_EQ(form.windowTitle(), QString("USB Orvalen"));
    EXPECT_EQ(ShownMessage(), nullptr);

    const QStringList files = QDir(folder + "/Orvalen").entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    SF_INFO info{};
    SNDFILE* file =
        sf_open(QFile::encodeName(folder + "/Orvalen/" + files[0]).constData(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_close(file);
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
    EXPECT_GT(info.frames, 0);
}

TEST_F(RecordingWindowTest, OnAFullDiskEachRSaysTheRecordingDidNotStartAndLeavesNoFile) {
    TMainForm& form = StartSimulated("[main]\r\ndirectsound=1\r\n");
    form.SpeedButtonPower->click();
    TRecordingSink* sink = form.Audio().Recorder();
    ASSERT_NE(sink, nullptr);
    ASSERT_TRUE(WaitFor([&] { return sink->HasStream(); }, 10000));
    const QString folder = FDir.filePath("songs");
    qputenv("XDG_MUSIC_DIR", QFile::encodeName(folder));
    {
        // Room for the file's header, not for its first second of the station's noise.
        TFileSizeLimit full(1024);
        for (int press = 0; press < 2; ++press) {
            SCOPED_TRACE(press);
            form.NRecord->trigger();
            ASSERT_TRUE(WaitFor([&] { return ShownMessage() != nullptr; }, 10000));
            QMessageBox* box = ShownMessage();
            EXPECT_TRUE(box->text().startsWith("Запись не начата.\n")) << box->text().toStdString();
            EXPECT_TRUE(box->text().contains("File too large")) << box->text().toStdString();
            box->close();
            EXPECT_FALSE(form.Recording());
            EXPECT_FALSE(form.NRecord->isChecked());
            EXPECT_EQ(form.windowTitle(), QString("USB Orvalen"));
            const QStringList files = QDir(folder + "/Orvalen").entryList(QDir::Files);
            EXPECT_TRUE(files.isEmpty()) << files.join(", ").toStdString();
        }
    }
    EXPECT_TRUE(sink->HasStream());
}
