#include "timers/TimerEntries.h"

#include <gtest/gtest.h>

TEST(TimerEntries, ClocksDaysAndFrequenciesAsTheFileWritesThem) {
    const struct {
        const char* Text;
        std::optional<int> Seconds;
    } clocks[] = {{"07:30", 27000}, {"00:00:04", 4}, {"23:59:59", 86399},
                  {"24:00", {}},    {"7:30", {}},    {"07:60", {}},
                  {"07:30:60", {}}, {"", {}},        {"07:30 pm", {}}};
    for (const auto& c : clocks)
        EXPECT_EQ(ParseClock(QString::fromUtf8(c.Text)), c.Seconds) << c.Text;
    for (const int seconds : {0, 4, 27000, 3725, 86399})
        EXPECT_EQ(ParseClock(ClockText(seconds)), seconds) << seconds;
    EXPECT_EQ(ClockText(27000), "07:30");
    EXPECT_EQ(ClockText(4), "00:00:04");

    EXPECT_EQ(DaysText(*ParseDays("1111100")), "1111100");
    for (const char* bad : {"111110", "11111001", "1111102", "111 100"})
        EXPECT_FALSE(ParseDays(QString::fromLatin1(bad))) << bad;

    const struct {
        const char* Text;
        std::optional<TTimerStation> Station;
    } stations[] = {
        {"101.7", TTimerStation{1017, true}},
        {"88.0", TTimerStation{880, true}},
        {"108", TTimerStation{1080, true}},
        {"65.9", TTimerStation{659, false}},
        {"74.0", TTimerStation{740, false}},
        {"80.0", {}}, // between the bands
        {"108.1", {}},
        {"65.8", {}},
        {"101.75", {}},
        {"101,7", {}},
        {"nan", {}},
        {"", {}},
    };
    for (const auto& c : stations)
        EXPECT_EQ(ParseStation(QString::fromLatin1(c.Text)), c.Station) << c.Text;
    EXPECT_EQ(StationText({698, false}), "69.8");
}

TEST(TimerEntries, EntriesSurviveTheirWrittenFormAndBrokenOnesNameTheirKey) {
    TRecordingTimer weekly;
    weekly.Schedule = {QDate(), QTime(19, 0), {true, false, true, false, true, false, false}};
    weekly.Station = {1017, true};
    weekly.DurationSeconds = 3600;
    TRecordingTimer dated = weekly;
    dated.Schedule = {QDate(2026, 12, 24), QTime(19, 0), {}};
    for (const TRecordingTimer& recording : {weekly, dated}) {
        QString error;
        const std::optional<TRecordingTimer> back = ReadRecording(WriteRecording(recording), error);
        ASSERT_TRUE(back) << error.toStdString();
        EXPECT_EQ(back->Schedule.Date, recording.Schedule.Date);
        EXPECT_EQ(back->Schedule.Time, recording.Schedule.Time);
        EXPECT_EQ(back->Schedule.Days, recording.Schedule.Days);
        EXPECT_EQ(back->Station, recording.Station);
        EXPECT_EQ(back->DurationSeconds, 3600);
    }
    EXPECT_EQ(WriteRecording(dated).value("start"), "2026-12-24 19:00");

    const struct {
        TTimerSection Section;
        const char* Error;
    } broken[] = {
        {{{"frequency", "101.7"}, {"start", "2026-02-30 19:00"}, {"duration", "01:00"}},
         "start=2026-02-30 19:00"},
        {{{"frequency", "101.7"}, {"start", "2026-12-24 19:00"}, {"duration", "00:00"}},
         "duration=00:00"},
        {{{"frequency", "200"}, {"time", "19:00"}, {"days", "1111111"}, {"duration", "01:00"}},
         "frequency=200"},
        {{{"frequency", "101.7"}, {"time", "19:00"}, {"duration", "01:00"}}, "days="},
    };
    for (const auto& c : broken) {
        QString error;
        EXPECT_FALSE(ReadRecording(c.Section, error));
        EXPECT_EQ(error, QString::fromUtf8(c.Error));
    }

    QString error;
    const std::optional<TWakeUp> wakeUp = ReadWakeUp({{"enabled", "1"},
                                                      {"time", "07:30"},
                                                      {"days", "1111100"},
                                                      {"frequency", "101.7"},
                                                      {"volume", "60"}},
                                                     error);
    ASSERT_TRUE(wakeUp) << error.toStdString();
    EXPECT_TRUE(wakeUp->Enabled);
    EXPECT_EQ(wakeUp->Volume, 60);
    EXPECT_EQ(WriteWakeUp(*wakeUp).value("days"), "1111100");
    EXPECT_FALSE(ReadWakeUp(
        {{"time", "07:30"}, {"days", "1111100"}, {"frequency", "101.7"}, {"volume", "160"}},
        error));
    EXPECT_EQ(error, "volume=160");
    EXPECT_EQ(ReadSleepMinutes({{"minutes", "30"}}, error), 30);
    EXPECT_FALSE(ReadSleepMinutes({{"minutes", "-5"}}, error));
}

TEST(TimerEntries, RecordingsThatWouldShareTheTunerOverlap) {
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime from(QDate(2026, 12, 11), QTime(12, 0), berlin);
    const auto dated = [](int day, int hour, int minutes) {
        return TRecordingTimer{
            {QDate(2026, 12, day), QTime(hour, 0), {}}, {1017, true}, minutes * 60};
    };
    const auto weekly = [](std::array<bool, 7> days, int hour, int minutes) {
        return TRecordingTimer{{QDate(), QTime(hour, 0), days}, {1017, true}, minutes * 60};
    };
    const std::array<bool, 7> thursdays = {false, false, false, true, false, false, false};
    const struct {
        const char* What;
        TRecordingTimer A, B;
        bool Overlap;
    } cases[] = {
        {"the same evening", dated(24, 19, 60), dated(24, 19, 30), true},
        {"one ends as the other starts", dated(24, 19, 60), dated(24, 20, 60), false},
        {"the next day", dated(24, 19, 60), dated(25, 19, 60), false},
        {"a weekly one on that Thursday", weekly(thursdays, 18, 90), dated(24, 19, 60), true},
        {"a weekly one on other days", weekly(thursdays, 18, 90), dated(25, 19, 60), false},
        {"across midnight", dated(24, 23, 120), dated(25, 0, 30), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecordingsOverlap(c.A, c.B, from, berlin), c.Overlap) << c.What;
        EXPECT_EQ(RecordingsOverlap(c.B, c.A, from, berlin), c.Overlap) << c.What;
    }
}
