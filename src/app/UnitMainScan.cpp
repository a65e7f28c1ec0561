// The band scan's part of the main window: "Сканировать диапазон" in the station list's menu
// and Ctrl+S start a scan of the current band; the status reports go to it as they arrive,
// its commands go to the tuner, and at its end the stations the list lacks are added, the
// list sorted and written once. GUI thread only. Reports and state changes only stop the
// scan; the end's work (the list, the file, message boxes) runs from the event loop, never
// inside a report or a state-setting operation.
#include "Messages.h"
#include "UnitMain.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "stations/BandScan.h"
#include "stations/BandScanDialog.h"
#include "stations/StationList.h"
#include "stations/StationListBox.h"
#include "tuner/TunerProtocol.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstring>

using namespace BandScan;

namespace {

void ShowWarning(QWidget* parent, const QString& text) {
    ShowMessage(parent, QMessageBox::Warning,
                QCoreApplication::translate("TMainForm", "Предупреждение"), text);
}

void Append(std::vector<TCommand>& to, const std::vector<TCommand>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

} // namespace

class TBandScanHost : public QObject {
public:
    explicit TBandScanHost(TMainForm& form) : QObject(&form), FForm(form) {
        FClock.start();
        FTimer.setSingleShot(true);
        connect(&FTimer, &QTimer::timeout, this, [this] { Run(FScan.Tick(Now())); });
    }

    void Start();
    void Report(const quint8* data, int size);
    // The tuner's state changed: a scan cannot go on without it connected and powered, nor
    // in another band.
    void TunerChanged();
    void Cancel() { Run(FScan.Cancel()); }
    // The program is closing: the scan ends as Cancel ends it, the user's station comes back
    // and what was found joins the list, which the close sequence then writes once.
    void EndForClose();
    // The window has closed: nothing more is sent, shown or written.
    void Abandon();
    TBandScanDialog* Dialog() const { return FDialog; }

private:
    qint64 Now() const { return FClock.elapsed(); }
    void Run(const std::vector<TCommand>& commands);
    void Send(const TCommand& command);
    void ShowProgress();
    void Ended();
    void Conclude();
    // Adds the found stations the list lacks (sorted); true when any was added.
    bool AddFound();

    TMainForm& FForm;
    TBandScan FScan;
    bool FBandFM = true;
    int FLow = 0;
    int FOriginPosition = 0;
    QElapsedTimer FClock;
    QTimer FTimer;
    QPointer<TBandScanDialog> FDialog;
    QString FStopMessage;
    bool FEnded = false;
    // The slider goes back to the user's station at the end, also when the tuner went away
    // (not after a band change: the old band's position means nothing in the new one).
    bool FRestoreOrigin = true;
};

void TBandScanHost::Start() {
    using TunerProtocol::TuneValueOf;
    FBandFM = FForm.FBandFM;
    FOriginPosition = FForm.TrackBarFMTune->Position();
    TScanSettings settings;
    settings.Low = FLow = TuneValueOf(FBandFM, 0);
    settings.High = TuneValueOf(FBandFM, FBandFM ? TunerProtocol::FMMaxPosition
                                                 : TunerProtocol::UKVMaxPosition);
    settings.Origin = TuneValueOf(FBandFM, FOriginPosition);
    // Only the RDA5807M receives RDS.
    settings.WaitForNames = FForm.FUseRDS && FForm.FModule == 2;
    const QStringList lines = FForm.ListBoxStations->Lines();
    for (int tuneValue = settings.Low; tuneValue <= settings.High; ++tuneValue) {
        if (Stations::FindStation(lines, Stations::FrequencyText(tuneValue)) >= 0)
            settings.Known.push_back(tuneValue);
    }

    FDialog = new TBandScanDialog(&FForm, settings.Low, settings.High);
    FDialog->setWindowModality(Qt::WindowModal);
    connect(FDialog, &TBandScanDialog::CancelRequested, this, &TBandScanHost::Cancel);
    FDialog->show();
    Run(FScan.Start(settings, Now()));
}

void TBandScanHost::Report(const quint8* data, int size) {
    using namespace TunerProtocol;
    if (!FScan.Running())
        return;
    std::array<quint8, StatusCopySize> d{};
    std::memcpy(d.data(), data, size_t(std::clamp(size, 0, StatusCopySize)));
    const TStatusEffects effects = DecodeStatus(d.data(), d.size(), {true, true, FBandFM});
    const qint64 now = Now();
    std::vector<TCommand> commands;
    // The frequency first: a report that carries both gives the level of that frequency.
    if (effects.Frequency)
        Append(commands, FScan.Frequency(*effects.Frequency, now));
    if (effects.SetsSignal) {
        const QByteArray rds =
            effects.SetsRDS ? QByteArray(reinterpret_cast<const char*>(&d[15]), 8) : QByteArray();
        Append(commands, FScan.Signal(effects.TuneLevel, effects.RDSEnabled, rds, now));
    }
    Run(commands);
}

void TBandScanHost::TunerChanged() {
    if (!FScan.Running())
        return;
    if (!FForm.FConnected) {
        FStopMessage =
            QCoreApplication::translate("TMainForm", "Тюнер отключён: сканирование остановлено");
        FScan.Abort();
        Run({});
    } else if (!FForm.FPowerOn) {
        FStopMessage =
            QCoreApplication::translate("TMainForm", "Тюнер выключен: сканирование остановлено");
        Cancel();
    } else if (FForm.FBandFM != FBandFM) {
        // The slider now counts in the other band: the old band's position means nothing.
        FRestoreOrigin = false;
        FScan.Abort();
        Run({});
    }
}

void TBandScanHost::Abandon() {
    FScan.Abort();
    FEnded = true;
    FTimer.stop();
    delete FDialog;
    FForm.FBandScan = nullptr;
    deleteLater();
}

void TBandScanHost::Run(const std::vector<TCommand>& commands) {
    if (FEnded)
        return;
    for (const TCommand& command : commands)
        Send(command);
    if (FScan.Running()) {
        FTimer.start(int(std::max<qint64>(0, *FScan.Deadline() - Now())));
    } else {
        Ended();
    }
    // Last: the dialog's owner may cancel from here.
    ShowProgress();
}

void TBandScanHost::Send(const TCommand& command) {
    switch (command.Kind) {
    case TCommandKind::Tune: {
        const int max = FBandFM ? TunerProtocol::FMMaxPosition : TunerProtocol::UKVMaxPosition;
        const int position = std::clamp(command.TuneValue - FLow, 0, max);
        FForm.SendCommand(TunerProtocol::CommandTune(FBandFM, position));
        break;
    }
    case TCommandKind::SeekUp:
        FForm.SendCommandFlag('S', true);
        break;
    case TCommandKind::RequestStatus:
        FForm.SendCommand(QByteArrayLiteral("g"));
        break;
    }
}

void TBandScanHost::ShowProgress() {
    if (!FDialog)
        return;
    FDialog->SetReached(FScan.Reached());
    const std::vector<TFoundStation>& found = FScan.Found();
    while (FDialog && FDialog->FoundCount() < int(found.size())) {
        const TFoundStation& station = found[size_t(FDialog->FoundCount())];
        FDialog->AddStation(station.TuneValue, station.Name);
    }
}

void TBandScanHost::Ended() {
    FEnded = true;
    FTimer.stop();
    // The tune command went out with the scan's last commands; the slider and the display
    // follow here without sending it again. A tuner that went away gets the user's station
    // back too, so that it is stored and tuned when the tuner returns.
    if (FScan.End() != TScanEnd::TunerLost || FRestoreOrigin) {
        const bool sendEnabled = FForm.FSendEnabled;
        FForm.FSendEnabled = false;
        FForm.TrackBarFMTune->SetPosition(FOriginPosition);
        FForm.FSendEnabled = sendEnabled;
    }
    if (FScan.End() == TScanEnd::NoAnswer)
        FStopMessage =
            QCoreApplication::translate("TMainForm", "Тюнер не отвечает: сканирование остановлено");
    QTimer::singleShot(0, this, [this] { Conclude(); });
}

void TBandScanHost::EndForClose() {
    if (!FEnded) {
        FStopMessage.clear();
        Run(FScan.Cancel());
    }
    AddFound();
}

void TBandScanHost::Conclude() {
    delete FDialog;
    FForm.FBandScan = nullptr;
    // Deferred: the message boxes below run event loops of their own, which leave it alone.
    deleteLater();
    if (FForm.Closed())
        return;
    // A failed write is shown; the stations stay in the list for the next write.
    if (AddFound())
        FForm.SaveStations();
    if (!FStopMessage.isEmpty())
        ShowWarning(&FForm, FStopMessage);
}

bool TBandScanHost::AddFound() {
    QStringList lines = FForm.ListBoxStations->Lines();
    bool added = false;
    for (const TFoundStation& station : FScan.Found()) {
        const QString freq = Stations::FrequencyText(station.TuneValue);
        // A station the list holds keeps the name the user gave it.
        if (Stations::FindStation(lines, freq) >= 0)
            continue;
        lines.append(freq + u'=' + station.Name);
        added = true;
    }
    if (added) {
        Stations::SortStations(lines);
        FForm.ListBoxStations->SetLines(lines);
        FForm.ShowStationName(FForm.FScreen->TuneValue());
    }
    return added;
}

void TMainForm::CreateScanControls() {
    PopupMenuStationsList->addSeparator();
    NListScan = PopupMenuStationsList->addAction(tr("Сканировать диапазон"));
    NListScan->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    NListScan->setShortcutContext(Qt::WindowShortcut);
    addAction(NListScan);
    connect(NListScan, &QAction::triggered, this, &TMainForm::NListScanClick);
    connect(this, &TMainForm::PlayerStateChanged, this, [this] {
        if (FBandScan)
            FBandScan->TunerChanged();
    });
    connect(this, &TMainForm::CloseFinished, this, [this] {
        if (FBandScan)
            FBandScan->Abandon();
    });
}

void TMainForm::EndScanForClose() {
    if (FBandScan)
        FBandScan->EndForClose();
}

void TMainForm::NListScanClick() {
    if (FBandScan) {
        if (TBandScanDialog* dialog = FBandScan->Dialog())
            dialog->raise();
        return;
    }
    if (!FConnected || !FPowerOn || TunerDevice == nullptr) {
        ShowWarning(this, tr("Сканирование невозможно: тюнер не подключён или выключен"));
        return;
    }
    FBandScan = new TBandScanHost(*this);
    FBandScan->Start();
}

void TMainForm::ScanStatusReport(const quint8* Data, int Size) {
    if (FBandScan)
        FBandScan->Report(Data, Size);
}
