#include "timers/TimerEngine.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

QString LocalText(const QDateTime& instant, const QTimeZone& zone) {
    return instant.toTimeZone(zone).toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

QString StationName(const TTimerStation& station) {
    return QCoreApplication::translate("Timers", "%1 МГц").arg(StationText(station));
}

void Earliest(QDateTime& earliest, const QDateTime& candidate) {
    if (candidate.isValid() && (!earliest.isValid() || candidate < earliest))
        earliest = candidate;
}

} // namespace

void TTimerEngine::SetEntries(const std::optional<TWakeUp>& wakeUp,
                              const std::vector<std::pair<QString, TRecordingTimer>>& recordings) {
    FWakeUp = wakeUp;
    FRecordings = recordings;
    // Last runs of recordings that are gone are forgotten; a recording under way goes on even
    // when its entry was removed, to its end.
    for (auto it = FRecordingLastRun.begin(); it != FRecordingLastRun.end();) {
        const bool kept = std::any_of(recordings.begin(), recordings.end(),
                                      [&](const auto& entry) { return entry.first == it->first; });
        it = kept ? std::next(it) : FRecordingLastRun.erase(it);
    }
}

void TTimerEngine::SetSleep(qint64 milliseconds, const QDateTime& now) {
    if (FFade && FVolumeBeforeSleep >= 0) {
        FHost.SetVolume(FVolumeBeforeSleep);
        FFade.reset();
    }
    FVolumeBeforeSleep = -1;
    FSleepEnd = milliseconds > 0 ? now.addMSecs(milliseconds) : QDateTime();
}

std::optional<qint64> TTimerEngine::SleepRemainingSeconds(const QDateTime& now) const {
    if (!FSleepEnd.isValid())
        return std::nullopt;
    return std::max<qint64>(0, now.secsTo(FSleepEnd));
}

void TTimerEngine::Tick(const QDateTime& now) {
    StepFade(now);
    TickSleep(now);
    TickWakeUp(now);
    TickRecordings(now);
}

void TTimerEngine::StepFade(const QDateTime& now) {
    if (!FFade)
        return;
    const qint64 elapsed = FFade->Start.msecsTo(now);
    FHost.SetVolume(FadeLevel(FFade->From, FFade->To, elapsed, FFade->DurationMs));
    if (elapsed >= FFade->DurationMs)
        FFade.reset();
}

void TTimerEngine::TickSleep(const QDateTime& now) {
    if (!FSleepEnd.isValid())
        return;
    const QDateTime fadeStart = FSleepEnd.addMSecs(-SleepFadeMs);
    if (now >= fadeStart && now < FSleepEnd && FVolumeBeforeSleep < 0 && FHost.DigitalSound() &&
        FHost.Place().PowerOn) {
        FVolumeBeforeSleep = FHost.Volume();
        FFade = TFade{fadeStart, FVolumeBeforeSleep, 0, SleepFadeMs};
        StepFade(now);
    }
    if (now < FSleepEnd)
        return;
    FSleepEnd = QDateTime();
    FFade.reset();
    if (FHost.Recording())
        FHost.StopRecording();
    FActive.reset(); // a scheduled recording ends with the sleep too
    FHost.SetPowerOn(false);
    // Quiet for the night, as loud as before for the next listening.
    if (FVolumeBeforeSleep >= 0)
        FHost.SetVolume(FVolumeBeforeSleep);
    FVolumeBeforeSleep = -1;
}

void TTimerEngine::TickWakeUp(const QDateTime& now) {
    if (!FWakeUp || !FWakeUp->Enabled)
        return;
    const TNextStart next = NextStart(FWakeUp->Schedule, FWakeLastRun, now, FZone);
    for (const QDateTime& missed : next.Missed)
        FHost.Report(QCoreApplication::translate("Timers", "Будильник в %1 пропущен.")
                         .arg(LocalText(missed, FZone)));
    if (!next.Missed.isEmpty())
        FWakeLastRun = next.Missed.last();
    if (!next.Start.isValid() || next.Start > now)
        return;
    FWakeLastRun = next.Start;
    if (!FHost.TunerConnected()) {
        FHost.Report(
            QCoreApplication::translate("Timers", "Будильник в %1 не сработал: тюнер не подключён.")
                .arg(LocalText(next.Start, FZone)));
        return;
    }
    FHost.SetPowerOn(true);
    FHost.Tune(FWakeUp->Station);
    if (FHost.DigitalSound()) {
        FHost.SetVolume(0);
        FFade = TFade{now, 0, FWakeUp->Volume, WakeFadeMs};
    } else {
        FHost.SetVolume(FWakeUp->Volume);
    }
}

void TTimerEngine::TickRecordings(const QDateTime& now) {
    if (FActive) {
        if (now >= FActive->End) {
            EndRecording();
        } else if (!FActive->Started && now >= FActive->NextTry) {
            TryRecording(now);
        } else if (FActive->Started && !FHost.Recording()) {
            // Stopped by hand, by power off or by a full disk: the entry is done.
            FActive.reset();
        }
    }
    for (const auto& [section, recording] : FRecordings) {
        QDateTime& lastRun = FRecordingLastRun[section];
        const TNextStart next = NextStart(recording.Schedule, lastRun, now, FZone);
        for (const QDateTime& missed : next.Missed)
            FHost.Report(QCoreApplication::translate("Timers", "Запись %1 в %2 пропущена.")
                             .arg(StationName(recording.Station), LocalText(missed, FZone)));
        if (!next.Missed.isEmpty())
            lastRun = next.Missed.last();
        if (!next.Start.isValid() || next.Start > now || FActive)
            continue;
        lastRun = next.Start;
        // A late start records the rest of its time.
        FActive =
            TActive{section,       next.Start.addSecs(recording.DurationSeconds),
                    FHost.Place(), {true, recording.Station.TuneValue, recording.Station.FmBand},
                    false,         now};
        TryRecording(now);
    }
}

void TTimerEngine::TryRecording(const QDateTime& now) {
    const auto entry = std::find_if(FRecordings.begin(), FRecordings.end(),
                                    [&](const auto& e) { return e.first == FActive->Section; });
    if (entry == FRecordings.end()) {
        FActive.reset();
        return;
    }
    const TRecordingTimer& recording = entry->second;
    QString why;
    if (!FHost.TunerConnected()) {
        why = QCoreApplication::translate("Timers", "тюнер не подключён.");
    } else {
        if (!FHost.Place().PowerOn)
            FHost.SetPowerOn(true);
        FHost.Tune(recording.Station);
        why = FHost.Recording() ? QString() : FHost.StartRecording();
    }
    if (why.isEmpty()) {
        FActive->Started = true;
        return;
    }
    // Told once; tried again every few seconds until its end.
    if (!FActive->Reported) {
        FActive->Reported = true;
        FHost.Report(QCoreApplication::translate("Timers", "Запись %1 в %2 не началась: %3")
                         .arg(StationName(recording.Station),
                              LocalText(FActive->End.addSecs(-recording.DurationSeconds), FZone),
                              why));
    }
    const std::optional<QDateTime> retry = NextRecordingTry(now, FActive->End);
    if (retry)
        FActive->NextTry = *retry;
    else
        FActive.reset();
}

void TTimerEngine::EndRecording() {
    if (FActive->Started && FHost.Recording())
        FHost.StopRecording();
    if (FActive->Started) {
        const TTunerPlace place = PlaceAfterRecording(FActive->Before, FActive->Set, FHost.Place());
        const TTunerPlace now = FHost.Place();
        if (place.TuneValue != now.TuneValue || place.FmBand != now.FmBand)
            FHost.Tune({place.TuneValue, place.FmBand});
        if (place.PowerOn != now.PowerOn)
            FHost.SetPowerOn(place.PowerOn);
    }
    FActive.reset();
}

QDateTime TTimerEngine::NextWake(const QDateTime& now) const {
    QDateTime wake;
    if (FFade)
        Earliest(wake, now.addMSecs(FadeStepMs));
    if (FSleepEnd.isValid())
        Earliest(wake, FVolumeBeforeSleep < 0 && FSleepEnd.addMSecs(-SleepFadeMs) > now
                           ? FSleepEnd.addMSecs(-SleepFadeMs)
                           : FSleepEnd);
    if (FWakeUp && FWakeUp->Enabled)
        Earliest(wake, NextStart(FWakeUp->Schedule, FWakeLastRun, now, FZone).Start);
    if (FActive) {
        Earliest(wake, FActive->End);
        if (!FActive->Started)
            Earliest(wake, FActive->NextTry);
        else
            Earliest(wake, now.addSecs(1)); // notices a recording stopped by other means
    }
    for (const auto& [section, recording] : FRecordings) {
        const auto last = FRecordingLastRun.find(section);
        Earliest(wake,
                 NextStart(recording.Schedule,
                           last == FRecordingLastRun.end() ? QDateTime() : last->second, now, FZone)
                     .Start);
    }
    // Never in the past: a due start is taken at once.
    if (wake.isValid() && wake < now)
        wake = now;
    return wake;
}
