#include "Program.h"

#include "AppFonts.h"
#include "Application.h"
#include "FirstPaintReport.h"
#include "Forms.h"
#include "IniFile.h"
#include "InterfaceLanguage.h"
#include "MprisHost.h"
#include "OptionsHost.h"
#include "UnitMain.h"
#include "controls/Pictures.h"
#include "controls/SimpleTray.h"
#include "equalizer/UnitEqualizer.h"
#include "platform/system/SignalWatcher.h"
#include "stations/UnitStation.h"
#include "windows/AppInstances.h"
#include "windows/OptionsUnit.h"
#include "windows/UnitAbout.h"
#include "windows/UnitLogs.h"

#include <QApplication>
#include <QSessionManager>
#include <QTimer>
#include <csignal>

namespace {

constexpr int TrayStartGraceMs = 3000;

// The equalizer window keeps its keys in the main window's settings file, which is read once
// for all of them when the window is made.
TFormEqualizer* CreateEqualizerWindow(TMainForm& mainForm) {
    const QString path = mainForm.FSettingsPath;
    const QString section = QStringLiteral("main");
    const TIniFile stored(path);
    TEqualizerSettingsAccess access;
    access.ReadInteger = [&stored, section](const QString& key, int Default) {
        return stored.ReadInteger(section, key, Default);
    };
    access.WriteInteger = [path, section](const QString& key, int value) {
        TIniFile(path).WriteInteger(section, key, value);
    };
    auto* window = new TFormEqualizer(&mainForm, mainForm.Audio().GraphicEqualizer1(), access);
    window->OnError = [](const QString& message) { TApplication::ShowException(message); };
    return window;
}

} // namespace

int RunProgram(const TCommandLine& commandLine) {
    QApplication::setApplicationName(QStringLiteral("Orvalen"));
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start of this executable hands over to the running instance before anything
    // of the start-up runs: it shows no window and touches neither the settings nor the device.
    TAppInstances instances;
    instances.Register();
    if (instances.Check(QCoreApplication::arguments().mid(1)))
        return 0;
    // Before any window or text is made.
    InstallInterfaceTranslation(*qApp);
    SetupApplicationFonts();
    // The desktop matches the windows to orvalen.desktop (its icon, its name in the task
    // switcher); every window without an icon of its own shows the installed one.
    QGuiApplication::setDesktopFileName(QStringLiteral("orvalen"));

    auto* mainForm = new TMainForm(commandLine);
    MainForm = mainForm;
    // The other windows, made in their order, and the media-player service wait for the main
    // window's first frame (the main window has an icon of its own).
    std::unique_ptr<TMprisPlayer> mpris;
    mainForm->DeferredStart().Add([mainForm, &mpris] {
        QApplication::setWindowIcon(Pictures::ApplicationIcon());
        OptionsForm = CreateOptionsForm(*mainForm);
        FormStation = new TFormStation(mainForm);
        if (!FormLogs)
            FormLogs = new TFormLogs(mainForm);
        FormAbout = new TFormAbout(mainForm);
        FormEqualizer = CreateEqualizerWindow(*mainForm);
        // Media keys, sound applets and playerctl; absent without a session bus.
        mpris = StartMpris(*mainForm);
    });
    instances.OnActivateRequest = [mainForm](const QString& token) {
        mainForm->BringForward(token);
    };

    // Logoff, shutdown and termination requests run the close sequence and always end the
    // program: a file that cannot be written then stays as it was.
    TSignalWatcher termination({SIGTERM, SIGINT, SIGHUP},
                               [mainForm](int) { mainForm->RequestForcedClose(); });
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, mainForm,
                     [mainForm](QSessionManager&) { mainForm->RequestForcedClose(); });
    // Once the close is certain a new start must not hand over to this instance: it would
    // end and leave nothing running. The tear-down that follows takes a while.
    QObject::connect(mainForm, &TMainForm::CloseFinished, &instances,
                     [&instances] { instances.Unregister(); });
    // exit, not quit: a quit asks every window again and can be refused.
    QObject::connect(
        mainForm, &TMainForm::CloseFinished, qApp, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);

    if (commandLine.Tray) {
        // Started hidden in the tray (at login, for the timers); shown after all where no tray
        // shows the icon, so that the window can always be reached.
        QTimer::singleShot(TrayStartGraceMs, mainForm, [mainForm] {
            if (!mainForm->FTray || !mainForm->FTray->IconShown())
                mainForm->show();
        });
    } else {
        mainForm->show();
    }
    mainForm->DeferredStart().RunAfterFirstPaint(*mainForm);
    // Watches the first paint before the deferred start does, so that it reports the frame
    // without the work that follows it.
    TFirstPaintReporter reporter(mainForm);
    const int code = QApplication::exec();
    instances.OnActivateRequest = nullptr;
    mpris.reset();
    delete mainForm; // owns the other windows
    MainForm = nullptr;
    OptionsForm = nullptr;
    FormStation = nullptr;
    FormLogs = nullptr;
    FormAbout = nullptr;
    FormEqualizer = nullptr;
    instances.Unregister(); // when the loop ended without the close sequence
    return code;
}
