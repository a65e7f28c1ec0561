#include "OptionsHost.h"

#include "Application.h"
#include "IniFile.h"
#include "UnitMain.h"
#include "tuner/TunerProtocol.h"
#include "windows/UnitLogs.h"

bool TMainFormOptionsHost::DigitalAudio() const {
    return FForm.FDigitalAudio;
}

QStringList TMainFormOptionsHost::InDevices() const {
    FForm.EnsureDeviceLists();
    return FForm.FInDevices ? *FForm.FInDevices : QStringList();
}

QString TMainFormOptionsHost::InDeviceName() const {
    return FForm.FInDeviceName;
}

QStringList TMainFormOptionsHost::OutDevices() const {
    FForm.EnsureDeviceLists();
    return FForm.FOutDevices ? *FForm.FOutDevices : QStringList();
}

QString TMainFormOptionsHost::OutDeviceName() const {
    return FForm.FOutDeviceName;
}

bool TMainFormOptionsHost::Debug() const {
    return FForm.FDebug;
}

bool TMainFormOptionsHost::ScreenSnap() const {
    return FForm.ScreenSnap;
}

int TMainFormOptionsHost::ModuleSetting() const {
    return FForm.FModuleSetting;
}

int TMainFormOptionsHost::Module() const {
    return FForm.FModule;
}

bool TMainFormOptionsHost::UseRDS() const {
    return FForm.FUseRDS;
}

int TMainFormOptionsHost::HardVolume() const {
    return FForm.FHardVolume;
}

int TMainFormOptionsHost::CaptureBits() const {
    return FForm.CaptureBits();
}

int TMainFormOptionsHost::CaptureSampleRate() const {
    return FForm.CaptureSampleRate();
}

void TMainFormOptionsHost::SetDigitalAudio(bool Value) {
    FForm.SetDigitalAudio(Value);
}

void TMainFormOptionsHost::SetDebug(bool Value) {
    FForm.FDebug = Value;
}

void TMainFormOptionsHost::SetScreenSnap(bool Value) {
    FForm.ScreenSnap = Value;
}

void TMainFormOptionsHost::SetModuleSetting(int Value) {
    FForm.FModuleSetting = Value;
}

void TMainFormOptionsHost::UpdateVolumeRange() {
    FForm.UpdateVolumeRange();
}

void TMainFormOptionsHost::SetUseRDS(bool Value) {
    FForm.FUseRDS = Value;
}

void TMainFormOptionsHost::SendRDSSetting() {
    FForm.SendRDSSetting();
}

void TMainFormOptionsHost::SetHardVolume(int Value) {
    FForm.FHardVolume = Value;
}

void TMainFormOptionsHost::SendChipVolume(int Volume) {
    FForm.SendCommand(TunerProtocol::CommandChipVolume(Volume));
}

void TMainFormOptionsHost::SetInDevice(const QString& Name) {
    FForm.SetInDevice(Name);
}

void TMainFormOptionsHost::SetOutDevice(const QString& Name) {
    FForm.SetOutDevice(Name);
}

void TMainFormOptionsHost::SetCaptureFormat(int Bits, int SampleRate) {
    FForm.SetCaptureFormat(Bits, SampleRate);
}

void TMainFormOptionsHost::SetLogVisible(bool Visible) {
    // The program creates the log window at start-up; a main window on its own makes it as
    // its start-up does with debug on.
    if (Visible && !FormLogs)
        FormLogs = new TFormLogs(&FForm);
    if (FormLogs)
        FormLogs->setVisible(Visible);
}

void TMainFormOptionsHost::WriteSettings(const std::vector<TOptionsSetting>& Settings) {
    TIniFile ini(FForm.FSettingsPath);
    const QString section = QStringLiteral("main");
    for (const TOptionsSetting& setting : Settings) {
        if (const bool* flag = std::get_if<bool>(&setting.Value))
            ini.WriteBool(section, setting.Key, *flag);
        else if (const int* number = std::get_if<int>(&setting.Value))
            ini.WriteInteger(section, setting.Key, *number);
        else
            ini.WriteString(section, setting.Key, std::get<QString>(setting.Value));
    }
}

TOptionsForm* CreateOptionsForm(TMainForm& mainForm) {
    auto* form = new TOptionsForm(std::make_unique<TMainFormOptionsHost>(mainForm), &mainForm);
    form->OnError = [](const QString& message) { TApplication::ShowException(message); };
    return form;
}
