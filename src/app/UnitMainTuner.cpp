// The tuner controller's part of the main window: it recognises the tuner among the HID
// devices, claims it, sends the full state when it connects, polls its status, turns the
// tuning controls into commands and applies each status report. Everything here runs on
// the GUI thread; FSendEnabled keeps the changes a report makes from being sent back.
#include "Application.h"
#include "UnitMain.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "sim/SimulatedTuners.h"
#include "tuner/HidController.h"
#include "tuner/SleepWatcher.h"
#include "tuner/TunerProtocol.h"
#include "windows/UnitLogs.h"

#include <QToolButton>
#include <cstring>
#include <set>

using namespace TunerProtocol;

namespace {

QString AccessRefusedLine(const std::string& node, int error) {
    return QStringLiteral("Access to %1 was refused (%2): the tuner is seen but cannot be "
                          "driven. Install packaging/60-orvalen.rules into /etc/udev/rules.d/, "
                          "run \"sudo udevadm control --reload\" and plug the tuner in again.")
        .arg(QString::fromStdString(node), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

struct TTunerLink {
    // Declared before the controller, which owns the simulation's backend, so that the
    // controller goes first.
    std::unique_ptr<TSimulatedTuners> Sim;
    std::unique_ptr<THidDeviceController> HidCtl;
    std::unique_ptr<TSleepWatcher> Sleep;
    THidDevice** TunerDevice = nullptr;
    std::set<std::string> RefusedNodes; // told about once each

    ~TTunerLink() {
        // The form is being destroyed: a report still on its way must not reach it.
        if (TunerDevice != nullptr && *TunerDevice != nullptr) {
            (*TunerDevice)->SetDataHandler(nullptr);
            (*TunerDevice)->SetDataErrorHandler(nullptr);
        }
        Sleep.reset();
        HidCtl.reset();
    }
};

void TMainForm::CreateTunerLink() {
    SetLogVerbose(FCommandLine.Verbose);
    auto link = std::make_shared<TTunerLink>();
    link->TunerDevice = &TunerDevice;
    std::unique_ptr<THidBackend> backend;
    if (FCommandLine.Simulate) {
        link->Sim = std::make_unique<TSimulatedTuners>(FCommandLine.SimulateModel);
        backend = link->Sim->TakeBackend();
    } else {
        backend = CreateSystemHidBackend();
    }
    backend->SetNotice(TApplication::Notice);
    link->HidCtl = std::make_unique<THidDeviceController>(std::move(backend));
    HidCtl = link->HidCtl.get();
    HidCtl->OnArrival = [this](THidDevice& d) { HidCtlArrival(d); };
    HidCtl->OnRemoval = [this](THidDevice& d) { HidCtlRemoval(d); };
    HidCtl->OnEnumerate = [this](THidDevice& d, int idx) { return HidCtlEnumerate(d, idx); };
    HidCtl->OnDeviceChange = [this] { HidCtlDeviceChange(); };
    HidCtl->OnDeviceData = [this](THidDevice& d, quint8 id, const quint8* data, int size) {
        HidCtlDeviceData(d, id, data, size);
    };
    HidCtl->OnDeviceDataError = [this](THidDevice& d, int error) {
        HidCtlDeviceDataError(d, error);
    };
    HidCtl->OnMessageLoopError = [](const QString& message) {
        TApplication::ShowException(message);
    };
    FTunerLink = std::move(link);
    // Its connection to the system bus waits until after the first frame.
    FDeferredStart.Add([this] {
        if (!FTunerLink || FClosed)
            return;
        FTunerLink->Sleep = std::make_unique<TSleepWatcher>();
        FTunerLink->Sleep->OnResume = [this] { ResumeFromSuspend(); };
    });
}

void TMainForm::DetachTunerLink() {
    if (!FTunerLink)
        return;
    if (TunerDevice != nullptr) {
        TunerDevice->SetDataHandler(nullptr);
        TunerDevice->SetDataErrorHandler(nullptr);
    }
    HidCtl->OnArrival = nullptr;
    HidCtl->OnRemoval = nullptr;
    HidCtl->OnEnumerate = nullptr;
    HidCtl->OnDeviceChange = nullptr;
    HidCtl->OnDeviceData = nullptr;
    HidCtl->OnDeviceDataError = nullptr;
    if (FTunerLink->Sleep)
        FTunerLink->Sleep->OnResume = nullptr;
}

TSimulatedTuners* TMainForm::SimulatedTuners() const {
    return FTunerLink ? FTunerLink->Sim.get() : nullptr;
}

// --- sending ---

void TMainForm::WriteTunerReport(const QByteArray& Command) {
    if (TunerDevice == nullptr)
        return;
    const int length = TunerDevice->Capabilities().OutputReportByteLength;
    const QByteArray report = OutputReport(Command, length);
    int written = 0;
    if (TunerDevice->Write(report.constData(), length, written)) {
        if (LogWanted())
            WriteLog(WriteLine(report.left(written)));
    } else {
        const int error = TunerDevice->LastError();
        if (LogWanted())
            WriteLog(WriteErrorLine(error));
    }
}

void TMainForm::SendCommand(const QByteArray& Text) {
    WriteTunerReport(Text);
}

void TMainForm::SendCommandFlag(char Letter, bool Value) {
    WriteTunerReport(CommandFlag(Letter, Value));
}

void TMainForm::SendFullState() {
    if (TunerDevice == nullptr)
        return;
    TFullState state;
    state.PowerOn = FPowerOn;
    state.Muted = FMuted;
    state.Stereo = FStereo;
    state.BandFM = FBandFM;
    state.Started = FStarted;
    state.Bass = FBass;
    state.Position = TrackBarFMTune->Position();
    state.DigitalAudio = FDigitalAudio;
    state.HardVolume = FHardVolume;
    state.VolumePosition = TrackBarVolume->Position();
    state.UseRDS = FUseRDS;
    WriteTunerReport(CommandFullState(state));
}

void TMainForm::SendRDSSetting() {
    if (FSendEnabled)
        SendCommandFlag('r', FUseRDS);
}

bool TMainForm::MatchModule(int VendorID, int ProductID) {
    if ((FModuleSetting == 0 || FModuleSetting == 2) && VendorID == TunerProtocol::VendorID &&
        ProductID == ProductRDA5807M) {
        FModule = 2;
        return true;
    }
    if ((FModuleSetting == 0 || FModuleSetting == 1) && VendorID == TunerProtocol::VendorID &&
        ProductID == ProductTEA5767) {
        FModule = 1;
        return true;
    }
    return false;
}

// --- HID events ---

void TMainForm::HidCtlArrival(THidDevice&) {
    if (TunerDevice == nullptr)
        HidCtl->EnumerateDevices();
}

bool TMainForm::HidCtlEnumerate(THidDevice& HidDev, int Idx) {
    if (!MatchModule(HidDev.VendorID(), HidDev.ProductID()))
        return true;
    if (!HidCtl->ClaimByIndex(TunerDevice, Idx))
        return true;
    TunerDevice->SetInputReportBuffers(128);
    TunerDevice->SetOverlappedReportBuffers(128);
    TunerDevice->SetDataErrorHandler(
        [this](THidDevice& d, int error) { HidCtlDeviceDataError(d, error); });
    TunerDevice->SetDataHandler([this](THidDevice& d, quint8 id, const quint8* data, int size) {
        HandleInputReport(d, id, data, size);
    });
    TunerDevice->ProductText(); // read now: the removal line needs it after the device left
    if (!TunerDevice->ReadWriteOpen()) {
        const std::string& node = TunerDevice->PnPInfo().DevicePath;
        if (FTunerLink->RefusedNodes.insert(node).second)
            TApplication::Notice(AccessRefusedLine(node, TunerDevice->ReadWriteError()));
    }
    if (LogWanted())
        WriteLog(ConnectedLine());
    SetConnected(true);
    return false;
}

void TMainForm::HidCtlRemoval(THidDevice& HidDev) {
    if (&HidDev != TunerDevice)
        return;
    // Gives the claim up and sets TunerDevice to none; the controller frees the device once
    // this removal event has run.
    HidCtl->Release(TunerDevice);
    if (LogWanted())
        WriteLog(DisconnectedLine(HidDev.ProductText()));
    SetConnected(false);
}

void TMainForm::HidCtlDeviceChange() {}

void TMainForm::HidCtlDeviceData(THidDevice& HidDev, quint8, const quint8*, int) {
    if (LogWanted())
        WriteLog(HidDev.ProductText());
}

void TMainForm::HidCtlDeviceDataError(THidDevice&, int Error) {
    if (LogWanted())
        WriteLog(DataErrorLine(Error));
}

void TMainForm::HandleInputReport(THidDevice&, quint8 ReportID, const quint8* Data, int Size) {
    if (Size < 0)
        Size = 0;
    if (LogWanted())
        WriteLog(ReadLine(ReportID, Data, size_t(Size)));
    FSendEnabled = false;
    if (StatusFormatOf(Data, size_t(Size)) != TStatusFormat::None) {
        ApplyStatus(Data, Size);
        ScanStatusReport(Data, Size);
    }
    FSendEnabled = true;
}

void TMainForm::ApplyStatus(const quint8* Data, int Size) {
    const TStatusEffects effects =
        DecodeStatus(Data, size_t(std::max(Size, 0)), {FStereo, FUseRDS, FBandFM});
    if (effects.SliderPosition)
        TrackBarFMTune->SetPosition(*effects.SliderPosition);
    if (effects.TuneValue) {
        FScreen->SetTuneValue(*effects.TuneValue);
        ShowStationName(*effects.TuneValue);
    }
    if (effects.SetsSignal) {
        FScreen->SetIsStereo(effects.IsStereo);
        FScreen->SetTuneLevel(effects.TuneLevel);
    }
    if (effects.SetsRDS) {
        FScreen->SetRDSEnabled(effects.RDSEnabled);
        FScreen->SetRDSString(effects.RDSString);
        emit PlayerStateChanged();
    }
    if (LogWanted() && !effects.LogLine.isEmpty())
        WriteLog(effects.LogLine);
}

// --- controls ---

void TMainForm::SpeedButtonPowerClick() {
    SetPowerOn(SpeedButtonPower->isChecked());
    if (FSendEnabled)
        SendCommandFlag('P', FPowerOn);
}

void TMainForm::SpeedButtonMuteClick() {
    SetMuted(SpeedButtonMute->isChecked());
    if (FSendEnabled)
        SendCommandFlag('M', FMuted);
}

void TMainForm::SpeedButtonStereoClick() {
    SetStereo(SpeedButtonStereo->isChecked());
    if (FSendEnabled)
        SendCommandFlag('s', FStereo);
}

void TMainForm::SpeedButtonBassClick() {
    SetBass(SpeedButtonBass->isChecked());
    if (FSendEnabled)
        SendCommandFlag('b', FBass);
}

void TMainForm::SpeedButtonSeekLeftClick() {
    SendCommandFlag('S', false);
}

void TMainForm::SpeedButtonSeekRightClick() {
    SendCommandFlag('S', true);
}

void TMainForm::SpeedButtonStepLeftClick() {
    TrackBarFMTune->SetPosition(TrackBarFMTune->Position() - 1);
}

void TMainForm::SpeedButtonStepRightClick() {
    TrackBarFMTune->SetPosition(TrackBarFMTune->Position() + 1);
}

void TMainForm::TrackBarFMTuneChange() {
    const int position = TrackBarFMTune->Position();
    const int tuneValue = TuneValueOf(FBandFM, position);
    if (tuneValue == FScreen->TuneValue())
        return;
    FScreen->SetTuneValue(tuneValue);
    (FBandFM ? FFMPosition : FUKVPosition) = position;
    ShowStationName(tuneValue);
    if (FSendEnabled)
        SendCommand(CommandTune(FBandFM, position));
}

void TMainForm::TrackBarVolumeChange() {
    FAudio->SetAmplifierCoefficient(TrackBarVolume->Position() / 100.0);
    emit PlayerStateChanged();
    if (!FDigitalAudio && FModule == 2 && FSendEnabled)
        SendCommand(CommandChipVolume(TrackBarVolume->Position()));
}

void TMainForm::Timer1Timer() {
    if (FConnected)
        SendCommand(QByteArrayLiteral("g"));
    LogAudioCounters();
}

void TMainForm::ResumeFromSuspend() {
    if (!FConnected)
        return;
    SpeedButtonPower->setChecked(false);
    SetPowerOn(false);
    SendCommandFlag('P', false);
}

void TMainForm::ClosePowerOff() {
    EndScanForClose();
    if (FSendEnabled && FConnected)
        SendCommandFlag('P', false);
}
