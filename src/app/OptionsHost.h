#pragma once

// The options dialog of the program, working on the main window.

#include "windows/OptionsUnit.h"

class TMainForm;

// The main window as the options dialog reads and changes it: its fields, its state-setting
// operations, its capture format, the log window and its settings file.
class TMainFormOptionsHost : public TOptionsHost {
public:
    explicit TMainFormOptionsHost(TMainForm& form) : FForm(form) {}

    bool DigitalAudio() const override;
    QStringList InDevices() const override;
    QString InDeviceName() const override;
    QStringList OutDevices() const override;
    QString OutDeviceName() const override;
    bool Debug() const override;
    bool ScreenSnap() const override;
    int ModuleSetting() const override;
    int Module() const override;
    bool UseRDS() const override;
    int HardVolume() const override;
    int CaptureBits() const override;
    int CaptureSampleRate() const override;

    void SetDigitalAudio(bool Value) override;
    void SetDebug(bool Value) override;
    void SetScreenSnap(bool Value) override;
    void SetModuleSetting(int Value) override;
    void UpdateVolumeRange() override;
    void SetUseRDS(bool Value) override;
    void SendRDSSetting() override;
    void SetHardVolume(int Value) override;
    void SendChipVolume(int Volume) override;
    void SetInDevice(const QString& Name) override;
    void SetOutDevice(const QString& Name) override;
    void SetCaptureFormat(int Bits, int SampleRate) override;
    void SetLogVisible(bool Visible) override;
    // Throws EIniFileError.
    void WriteSettings(const std::vector<TOptionsSetting>& Settings) override;

private:
    TMainForm& FForm;
};

// The dialog, owned by the main window; a settings file it cannot write is told in a
// message box.
TOptionsForm* CreateOptionsForm(TMainForm& mainForm);
