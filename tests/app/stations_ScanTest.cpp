// The band scan from the main window over the virtual tuner: the stations it adds to the list
// and the file, where it leaves the tuner, and how it stops when the user, the tuner or the
// disk says so.
#include "MainFormFixture.h"
#include "WaitFor.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "platform/hid/SimHidBackend.h"
#include "sim/SimulatedTuners.h"
#include "stations/BandScanDialog.h"
#include "stations/StationFile.h"
#include "stations/StationListBox.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <cerrno>
#include <functional>

namespace {

// Answers every message box with its first button and keeps its text; the scan's progress
// dialog is left alone.
class TMessageAnswers {
public:
    TMessageAnswers() {
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || box->buttons().isEmpty())
                return;
            Texts.append(box->text());
            box->buttons().first()->click();
        });
        FTimer.start();
    }
    QStringList Texts;

private:
    QTimer FTimer;
};

const QStringList FMPlanNamed = {"88.0=ORVALEN",  "91.2=RETRO",   "95.5=JAZZ",
                                 "101.7=NOVOSTI", "104.2=EUROPA", "107.9=ROCK"};
const QStringList FMPlanUnnamed = {"88.0=", "91.2=", "95.5=", "101.7=", "104.2=", "107.9="};

class ScanTest : public MainFormTest {
protected:
    void TearDown() override { FForm.reset(); }

    QString StationPath() const { return FDir.filePath("orvalen.lst"); }

    void WriteStations(const QStringList& lines) {
        QFile::remove(StationPath());
        if (lines.isEmpty())
            return;
        QString error;
        ASSERT_TRUE(Stations::SaveStationFile(StationPath(), lines, &error)) << error.toStdString();
    }

    QByteArray StationFileBytes() const {
        QFile file(StationPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QStringList StationFileLines() const {
        QStringList lines;
        Stations::LoadStationFile(StationPath(), lines);
        return lines;
    }

    // The window over the virtual tuner, connected and powered, tuned to `position`.
    TMainForm& StartPowered(const QString& model, bool rds, bool bandFM = true, int position = 75) {
        FForm.reset();
        WriteSettings(rds ? "[main]\r\nuserds=1\r\n" : "[main]\r\n");
        TMainForm& form = Start(model);
        EXPECT_TRUE(WaitFor([&] { return form.FConnected; }));
        form.SpeedButtonPower->click();
        EXPECT_TRUE(form.FPowerOn);
        if (!bandFM)
            form.SpeedButtonFMBand->click();
        EXPECT_EQ(form.FBandFM, bandFM);
        form.TrackBarFMTune->SetPosition(position);
        EXPECT_TRUE(WaitFor([&] { return Tuner().TuneValue() == TuneValue(position); }));
        Backend().ClearWritten(Sim().DeviceIndex());
        return form;
    }

    int TuneValue(int position) const { return (FForm->FBandFM ? 880 : 659) + position; }
    TSimulatedTuners& Sim() const { return *FForm->SimulatedTuners(); }
    TSimHidBackend& Backend() const { return Sim().Backend(); }
    TVirtualTuner& Tuner() const { return *Sim().Tuner(); }

    int SeeksSent() const {
        int seeks = 0;
        for (const QByteArray& report : Backend().Written(Sim().DeviceIndex()))
            seeks += report.size() > 2 && report.at(1) == 'S' && report.at(2) == 1;
        return seeks;
    }

    TBandScanDialog* Dialog() const { return FForm->findChild<TBandScanDialog*>(); }

    // Starts the scan from the list's menu; onFound runs as each station is shown.
    void Scan(std::function<void(TBandScanDialog&, int count)> onFound = {}) {
        FForm->NListScan->trigger();
        TBandScanDialog* dialog = Dialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
        if (onFound) {
            QObject::connect(dialog, &TBandScanDialog::StationFound, dialog,
                             [dialog, onFound](int count) { onFound(*dialog, count); });
        }
    }

    // ASan, two cores and parallel tests: a scan that needs no timeout takes well under a
    // second, but the deadline is generous.
    bool WaitScanEnd(int messages = 0, int timeoutMs = 30000) {
        return WaitFor(
            [&] {
                return FForm->FBandScan == nullptr && Dialog() == nullptr &&
                       Answers.Texts.size() >= messages;
            },
            timeoutMs);
    }

    TMessageAnswers Answers;
};

} // namespace

TEST_F(ScanTest, FindsTheBandPlanAddsWhatTheListLacksWritesOnceAndTunesBack) {
    struct Case {
        const char* what;
        QString model;
        bool rds, bandFM;
        QStringList before, after;
    } cases[] = {
        {"FM with RDS; the list's own name stays",
         "rda5807m",
         true,
         true,
         {"101.7=Мои новости", "66.3=Маяк"},
         {"66.3=Маяк", "88.0=ORVALEN", "91.2=RETRO", "95.5=JAZZ", "101.7=Мои новости",
          "104.2=EUROPA", "107.9=ROCK"}},
        {"FM without RDS", "rda5807m", false, true, {}, FMPlanUnnamed},
        {"TEA5767: no RDS", "tea5767", true, true, {}, FMPlanUnnamed},
        {"UKV", "rda5807m", true, false, {}, {"66.3=MAYAK", "69.8=RADIO 1", "72.1=UKV 72"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteStations(c.before);
        const QByteArray fileBefore = StationFileBytes();
        TMainForm& form = StartPowered(c.model, c.rds, c.bandFM, 30);
        const int origin = TuneValue(30);
        // The file is written once, at the end: while stations are found it stays as it was.
        QList<QByteArray> fileWhileScanning;
        Scan([&](TBandScanDialog&, int) { fileWhileScanning.append(StationFileBytes()); });
        ASSERT_TRUE(WaitScanEnd());
        EXPECT_EQ(Answers.Texts, QStringList());
        EXPECT_EQ(form.ListBoxStations->Lines(), c.after);
        EXPECT_EQ(StationFileLines(), c.after);
        EXPECT_EQ(fileWhileScanning.size(), c.bandFM ? 6 : 3);
        for (const QByteArray& bytes : fileWhileScanning)
            EXPECT_EQ(bytes, fileBefore);
        // A seek upwards for each station, and the last one round the band to the first:
        // in FM that is 88.0, found so, in UKV 66.3, found already.
        EXPECT_EQ(SeeksSent(), c.bandFM ? 6 : 4);
        EXPECT_TRUE(WaitFor([&] { return Tuner().TuneValue() == origin; }));
        EXPECT_EQ(form.TrackBarFMTune->Position(), 30);
        EXPECT_EQ(form.FScreen->TuneValue(), origin);
    }
}

TEST_F(ScanTest, CancelAfterTwoStationsKeepsTwo) {
    WriteStations({});
    TMainForm& form = StartPowered("rda5807m", true);
    Scan([](TBandScanDialog& dialog, int count) {
        if (count == 2)
            dialog.ButtonCancel->click();
    });
    ASSERT_TRUE(WaitScanEnd());
    EXPECT_EQ(Answers.Texts, QStringList());
    const QStringList two = {"91.2=RETRO", "95.5=JAZZ"};
    EXPECT_EQ(form.ListBoxStations->Lines(), two);
    EXPECT_EQ(StationFileLines(), two);
    EXPECT_TRUE(WaitFor([&] { return Tuner().TuneValue() == 955; }));
    const int seeks = SeeksSent();
    WaitFor([] { return false; }, 1500);
    EXPECT_EQ(SeeksSent(), seeks) << "the scan went on after Cancel";
}

TEST_F(ScanTest, StopsWithAMessageWhenTheTunerGoesAwayOrFallsSilent) {
    struct Case {
        const char* what;
        std::function<void()> fault;
        QString message;
        bool connected;
    } cases[] = {
        {"unplugged", [this] { Sim().TogglePlug(); }, "Тюнер отключён: сканирование остановлено",
         false},
        {"no answer", [this] { Backend().SetWriteError(Sim().DeviceIndex(), EIO); },
         "Тюнер не отвечает: сканирование остановлено", true},
        {"switched off", [this] { FForm->SpeedButtonPower->click(); },
         "Тюнер выключен: сканирование остановлено", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteStations({});
        Answers.Texts.clear();
        TMainForm& form = StartPowered("rda5807m", false);
        Scan([&](TBandScanDialog&, int count) {
            if (count == 1)
                c.fault();
        });
        // A silent tuner is given three seconds.
        ASSERT_TRUE(WaitScanEnd(1));
        EXPECT_EQ(Answers.Texts, QStringList{c.message});
        EXPECT_EQ(form.FConnected, c.connected);
        // What was found before stays found.
        const QStringList lines = form.ListBoxStations->Lines();
        EXPECT_GE(lines.size(), 1);
        EXPECT_LT(lines.size(), 6);
        EXPECT_EQ(lines.value(0), "91.2=");
        EXPECT_EQ(StationFileLines(), lines);
        // The user's station is kept, to be stored and tuned again.
        EXPECT_EQ(form.FFMPosition, 75);
    }
}

TEST_F(ScanTest, ACloseDuringAScanKeepsTheFoundStationsAndTheUsersStation) {
    // A logout (SIGTERM) or Выход in the middle of a scan ends it as Cancel does.
    WriteStations({});
    TMainForm& form = StartPowered("rda5807m", true);
    Scan([&form](TBandScanDialog&, int count) {
        if (count == 2)
            QTimer::singleShot(0, &form, [&form] { form.close(); });
    });
    ASSERT_TRUE(WaitFor([&] { return form.Closed(); }, 30000));
    const QStringList two = {"91.2=RETRO", "95.5=JAZZ"};
    EXPECT_EQ(StationFileLines(), two);
    QFile ini(FDir.filePath("orvalen.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("fmfrequency=75\r\n"));
}

TEST_F(ScanTest, AnUnwritableListKeepsTheFoundStationsOnScreen) {
    WriteStations({});
    TMainForm& form = StartPowered("rda5807m", true);
    // A folder that is a file cannot hold the list, whoever runs the test.
    QFile blocker(FDir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    form.FStationPath = FDir.filePath("blocker/orvalen.lst");
    Scan();
    ASSERT_TRUE(WaitScanEnd(1));
    ASSERT_EQ(Answers.Texts.size(), 1);
    EXPECT_TRUE(Answers.Texts[0].startsWith("Cannot create file"))
        << Answers.Texts[0].toStdString();
    EXPECT_EQ(form.ListBoxStations->Lines(), FMPlanNamed);
}

TEST_F(ScanTest, MenuItemAndCtrlSAreRefusedWithoutAPoweredTuner) {
    WriteStations({});
    TMainForm& form = StartPowered("rda5807m", false);
    const QList<QAction*> items = form.PopupMenuStationsList->actions();
    ASSERT_FALSE(items.isEmpty());
    EXPECT_EQ(items.last()->text(), "Сканировать диапазон");
    EXPECT_EQ(items.last(), form.NListScan);
    EXPECT_EQ(form.NListScan->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(form.NListScan->shortcutContext(), Qt::WindowShortcut);

    form.show();
    form.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return form.isActiveWindow(); }));
    const auto pressCtrlS = [&] {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &form;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_S, Qt::ControlModifier);
        QApplication::sendEvent(target, &release);
    };

    form.SpeedButtonPower->click();
    ASSERT_FALSE(form.FPowerOn);
    pressCtrlS();
    ASSERT_TRUE(WaitFor([&] { return Answers.Texts.size() == 1; }));
    EXPECT_EQ(Answers.Texts[0], "Сканирование невозможно: тюнер не подключён или выключен");
    EXPECT_EQ(form.FBandScan, nullptr);

    form.SpeedButtonPower->click();
    ASSERT_TRUE(form.FPowerOn);
    form.activateWindow(); // the message box had it
    ASSERT_TRUE(WaitFor([&] { return form.isActiveWindow(); }));
    pressCtrlS();
    EXPECT_NE(form.FBandScan, nullptr) << "Ctrl+S starts the scan";
    ASSERT_TRUE(WaitScanEnd(1));
    EXPECT_EQ(form.ListBoxStations->Lines(), FMPlanUnnamed);

    // Unplugged, the menu item is refused the same way.
    Sim().TogglePlug();
    ASSERT_TRUE(WaitFor([&] { return !form.FConnected; }));
    form.NListScan->trigger();
    ASSERT_TRUE(WaitFor([&] { return Answers.Texts.size() == 2; }));
    EXPECT_EQ(Answers.Texts[1], Answers.Texts[0]);
    EXPECT_EQ(SeeksSent(), 6);
}
