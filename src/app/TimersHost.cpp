#include "TimersHost.h"

#include "Application.h"
#include "Autostart.h"
#include "IniFile.h"
#include "TimersFile.h"
#include "UnitMain.h"
#include "stations/StationList.h"
#include "stations/StationListBox.h"

#include <QCoreApplication>

std::vector<TTimersStation> TMainFormTimersHost::Stations() const {
    std::vector<TTimersStation> stations;
    if (!FForm.ListBoxStations)
        return stations;
    for (const QString& line : FForm.ListBoxStations->Lines()) {
        const Stations::TStationTune tune =
            Stations::StationTuneTarget(Stations::FrequencyTextOf(line));
        stations.push_back({tune.BandFM ? 880 + tune.Position : 659 + tune.Position, tune.BandFM,
                            Stations::DisplayName(Stations::NameOf(line))});
    }
    return stations;
}

QDateTime TMainFormTimersHost::Now() const {
    return QDateTime::currentDateTimeUtc();
}

QTimeZone TMainFormTimersHost::Zone() const {
    return QTimeZone::systemTimeZone();
}

int TMainFormTimersHost::SleepMinutes() const {
    return FForm.SleepRemainingSeconds() ? FForm.FSleepMinutes : 0;
}

qint64 TMainFormTimersHost::SleepRemainingSeconds() const {
    return FForm.SleepRemainingSeconds().value_or(0);
}

void TMainFormTimersHost::SetSleepMinutes(int minutes) {
    FForm.FSleepMinutes = minutes;
    FForm.SetSleepMinutes(minutes);
    // The choice is kept for the next start; its end is not.
    WriteSleepMinutes(FForm.TimersFile(), minutes);
}

TTimersContents TMainFormTimersHost::ReadTimers() const {
    const TTimersFile file = ReadTimersFile(FForm.TimersFile());
    return {file.WakeUp, file.Recordings};
}

void TMainFormTimersHost::WriteWakeUp(const TWakeUp& wakeUp) {
    ::WriteWakeUp(FForm.TimersFile(), wakeUp);
    FForm.ReloadTimers();
}

QString TMainFormTimersHost::AddRecording(const TRecordingTimer& recording) {
    const QString section = ::AddRecording(FForm.TimersFile(), recording);
    FForm.ReloadTimers();
    return section;
}

void TMainFormTimersHost::ReplaceRecording(const QString& section,
                                           const TRecordingTimer& recording) {
    ::ReplaceRecording(FForm.TimersFile(), section, recording);
    FForm.ReloadTimers();
}

void TMainFormTimersHost::RemoveRecording(const QString& section) {
    ::RemoveRecording(FForm.TimersFile(), section);
    FForm.ReloadTimers();
}

bool TMainFormTimersHost::AutostartEnabled() const {
    return ::AutostartEnabled();
}

bool TMainFormTimersHost::SetAutostart(bool enabled, QString& error) {
    return ::SetAutostart(enabled, QCoreApplication::applicationFilePath(), error);
}

void TMainFormTimersHost::ShowError(const QString& message) {
    TApplication::ShowException(message);
}
