#pragma once

// The main window: it owns the whole tuner state and changes it only through the
// state-setting operations below, each of which applies every visible consequence at once.
// Everything here runs on the GUI thread.

#include "AudioChain.h"
#include "CommandLine.h"
#include "DeferredStart.h"

#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

class QGroupBox;
class QMenu;
class QTimer;
class QToolButton;
class TIniFile;
class TImageTrackBar;
class TOrvalenScreen;
class TSimpleTray;

// A level column's height (0..8) for a meter value: 16 steps over the meter's range, rounded
// to nearest with ties to even, so a column is full from 7.5/16 of the range on.
int LevelColumnFromMeterValue(double value, double minimum, double maximum);

// The tuning slider's value as a screen reader says it: the frequency position tunes to in
// the band, "101.7 МГц".
QString TuningValueText(bool bandFM, int position);
// The same as a number, in megahertz.
double TuningMegahertz(bool bandFM, int position);
// The volume slider's value: the share of its range, "75 %".
QString VolumeValueText(int position, int min, int max);
// The same as a number, in percent.
double VolumePercent(int position, int min, int max);
// How far a volume key moves the volume slider: a twentieth of its range, at least 1.
int VolumeKeyStep(int min, int max);

class TMainForm : public QWidget {
    Q_OBJECT
public:
    // audio: the sound path to drive; an idle one when none is given.
    explicit TMainForm(const TCommandLine& commandLine, QWidget* parent = nullptr,
                       std::unique_ptr<TAudioChain> audio = nullptr);
    ~TMainForm() override;

    // Fields, in declaration order.
    bool FPowerOn = false;
    bool FConnected = false;
    bool FMuted = false;
    bool FStereo = false;
    bool FBass = false;
    bool FSendEnabled = false;
    TOrvalenScreen* FScreen = nullptr;
    std::unique_ptr<QStringList> FInDevices;
    QString FInDeviceName;
    std::unique_ptr<QStringList> FOutDevices;
    QString FOutDeviceName;
    bool FDigitalAudio = false;
    bool FBandFM = false;
    bool FDebug = false;
    std::unique_ptr<TSimpleTray> FTray;
    TImageTrackBar* TrackBarFMTune = nullptr;
    TImageTrackBar* TrackBarVolume = nullptr;
    qint32 FFMPosition = 0;
    qint32 FUKVPosition = 0;
    bool FEqualizerWasVisible = false;
    bool FStarted = false;
    qint32 FModuleSetting = 0;
    qint32 FModule = 0;
    bool FUseRDS = false;
    qint32 FHardVolume = 0;

    // Edge snapping of the window while it is dragged.
    int SnapBuffer = 0;
    bool ScreenSnap = false;

    // Where the settings and the station list are kept.
    QString FSettingsPath;
    QString FStationPath;
    TCommandLine FCommandLine;

    // Controls of the form.
    QGroupBox* GroupBoxPower = nullptr;
    QToolButton* SpeedButtonConnected = nullptr;
    QToolButton* SpeedButtonPower = nullptr;
    QGroupBox* GroupBoxFMTune = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QGroupBox* GroupBoxTune = nullptr;
    QToolButton* SpeedButtonSeekLeft = nullptr;
    QToolButton* SpeedButtonStepLeft = nullptr;
    QToolButton* SpeedButtonStepRight = nullptr;
    QToolButton* SpeedButtonSeekRight = nullptr;
    QGroupBox* GroupBoxButtons = nullptr;
    QToolButton* SpeedButtonList = nullptr;
    QToolButton* SpeedButtonStereo = nullptr;
    QToolButton* SpeedButtonMute = nullptr;
    QToolButton* SpeedButtonFMBand = nullptr;
    QToolButton* SpeedButtonBass = nullptr;
    QToolButton* SpeedButtonEqalizerOnOff = nullptr;
    QToolButton* SpeedButtonEqalizerForm = nullptr;
    QGroupBox* GroupBoxList = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* PopupMenuTray = nullptr;

    TAudioChain& Audio() { return *FAudio; }
    // The capture format last given to the sound chain (AudioIn1.AudioFormat).
    int CaptureBits() const { return FAudio->CaptureBits(); }
    int CaptureSampleRate() const { return FAudio->CaptureSampleRate(); }
    // A change while sound plays restarts the chain on it.
    void SetCaptureFormat(int Bits, int SampleRate);

    // State-setting operations.
    void SetPowerOn(bool Value);
    void SetConnected(bool Value);
    void SetMuted(bool Value);
    void SetStereo(bool Value);
    void SetBass(bool Value);
    void SetBandFM(bool Value);
    void UpdateTuneControls();
    void UpdateAudioChain();
    // After a change of device or format: a chain that plays starts again on the new choice,
    // once, after the caller's other changes.
    void RequestAudioRestart();
    void SetDigitalAudio(bool Value);
    void UpdateVolumeRange();
    void UpdateClientHeight();
    void SpeedButtonListClick();
    void SpeedButtonFMBandClick();
    void SpeedButtonEqalizerOnOffClick();
    void SpeedButtonEqalizerFormClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void FillInDevices();
    void FillOutDevices();
    // Both device lists, filled on first need: enumerating the sound devices takes a while and
    // only the options dialog shows them.
    void EnsureDeviceLists();
    // What the start-up leaves until after the window's first frame; see TDeferredStart.
    TDeferredStart& DeferredStart() { return FDeferredStart; }
    void SetInDevice(const QString& Name);
    void SetOutDevice(const QString& Name);
    void N6Click();
    void N8Click();
    // The window to the tray and back (WM_SHOWHIDEMAIN), remembering whether the equalizer
    // window was open.
    void HideToTray();
    void ShowFromTray();
    // Another start of the program asks this one to come forward: a minimised window is
    // restored and raised; a window hidden in the tray stays there. On Wayland a window comes
    // to the front only with an activation token: the one the asking start was given.
    void BringForward(const QString& activationToken = QString());

    // The close sequence's first half: false keeps the window open (a write failed and was
    // shown to the user).
    bool FormCloseQuery();
    // A close that must end the program (termination signals, the session manager): the
    // tuner is switched off and the files are written where they can be; a file that cannot be
    // written stays as it was and the failure goes to standard error, never to a message box.
    void RequestForcedClose();
    // The close sequence has run: the window is gone and device events and timers do nothing.
    bool Closed() const { return FClosed; }
    // The settings written at close, in their order; throws EIniFileError.
    void WriteCloseSettings(TIniFile& ini) const;

    // The image of ImageList1 at index as a button or window icon.
    static QIcon ImageListIcon(int index);

    // --- tuner link (UnitMainTuner.cpp) ---
    void CreateTunerLink();
    // The sound path on the wave devices of the machine, or of the simulation.
    void CreateAudioChain();
    // In the log: what the output had to mend since the last time it was told.
    void LogAudioCounters();
    void SendCommand(const QByteArray& Text);
    void SendCommandFlag(char Letter, bool Value);
    void SendFullState();
    void SendRDSSetting();
    bool MatchModule(int VendorID, int ProductID);
    // After the close: device events, reports and resume signals no longer reach the window.
    void DetachTunerLink();
    void SpeedButtonPowerClick();
    void SpeedButtonMuteClick();
    void SpeedButtonStereoClick();
    void SpeedButtonBassClick();
    void SpeedButtonSeekLeftClick();
    void SpeedButtonSeekRightClick();
    void SpeedButtonStepLeftClick();
    void SpeedButtonStepRightClick();
    void TrackBarFMTuneChange();
    void TrackBarVolumeChange();
    void Timer1Timer();
    // A level meter value: channel 0 sets the left column, channel 1 the right.
    void VUMeter1ValueChange(int AChannel, double AValue, double AMin, double AMax);
    void ResumeFromSuspend();
    void ClosePowerOff();
    // The claimed tuner that carries all tuner traffic, or none.
    class THidDevice* TunerDevice = nullptr;
    class THidDeviceController* HidCtl = nullptr;
    void HidCtlArrival(THidDevice& HidDev);
    bool HidCtlEnumerate(THidDevice& HidDev, int Idx);
    void HidCtlRemoval(THidDevice& HidDev);
    void HidCtlDeviceChange();
    void HidCtlDeviceData(THidDevice& HidDev, quint8 ReportID, const quint8* Data, int Size);
    void HidCtlDeviceDataError(THidDevice& HidDev, int Error);
    void HandleInputReport(THidDevice& HidDev, quint8 ReportID, const quint8* Data, int Size);
    void ApplyStatus(const quint8* Data, int Size);
    // The virtual tuner while the program simulates one, else none.
    class TSimulatedTuners* SimulatedTuners() const;

private:
    void WriteTunerReport(const QByteArray& Command);
    // The controller, the simulation and the resume watcher; released before the controls.
    std::shared_ptr<struct TTunerLink> FTunerLink;

public:
    // --- end of tuner link ---

    // --- station list (UnitMainStations.cpp) ---
    void CreateStationControls();
    void LoadStations();
    bool SaveStations();
    // SaveStations without the message box: the error text, or "" after a successful write.
    QString WriteStationFile();
    void ShowStationName(int TuneValue);

    // The list holds the station lines; nothing else keeps a copy.
    class TStationListBox* ListBoxStations = nullptr;
    QToolButton* SpeedButtonAddStation = nullptr;
    QToolButton* SpeedButtonEditStation = nullptr;
    QToolButton* SpeedButtonDelStation = nullptr;
    QToolButton* SpeedButtonSortList = nullptr;
    QMenu* PopupMenuStationsList = nullptr;
    class QAction* NListAdd = nullptr;
    class QAction* NListEdit = nullptr;
    class QAction* NListDelete = nullptr;
    class QAction* NListSort = nullptr;
    class QAction* NListMarked = nullptr;

    void SpeedButtonAddStationClick();
    void SpeedButtonEditStationClick();
    void SpeedButtonDelStationClick();
    void SpeedButtonSortListClick();
    void NListMarkedClick();
    void ListBoxStationsDblClick();
    void ListBoxStationsKeyPress(QChar Key);
    // Switches band and tunes as a double click on a station of that frequency ("101.7").
    void TuneToFrequency(const QString& frequencyText);

private:
    // The program's station dialog, or one of the window's own when there is none (a main
    // window made without the program around it).
    class TFormStation* StationDialog();
    class TFormStation* FOwnStationDialog = nullptr;

public:
    // The station file exists but could not be read: it holds the user's stations, so nothing
    // writes over it (changes stay on screen, their writes are refused) until it can be read.
    bool FStationFileUnreadable = false;
    // --- end of station list ---

    // --- recording (UnitMainRecording.cpp) ---
    // The tray item "Запись" and the key R: records what plays to a FLAC file while sound
    // flows; the caption says so.
    class QAction* NRecord = nullptr;
    QTimer* TimerRecording = nullptr; // logs buffers the disk could not keep up with
    QString FRecordingPath;
    std::uint64_t FRecordingDroppedLogged = 0;
    void CreateRecordingControls();
    // Enables the item while sound flows, with a hint why not otherwise; ends a recording whose
    // sound has gone.
    void UpdateRecordingControls();
    void NRecordClick();
    bool Recording() const;
    void StartRecording();
    // StartRecording without the message: "" once it records, else why it cannot (for the
    // timers, which report it their own way).
    QString BeginRecording();
    // Completes the file; nothing while no recording runs.
    void StopRecording();
    void RecordingEnded(const struct TRecordingResult& Result);
    void LogRecordingDrops();
    // --- end of recording ---

    // --- timers (UnitMainTimers.cpp) ---
    // The sleep timer, the wake-up and scheduled recordings from orvalen-timers.ini, run by
    // one engine woken by one timer; "Таймеры…" in the tray menu and the key T open their
    // window. Made after the first frame.
    void CreateTimers();
    // Reads the timers file again (after the window changed it) and wakes the engine; gives
    // what it read.
    struct TTimersFile ReloadTimers();
    // The sleep timer: minutes from now, 0 off.
    void SetSleepMinutes(int minutes);
    std::optional<qint64> SleepRemainingSeconds() const;
    void OpenTimersWindow();
    QString TimersFile() const;
    class QAction* NTimers = nullptr;
    QTimer* TimerTimers = nullptr;
    std::unique_ptr<class ITimerHost> FTimersHost;
    std::unique_ptr<class TTimerEngine> FTimers;
    class TNotifier* FNotifier = nullptr;
    QStringList FTimerProblemsTold; // each broken entry is told once
    int FSleepMinutes = 0;          // the sleep timer's last choice
    class TFormTimers* FFormTimers = nullptr;
    void TimersWake();
    void ScheduleTimers();
    void UpdateSleepTip();
    // --- end of timers ---

    // --- keyboard (UnitMainKeys.cpp) ---
    // The window's keys, as window shortcuts; made once, with the controls.
    void CreateKeyboardControls();
    // Tunes the next (direction > 0) or previous station of the list, by frequency and
    // wrapping, in the current band first; seeks that way when the list is empty.
    void TuneAdjacentStation(int direction);
    // Moves the volume slider one VolumeKeyStep up (direction > 0) or down, as a drag does;
    // nothing while the slider is disabled.
    void StepVolume(int direction);
    // The controls' names for assistive technology and the Tab order (UnitMainAccess.cpp);
    // made once, with the controls.
    void CreateAccessibility();
    // --- end of keyboard ---

    // --- band scan (UnitMainScan.cpp) ---
    // The station list menu's "Сканировать диапазон", also Ctrl+S in the main window.
    void CreateScanControls();
    // Scans the current band and adds the stations the list lacks; refused while no tuner
    // is connected and powered.
    void NListScanClick();
    // A running band scan ends as Cancel ends it, before the close writes the files.
    void EndScanForClose();
    // A status report, after ApplyStatus: the scan running, if any, follows it.
    void ScanStatusReport(const quint8* Data, int Size);
    class QAction* NListScan = nullptr;
    // The scan running, or none.
    class TBandScanHost* FBandScan = nullptr;
    // --- end of band scan ---

signals:
    // The close sequence has finished and the window is gone.
    void CloseFinished();
    // Something a media player shows changed: power, connection, mute, band, tuning, the
    // station's or RDS name, or the volume. Emitted on each change, possibly more than once.
    void PlayerStateChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void CreateControls();
    void FormCreate();
    void ReadStartSettings();
    void KeepInsideWorkArea(int left, int top);
    void CreateTray();
    // The tray shows the connection: a tuner picture while connected, a grey one otherwise.
    void UpdateTrayPicture();
    // The start-up places the window before it has a frame; once the window system tells
    // the frame, the placement is made again with it (see moveEvent).
    bool FFramePending = false;
    // The position the settings held at start: written back unchanged where the window system
    // does not tell programs where their windows are (Wayland).
    QPoint FStoredPosition;
    void FormClose();
    // Writes the settings and then the station list. Stops at the first failure unless
    // writeWhatItCan; gives the failures' texts.
    QStringList WriteCloseFiles(bool writeWhatItCan);
    // The refused close's message; a forced close while it is up dismisses it.
    void ShowCloseError(const QString& text);

    std::unique_ptr<TAudioChain> FAudio;
    TDeferredStart FDeferredStart;
    bool FDeviceListsFilled = false;
    bool FAudioActive = false;         // the chain was last switched on
    bool FAudioRestartPending = false; // RequestAudioRestart waits for its turn
    TAudioCounters FLoggedCounters;
    bool FClosed = false;
    // The last close the user asked for was refused: the next one closes without the files
    // that could not be written, so the program can always be ended.
    bool FCloseRefused = false;
    bool FForcedClose = false;
    class QMessageBox* FCloseMessage = nullptr;
};
