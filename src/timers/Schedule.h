#pragma once

// When a timer entry starts next: a wall-clock time of day, on one date or on days of the
// week, turned into instants in the machine's time zone, correct across daylight-saving
// changes, clock changes and a machine that slept through the hour. Pure functions.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QTime>
#include <QTimeZone>
#include <array>

// A start: on Date when it is valid, else weekly on the marked Days (Monday first), at Time.
struct TTimerSchedule {
    QDate Date;
    QTime Time;
    std::array<bool, 7> Days{};
};

// How late a start may still run: a machine that was asleep or busy at the hour.
inline constexpr qint64 StartGraceSeconds = 5 * 60;

struct TNextStart {
    // The start to run next (UTC); invalid when the schedule has none left. At or before now
    // it is due at once, that much late (at most StartGraceSeconds).
    QDateTime Start;
    // Starts since the last run (of the past week at most) that came too late to run (UTC), in
    // order: to be reported, not run.
    QList<QDateTime> Missed;
};

// The next start of schedule after lastRun (invalid: it never ran), seen at now, in zone.
TNextStart NextStart(const TTimerSchedule& schedule, const QDateTime& lastRun, const QDateTime& now,
                     const QTimeZone& zone);

// The instant at which zone's clocks show date and time. A time that a change to summer time
// skips comes as late after the change as it would have come after the hour before it (02:30
// becomes 03:30); a time the change back shows twice is the first of the two.
QDateTime WallClockInstant(QDate date, QTime time, const QTimeZone& zone);
