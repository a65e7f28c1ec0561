#pragma once

// The band scan as a state machine of its own, fed with what the tuner's status reports say
// (tune values, signal levels, RDS names) and with the time, so that every step, timeout and
// odd answer can be checked with tables of cases. It never talks to a device: each call
// returns the commands to send, in order.
//
// The scan tunes the lower end of the band, then seeks upwards one station at a time. A seek
// has landed when a report shows a frequency other than the one it started from; reports of
// the old frequency are answers to status requests sent before the seek, or a seek that found
// no other station. The scan ends when a seek lands below where it started (it wrapped round
// the band), reaches the top of the band, leaves the band, or stays put; the tuner is then
// tuned back to where it was.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace BandScan {

// How long a seek (or the first tuning) may take before the tuner counts as silent.
inline constexpr qint64 AnswerTimeoutMs = 3000;
// How long a new station's RDS name is waited for.
inline constexpr qint64 NameTimeoutMs = 2000;
// Status requests while waiting, in case the tuner answered before it had settled.
inline constexpr qint64 StatusPollMs = 500;

enum class TCommandKind { Tune, SeekUp, RequestStatus };

struct TCommand {
    TCommandKind Kind = TCommandKind::RequestStatus;
    int TuneValue = 0; // Tune only
    friend bool operator==(const TCommand&, const TCommand&) = default;
};

struct TFoundStation {
    int TuneValue = 0;
    QString Name;
    friend bool operator==(const TFoundStation&, const TFoundStation&) = default;
};

enum class TScanEnd {
    Running,
    Completed, // wrapped, reached the top, or the tuner stayed where it was
    Cancelled,
    NoAnswer,  // no report at all within AnswerTimeoutMs
    TunerLost, // ended from outside: no command can be sent any more
};

struct TScanSettings {
    int Low = 880; // tune values of the band's ends
    int High = 1080;
    int Origin = 880;          // where the tuner is before the scan; tuned again at the end
    bool WaitForNames = false; // RDS is received: wait for the names of new stations
    std::vector<int> Known;    // tune values the list holds already: their names are not waited for
};

// The name of an RDS programme-service name: trailing spaces and zero bytes removed, the bytes
// read as Windows-1251, and any other control character (a line break or the list's favourite
// marker would change the station file's meaning) turned into a space.
QString StationName(const QByteArray& rdsBytes);

class TBandScan {
public:
    std::vector<TCommand> Start(const TScanSettings& settings, qint64 now);
    // A report that carries the tuned frequency.
    std::vector<TCommand> Frequency(int tuneValue, qint64 now);
    // A report that carries the signal level (and, with rds, the programme-service name) of
    // the frequency reported last.
    std::vector<TCommand> Signal(int level, bool rds, const QByteArray& name, qint64 now);
    // Time has passed: runs every deadline up to now.
    std::vector<TCommand> Tick(qint64 now);
    // The user stops: what was found so far stays found; a station still waiting for its
    // name is left out.
    std::vector<TCommand> Cancel();
    // The tuner is gone: ends without sending anything.
    void Abort();

    bool Running() const { return FEnd == TScanEnd::Running && FPhase != TPhase::Idle; }
    TScanEnd End() const { return FEnd; }
    // When Tick wants to run next; none once the scan has ended.
    std::optional<qint64> Deadline() const;
    // The frequency the scan has reached, within the band.
    int Reached() const { return FReached; }
    const std::vector<TFoundStation>& Found() const { return FFound; }

private:
    enum class TPhase { Idle, TuningStart, Seeking, AwaitName, Ended };
    struct TSignal {
        int Level = 0;
        bool RDS = false;
        QByteArray Name;
    };

    std::vector<TCommand> BeginSeek(int from, qint64 now);
    std::vector<TCommand> Land(int tuneValue, const std::optional<TSignal>& signal, bool last,
                               qint64 now);
    std::vector<TCommand> Keep(int tuneValue, const QString& name, bool last, qint64 now);
    std::vector<TCommand> Finish(TScanEnd end);
    void Wait(qint64 now, qint64 timeout);
    bool IsFound(int tuneValue) const;
    bool IsKnown(int tuneValue) const;
    static QString NameOf(const std::optional<TSignal>& signal);

    TScanSettings FSettings;
    TPhase FPhase = TPhase::Idle;
    TScanEnd FEnd = TScanEnd::Running;
    qint64 FDeadline = 0;
    qint64 FNextPoll = 0;
    bool FAnswered = false;             // some report arrived since the wait began
    std::optional<int> FLast;           // the frequency reported last
    int FFrom = 0;                      // where the current seek started
    std::optional<TSignal> FFromSignal; // what the start of the seek was heard with
    std::optional<int> FLanding;        // a seek's new frequency, waiting for its signal
    int FPending = 0;                   // AwaitName: the station waiting for its name
    bool FPendingLast = false;          // AwaitName: the scan ends after it
    int FReached = 0;
    std::vector<TFoundStation> FFound;
};

} // namespace BandScan
