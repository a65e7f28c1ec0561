#pragma once

// What the timers do, as numbers and texts: the sleep timer's tray tip, the volume fades, the
// state a recording leaves behind and when a recording that could not start tries again.
// Pure functions.

#include <QDateTime>
#include <QString>
#include <optional>

// "USB Orvalen — сон через 12 мин": the minutes left, rounded up, after the window's title.
QString SleepTrayTip(const QString& title, qint64 remainingSeconds);

// The volume elapsedMs into a fade from `from` to `to` over durationMs: in a straight line,
// `from` before it starts and `to` once it is over.
int FadeLevel(int from, int to, qint64 elapsedMs, qint64 durationMs);

// How long the fades last: to nothing before the sleep timer powers off, from nothing after a
// wake-up.
inline constexpr qint64 SleepFadeMs = 10'000;
inline constexpr qint64 WakeFadeMs = 30'000;

// What a scheduled recording touches of the tuner.
struct TTunerPlace {
    bool PowerOn = false;
    int TuneValue = 0; // tenths of MHz
    bool FmBand = true;
    bool operator==(const TTunerPlace&) const = default;
};

// What to set when a scheduled recording ends: each of power and station goes back to what it
// was before the recording (`before`), unless the user changed it while it ran (`now` differs
// from what the recording set, `set`), in which case the user's choice stays.
TTunerPlace PlaceAfterRecording(const TTunerPlace& before, const TTunerPlace& set,
                                const TTunerPlace& now);

// A recording that could not start tries again every 10 s until its end: the next try after
// `now`, or nothing once the end has come.
inline constexpr qint64 RecordingRetrySeconds = 10;
std::optional<QDateTime> NextRecordingTry(const QDateTime& now, const QDateTime& end);
