#pragma once

// The entries of the timers file (orvalen-timers.ini), one section each:
//   [sleep]    minutes=30                      (0: off)
//   [wakeup]   enabled=1 time=07:30 days=1111100 frequency=101.7 volume=60
//   [recordN]  frequency=101.7 start=2026-12-24 19:00 duration=01:00
//              (weekly: time= and days= in place of start=)
// Times and durations are HH:MM or HH:MM:SS; days are seven 0/1 flags, Monday first; a
// frequency is written as in the station file, and its band follows from it (65.9–74.0 UKV,
// 88.0–108.0 FM). Pure functions: the file itself is read and written by the settings code.

#include "timers/Schedule.h"

#include <QMap>
#include <QString>
#include <optional>

// A section's keys (names in lower case) and values as the file holds them.
using TTimerSection = QMap<QString, QString>;

// A station by frequency: the tune value (tenths of MHz) and its band.
struct TTimerStation {
    int TuneValue = 0;
    bool FmBand = true;
    bool operator==(const TTimerStation&) const = default;
};

struct TWakeUp {
    bool Enabled = false;
    TTimerSchedule Schedule;
    TTimerStation Station;
    int Volume = 100; // 0..100
};

struct TRecordingTimer {
    TTimerSchedule Schedule;
    TTimerStation Station;
    int DurationSeconds = 0;
};

// "HH:MM" or "HH:MM:SS" as seconds; nothing when malformed or out of range.
std::optional<int> ParseClock(const QString& text);
// Seven 0/1 flags, Monday first.
std::optional<std::array<bool, 7>> ParseDays(const QString& text);
// "101.7" → 1017 in FM, "69.8" → 698 in UKV; nothing outside both bands.
std::optional<TTimerStation> ParseStation(const QString& text);

// The written forms: "07:30" (":SS" only when there are seconds), "1111100", "101.7".
QString ClockText(int seconds);
QString DaysText(const std::array<bool, 7>& days);
QString StationText(const TTimerStation& station);

// An entry from its section; the error names the first key that is missing or wrong.
std::optional<TWakeUp> ReadWakeUp(const TTimerSection& section, QString& error);
std::optional<TRecordingTimer> ReadRecording(const TTimerSection& section, QString& error);
// The sleep timer's minutes (0: off).
std::optional<int> ReadSleepMinutes(const TTimerSection& section, QString& error);

TTimerSection WriteWakeUp(const TWakeUp& wakeUp);
TTimerSection WriteRecording(const TRecordingTimer& recording);

// Whether two recordings would need the tuner at the same time on some day of the coming
// year (from `from`), in zone; used to refuse the second when it is entered.
bool RecordingsOverlap(const TRecordingTimer& a, const TRecordingTimer& b, const QDateTime& from,
                       const QTimeZone& zone);
