#pragma once

// The timers at work: told the time, it does what is due through its host (the main window)
// and says when it next wants to be told. It keeps the sleep timer's end, the last run of each
// entry and the recording under way; the main window reads the timers file into it and wakes
// it with one timer at NextWake. Free of Qt's event loop, so every moment can be tested.

#include "timers/Schedule.h"
#include "timers/TimerActions.h"
#include "timers/TimerEntries.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <map>
#include <optional>
#include <vector>

class ITimerHost {
public:
    virtual ~ITimerHost() = default;
    virtual bool TunerConnected() const = 0;
    // The program carries the tuner's sound (its own volume can fade).
    virtual bool DigitalSound() const = 0;
    virtual TTunerPlace Place() const = 0;
    // As the power button and the station list do.
    virtual void SetPowerOn(bool on) = 0;
    virtual void Tune(const TTimerStation& station) = 0;
    virtual int Volume() const = 0; // the program's own volume, 0..100
    virtual void SetVolume(int volume) = 0;
    virtual bool Recording() const = 0;
    // As "Запись" does: "" once it records, else why it cannot.
    virtual QString StartRecording() = 0;
    virtual void StopRecording() = 0;
    // Something the user must learn of although nobody may be watching: the log and a desktop
    // notification.
    virtual void Report(const QString& text) = 0;
};

class TTimerEngine {
public:
    TTimerEngine(ITimerHost& host, QTimeZone zone) : FHost(host), FZone(std::move(zone)) {}

    // The wake-up and the recordings from the timers file. Entries that stay keep their last
    // run, so a start is never run twice; a recording under way goes on.
    void SetEntries(const std::optional<TWakeUp>& wakeUp,
                    const std::vector<std::pair<QString, TRecordingTimer>>& recordings);
    // Starts the sleep timer to end after milliseconds (minutes × 60,000, or less in tests);
    // 0 switches it off.
    void SetSleep(qint64 milliseconds, const QDateTime& now);
    // The sleep timer's time left; nothing while it is off.
    std::optional<qint64> SleepRemainingSeconds(const QDateTime& now) const;
    // The section of the recording under way; empty when none.
    QString ActiveRecording() const { return FActive ? FActive->Section : QString(); }

    // Does what is due at now.
    void Tick(const QDateTime& now);
    // When Tick should come next: the next start, the end of a recording or of the sleep
    // timer, the next step of a fade or retry; invalid when nothing is pending.
    QDateTime NextWake(const QDateTime& now) const;

    static constexpr qint64 FadeStepMs = 250;

private:
    struct TFade {
        QDateTime Start;
        int From = 0, To = 0;
        qint64 DurationMs = 0;
    };
    struct TActive {
        QString Section;
        QDateTime End;
        TTunerPlace Before, Set;
        bool Started = false;
        QDateTime NextTry;
        bool Reported = false; // the failure to start was told
    };

    void TickSleep(const QDateTime& now);
    void TickWakeUp(const QDateTime& now);
    void TickRecordings(const QDateTime& now);
    void TryRecording(const QDateTime& now);
    void EndRecording();
    void StepFade(const QDateTime& now);

    ITimerHost& FHost;
    QTimeZone FZone;
    std::optional<TWakeUp> FWakeUp;
    QDateTime FWakeLastRun;
    std::vector<std::pair<QString, TRecordingTimer>> FRecordings;
    std::map<QString, QDateTime> FRecordingLastRun;
    std::optional<TActive> FActive;
    QDateTime FSleepEnd;
    int FVolumeBeforeSleep = -1;
    std::optional<TFade> FFade;
};
