// The tuner controller's part of the main window. First version: the handlers change the
// main window's state; the device link plugs in here.
#include "UnitMain.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"

#include <QToolButton>

void TMainForm::CreateTunerLink() {}

void TMainForm::SendCommand(const QByteArray&) {}
void TMainForm::SendCommandFlag(char Letter, bool Value) {
    SendCommand(QByteArray(1, Letter) + char(Value ? 1 : 0));
}
void TMainForm::SendFullState() {}
void TMainForm::SendRDSSetting() {
    if (FSendEnabled)
        SendCommandFlag('r', FUseRDS);
}
bool TMainForm::MatchModule(int, int) {
    return false;
}

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
    const int tuneValue = (FBandFM ? 880 : 659) + position;
    if (tuneValue == FScreen->TuneValue())
        return;
    FScreen->SetTuneValue(tuneValue);
    (FBandFM ? FFMPosition : FUKVPosition) = position;
    ShowStationName(tuneValue);
    if (FSendEnabled)
        SendCommand(QByteArray(1, FBandFM ? 'F' : 'U') + char(position) + ' ');
}
void TMainForm::TrackBarVolumeChange() {
    FAudio->SetAmplifierCoefficient(TrackBarVolume->Position() / 100.0);
    if (!FDigitalAudio && FModule == 2 && FSendEnabled)
        SendCommand(QByteArray(1, 'v') + char(TrackBarVolume->Position() + 1));
}
void TMainForm::Timer1Timer() {
    if (FConnected)
        SendCommand(QByteArrayLiteral("g"));
}
void TMainForm::ResumeFromSuspend() {}
void TMainForm::ClosePowerOff() {
    if (FSendEnabled && FConnected)
        SendCommandFlag('P', false);
}
