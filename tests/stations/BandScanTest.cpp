#include "stations/BandScan.h"

#include <gtest/gtest.h>
#include <optional>

using namespace BandScan;

namespace {

struct TBandStation {
    int TuneValue;
    int Level;
    QByteArray RDS; // eight bytes, or empty for a station without RDS
};

// A tuner for the scan to drive: seeks to the next station of its band upwards, wrapping, and
// answers each status request as one of the two chips does: one report with frequency and
// level (TEA5767), or a frequency report followed by a level-and-RDS report (RDA5807M).
class TFakeTuner {
public:
    std::vector<TBandStation> Stations; // ascending
    int Low = 880, High = 1080;
    int TuneValue = 1017;
    bool Separate = true;
    bool RDS = true;
    int NamePolls = 0;   // status requests at a station before its name is received
    bool Silent = false; // never answers

    struct TReport {
        std::optional<int> Frequency;
        bool HasSignal = false;
        int Level = 0;
        bool RDSFlag = false;
        QByteArray Name;
    };

    std::vector<TReport> Handle(const TCommand& command) {
        switch (command.Kind) {
        case TCommandKind::Tune:
            TuneValue = command.TuneValue;
            FPolls = 0;
            return {};
        case TCommandKind::SeekUp:
            Seek();
            FPolls = 0;
            return {};
        case TCommandKind::RequestStatus:
            break;
        }
        if (Silent)
            return {};
        ++FPolls;
        const TBandStation* station = At(TuneValue);
        TReport signal;
        signal.HasSignal = true;
        signal.Level = station ? station->Level : 0;
        if (station && RDS && !station->RDS.isEmpty() && FPolls > NamePolls) {
            signal.RDSFlag = true;
            signal.Name = station->RDS;
        }
        if (!Separate) {
            signal.Frequency = TuneValue;
            return {signal};
        }
        TReport frequency;
        frequency.Frequency = TuneValue;
        return {frequency, signal};
    }

private:
    const TBandStation* At(int tuneValue) const {
        for (const TBandStation& s : Stations) {
            if (s.TuneValue == tuneValue)
                return &s;
        }
        return nullptr;
    }
    void Seek() {
        for (const TBandStation& s : Stations) {
            if (s.TuneValue > TuneValue) {
                TuneValue = s.TuneValue;
                return;
            }
        }
        if (!Stations.empty())
            TuneValue = Stations.front().TuneValue;
    }
    int FPolls = 0;
};

// Runs a scan against the tuner until it ends; the clock moves only to the scan's deadlines.
struct TScanRun {
    TBandScan Scan;
    std::vector<TCommand> Sent;
    qint64 Now = 0;

    void Run(TFakeTuner& tuner, const TScanSettings& settings, int maxSteps = 10000) {
        std::vector<TCommand> pending = Scan.Start(settings, Now);
        for (int step = 0; step < maxSteps; ++step) {
            if (pending.empty()) {
                if (!Scan.Running())
                    return;
                Now = *Scan.Deadline();
                pending = Scan.Tick(Now);
                continue;
            }
            const TCommand command = pending.front();
            pending.erase(pending.begin());
            Sent.push_back(command);
            for (const auto& report : tuner.Handle(command)) {
                Append(pending, report.Frequency ? Scan.Frequency(*report.Frequency, Now)
                                                 : std::vector<TCommand>{});
                if (report.HasSignal)
                    Append(pending, Scan.Signal(report.Level, report.RDSFlag, report.Name, Now));
            }
        }
        FAIL() << "the scan never ended";
    }

    static void Append(std::vector<TCommand>& to, const std::vector<TCommand>& more) {
        to.insert(to.end(), more.begin(), more.end());
    }
};

const std::vector<TBandStation> FMPlan = {
    {880, 12, "ORVALEN "},  {912, 7, "RETRO   "},   {955, 4, "JAZZ    "},
    {1017, 14, "NOVOSTI "}, {1042, 10, "EUROPA  "}, {1079, 2, "ROCK    "},
};
const std::vector<TBandStation> UKVPlan = {
    {663, 9, "MAYAK   "}, {698, 5, "RADIO 1 "}, {721, 3, QByteArray("UKV 72\0\0", 8)}};

TScanSettings Settings(int low, int high, int origin, bool names, std::vector<int> known = {}) {
    TScanSettings s;
    s.Low = low;
    s.High = high;
    s.Origin = origin;
    s.WaitForNames = names;
    s.Known = std::move(known);
    return s;
}

std::vector<int> TuneValues(const std::vector<TFoundStation>& found) {
    std::vector<int> values;
    for (const TFoundStation& s : found)
        values.push_back(s.TuneValue);
    return values;
}

} // namespace

namespace BandScan {
void PrintTo(const TFoundStation& s, std::ostream* os) {
    *os << s.TuneValue << "=" << s.Name.toStdString();
}
} // namespace BandScan

TEST(BandScanName, TrimsTheEndAndReadsWindows1251) {
    struct Case {
        QByteArray bytes;
        QString name;
    } cases[] = {
        {"NOVOSTI ", "NOVOSTI"},
        {QByteArray("JAZZ\0\0\0\0", 8), "JAZZ"},
        {QByteArray("AB \0 \0  ", 8), "AB"},
        {"  MAYAK ", "  MAYAK"},
        {QByteArray("\xcc\xe0\xff\xea    ", 8), "Маяк"},
        {QByteArray(8, '\0'), ""},
        {"        ", ""},
        // Inside a name, control characters would split the station line or mark it as a
        // favourite in the file.
        {QByteArray("A\rB\nC\x1f"
                    "D ",
                    8),
         "A B C D"},
        {QByteArray("\x1fROCK   ", 8), " ROCK"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StationName(c.bytes), c.name) << c.bytes.toHex().toStdString();
}

TEST(BandScan, FindsEveryStationOfTheBandOnceAndTunesBack) {
    struct Case {
        const char* what;
        std::vector<TBandStation> plan;
        int low, high;
        bool separate, rds;
        std::vector<TFoundStation> found;
        bool staysPut = false; // the last seek stays where it was: seen only after its wait
    } cases[] = {
        {"FM, RDA5807M with RDS",
         FMPlan,
         880,
         1080,
         true,
         true,
         {{912, "RETRO"},
          {955, "JAZZ"},
          {1017, "NOVOSTI"},
          {1042, "EUROPA"},
          {1079, "ROCK"},
          {880, "ORVALEN"}}},
        {"FM, RDS off",
         FMPlan,
         880,
         1080,
         true,
         false,
         {{912, ""}, {955, ""}, {1017, ""}, {1042, ""}, {1079, ""}, {880, ""}}},
        {"FM, TEA5767 reports",
         FMPlan,
         880,
         1080,
         false,
         false,
         {{912, ""}, {955, ""}, {1017, ""}, {1042, ""}, {1079, ""}, {880, ""}}},
        {"UKV", UKVPlan, 659, 740, true, true, {{663, "MAYAK"}, {698, "RADIO 1"}, {721, "UKV 72"}}},
        {"a station at the top ends the scan",
         {{950, 5, {}}, {1080, 6, {}}},
         880,
         1080,
         true,
         false,
         {{950, ""}, {1080, ""}}},
        {"the only station of the band",
         {{1000, 5, {}}},
         880,
         1080,
         true,
         false,
         {{1000, ""}},
         true},
        {"the only station, at the lower end",
         {{880, 5, {}}},
         880,
         1080,
         false,
         false,
         {{880, ""}},
         true},
        {"an empty band", {}, 880, 1080, true, false, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TFakeTuner tuner;
        tuner.Stations = c.plan;
        tuner.Separate = c.separate;
        tuner.RDS = c.rds;
        tuner.TuneValue = 955;
        TScanRun run;
        run.Run(tuner, Settings(c.low, c.high, 955, c.rds));
        EXPECT_EQ(run.Scan.End(), TScanEnd::Completed);
        EXPECT_EQ(run.Scan.Found(), c.found);
        ASSERT_FALSE(run.Sent.empty());
        EXPECT_EQ(run.Sent.front(), (TCommand{TCommandKind::Tune, c.low}));
        EXPECT_EQ(tuner.TuneValue, 955) << "the tuner is left where it was";
        EXPECT_FALSE(run.Scan.Deadline());
        if (c.staysPut)
            EXPECT_EQ(run.Now, AnswerTimeoutMs);
        else
            EXPECT_LT(run.Now, AnswerTimeoutMs) << "every station is heard at once";
    }
}

TEST(BandScan, NamesAreWaitedForTwoSecondsOnlyWhereTheListLacksTheStation) {
    struct Case {
        const char* what;
        int namePolls;
        std::vector<int> known;
        std::vector<TFoundStation> found;
    } cases[] = {
        {"names after a few requests", 3, {}, {{663, "MAYAK"}, {698, "RADIO 1"}, {721, "UKV 72"}}},
        // Requests go out every half second: the fifth is at the two-second limit.
        {"names too late", 5, {}, {{663, ""}, {698, ""}, {721, ""}}},
        {"a known station's name is not waited for", 5, {698}, {{663, ""}, {698, ""}, {721, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TFakeTuner tuner;
        tuner.Stations = UKVPlan;
        tuner.NamePolls = c.namePolls;
        TScanRun run;
        run.Run(tuner, Settings(659, 740, 700, true, c.known));
        EXPECT_EQ(run.Scan.Found(), c.found);
        const int waited = 3 - int(c.known.size());
        if (c.namePolls > 4)
            EXPECT_EQ(run.Now, waited * NameTimeoutMs);
        else
            EXPECT_LT(run.Now, waited * NameTimeoutMs);
    }
}

TEST(BandScan, ATunerThatNeverAnswersEndsTheScanAfterThreeSeconds) {
    for (int answeredSeeks : {0, 2}) {
        SCOPED_TRACE(answeredSeeks);
        TBandScan scan;
        TFakeTuner tuner;
        tuner.Stations = FMPlan;
        qint64 now = 0;
        std::vector<TCommand> pending = scan.Start(Settings(880, 1080, 1017, false), now);
        int seeks = 0;
        tuner.Silent = answeredSeeks == 0; // not even the first tuning is answered
        while (scan.Running()) {
            if (pending.empty()) {
                ASSERT_LE(*scan.Deadline() - now, AnswerTimeoutMs);
                now = *scan.Deadline();
                pending = scan.Tick(now);
                continue;
            }
            const TCommand command = pending.front();
            pending.erase(pending.begin());
            if (command.Kind == TCommandKind::SeekUp && ++seeks > answeredSeeks)
                tuner.Silent = true;
            for (const auto& report : tuner.Handle(command)) {
                if (report.Frequency)
                    TScanRun::Append(pending, scan.Frequency(*report.Frequency, now));
                if (report.HasSignal)
                    TScanRun::Append(pending, scan.Signal(report.Level, false, {}, now));
            }
        }
        EXPECT_EQ(scan.End(), TScanEnd::NoAnswer);
        EXPECT_EQ(int(scan.Found().size()), answeredSeeks);
        EXPECT_EQ(now, AnswerTimeoutMs) << "each wait is three seconds, once";
        EXPECT_EQ(pending, (std::vector<TCommand>{{TCommandKind::Tune, 1017},
                                                  {TCommandKind::RequestStatus}}));
    }
}

TEST(BandScan, OddReportsNeitherAddStationsNorKeepItRunning) {
    using K = TCommandKind;
    struct Step {
        char kind; // 'f' frequency, 's' signal, 't' tick to the time
        int value; // tune value, level or time
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        std::vector<int> found;
        TScanEnd end;
    } cases[] = {
        {"a report of the old frequency before the seek's answer is passed over",
         {{'f', 880}, {'f', 880}, {'s', 12}, {'f', 912}, {'s', 7}},
         {912},
         TScanEnd::Running},
        {"a seek that stops with no signal finds nothing and goes on",
         {{'f', 880}, {'f', 930}, {'s', 0}, {'f', 955}, {'s', 4}},
         {955},
         TScanEnd::Running},
        {"a level beyond the scale is a signal",
         {{'f', 880}, {'f', 930}, {'s', 99}},
         {930},
         TScanEnd::Running},
        {"a frequency above the band ends the scan",
         {{'f', 880}, {'f', 912}, {'s', 7}, {'f', 1893}, {'s', 15}},
         {912},
         TScanEnd::Completed},
        {"a frequency below the band ends the scan",
         {{'f', 880}, {'f', 912}, {'s', 7}, {'f', 100}, {'s', 15}},
         {912},
         TScanEnd::Completed},
        {"a seek that falls back to a station found ends the scan",
         {{'f', 880}, {'f', 912}, {'s', 7}, {'f', 955}, {'s', 5}, {'f', 912}, {'s', 7}},
         {912, 955},
         TScanEnd::Completed},
        {"a frequency whose signal never comes is a station",
         {{'f', 880}, {'f', 912}, {'t', 3000}},
         {912},
         TScanEnd::Running},
        {"the lower end not shown: scanned from where the tuner is after three seconds",
         {{'f', 1017}, {'t', 3000}, {'f', 1042}, {'s', 10}},
         {1042},
         TScanEnd::Running},
        {"a seek answered only with the old frequency stays put: the end",
         {{'f', 880}, {'f', 912}, {'s', 7}, {'f', 912}, {'s', 7}, {'t', 6000}},
         {912},
         TScanEnd::Completed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TBandScan scan;
        std::vector<TCommand> last = scan.Start(Settings(880, 1080, 1017, false), 0);
        qint64 now = 0;
        for (const Step& step : c.steps) {
            std::vector<TCommand> out;
            if (step.kind == 'f') {
                out = scan.Frequency(step.value, now);
            } else if (step.kind == 's') {
                out = scan.Signal(step.value, false, {}, now);
            } else {
                while (scan.Running() && now < step.value) {
                    now = std::min<qint64>(*scan.Deadline(), step.value);
                    out = scan.Tick(now);
                    if (!out.empty() && out.front().Kind != K::RequestStatus)
                        break;
                }
            }
            if (!out.empty())
                last = out;
        }
        EXPECT_EQ(TuneValues(scan.Found()), c.found);
        EXPECT_EQ(scan.End(), c.end);
        if (c.end == TScanEnd::Completed)
            EXPECT_EQ(last.front(), (TCommand{K::Tune, 1017}));
        else
            EXPECT_EQ(last.front(), (TCommand{K::SeekUp}));
    }
}

TEST(BandScan, WaitsAskForStatusEveryHalfSecond) {
    TBandScan scan;
    scan.Start(Settings(880, 1080, 1017, false), 0);
    EXPECT_EQ(scan.Deadline(), StatusPollMs);
    EXPECT_TRUE(scan.Tick(StatusPollMs - 1).empty());
    EXPECT_EQ(scan.Tick(StatusPollMs), (std::vector<TCommand>{{TCommandKind::RequestStatus}}));
    EXPECT_EQ(scan.Deadline(), 2 * StatusPollMs);
}

TEST(BandScan, CancelKeepsTheStationsFoundAndDropsOneWaitingForItsName) {
    TBandScan scan;
    scan.Start(Settings(659, 740, 698, true), 0);
    scan.Frequency(659, 0);
    scan.Frequency(663, 10);
    scan.Signal(9, true, "MAYAK   ", 10);
    scan.Frequency(698, 20);
    scan.Signal(5, false, {}, 20); // waits for the name
    ASSERT_TRUE(scan.Running());
    EXPECT_EQ(scan.Reached(), 698);

    EXPECT_EQ(scan.Cancel(),
              (std::vector<TCommand>{{TCommandKind::Tune, 698}, {TCommandKind::RequestStatus}}));
    EXPECT_EQ(scan.End(), TScanEnd::Cancelled);
    EXPECT_EQ(scan.Found(), (std::vector<TFoundStation>{{663, "MAYAK"}}));
    // Whatever still arrives changes nothing.
    EXPECT_TRUE(scan.Signal(5, true, "RADIO 1 ", 30).empty());
    EXPECT_TRUE(scan.Tick(100000).empty());
    EXPECT_TRUE(scan.Cancel().empty());
    EXPECT_EQ(scan.Found().size(), 1u);
}

TEST(BandScan, ATunerThatIsGoneGetsNoCommands) {
    TBandScan scan;
    scan.Start(Settings(880, 1080, 1017, false), 0);
    scan.Frequency(880, 0);
    scan.Frequency(912, 0);
    scan.Signal(7, false, {}, 0);
    scan.Abort();
    EXPECT_EQ(scan.End(), TScanEnd::TunerLost);
    EXPECT_FALSE(scan.Running());
    EXPECT_FALSE(scan.Deadline());
    EXPECT_TRUE(scan.Cancel().empty());
    EXPECT_EQ(TuneValues(scan.Found()), std::vector<int>{912});
}
