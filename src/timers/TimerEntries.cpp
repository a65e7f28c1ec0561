#include "timers/TimerEntries.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <vector>

namespace {

constexpr int FmLow = 880, FmHigh = 1080, UkvLow = 659, UkvHigh = 740;

QString Key(const TTimerSection& section, const char* key) {
    return section.value(QString::fromLatin1(key)).trimmed();
}

bool Fail(QString& error, const char* key, const QString& value) {
    error = QStringLiteral("%1=%2").arg(QString::fromLatin1(key), value);
    return false;
}

// time= and days= of a weekly start, or start= of a dated one.
bool ReadSchedule(const TTimerSection& section, bool dated, TTimerSchedule& schedule,
                  QString& error) {
    if (dated) {
        const QString start = Key(section, "start");
        const int space = start.indexOf(QLatin1Char(' '));
        const QDate date = QDate::fromString(start.left(space), Qt::ISODate);
        const std::optional<int> clock =
            space > 0 ? ParseClock(start.mid(space + 1).trimmed()) : std::nullopt;
        if (!date.isValid() || !clock)
            return Fail(error, "start", start);
        schedule.Date = date;
        schedule.Time = QTime(0, 0).addSecs(*clock);
        return true;
    }
    const std::optional<int> clock = ParseClock(Key(section, "time"));
    if (!clock)
        return Fail(error, "time", Key(section, "time"));
    const std::optional<std::array<bool, 7>> days = ParseDays(Key(section, "days"));
    if (!days)
        return Fail(error, "days", Key(section, "days"));
    schedule.Time = QTime(0, 0).addSecs(*clock);
    schedule.Days = *days;
    return true;
}

bool ReadStation(const TTimerSection& section, TTimerStation& station, QString& error) {
    const std::optional<TTimerStation> parsed = ParseStation(Key(section, "frequency"));
    if (!parsed)
        return Fail(error, "frequency", Key(section, "frequency"));
    station = *parsed;
    return true;
}

void WriteSchedule(const TTimerSchedule& schedule, TTimerSection& section) {
    const int clock = schedule.Time.msecsSinceStartOfDay() / 1000;
    if (schedule.Date.isValid()) {
        section.insert(QStringLiteral("start"),
                       schedule.Date.toString(Qt::ISODate) + QLatin1Char(' ') + ClockText(clock));
    } else {
        section.insert(QStringLiteral("time"), ClockText(clock));
        section.insert(QStringLiteral("days"), DaysText(schedule.Days));
    }
}

// The starts of a recording in [from, until), as (start, end) in seconds since the epoch.
std::vector<std::pair<qint64, qint64>> Spans(const TRecordingTimer& recording,
                                             const QDateTime& from, const QDateTime& until,
                                             const QTimeZone& zone) {
    std::vector<std::pair<qint64, qint64>> spans;
    // A start just before `from` may still be running at it.
    QDateTime last = from.addSecs(-qint64(recording.DurationSeconds) - 1);
    for (;;) {
        const TNextStart next =
            NextStart(recording.Schedule, last, last.addSecs(StartGraceSeconds), zone);
        if (!next.Start.isValid() || next.Start >= until)
            return spans;
        const qint64 start = next.Start.toSecsSinceEpoch();
        spans.emplace_back(start, start + recording.DurationSeconds);
        last = next.Start;
    }
}

} // namespace

std::optional<int> ParseClock(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{2}):(\\d{2})(?::(\\d{2}))?$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const int hours = match.captured(1).toInt(), minutes = match.captured(2).toInt();
    const int seconds = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    if (hours > 23 || minutes > 59 || seconds > 59)
        return std::nullopt;
    return hours * 3600 + minutes * 60 + seconds;
}

std::optional<std::array<bool, 7>> ParseDays(const QString& text) {
    const QString days = text.trimmed();
    if (days.size() != 7)
        return std::nullopt;
    std::array<bool, 7> flags{};
    for (int i = 0; i < 7; ++i) {
        if (days[i] != QLatin1Char('0') && days[i] != QLatin1Char('1'))
            return std::nullopt;
        flags[std::size_t(i)] = days[i] == QLatin1Char('1');
    }
    return flags;
}

std::optional<TTimerStation> ParseStation(const QString& text) {
    bool ok = false;
    const double megahertz = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(megahertz))
        return std::nullopt;
    const double tenths = megahertz * 10.0;
    const long rounded = std::lround(tenths);
    if (std::fabs(tenths - double(rounded)) > 1e-6)
        return std::nullopt;
    if (rounded >= FmLow && rounded <= FmHigh)
        return TTimerStation{int(rounded), true};
    if (rounded >= UkvLow && rounded <= UkvHigh)
        return TTimerStation{int(rounded), false};
    return std::nullopt;
}

QString ClockText(int seconds) {
    const QString text = QStringLiteral("%1:%2")
                             .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                             .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
    return seconds % 60 ? text + QStringLiteral(":%1").arg(seconds % 60, 2, 10, QLatin1Char('0'))
                        : text;
}

QString DaysText(const std::array<bool, 7>& days) {
    QString text;
    for (const bool on : days)
        text += on ? QLatin1Char('1') : QLatin1Char('0');
    return text;
}

QString StationText(const TTimerStation& station) {
    return QString::number(station.TuneValue / 10.0, 'f', 1);
}

std::optional<TWakeUp> ReadWakeUp(const TTimerSection& section, QString& error) {
    TWakeUp wakeUp;
    wakeUp.Enabled = Key(section, "enabled") == QLatin1String("1");
    bool ok = false;
    const QString volume = Key(section, "volume");
    wakeUp.Volume = volume.isEmpty() ? 100 : volume.toInt(&ok);
    if (!volume.isEmpty() && (!ok || wakeUp.Volume < 0 || wakeUp.Volume > 100)) {
        Fail(error, "volume", volume);
        return std::nullopt;
    }
    if (!ReadSchedule(section, false, wakeUp.Schedule, error) ||
        !ReadStation(section, wakeUp.Station, error))
        return std::nullopt;
    return wakeUp;
}

std::optional<TRecordingTimer> ReadRecording(const TTimerSection& section, QString& error) {
    TRecordingTimer recording;
    const std::optional<int> duration = ParseClock(Key(section, "duration"));
    if (!duration || *duration == 0) {
        Fail(error, "duration", Key(section, "duration"));
        return std::nullopt;
    }
    recording.DurationSeconds = *duration;
    if (!ReadSchedule(section, section.contains(QStringLiteral("start")), recording.Schedule,
                      error) ||
        !ReadStation(section, recording.Station, error))
        return std::nullopt;
    return recording;
}

std::optional<int> ReadSleepMinutes(const TTimerSection& section, QString& error) {
    bool ok = false;
    const QString text = Key(section, "minutes");
    const int minutes = text.toInt(&ok);
    if (!ok || minutes < 0 || minutes > 24 * 60) {
        Fail(error, "minutes", text);
        return std::nullopt;
    }
    return minutes;
}

TTimerSection WriteWakeUp(const TWakeUp& wakeUp) {
    TTimerSection section;
    section.insert(QStringLiteral("enabled"),
                   wakeUp.Enabled ? QStringLiteral("1") : QStringLiteral("0"));
    WriteSchedule(wakeUp.Schedule, section);
    section.insert(QStringLiteral("frequency"), StationText(wakeUp.Station));
    section.insert(QStringLiteral("volume"), QString::number(wakeUp.Volume));
    return section;
}

TTimerSection WriteRecording(const TRecordingTimer& recording) {
    TTimerSection section;
    section.insert(QStringLiteral("frequency"), StationText(recording.Station));
    WriteSchedule(recording.Schedule, section);
    section.insert(QStringLiteral("duration"), ClockText(recording.DurationSeconds));
    return section;
}

bool RecordingsOverlap(const TRecordingTimer& a, const TRecordingTimer& b, const QDateTime& from,
                       const QTimeZone& zone) {
    const QDateTime until = from.addDays(366);
    const auto first = Spans(a, from, until, zone), second = Spans(b, from, until, zone);
    // Both lists are in order: walk them together.
    std::size_t i = 0, j = 0;
    while (i < first.size() && j < second.size()) {
        if (first[i].first < second[j].second && second[j].first < first[i].second)
            return true;
        if (first[i].second <= second[j].second)
            ++i;
        else
            ++j;
    }
    return false;
}
