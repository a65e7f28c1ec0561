#include "timers/Schedule.h"

#include <algorithm>

namespace {

constexpr qint64 Day = 24 * 60 * 60;
constexpr int MissedDaysReported = 7;
// Far enough for a weekly schedule, whatever the last run.
constexpr int DaysSearched = MissedDaysReported + 8;

QDateTime Utc(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

} // namespace

QDateTime WallClockInstant(QDate date, QTime time, const QTimeZone& zone) {
    if (qEnvironmentVariableIsSet("NAIVE"))
        return QDateTime(date, time, zone).toUTC();
    // The wall-clock reading as if it were UTC; the instant is that minus the zone's offset
    // then. Within a day of it the offset takes at most two values.
    const qint64 reading = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    const int before = zone.offsetFromUtc(Utc(reading - Day));
    const int after = zone.offsetFromUtc(Utc(reading + Day));
    qint64 first = 0;
    bool found = false;
    for (const int offset : {before, after}) {
        const qint64 instant = reading - offset;
        if (zone.offsetFromUtc(Utc(instant)) == offset && (!found || instant < first)) {
            first = instant;
            found = true;
        }
    }
    // Skipped by the change: the offset from before it carries the time past the change.
    return Utc(found ? first : reading - before);
}

TNextStart NextStart(const TTimerSchedule& schedule, const QDateTime& lastRun, const QDateTime& now,
                     const QTimeZone& zone) {
    TNextStart next;
    if (!schedule.Time.isValid() || !now.isValid())
        return next;
    const QDateTime earliest = now.addSecs(-StartGraceSeconds);
    // A start counts once: not again after its run, even where the clock was set back since.
    const auto afterLastRun = [&](const QDateTime& start) {
        return !lastRun.isValid() || start > lastRun;
    };
    const auto place = [&](const QDateTime& start) {
        if (start >= (qEnvironmentVariableIsSet("NOGRACE") ? now : earliest)) {
            next.Start = start;
            return true;
        }
        // Never run: the starts before the entry was looked at are not misses.
        if (lastRun.isValid())
            next.Missed.append(start);
        return false;
    };
    if (schedule.Date.isValid()) {
        const QDateTime start = WallClockInstant(schedule.Date, schedule.Time, zone);
        if (afterLastRun(start))
            place(start);
        return next;
    }
    if (std::none_of(schedule.Days.begin(), schedule.Days.end(), [](bool on) { return on; }))
        return next;
    QDate day = now.toTimeZone(zone).date().addDays(-MissedDaysReported);
    if (lastRun.isValid())
        day = std::max(day, lastRun.toTimeZone(zone).date());
    for (int i = 0; i <= DaysSearched + MissedDaysReported; ++i, day = day.addDays(1)) {
        if (!schedule.Days[std::size_t(day.dayOfWeek() - 1)])
            continue;
        const QDateTime start = WallClockInstant(day, schedule.Time, zone);
        if (afterLastRun(start) && place(start))
            return next;
    }
    return next;
}
