#include "BandScan.h"

#include "platform/system/CodePage.h"

#include <algorithm>

namespace BandScan {

QString StationName(const QByteArray& rdsBytes) {
    QString name;
    name.reserve(rdsBytes.size());
    for (const char byte : rdsBytes) {
        const QChar c = CodePage::DecodeWindows1251(static_cast<unsigned char>(byte));
        name.append(c.category() == QChar::Other_Control ? QChar(u' ') : c);
    }
    // Zero bytes became spaces above, so one pass removes both.
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1) == u' ')
        --end;
    name.truncate(end);
    return name;
}

std::vector<TCommand> TBandScan::Start(const TScanSettings& settings, qint64 now) {
    FSettings = settings;
    FFound.clear();
    FEnd = TScanEnd::Running;
    FPhase = TPhase::TuningStart;
    FReached = settings.Low;
    FLast.reset();
    FLanding.reset();
    FFromSignal.reset();
    Wait(now, AnswerTimeoutMs);
    return {{TCommandKind::Tune, settings.Low}, {TCommandKind::RequestStatus}};
}

std::vector<TCommand> TBandScan::Frequency(int tuneValue, qint64 now) {
    if (!Running())
        return {};
    FAnswered = true;
    FLast = tuneValue;
    if (tuneValue >= FSettings.Low && tuneValue <= FSettings.High)
        FReached = tuneValue;
    if (FPhase == TPhase::TuningStart && tuneValue == FSettings.Low)
        return BeginSeek(tuneValue, now);
    if (FPhase == TPhase::Seeking && tuneValue != FFrom)
        FLanding = tuneValue;
    return {};
}

std::vector<TCommand> TBandScan::Signal(int level, bool rds, const QByteArray& name, qint64 now) {
    if (!Running())
        return {};
    FAnswered = true;
    const TSignal signal{level, rds, name};
    if (FPhase == TPhase::Seeking) {
        if (FLanding && FLast == FLanding)
            return Land(*FLanding, signal, false, now);
        if (FLast == FFrom)
            FFromSignal = signal;
        return {};
    }
    if (FPhase == TPhase::AwaitName && FLast == FPending) {
        const QString stationName = NameOf(signal);
        if (!stationName.isEmpty())
            return Keep(FPending, stationName, FPendingLast, now);
    }
    return {};
}

std::vector<TCommand> TBandScan::Tick(qint64 now) {
    if (!Running())
        return {};
    if (now >= FDeadline) {
        switch (FPhase) {
        case TPhase::TuningStart:
            // A tuner that answers but never shows the band's lower end is scanned from
            // wherever it is; one that does not answer at all ends the scan.
            return FAnswered ? BeginSeek(FSettings.Low, now) : Finish(TScanEnd::NoAnswer);
        case TPhase::Seeking:
            if (FLanding) // its signal never came: a seek only stops on a station
                return Land(*FLanding, std::nullopt, false, now);
            if (!FAnswered)
                return Finish(TScanEnd::NoAnswer);
            // The seek stayed where it was: the only station of the band, or none.
            if (!FFromSignal)
                return Finish(TScanEnd::Completed);
            return Land(FFrom, FFromSignal, true, now);
        case TPhase::AwaitName:
            return Keep(FPending, QString(), FPendingLast, now);
        case TPhase::Idle:
        case TPhase::Ended:
            return {};
        }
    }
    if (now >= FNextPoll) {
        FNextPoll = now + StatusPollMs;
        return {{TCommandKind::RequestStatus}};
    }
    return {};
}

std::vector<TCommand> TBandScan::Cancel() {
    if (!Running())
        return {};
    return Finish(TScanEnd::Cancelled);
}

void TBandScan::Abort() {
    if (!Running())
        return;
    FPhase = TPhase::Ended;
    FEnd = TScanEnd::TunerLost;
}

std::optional<qint64> TBandScan::Deadline() const {
    if (!Running())
        return std::nullopt;
    return std::min(FDeadline, FNextPoll);
}

std::vector<TCommand> TBandScan::BeginSeek(int from, qint64 now) {
    FPhase = TPhase::Seeking;
    FFrom = from;
    FFromSignal.reset();
    FLanding.reset();
    Wait(now, AnswerTimeoutMs);
    return {{TCommandKind::SeekUp}, {TCommandKind::RequestStatus}};
}

std::vector<TCommand> TBandScan::Land(int tuneValue, const std::optional<TSignal>& signal,
                                      bool last, qint64 now) {
    // A frequency outside the band is no station of it; the tuner has left the band.
    if (tuneValue < FSettings.Low || tuneValue > FSettings.High)
        return Finish(TScanEnd::Completed);
    const bool ends = last || tuneValue < FFrom || tuneValue >= FSettings.High;
    // A seek that stops where nothing is heard (a band limit) found no station. An unknown
    // signal counts as heard: the seek itself stopped there.
    const bool heard = !signal || signal->Level > 0;
    if (!heard || IsFound(tuneValue))
        return ends ? Finish(TScanEnd::Completed) : BeginSeek(tuneValue, now);
    const QString name = NameOf(signal);
    if (FSettings.WaitForNames && name.isEmpty() && !IsKnown(tuneValue)) {
        FPhase = TPhase::AwaitName;
        FPending = tuneValue;
        FPendingLast = ends;
        FLanding.reset();
        Wait(now, NameTimeoutMs);
        return {};
    }
    return Keep(tuneValue, name, ends, now);
}

std::vector<TCommand> TBandScan::Keep(int tuneValue, const QString& name, bool last, qint64 now) {
    FFound.push_back({tuneValue, name});
    return last ? Finish(TScanEnd::Completed) : BeginSeek(tuneValue, now);
}

std::vector<TCommand> TBandScan::Finish(TScanEnd end) {
    FPhase = TPhase::Ended;
    FEnd = end;
    FLanding.reset();
    return {{TCommandKind::Tune, FSettings.Origin}, {TCommandKind::RequestStatus}};
}

void TBandScan::Wait(qint64 now, qint64 timeout) {
    FDeadline = now + timeout;
    FNextPoll = now + StatusPollMs;
    FAnswered = false;
}

bool TBandScan::IsFound(int tuneValue) const {
    return std::any_of(FFound.begin(), FFound.end(),
                       [&](const TFoundStation& s) { return s.TuneValue == tuneValue; });
}

bool TBandScan::IsKnown(int tuneValue) const {
    return std::find(FSettings.Known.begin(), FSettings.Known.end(), tuneValue) !=
           FSettings.Known.end();
}

QString TBandScan::NameOf(const std::optional<TSignal>& signal) {
    return signal && signal->RDS ? StationName(signal->Name) : QString();
}

} // namespace BandScan
