#include "timers/Schedule.h"

#include <gtest/gtest.h>

namespace {

QDateTime Utc(const char* text) {
    QDateTime t = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    t.setTimeSpec(Qt::UTC);
    return t;
}

constexpr std::array<bool, 7> Daily = {true, true, true, true, true, true, true};
constexpr std::array<bool, 7> Weekdays = {true, true, true, true, true, false, false};
constexpr std::array<bool, 7> Tuesdays = {false, true, false, false, false, false, false};

TTimerSchedule Weekly(const char* time, std::array<bool, 7> days) {
    return {QDate(), QTime::fromString(QString::fromLatin1(time), "HH:mm"), days};
}

TTimerSchedule Once(const char* date, const char* time) {
    return {QDate::fromString(QString::fromLatin1(date), Qt::ISODate),
            QTime::fromString(QString::fromLatin1(time), "HH:mm"),
            {}};
}

} // namespace

// All instants in UTC; the comments give the zone's own clock.
TEST(Schedule, NextStartAcrossZonesChangesAndMisses) {
    const struct {
        const char* What;
        const char* Zone;
        TTimerSchedule Schedule;
        const char* LastRun; // "" never run
        const char* Now;
        const char* Start; // "" none
        int Missed;
    } cases[] = {
        {"Berlin, the morning the clocks go forward", "Europe/Berlin", Weekly("07:30", Daily), "",
         "2026-03-28T11:00:00", "2026-03-29T05:30:00", 0}, // 07:30 CEST
        {"Berlin, a time the change skips", "Europe/Berlin", Weekly("02:30", Daily), "",
         "2026-03-28T23:00:00", "2026-03-29T01:30:00", 0}, // 03:30 CEST
        {"Berlin, a time shown twice runs the first time", "Europe/Berlin", Weekly("02:30", Daily),
         "", "2026-10-24T22:00:00", "2026-10-25T00:30:00", 0}, // 02:30 CEST
        {"Berlin, ... and not the second", "Europe/Berlin", Weekly("02:30", Daily),
         "2026-10-25T00:30:00", "2026-10-25T01:00:00", "2026-10-26T01:30:00", 0},
        {"New York, a time the change skips", "America/New_York", Weekly("02:30", Daily), "",
         "2026-03-08T05:00:00", "2026-03-08T07:30:00", 0}, // 03:30 EDT
        {"New York, a time shown twice runs the first time", "America/New_York",
         Weekly("01:30", Daily), "", "2026-11-01T04:00:00", "2026-11-01T05:30:00", 0}, // EDT
        {"weekdays, seen on a Saturday", "Europe/Berlin", Weekly("07:30", Weekdays), "",
         "2026-12-12T07:00:00", "2026-12-14T06:30:00", 0}, // Monday
        {"a Tuesday after February in a common year", "Europe/Berlin", Weekly("10:00", Tuesdays),
         "", "2027-02-28T11:00:00", "2027-03-02T09:00:00", 0},
        {"a Tuesday on February 29", "Europe/Berlin", Weekly("10:00", Tuesdays), "",
         "2028-02-28T11:00:00", "2028-02-29T09:00:00", 0},
        {"a date on February 29", "Europe/Berlin", Once("2028-02-29", "10:00"), "",
         "2028-02-28T11:00:00", "2028-02-29T09:00:00", 0},
        {"midnight", "Europe/Berlin", Weekly("00:00", Daily), "", "2026-12-11T22:59:30",
         "2026-12-11T23:00:00", 0},
        {"midnight, just run", "Europe/Berlin", Weekly("00:00", Daily), "2026-12-11T23:00:00",
         "2026-12-11T23:00:10", "2026-12-12T23:00:00", 0},
        {"a clock set back after the run", "Europe/Berlin", Weekly("07:30", Daily),
         "2026-12-11T06:30:00", "2026-12-11T05:45:00", "2026-12-12T06:30:00", 0},
        {"4 minutes late still runs", "Europe/Berlin", Weekly("07:30", Daily),
         "2026-12-10T06:30:00", "2026-12-11T06:34:00", "2026-12-11T06:30:00", 0},
        {"6 minutes late is missed", "Europe/Berlin", Weekly("07:30", Daily), "2026-12-10T06:30:00",
         "2026-12-11T06:36:00", "2026-12-12T06:30:00", 1},
        {"three days asleep", "Europe/Berlin", Weekly("07:30", Daily), "2026-12-07T06:30:00",
         "2026-12-10T12:00:00", "2026-12-11T06:30:00", 3},
        {"a date long past, never run", "Europe/Berlin", Once("2026-12-01", "19:00"), "",
         "2026-12-11T12:00:00", "", 0},
        {"a date past since the last look", "Europe/Berlin", Once("2026-12-11", "11:00"),
         "2026-12-01T00:00:00", "2026-12-11T12:00:00", "", 1},
        {"a date already run", "Europe/Berlin", Once("2026-12-24", "19:00"), "2026-12-24T18:00:00",
         "2026-12-24T18:30:00", "", 0},
        {"no day marked", "Europe/Berlin", Weekly("07:30", {}), "", "2026-12-11T12:00:00", "", 0},
    };
    for (const auto& c : cases) {
        const QTimeZone zone(c.Zone);
        ASSERT_TRUE(zone.isValid()) << c.Zone << ": tzdata is needed";
        const TNextStart next =
            NextStart(c.Schedule, *c.LastRun ? Utc(c.LastRun) : QDateTime(), Utc(c.Now), zone);
        if (*c.Start)
            EXPECT_EQ(next.Start, Utc(c.Start))
                << c.What << ": " << next.Start.toString(Qt::ISODate).toStdString();
        else
            EXPECT_FALSE(next.Start.isValid()) << c.What;
        EXPECT_EQ(next.Missed.size(), c.Missed) << c.What;
    }
}

// Wall-clock readings on both sides of both changes, in both zones.
TEST(Schedule, WallClockInstantsAroundTheChanges) {
    const struct {
        const char* Zone;
        const char* Date;
        const char* Time;
        const char* Instant;
    } cases[] = {
        {"Europe/Berlin", "2026-03-29", "01:59", "2026-03-29T00:59:00"},
        {"Europe/Berlin", "2026-03-29", "02:00", "2026-03-29T01:00:00"}, // shown as 03:00
        {"Europe/Berlin", "2026-03-29", "03:00", "2026-03-29T01:00:00"},
        {"Europe/Berlin", "2026-10-25", "02:59", "2026-10-25T00:59:00"},
        {"Europe/Berlin", "2026-10-25", "03:00", "2026-10-25T02:00:00"},
        {"America/New_York", "2026-03-08", "02:00", "2026-03-08T07:00:00"},
        {"America/New_York", "2026-11-01", "01:00", "2026-11-01T05:00:00"},
        {"America/New_York", "2026-11-01", "02:00", "2026-11-01T07:00:00"},
        {"Europe/Moscow", "2026-03-29", "02:30", "2026-03-28T23:30:00"}, // no change there
    };
    for (const auto& c : cases) {
        const QDateTime instant = WallClockInstant(
            QDate::fromString(QString::fromLatin1(c.Date), Qt::ISODate),
            QTime::fromString(QString::fromLatin1(c.Time), "HH:mm"), QTimeZone(c.Zone));
        EXPECT_EQ(instant, Utc(c.Instant)) << c.Zone << " " << c.Date << " " << c.Time;
    }
}
