// The timers at work in the main window: the engine (timers/TimerEngine.h) acts through the
// window's own buttons and recording, and one timer wakes it when it asks, or every 30 s at
// the latest, so that a clock set or a machine woken from sleep is noticed soon.
#include "ConfigPaths.h"
#include "TimersFile.h"
#include "TimersHost.h"
#include "UnitMain.h"
#include "controls/ImageTrackBar.h"
#include "controls/OrvalenScreen.h"
#include "controls/SimpleTray.h"
#include "desktop/Notifications.h"
#include "stations/StationList.h"
#include "timers/TimerEngine.h"
#include "windows/UnitLogs.h"
#include "windows/UnitTimers.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

namespace {

constexpr qint64 LongestWaitMs = 30'000;

QDateTime Now() {
    return QDateTime::currentDateTimeUtc();
}

// How long a minute of the sleep timer lasts: a test may shorten it.
qint64 SleepMinuteMs() {
    bool ok = false;
    const qint64 scaled = qEnvironmentVariableIntValue("ORVALEN_TEST_MINUTE_MS", &ok);
    return ok && scaled > 0 ? scaled : 60'000;
}

class TMainFormTimerHost : public ITimerHost {
public:
    explicit TMainFormTimerHost(TMainForm& form) : FForm(form) {}

    bool TunerConnected() const override { return FForm.FConnected; }
    bool DigitalSound() const override { return FForm.FDigitalAudio; }
    TTunerPlace Place() const override {
        return {FForm.FPowerOn, FForm.FScreen->TuneValue(), FForm.FBandFM};
    }
    void SetPowerOn(bool on) override {
        if (FForm.FPowerOn == on || !FForm.SpeedButtonPower->isEnabled())
            return;
        FForm.SpeedButtonPower->setChecked(on);
        FForm.SpeedButtonPowerClick();
    }
    void Tune(const TTimerStation& station) override {
        FForm.TuneToFrequency(Stations::FrequencyText(station.TuneValue));
    }
    int Volume() const override { return FForm.TrackBarVolume->Position(); }
    void SetVolume(int volume) override { FForm.TrackBarVolume->SetPosition(volume); }
    bool Recording() const override { return FForm.Recording(); }
    QString StartRecording() override { return FForm.BeginRecording(); }
    void StopRecording() override { FForm.StopRecording(); }
    void Report(const QString& text) override {
        WriteLog(text);
        if (FForm.FNotifier)
            FForm.FNotifier->Notify(QCoreApplication::translate("Timers", "Таймеры"), text);
    }

private:
    TMainForm& FForm;
};

} // namespace

QString TMainForm::TimersFile() const {
    return TimersFilePath(FSettingsPath);
}

void TMainForm::CreateTimers() {
    if (FClosed || FTimers)
        return;
    NTimers = new QAction(tr("Таймеры…"), this);
    NTimers->setShortcut(QKeySequence(Qt::Key_T));
    NTimers->setShortcutContext(Qt::WindowShortcut);
    addAction(NTimers);
    PopupMenuTray->insertAction(NRecord, NTimers); // before "Запись"
    connect(NTimers, &QAction::triggered, this, &TMainForm::OpenTimersWindow);

    FNotifier = new TNotifier(QDBusConnection::sessionBus(), this);
    connect(FNotifier, &TNotifier::NotDelivered, this,
            [](const QString& summary, const QString& error, const QString&) {
                WriteLog(QStringLiteral("Notification \"%1\" not shown: %2").arg(summary, error));
            });
    FTimersHost = std::make_unique<TMainFormTimerHost>(*this);
    FTimers = std::make_unique<TTimerEngine>(*FTimersHost, QTimeZone::systemTimeZone());
    TimerTimers = new QTimer(this);
    TimerTimers->setSingleShot(true);
    TimerTimers->setTimerType(Qt::PreciseTimer);
    connect(TimerTimers, &QTimer::timeout, this, &TMainForm::TimersWake);
    // A sleep timer chosen before runs again from the start: its end is not kept.
    const int sleepMinutes = ReloadTimers().SleepMinutes;
    if (sleepMinutes > 0) {
        FSleepMinutes = sleepMinutes;
        SetSleepMinutes(sleepMinutes);
    }
}

void TMainForm::OpenTimersWindow() {
    FDeferredStart.Finish(); // the timers may not be made yet
    if (!FTimers)
        return;
    if (!FFormTimers)
        FFormTimers = new TFormTimers(std::make_unique<TMainFormTimersHost>(*this), this);
    FFormTimers->show();
    FFormTimers->raise();
    FFormTimers->activateWindow();
}

TTimersFile TMainForm::ReloadTimers() {
    if (!FTimers)
        return {};
    TTimersFile file = ReadTimersFile(TimersFile());
    for (const QString& problem : file.Problems)
        if (!FTimerProblemsTold.contains(problem)) {
            FTimerProblemsTold << problem;
            WriteLog(problem);
        }
    FTimers->SetEntries(file.WakeUp, file.Recordings);
    TimersWake();
    return file;
}

void TMainForm::SetSleepMinutes(int minutes) {
    if (!FTimers)
        return;
    FTimers->SetSleep(qint64(std::max(minutes, 0)) * SleepMinuteMs(), Now());
    TimersWake();
}

std::optional<qint64> TMainForm::SleepRemainingSeconds() const {
    return FTimers ? FTimers->SleepRemainingSeconds(Now()) : std::nullopt;
}

void TMainForm::TimersWake() {
    if (!FTimers || FClosed)
        return;
    const bool sleeping = FTimers->SleepRemainingSeconds(Now()).has_value();
    FTimers->Tick(Now());
    // A sleep timer that has run out is off: the next start must not run it again.
    if (sleeping && !FTimers->SleepRemainingSeconds(Now())) {
        FSleepMinutes = 0;
        try {
            WriteSleepMinutes(TimersFile(), 0);
        } catch (const std::exception& error) {
            WriteLog(QString::fromUtf8(error.what()));
        }
    }
    UpdateSleepTip();
    ScheduleTimers();
}

void TMainForm::ScheduleTimers() {
    const QDateTime now = Now();
    const QDateTime wake = FTimers->NextWake(now);
    qint64 wait =
        wake.isValid() ? std::clamp<qint64>(now.msecsTo(wake), 0, LongestWaitMs) : LongestWaitMs;
    // The tray tip counts the sleep timer's minutes down.
    if (FTimers->SleepRemainingSeconds(now))
        wait = std::min<qint64>(wait, 1000);
    TimerTimers->start(int(wait));
}

void TMainForm::UpdateSleepTip() {
    if (!FTray)
        return;
    const std::optional<qint64> left = FTimers->SleepRemainingSeconds(Now());
    FTray->SetHint(left ? SleepTrayTip(windowTitle(), *left) : windowTitle());
}
