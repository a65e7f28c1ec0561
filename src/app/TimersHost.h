#pragma once

// The timers window working on the main window: its station list, its timers and the timers
// file beside its settings.

#include "windows/UnitTimers.h"

class TMainForm;

class TMainFormTimersHost : public TTimersHost {
public:
    explicit TMainFormTimersHost(TMainForm& form) : FForm(form) {}

    std::vector<TTimersStation> Stations() const override;
    QDateTime Now() const override;
    QTimeZone Zone() const override;
    int SleepMinutes() const override;
    qint64 SleepRemainingSeconds() const override;
    void SetSleepMinutes(int minutes) override;
    TTimersContents ReadTimers() const override;
    void WriteWakeUp(const TWakeUp& wakeUp) override;
    QString AddRecording(const TRecordingTimer& recording) override;
    void ReplaceRecording(const QString& section, const TRecordingTimer& recording) override;
    void RemoveRecording(const QString& section) override;
    bool AutostartEnabled() const override;
    bool SetAutostart(bool enabled, QString& error) override;
    void ShowError(const QString& message) override;

private:
    TMainForm& FForm;
};
