#pragma once

// The options dialog ("Настройки"): the main window's settings that have no button of their
// own. It is created once and shown modeless; every showing fills the controls from the main
// window afresh, OK applies them in a fixed order and writes them to the settings file, and
// Cancel, Esc and the close box apply nothing. Everything here runs on the GUI thread.

#include <QDialog>
#include <QGroupBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

// One key the dialog writes to the settings file, with the type it is written as.
struct TOptionsSetting {
    QString Key;
    std::variant<bool, int, QString> Value;
    bool operator==(const TOptionsSetting&) const = default;
};

// What the dialog reads and changes of the main window: its fields, its state-setting
// operations, the capture format of its sound chain and the log window.
class TOptionsHost {
public:
    virtual ~TOptionsHost() = default;

    virtual bool DigitalAudio() const = 0; // FDigitalAudio
    virtual QStringList InDevices() const = 0;
    virtual QString InDeviceName() const = 0;
    virtual QStringList OutDevices() const = 0;
    virtual QString OutDeviceName() const = 0;
    virtual bool Debug() const = 0;
    virtual bool ScreenSnap() const = 0;
    virtual int ModuleSetting() const = 0;
    virtual int Module() const = 0; // the detected module: 0 none, 1 TEA5767, 2 RDA5807M
    virtual bool UseRDS() const = 0;
    virtual int HardVolume() const = 0;
    virtual int CaptureBits() const = 0;
    virtual int CaptureSampleRate() const = 0;

    virtual void SetDigitalAudio(bool Value) = 0; // switches the sound chain at once
    virtual void SetDebug(bool Value) = 0;
    virtual void SetScreenSnap(bool Value) = 0;
    virtual void SetModuleSetting(int Value) = 0;
    virtual void UpdateVolumeRange() = 0;
    virtual void SetUseRDS(bool Value) = 0;
    virtual void SendRDSSetting() = 0;
    virtual void SetHardVolume(int Value) = 0;
    // The chip-volume command for Volume, through the main window's SendCommand.
    virtual void SendChipVolume(int Volume) = 0;
    virtual void SetInDevice(const QString& Name) = 0;
    virtual void SetOutDevice(const QString& Name) = 0;
    virtual void SetCaptureFormat(int Bits, int SampleRate) = 0;
    virtual void SetLogVisible(bool Visible) = 0;
    // Writes the keys, in the order given, to the settings file's section "main". Throws a
    // std::exception (with the text for the user) when the file cannot be written; the keys
    // from the failing one on are then not written.
    virtual void WriteSettings(const std::vector<TOptionsSetting>& Settings) = 0;
};

// A group box of radio buttons, one per item, whose ItemIndex is the checked one (−1: none).
class TRadioGroup : public QGroupBox {
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent);

    int ItemIndex() const;
    // Clamped to −1 .. the last item, as the item list has no other places.
    void SetItemIndex(int Value);
    QList<QRadioButton*> Buttons() const;

private:
    QButtonGroup* FButtons;
};

class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsForm(std::unique_ptr<TOptionsHost> host, QWidget* owner = nullptr);
    ~TOptionsForm() override;

    QGroupBox* GroupBox1;
    QGroupBox* GroupBox3;
    QCheckBox* CheckBoxScreenSnap;
    QCheckBox* CheckBoxDirectSound;
    QCheckBox* CheckBoxRDS;
    QGroupBox* GroupBox2;
    QLabel* Label1;
    QComboBox* ComboBoxAudioDevices;
    QLabel* Label2;
    QComboBox* ComboBoxAudioOut;
    QLabel* Label3;
    QComboBox* ComboBoxBits;
    QLabel* Label4;
    QComboBox* ComboBoxSampleRate;
    QLabel* Label5;
    QSlider* TrackBarHardVolume;
    TRadioGroup* RadioGroupFMModule;
    QPushButton* BitBtn1; // "OK"
    QPushButton* BitBtn2; // Cancel, also Esc
    QCheckBox* CheckBoxDebug;

    // Told when OK could not write the settings file; a message box when unassigned.
    std::function<void(const QString& message)> OnError;

    void FormShow();
    void CheckBoxDirectSoundClick();
    void BitBtn1Click();
    void BitBtn2Click();

    // The keys OK writes, in their order, from the controls as they stand.
    std::vector<TOptionsSetting> SettingsToWrite() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void ReportError(const QString& message);

    std::unique_ptr<TOptionsHost> FHost;
};
