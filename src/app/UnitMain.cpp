#include "UnitMain.h"

#include "Application.h"
#include "ConfigPaths.h"
#include "Forms.h"
#include "IniFile.h"
#include "WindowSnap.h"
#include "WorkArea.h"
#include "controls/AccessibleControls.h"
#include "controls/GroupFrame.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "controls/Pictures.h"
#include "controls/SharpPicture.h"
#include "controls/SimpleTray.h"
#include "controls/WindowFont.h"
#include "controls/WindowSystem.h"
#include "equalizer/UnitEqualizer.h"
#include "timers/TimerEngine.h"
#include "windows/OptionsUnit.h"
#include "windows/UnitAbout.h"
#include "windows/UnitLogs.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <map>
#include <utility>

namespace {

const QString MainSection = QStringLiteral("main");

QGroupBox* MakeGroup(QWidget* parent, int left, int top, int width, int height,
                     const QString& caption = QString()) {
    auto* group = new TGroupFrame(caption, parent);
    group->setGeometry(left, top, width, height);
    return group;
}

QToolButton* MakeSpeedButton(QWidget* parent, int left, int top, int width, int height,
                             const QString& hint, bool toggle) {
    auto* button = new QToolButton(parent);
    button->setGeometry(left, top, width, height);
    button->setAutoRaise(true); // flat
    button->setToolTip(hint);
    button->setCheckable(toggle);
    button->setIconSize(QSize(16, 16));
    // Reached with Tab only: a click leaves the focus where it was, so the window's keys go
    // on doing what they did for those who use the mouse.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

int AudioBitsFromIndex(int index) {
    switch (index) {
    case 0:
        return 8;
    case 2:
        return 24;
    case 3:
        return 32;
    default:
        return 16;
    }
}

int SampleRateFromIndex(int index) {
    static constexpr int rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 96000, 192000};
    return index >= 0 && index < 9 ? rates[index] : 44100;
}

} // namespace

namespace {

// Each picture is made once and shared: a button's toggle that made new pixmaps every time
// grew the program with every click. Kept to the end of the process (never destroyed after the
// application).
QIcon CachedIcon(int index, bool disabledInColour) {
    static auto* icons = new std::map<std::pair<int, bool>, QIcon>;
    auto [it, made] = icons->try_emplace({index, disabledInColour});
    if (made) {
        const QImage picture = Pictures::ImageList1(index);
        it->second = SharpIcon(picture);
        if (disabledInColour)
            AddSharpPixmaps(it->second, picture, QIcon::Disabled);
    }
    return it->second;
}

// The connection indicator is always disabled, yet it must show its state in colour.
QIcon IndicatorIcon(int index) {
    return CachedIcon(index, true);
}

} // namespace

QIcon TMainForm::ImageListIcon(int index) {
    return CachedIcon(index, false);
}

TMainForm::TMainForm(const TCommandLine& commandLine, QWidget* parent,
                     std::unique_ptr<TAudioChain> audio)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      FCommandLine(commandLine), FAudio(std::move(audio)) {
    const TConfigPaths paths =
        ResolveConfigPaths(QCoreApplication::applicationFilePath(), commandLine.ConfigDir);
    FSettingsPath = paths.Settings;
    FStationPath = paths.Stations;
    // Before any control exists: Qt describes a control once, with the first interface it
    // finds, and a toggle's first state change already asks for one.
    InstallAccessibleControls();
    CreateControls();
    CreateStationControls();
    CreateKeyboardControls();
    CreateTunerLink();
    if (!FAudio)
        CreateAudioChain();
    FAudio->OnMeterValue = [this](int channel, double value, double minimum, double maximum) {
        VUMeter1ValueChange(channel, value, minimum, maximum);
    };
    CreateRecordingControls();
    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::CreateControls() {
    setWindowTitle(QStringLiteral("USB Orvalen"));
    setFont(WindowFontInPoints(8));
    setFixedSize(370, 468);
    move(200, 133);

    GroupBoxPower = MakeGroup(this, 7, 5, 49, 82);
    SpeedButtonConnected =
        MakeSpeedButton(GroupBoxPower, 9, 12, 30, 28, tr("Статус подключения"), false);
    SpeedButtonConnected->setEnabled(false);
    SpeedButtonPower = MakeSpeedButton(GroupBoxPower, 9, 48, 30, 28, tr("Питание"), true);

    GroupBoxFMTune = MakeGroup(this, 58, 5, 255, 82);

    GroupBox1 = MakeGroup(this, 316, 5, 49, 82);
    SpeedButton2 = MakeSpeedButton(GroupBox1, 8, 12, 30, 28, tr("О программе"), false);
    SpeedButton1 = MakeSpeedButton(GroupBox1, 9, 48, 30, 28, tr("Настройки"), false);
    // Pictures of our own: the style's standard icons are files that Qt reads through every
    // image-format plug-in it has.
    SpeedButton2->setIcon(SharpIcon(Pictures::AboutButton()));
    SpeedButton1->setIcon(SharpIcon(Pictures::OptionsButton()));

    GroupBoxTune = MakeGroup(this, 7, 89, 358, 52);
    SpeedButtonSeekLeft = MakeSpeedButton(GroupBoxTune, 3, 10, 30, 28, tr("Поиск вниз"), false);
    SpeedButtonStepLeft = MakeSpeedButton(GroupBoxTune, 35, 10, 20, 28, tr("Шаг -"), false);
    SpeedButtonStepRight = MakeSpeedButton(GroupBoxTune, 301, 10, 20, 28, tr("Шаг +"), false);
    SpeedButtonSeekRight = MakeSpeedButton(GroupBoxTune, 323, 10, 30, 28, tr("Поиск вверх"), false);
    SpeedButtonSeekLeft->setArrowType(Qt::LeftArrow);
    SpeedButtonSeekRight->setArrowType(Qt::RightArrow);
    SpeedButtonStepLeft->setText(QStringLiteral("<"));
    SpeedButtonStepRight->setText(QStringLiteral(">"));

    GroupBoxButtons = MakeGroup(this, 7, 143, 358, 49);
    SpeedButtonList = MakeSpeedButton(GroupBoxButtons, 6, 12, 30, 28, tr("Список станций"), true);
    // A picture: "≡" is in no face the window uses, and finding one for it cost the first frame
    // a search through all the machine's faces.
    SpeedButtonList->setIcon(SharpIcon(Pictures::ListButton()));
    SpeedButtonStereo = MakeSpeedButton(GroupBoxButtons, 38, 12, 30, 28, tr("Стерео"), true);
    SpeedButtonMute =
        MakeSpeedButton(GroupBoxButtons, 70, 12, 30, 28, tr("Приглушение звука"), true);
    SpeedButtonFMBand = MakeSpeedButton(GroupBoxButtons, 102, 12, 30, 28, tr("Диапазон"), true);
    SpeedButtonFMBand->setText(QStringLiteral("FM"));
    SpeedButtonFMBand->setToolButtonStyle(Qt::ToolButtonTextOnly);
    SpeedButtonBass = MakeSpeedButton(GroupBoxButtons, 134, 12, 30, 28, tr("Басс"), true);
    SpeedButtonEqalizerOnOff =
        MakeSpeedButton(GroupBoxButtons, 290, 12, 30, 28, tr("Вкл/Выкл эквалайзер"), true);
    SpeedButtonEqalizerForm =
        MakeSpeedButton(GroupBoxButtons, 322, 12, 30, 28, tr("Эквалайзер"), false);
    SpeedButtonEqalizerForm->setText(QStringLiteral("EQ"));

    GroupBoxList = MakeGroup(this, 7, 195, 358, 262, tr("Список Станций"));

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);

    PopupMenuTray = new QMenu(this);
    QAction* restore = PopupMenuTray->addAction(tr("Развернуть"));
    PopupMenuTray->addSeparator();
    QAction* quit = PopupMenuTray->addAction(ImageListIcon(12), tr("Выход"));
    connect(restore, &QAction::triggered, this, &TMainForm::N6Click);
    connect(quit, &QAction::triggered, this, &TMainForm::N8Click);

    connect(SpeedButtonConnected, &QToolButton::clicked, this, &TMainForm::SpeedButtonPowerClick);
    connect(SpeedButtonPower, &QToolButton::clicked, this, &TMainForm::SpeedButtonPowerClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TMainForm::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TMainForm::SpeedButton2Click);
    connect(SpeedButtonSeekLeft, &QToolButton::clicked, this, &TMainForm::SpeedButtonSeekLeftClick);
    connect(SpeedButtonStepLeft, &QToolButton::clicked, this, &TMainForm::SpeedButtonStepLeftClick);
    connect(SpeedButtonStepRight, &QToolButton::clicked, this,
            &TMainForm::SpeedButtonStepRightClick);
    connect(SpeedButtonSeekRight, &QToolButton::clicked, this,
            &TMainForm::SpeedButtonSeekRightClick);
    connect(SpeedButtonList, &QToolButton::clicked, this, &TMainForm::SpeedButtonListClick);
    connect(SpeedButtonStereo, &QToolButton::clicked, this, &TMainForm::SpeedButtonStereoClick);
    connect(SpeedButtonMute, &QToolButton::clicked, this, &TMainForm::SpeedButtonMuteClick);
    connect(SpeedButtonFMBand, &QToolButton::clicked, this, &TMainForm::SpeedButtonFMBandClick);
    connect(SpeedButtonBass, &QToolButton::clicked, this, &TMainForm::SpeedButtonBassClick);
    connect(SpeedButtonEqalizerOnOff, &QToolButton::clicked, this,
            &TMainForm::SpeedButtonEqalizerOnOffClick);
    connect(SpeedButtonEqalizerForm, &QToolButton::clicked, this,
            &TMainForm::SpeedButtonEqalizerFormClick);
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
}

void TMainForm::FormCreate() {
    // 1.
    QCoreApplication::setApplicationName(QStringLiteral("Orvalen"));
    setWindowIcon(ImageListIcon(1));
    // 2. The tuning slider in place of its label; its range stays the default until the band
    // is applied.
    TrackBarFMTune = new TImageTrackBar(GroupBoxTune);
    TrackBarFMTune->setGeometry(58, 9, 240, 35);
    TrackBarFMTune->show();
    TrackBarFMTune->SetSlidePNGImage(Pictures::TrackBarImage(0));
    TrackBarFMTune->SetThumbPNGImage(Pictures::TrackBarImage(1));
    TrackBarFMTune->OnChange = [this](TImageTrackBar*) { TrackBarFMTuneChange(); };
    // 3.
    TrackBarVolume = new TImageTrackBar(GroupBoxButtons);
    TrackBarVolume->SetSlidePNGImage(Pictures::TrackBarImage(3));
    TrackBarVolume->SetThumbPNGImage(Pictures::TrackBarImage(4));
    TrackBarVolume->setGeometry(164, 16, 125, 22);
    TrackBarVolume->show();
    TrackBarVolume->SetMin(0);
    TrackBarVolume->SetMax(100);
    TrackBarVolume->OnChange = [this](TImageTrackBar*) { TrackBarVolumeChange(); };
    // 4.
    FScreen = new TOrvalenScreen(GroupBoxFMTune);
    const int left = 3, top = 3;
    FScreen->setGeometry(left, top, GroupBoxFMTune->width() - 2 * left - 1,
                         GroupBoxFMTune->height() - 2 * top - 1);
    FScreen->SetTuneValue(880);
    FScreen->SetTunerState(false);
    // 5. The tray icon talks to the session bus, which may take a while or not be there: it
    // comes after the first frame.
    FDeferredStart.Add([this] { CreateTray(); });
    // 6. Run the complete disconnected branch once.
    SetPowerOn(false);
    FConnected = true;
    SetConnected(false);
    SetMuted(false);
    SetStereo(true);
    // 7.
    FInDevices = std::make_unique<QStringList>();
    FOutDevices = std::make_unique<QStringList>();
    // 8.
    LoadStations();
    // 9.–13.
    ReadStartSettings();
    // 14.
    if (FDebug) {
        if (!FormLogs)
            FormLogs = new TFormLogs(this);
        FormLogs->show();
    }
    // 15. The lists after the first frame.
    FDeferredStart.Add([this] { EnsureDeviceLists(); });
    SetInDevice(FInDeviceName);
    SetOutDevice(FOutDeviceName);
    UpdateAudioChain();
    // 16.
    SpeedButtonListClick();
    CreateAccessibility();
    // 17.
    FSendEnabled = true;
    // The timers come after the first frame, once the tray and the device lists are there.
    FDeferredStart.Add([this] { CreateTimers(); });
}

void TMainForm::ReadStartSettings() {
    const TIniFile ini(FSettingsPath);
    const QString& s = MainSection;
    FModuleSetting = ini.ReadInteger(s, QStringLiteral("usedmodule"), 0);
    FFMPosition = ini.ReadInteger(s, QStringLiteral("fmfrequency"), 0);
    FUKVPosition = ini.ReadInteger(s, QStringLiteral("ukvfrequency"), 0);
    TrackBarVolume->SetPosition(ini.ReadInteger(s, QStringLiteral("volume"), 100));
    FDigitalAudio = ini.ReadBool(s, QStringLiteral("directsound"), true);
    FInDeviceName =
        ini.ReadString(s, QStringLiteral("currentindevicename"), QStringLiteral("Default"));
    FOutDeviceName =
        ini.ReadString(s, QStringLiteral("currentoutdevicename"), QStringLiteral("Default"));
    FDebug = ini.ReadBool(s, QStringLiteral("debug"), false);
    SpeedButtonFMBand->setChecked(!ini.ReadBool(s, QStringLiteral("fmband"), true));
    SetBandFM(!SpeedButtonFMBand->isChecked());
    SetBass(ini.ReadBool(s, QStringLiteral("useBass"), false));
    FHardVolume = ini.ReadInteger(s, QStringLiteral("hardVolume"), 8);
    SpeedButtonEqalizerOnOff->setChecked(ini.ReadBool(s, QStringLiteral("equalizeron"), false));
    SpeedButtonEqalizerOnOffClick();
    SnapBuffer = 10;
    ScreenSnap = ini.ReadBool(s, QStringLiteral("ScreenSnap"), false);
    FUseRDS = ini.ReadBool(s, QStringLiteral("userds"), false);
    SpeedButtonList->setChecked(ini.ReadBool(s, QStringLiteral("ShowList"), false));
    const int left = ini.ReadInteger(s, QStringLiteral("Left"), x());
    const int top = ini.ReadInteger(s, QStringLiteral("Top"), y());
    FStoredPosition = QPoint(left, top);
    // 10. Applied to the stored values before the window moves, so that an absurd position
    // never reaches the window system.
    KeepInsideWorkArea(left, top);
    // 11.
    FStarted = true;
    // 12.
    SetCaptureFormat(AudioBitsFromIndex(ini.ReadInteger(s, QStringLiteral("audiobits"), 1)),
                     SampleRateFromIndex(ini.ReadInteger(s, QStringLiteral("audiosamplerate"), 5)));
    // 13. The file is closed with ini.
}

void TMainForm::KeepInsideWorkArea(int left, int top) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    // The outer size of the full-height window, before the list may shrink it.
    const QSize outer = frameGeometry().size();
    move(screen ? KeepInside(left, top, outer, screen->availableGeometry()) : QPoint(left, top));
    FFramePending = true;
}

void TMainForm::SetPowerOn(bool Value) {
    FPowerOn = Value;
    FScreen->SetTunerState(FPowerOn && FConnected);
    if (FPowerOn && FConnected)
        Timer1->start();
    else
        Timer1->stop();
    SpeedButtonPower->setIcon(ImageListIcon(FPowerOn ? 3 : 2));
    UpdateAudioChain();
    UpdateTuneControls();
    emit PlayerStateChanged();
}

void TMainForm::CreateTray() {
    if (FClosed)
        return;
    FTray = std::make_unique<TSimpleTray>(this, PopupMenuTray, windowTitle());
    FTray->SetHint(windowTitle());
    UpdateTrayPicture();
    FTray->ShowIcon();
}

void TMainForm::UpdateTrayPicture() {
    if (!FTray)
        return;
    FTray->Icon() = ImageListIcon(FConnected ? 1 : 0);
    FTray->UpdateIcon();
}

void TMainForm::SetConnected(bool Value) {
    if (Value == FConnected)
        return;
    FConnected = Value;
    if (Value) {
        SpeedButtonConnected->setIcon(IndicatorIcon(5));
        UpdateTrayPicture();
        SendFullState();
        SendCommand(QByteArrayLiteral("g"));
        SpeedButtonPower->setEnabled(true);
        if (FPowerOn)
            Timer1->start();
        UpdateVolumeRange();
    } else {
        SpeedButtonConnected->setIcon(IndicatorIcon(4));
        Timer1->stop();
        UpdateTrayPicture();
        SpeedButtonPower->setChecked(false);
        SpeedButtonPower->setEnabled(false);
        SpeedButtonPowerClick();
        UpdateVolumeRange();
        FModule = 0;
    }
    UpdateAudioChain();
    UpdateTuneControls();
    emit PlayerStateChanged();
}

void TMainForm::SetMuted(bool Value) {
    FMuted = Value;
    SpeedButtonMute->setChecked(Value);
    SpeedButtonMute->setIcon(ImageListIcon(Value ? 7 : 6));
    emit PlayerStateChanged();
}

void TMainForm::SetStereo(bool Value) {
    FStereo = Value;
    SpeedButtonStereo->setChecked(Value);
    SpeedButtonStereo->setIcon(ImageListIcon(SpeedButtonStereo->isChecked() ? 9 : 8));
}

void TMainForm::SetBass(bool Value) {
    FBass = Value;
    SpeedButtonBass->setChecked(Value);
    SpeedButtonBass->setIcon(ImageListIcon(FBass ? 11 : 10));
}

void TMainForm::SetBandFM(bool Value) {
    FBandFM = Value;
    FScreen->SetIsFmStyle(Value);
    SpeedButtonFMBand->setText(Value ? QStringLiteral("FM") : tr("УКВ"));
    TrackBarFMTune->SetMax(Value ? 200 : 81);
    TrackBarFMTune->SetSlidePNGImage(Pictures::TrackBarImage(Value ? 0 : 2));
    TrackBarFMTune->SetPosition(Value ? FFMPosition : FUKVPosition);
    // The same position is another frequency in the other band.
    TrackBarFMTune->AnnounceValue();
    TrackBarFMTune->update();
    // The display follows even when the position stayed the same.
    TrackBarFMTuneChange();
    emit PlayerStateChanged();
}

void TMainForm::SpeedButtonFMBandClick() {
    SetBandFM(!SpeedButtonFMBand->isChecked());
}

void TMainForm::UpdateTuneControls() {
    FScreen->SetTunerState(FPowerOn && FConnected);
    const bool live = FScreen->TunerState();
    TrackBarFMTune->setEnabled(live);
    for (QToolButton* button :
         {SpeedButtonStepLeft, SpeedButtonStepRight, SpeedButtonSeekLeft, SpeedButtonSeekRight})
        button->setEnabled(live);
}

void TMainForm::UpdateAudioChain() {
    const bool active = FDigitalAudio && FConnected && FPowerOn;
    // A chain started now opens the current devices anyway.
    if (active != FAudioActive)
        FAudioRestartPending = false;
    FAudioActive = active;
    try {
        FAudio->SetInEnabled(active);
        FAudio->SetOutEnabled(active);
    } catch (const std::exception& error) {
        // A sound device that cannot be opened must not unwind the device change or the
        // click that got here; its message is shown once that has finished.
        QTimer::singleShot(0, this, [text = QString::fromUtf8(error.what())] {
            TApplication::ShowException(text);
        });
    }
    UpdateVolumeRange();
    SpeedButtonEqalizerOnOff->setEnabled(FDigitalAudio);
    SpeedButtonEqalizerForm->setEnabled(FDigitalAudio);
    UpdateRecordingControls();
}

void TMainForm::RequestAudioRestart() {
    if (!FAudioActive || FAudioRestartPending)
        return;
    FAudioRestartPending = true;
    QTimer::singleShot(0, this, [this] {
        if (!FAudioRestartPending)
            return;
        FAudioRestartPending = false;
        try {
            FAudio->SetInEnabled(false);
            FAudio->SetOutEnabled(false);
        } catch (const std::exception&) {
            // A device that will not stop is opened anew below all the same.
        }
        UpdateAudioChain();
    });
}

void TMainForm::SetCaptureFormat(int Bits, int SampleRate) {
    const bool changed = Bits != FAudio->CaptureBits() || SampleRate != FAudio->CaptureSampleRate();
    FAudio->SetCaptureFormat(Bits, SampleRate);
    if (changed)
        RequestAudioRestart();
}

void TMainForm::SetDigitalAudio(bool Value) {
    FDigitalAudio = Value;
    UpdateAudioChain();
}

void TMainForm::UpdateVolumeRange() {
    if (FModule == 2 && !FDigitalAudio) {
        TrackBarVolume->SetMin(0);
        TrackBarVolume->SetMax(15);
        TrackBarVolume->setEnabled(true);
    } else {
        TrackBarVolume->SetMin(0);
        TrackBarVolume->SetMax(100);
        TrackBarVolume->setEnabled(FDigitalAudio);
    }
    TrackBarVolume->SetLineSize(VolumeKeyStep(TrackBarVolume->Min(), TrackBarVolume->Max()));
}

void TMainForm::UpdateClientHeight() {
    const int height = GroupBoxList->isVisibleTo(this)
                           ? GroupBoxList->y() + GroupBoxList->height() + 5
                           : GroupBoxButtons->y() + GroupBoxButtons->height() + 5;
    setFixedSize(width(), height);
}

void TMainForm::SpeedButtonListClick() {
    GroupBoxList->setVisible(SpeedButtonList->isChecked());
    UpdateClientHeight();
}

void TMainForm::SpeedButtonEqalizerOnOffClick() {
    const bool down = SpeedButtonEqalizerOnOff->isChecked();
    FAudio->SetEqualizerEnabled(down);
    SpeedButtonEqalizerOnOff->setIcon(ImageListIcon(13 + (down ? 1 : 0)));
}

int LevelColumnFromMeterValue(double value, double minimum, double maximum) {
    // An empty range (or a value that is not a number) shows an empty column rather than
    // an undefined conversion.
    if (!(maximum > minimum))
        return 0;
    const double level = (value - minimum) * 16.0 / (maximum - minimum);
    if (!(level > 0.0))
        return 0;
    return level > 8.0 ? 8 : int(std::nearbyint(level));
}

void TMainForm::VUMeter1ValueChange(int AChannel, double AValue, double AMin, double AMax) {
    const int level = LevelColumnFromMeterValue(AValue, AMin, AMax);
    if (AChannel == 0)
        FScreen->SetVolumeLeft(level);
    else if (AChannel == 1)
        FScreen->SetVolumeRight(level);
}

void TMainForm::SpeedButtonEqalizerFormClick() {
    FDeferredStart.Finish(); // the window may not be made yet
    if (FormEqualizer)
        FormEqualizer->show();
}

void TMainForm::SpeedButton1Click() {
    // Modeless: the main window stays usable while the dialog is open.
    FDeferredStart.Finish();
    if (OptionsForm) {
        OptionsForm->show();
        OptionsForm->raise();
        OptionsForm->activateWindow();
    }
}

void TMainForm::SpeedButton2Click() {
    FDeferredStart.Finish();
    if (FormAbout)
        FormAbout->show();
}

void TMainForm::FillInDevices() {
    *FInDevices = FAudio->InDeviceNames();
    FInDevices->insert(0, QStringLiteral("Default"));
}

void TMainForm::FillOutDevices() {
    *FOutDevices = FAudio->OutDeviceNames();
    FOutDevices->insert(0, QStringLiteral("Default"));
}

void TMainForm::EnsureDeviceLists() {
    if (FDeviceListsFilled || !FInDevices || !FOutDevices)
        return;
    FDeviceListsFilled = true;
    FillInDevices();
    FillOutDevices();
}

void TMainForm::SetInDevice(const QString& Name) {
    const bool changed = Name != FInDeviceName;
    FInDeviceName = Name;
    FAudio->SetInDeviceName(Name);
    if (changed)
        RequestAudioRestart();
}

void TMainForm::SetOutDevice(const QString& Name) {
    const bool changed = Name != FOutDeviceName;
    FOutDeviceName = Name;
    FAudio->SetOutDeviceName(Name);
    if (changed)
        RequestAudioRestart();
}

void TMainForm::N8Click() {
    close();
}

void TMainForm::WriteCloseSettings(TIniFile& ini) const {
    const QString& s = MainSection;
    ini.WriteInteger(s, QStringLiteral("fmfrequency"), FFMPosition);
    ini.WriteInteger(s, QStringLiteral("ukvfrequency"), FUKVPosition);
    ini.WriteInteger(s, QStringLiteral("volume"), TrackBarVolume->Position());
    ini.WriteBool(s, QStringLiteral("directsound"), FDigitalAudio);
    ini.WriteString(s, QStringLiteral("currentindevicename"), FInDeviceName);
    ini.WriteString(s, QStringLiteral("currentoutdevicename"), FOutDeviceName);
    ini.WriteBool(s, QStringLiteral("fmband"), FBandFM);
    ini.WriteBool(s, QStringLiteral("equalizeron"), SpeedButtonEqalizerOnOff->isChecked());
    const QPoint position =
        PlatformGivesPositions(QGuiApplication::platformName()) ? pos() : FStoredPosition;
    ini.WriteInteger(s, QStringLiteral("Left"), position.x());
    ini.WriteInteger(s, QStringLiteral("Top"), position.y());
    ini.WriteBool(s, QStringLiteral("ShowList"), SpeedButtonList->isChecked());
    ini.WriteBool(s, QStringLiteral("useBass"), FBass);
}

QStringList TMainForm::WriteCloseFiles(bool writeWhatItCan) {
    QStringList failures;
    try {
        TIniFile ini(FSettingsPath);
        WriteCloseSettings(ini);
    } catch (const EIniFileError& error) {
        failures << error.Message();
        if (!writeWhatItCan)
            return failures;
    }
    // A custom equalizer setting is the user's too, whether or not its window was closed.
    if (FormEqualizer) {
        try {
            FormEqualizer->WriteIfChanged();
        } catch (const std::exception& error) {
            failures << QString::fromUtf8(error.what());
            if (!writeWhatItCan)
                return failures;
        }
    }
    if (!FStationFileUnreadable) {
        const QString error = WriteStationFile();
        if (!error.isEmpty())
            failures << error;
    }
    return failures;
}

bool TMainForm::FormCloseQuery() {
    ClosePowerOff();
    const QStringList failures = WriteCloseFiles(false);
    if (failures.isEmpty())
        return true;
    ShowCloseError(failures.front());
    return false;
}

void TMainForm::ShowCloseError(const QString& text) {
    if (FClosed)
        return;
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), text,
                    QMessageBox::Ok, this);
    FCloseMessage = &box;
    box.exec();
    FCloseMessage = nullptr;
    if (FForcedClose)
        close();
}

void TMainForm::RequestForcedClose() {
    FForcedClose = true;
    // The message of a refused close is answered for the user; the close follows it.
    if (FCloseMessage)
        FCloseMessage->reject();
    else
        close();
}

void TMainForm::FormClose() {
    StopRecording();
    FClosed = true;
    Timer1->stop();
    DetachTunerLink();
    FInDevices.reset();
    FOutDevices.reset();
    FTray.reset();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FClosed) {
        event->accept();
        return;
    }
    // While the refused close's message is up the user answers it first; this request is
    // dropped rather than closing half-way.
    if (FCloseMessage) {
        event->ignore();
        return;
    }
    ClosePowerOff();
    const bool writeWhatItCan = FForcedClose || FCloseRefused;
    const QStringList failures = WriteCloseFiles(writeWhatItCan);
    if (!writeWhatItCan && !failures.isEmpty()) {
        FCloseRefused = true;
        event->ignore();
        // Shown once the close event has been answered: a modal loop inside it would let
        // another close request take the window down half-way.
        QTimer::singleShot(0, this, [this, text = failures.front()] { ShowCloseError(text); });
        return;
    }
    for (const QString& failure : failures)
        TApplication::PrintError(failure);
    FormClose();
    event->accept();
    emit CloseFinished();
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == WM_SHOWHIDEMAIN) {
        if (isVisible())
            HideToTray();
        else
            ShowFromTray();
        return true;
    }
    return QWidget::event(event);
}

void TMainForm::HideToTray() {
    FEqualizerWasVisible = FormEqualizer && FormEqualizer->isVisible();
    if (FormEqualizer)
        FormEqualizer->hide();
    hide();
}

void TMainForm::ShowFromTray() {
    showNormal();
    if (FormEqualizer)
        FormEqualizer->setVisible(FEqualizerWasVisible);
    // The main window in front of the equalizer window.
    raise();
    activateWindow();
}

void TMainForm::N6Click() {
    if (isVisible())
        BringForward();
    else
        QCoreApplication::postEvent(this, new QEvent(WM_SHOWHIDEMAIN));
}

void TMainForm::BringForward(const QString& activationToken) {
    if (!isVisible())
        return;
    // Qt's Wayland integration activates with the token it finds here, and uses it up.
    if (!activationToken.isEmpty() && OnWayland())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TMainForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    // Without a tray host showing the icon a hidden window could not be reached again:
    // then the window minimises as usual.
    if (!FTray || !FTray->IconShown())
        return;
    // Out of the window system's minimise first, then into the tray: the window is not left
    // minimised, so it comes back from the tray as it was. (Hiding it while still minimised
    // leaves a window that the window system will not show again.)
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!isMinimized())
                return;
            setWindowState(windowState() & ~Qt::WindowMinimized);
            HideToTray();
        },
        Qt::QueuedConnection);
}

void TMainForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (!isVisible() || !screen())
        return;
    const QRect frame = frameGeometry();
    // The window manager has put its frame around the window: the start-up's placement
    // counted only the window itself, so the frame could reach past the work area.
    if (FFramePending && frame != geometry()) {
        FFramePending = false;
        const QScreen* primary = QGuiApplication::primaryScreen();
        const QPoint inside =
            primary ? KeepInside(frame.x(), frame.y(), frame.size(), primary->availableGeometry())
                    : frame.topLeft();
        if (inside != frame.topLeft()) {
            move(inside);
            return;
        }
    }
    if (!ScreenSnap)
        return;
    const QPoint snapped =
        SnapToWorkArea(frame.topLeft(), frame.size(), screen()->availableGeometry(), SnapBuffer);
    if (snapped != frame.topLeft())
        move(snapped);
}
