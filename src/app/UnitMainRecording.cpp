// Recording what plays: the tray item "Запись" and the key R start and stop a FLAC recording
// of the processed stream (after the volume and the equalizer). It is possible only while the
// sound path runs (digital sound processing on, tuner connected and powered); the stream's end
// (power off, digital sound off, a new capture format) and the close sequence complete the
// file. The file is written on the recorder's own thread; this side only starts, stops and
// tells the user.
#include "UnitMain.h"
#include "controls/OrvalenScreen.h"
#include "controls/SimpleTray.h"
#include "recording/RecordingFile.h"
#include "recording/RecordingNames.h"
#include "recording/RecordingSink.h"
#include "stations/StationList.h"
#include "windows/UnitLogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace {

const QString PlainCaption = QStringLiteral("USB Orvalen");

// Asked for each time: the interface language is chosen after this file's constants are made.
QString RecordingCaption() {
    return QCoreApplication::translate("Recording", "USB Orvalen — запись");
}

void Log(const QString& line) {
    if (LogWanted())
        WriteLog(line);
}

// Tells what went wrong without holding up anything: the sound and the window go on while the
// box is up.
void ShowWarning(QWidget* parent, const QString& text) {
    auto* box =
        new QMessageBox(QMessageBox::Warning, QCoreApplication::translate("Recording", "Запись"),
                        text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

// Logs and shows why a recording did not start (it left no file) or stopped early.
void TellFailure(QWidget* parent, bool started, const QString& reason) {
    if (started) {
        Log(QStringLiteral("Recording stopped: %1").arg(reason));
        ShowWarning(
            parent,
            QCoreApplication::translate("Recording", "Запись остановлена.\n%1").arg(reason));
    } else {
        Log(QStringLiteral("Recording not started: %1").arg(reason));
        ShowWarning(parent,
                    QCoreApplication::translate("Recording", "Запись не начата.\n%1").arg(reason));
    }
}

} // namespace

void TMainForm::CreateRecordingControls() {
    NRecord = new QAction(tr("Запись"), this);
    NRecord->setCheckable(true);
    NRecord->setShortcut(QKeySequence(Qt::Key_R));
    NRecord->setShortcutContext(Qt::WindowShortcut);
    addAction(NRecord); // the key works wherever the main window has the focus
    const QList<QAction*> items = PopupMenuTray->actions();
    PopupMenuTray->insertAction(items.isEmpty() ? nullptr : items.back(),
                                NRecord);    // before "Выход"
    PopupMenuTray->setToolTipsVisible(true); // the hint says why the item is disabled
    connect(NRecord, &QAction::triggered, this, &TMainForm::NRecordClick);

    TimerRecording = new QTimer(this);
    TimerRecording->setInterval(1000);
    connect(TimerRecording, &QTimer::timeout, this, &TMainForm::LogRecordingDrops);

    if (TRecordingSink* sink = FAudio->Recorder())
        sink->OnEnded = [this](const TRecordingResult& result) { RecordingEnded(result); };
    UpdateRecordingControls();
}

bool TMainForm::Recording() const {
    TRecordingSink* sink = FAudio->Recorder();
    return sink && sink->Recording();
}

void TMainForm::UpdateRecordingControls() {
    if (!NRecord)
        return;
    const bool sound = FDigitalAudio && FConnected && FPowerOn && FAudio->Recorder();
    if (!sound)
        StopRecording();
    NRecord->setEnabled(sound);
    QString hint;
    if (!FAudio->Recorder())
        hint = tr("Запись недоступна: звук не проходит через программу");
    else if (!FDigitalAudio)
        hint = tr("Запись возможна только при цифровой обработке звука (Настройки)");
    else if (!FConnected)
        hint = tr("Запись невозможна: тюнер не подключён");
    else if (!FPowerOn)
        hint = tr("Запись невозможна: тюнер выключен");
    else
        hint = tr("Записать то, что звучит, в файл FLAC (R)");
    NRecord->setToolTip(hint);
    NRecord->setStatusTip(hint);
}

void TMainForm::NRecordClick() {
    if (NRecord->isChecked())
        StartRecording();
    else
        StopRecording();
}

namespace {

// The station's name for the file: the list's name, else the RDS name.
QString RecordingStationName(const TOrvalenScreen& screen) {
    const QString listed = screen.Text().trimmed();
    return listed.isEmpty() ? screen.RDSString().trimmed() : listed;
}

} // namespace

void TMainForm::StartRecording() {
    TRecordingSink* sink = FAudio->Recorder();
    if (!sink || !NRecord->isEnabled() || sink->Recording()) {
        NRecord->setChecked(sink && sink->Recording());
        return;
    }
    const QString error = BeginRecording();
    if (!error.isEmpty())
        TellFailure(this, false, error);
}

QString TMainForm::BeginRecording() {
    TRecordingSink* sink = FAudio->Recorder();
    if (sink && sink->Recording())
        return {};
    // The item's hint says why it is disabled.
    if (!sink || !NRecord->isEnabled())
        return NRecord->toolTip();
    const QString folder = RecordingFolder();
    std::string error = PrepareRecordingFolder(QFile::encodeName(folder).toStdString());
    QString path;
    if (error.empty()) {
        path = UniqueRecordingPath(folder,
                                   RecordingFileName(RecordingStationName(*FScreen),
                                                     Stations::FrequencyText(FScreen->TuneValue()),
                                                     QDateTime::currentDateTime()));
        error = sink->Start(QFile::encodeName(path).toStdString());
    }
    if (!error.empty()) {
        NRecord->setChecked(false);
        return QString::fromLocal8Bit(error.c_str());
    }
    FRecordingPath = path;
    FRecordingDroppedLogged = 0;
    NRecord->setChecked(true);
    setWindowTitle(RecordingCaption());
    if (FTray)
        FTray->SetHint(windowTitle());
    TimerRecording->start();
    Log(QStringLiteral("Recording to %1").arg(path));
    return {};
}

void TMainForm::StopRecording() {
    TRecordingSink* sink = FAudio->Recorder();
    if (sink && sink->Recording())
        RecordingEnded(sink->Stop());
    else if (NRecord && NRecord->isChecked())
        RecordingEnded({});
}

void TMainForm::LogRecordingDrops() {
    TRecordingSink* sink = FAudio->Recorder();
    const std::uint64_t dropped = sink ? sink->Dropped() : 0;
    if (dropped > FRecordingDroppedLogged) {
        FRecordingDroppedLogged = dropped;
        Log(QStringLiteral("Recording: %1 buffers dropped, the disk did not keep up").arg(dropped));
    }
}

void TMainForm::RecordingEnded(const TRecordingResult& Result) {
    TimerRecording->stop();
    NRecord->setChecked(false);
    setWindowTitle(PlainCaption);
    if (FTray)
        FTray->SetHint(windowTitle());
    if (Result.Dropped > FRecordingDroppedLogged)
        Log(QStringLiteral("Recording: %1 buffers dropped, the disk did not keep up")
                .arg(Result.Dropped));
    // A recording that got no sound into its file (ended before the first buffer, or refused by
    // a full disk from the start) leaves no file: it never started.
    const bool started = Result.Error.empty() || Result.Frames > 0;
    if (!FRecordingPath.isEmpty() && started)
        Log(QStringLiteral("Recording finished: %1").arg(FRecordingPath));
    FRecordingPath.clear();
    // The stream's end may be told after the recording was already ended here: its error, if
    // any, still reaches the user.
    if (Result.Error.empty() || FClosed)
        return;
    TellFailure(this, started, QString::fromLocal8Bit(Result.Error.c_str()));
}
