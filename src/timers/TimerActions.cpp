#include "timers/TimerActions.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

QString SleepTrayTip(const QString& title, qint64 remainingSeconds) {
    const qint64 minutes = std::max<qint64>(0, (remainingSeconds + 59) / 60);
    return QCoreApplication::translate("Timers", "%1 — сон через %2 мин").arg(title).arg(minutes);
}

int FadeLevel(int from, int to, qint64 elapsedMs, qint64 durationMs) {
    if (durationMs <= 0 || elapsedMs >= durationMs)
        return to;
    if (elapsedMs <= 0)
        return from;
    return from + int(std::lround(double(to - from) * double(elapsedMs) / double(durationMs)));
}

TTunerPlace PlaceAfterRecording(const TTunerPlace& before, const TTunerPlace& set,
                                const TTunerPlace& now) {
    TTunerPlace place = now;
    if (now.PowerOn == set.PowerOn)
        place.PowerOn = before.PowerOn;
    // The station is one choice: its frequency and band together.
    if (now.TuneValue == set.TuneValue && now.FmBand == set.FmBand) {
        place.TuneValue = before.TuneValue;
        place.FmBand = before.FmBand;
    }
    return place;
}

std::optional<QDateTime> NextRecordingTry(const QDateTime& now, const QDateTime& end) {
    const QDateTime next = now.addSecs(RecordingRetrySeconds);
    if (next >= end)
        return std::nullopt;
    return next;
}
