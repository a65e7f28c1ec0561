#include "timers/TimerEngine.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// A tuner and a recorder that note every command, in order.
class TFakeHost : public ITimerHost {
public:
    bool TunerConnected() const override { return Connected; }
    bool DigitalSound() const override { return Digital; }
    TTunerPlace Place() const override { return State; }
    void SetPowerOn(bool on) override {
        State.PowerOn = on;
        Log += on ? "on " : "off ";
    }
    void Tune(const TTimerStation& station) override {
        State.TuneValue = station.TuneValue;
        State.FmBand = station.FmBand;
        Log += "tune" + std::to_string(station.TuneValue) + " ";
    }
    int Volume() const override { return Level; }
    void SetVolume(int volume) override { Level = volume; }
    bool Recording() const override { return IsRecording; }
    QString StartRecording() override {
        if (!RecordingRefusal.isEmpty())
            return RecordingRefusal;
        IsRecording = true;
        Log += "record ";
        return {};
    }
    void StopRecording() override {
        IsRecording = false;
        Log += "stop ";
    }
    void Report(const QString& text) override { Reports << text; }

    bool Connected = true, Digital = true, IsRecording = false;
    TTunerPlace State{false, 880, true};
    int Level = 80;
    QString RecordingRefusal;
    std::string Log;
    QStringList Reports;
};

const QTimeZone Berlin("Europe/Berlin");

QDateTime At(int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute, second), Berlin);
}

TRecordingTimer Recording(int day, int hour, int minutes) {
    return {{QDate(2026, 12, day), QTime(hour, 0), {}}, {1017, true}, minutes * 60};
}

TWakeUp WakeUp() {
    return {true,
            {QDate(), QTime(7, 30), {true, true, true, true, true, false, false}},
            {1017, true},
            60};
}

} // namespace

TEST(TimerEngine, ARecordingTunesRecordsAndGivesTheTunerBack) {
    TFakeHost host;
    TTimerEngine engine(host, Berlin);
    engine.SetEntries(std::nullopt, {{"record1", Recording(24, 19, 60)}});
    engine.Tick(At(24, 18, 59));
    EXPECT_EQ(host.Log, "");
    EXPECT_EQ(engine.NextWake(At(24, 18, 59)), At(24, 19, 0));
    engine.Tick(At(24, 19, 0, 2));
    EXPECT_EQ(host.Log, "on tune1017 record ");
    EXPECT_EQ(engine.ActiveRecording(), "record1");
    EXPECT_EQ(engine.NextWake(At(24, 19, 30)), At(24, 19, 30, 1)); // watches for a manual stop
    engine.Tick(At(24, 20, 0));
    EXPECT_EQ(host.Log, "on tune1017 record stop tune880 off ");
    EXPECT_TRUE(host.Reports.isEmpty());
    engine.Tick(At(24, 20, 1)); // once only
    EXPECT_EQ(host.Log, "on tune1017 record stop tune880 off ");
}

TEST(TimerEngine, WhatTheUserChangesDuringARecordingStays) {
    TFakeHost host;
    TTimerEngine engine(host, Berlin);
    engine.SetEntries(std::nullopt, {{"record1", Recording(24, 19, 60)}});
    engine.Tick(At(24, 19, 0));
    host.Tune({698, false}); // the user tunes elsewhere; the recording goes on
    host.Log.clear();
    engine.Tick(At(24, 20, 0));
    EXPECT_EQ(host.Log, "stop off ");
    EXPECT_EQ(host.State.TuneValue, 698);
}

TEST(TimerEngine, ARecordingThatCannotStartIsToldOnceAndTriedUntilItsEnd) {
    TFakeHost host;
    host.Connected = false;
    TTimerEngine engine(host, Berlin);
    engine.SetEntries(std::nullopt, {{"record1", Recording(24, 19, 1)}});
    engine.Tick(At(24, 19, 0));
    ASSERT_EQ(host.Reports.size(), 1);
    EXPECT_EQ(host.Reports[0],
              "Запись 101.7 МГц в 24.12.2026 19:00 не началась: тюнер не подключён.");
    EXPECT_EQ(engine.NextWake(At(24, 19, 0)), At(24, 19, 0, 10));
    host.Connected = true;
    engine.Tick(At(24, 19, 0, 10));
    EXPECT_EQ(host.Log, "on tune1017 record ");
    EXPECT_EQ(host.Reports.size(), 1);
    // Unplugged for good: the tries end with the recording's time.
    TFakeHost unplugged;
    unplugged.Connected = false;
    TTimerEngine other(unplugged, Berlin);
    other.SetEntries(std::nullopt, {{"record1", Recording(24, 19, 1)}});
    for (int s = 0; s <= 70; s += 10)
        other.Tick(At(24, 19, 0).addSecs(s));
    EXPECT_EQ(unplugged.Reports.size(), 1);
    EXPECT_TRUE(other.ActiveRecording().isEmpty());
}

TEST(TimerEngine, WakeUpPowersOnTunesAndFadesIn) {
    TFakeHost host;
    TTimerEngine engine(host, Berlin);
    engine.SetEntries(WakeUp(), {});
    EXPECT_EQ(engine.NextWake(At(11, 6, 0)), At(11, 7, 30)); // a Friday
    engine.Tick(At(11, 7, 30));
    EXPECT_EQ(host.Log, "on tune1017 ");
    EXPECT_EQ(host.Level, 0);
    EXPECT_EQ(engine.NextWake(At(11, 7, 30)), At(11, 7, 30).addMSecs(TTimerEngine::FadeStepMs));
    engine.Tick(At(11, 7, 30, 15));
    EXPECT_EQ(host.Level, 30);
    engine.Tick(At(11, 7, 30, 31));
    EXPECT_EQ(host.Level, 60);
    EXPECT_EQ(engine.NextWake(At(11, 7, 31)), At(14, 7, 30)); // Monday
}

TEST(TimerEngine, WakeUpWithoutTheTunerOrTooLateIsTold) {
    TFakeHost host;
    host.Connected = false;
    TTimerEngine engine(host, Berlin);
    engine.SetEntries(WakeUp(), {});
    engine.Tick(At(11, 7, 30));
    ASSERT_EQ(host.Reports.size(), 1);
    EXPECT_TRUE(host.Reports[0].contains("не сработал")) << host.Reports[0].toStdString();
    host.Connected = true;
    // Asleep from Friday's start to Monday 07:36: Monday's start is 6 minutes late.
    engine.Tick(At(14, 7, 36));
    EXPECT_EQ(host.Log, "");
    ASSERT_EQ(host.Reports.size(), 2);
    EXPECT_EQ(host.Reports[1], "Будильник в 14.12.2026 07:30 пропущен.");
}

TEST(TimerEngine, SleepFadesOutPowersOffAndFinishesTheRecording) {
    TFakeHost host;
    host.State.PowerOn = true;
    host.IsRecording = true;
    TTimerEngine engine(host, Berlin);
    engine.SetSleep(60'000, At(11, 23, 0));
    EXPECT_EQ(engine.SleepRemainingSeconds(At(11, 23, 0, 20)), 40);
    EXPECT_EQ(engine.NextWake(At(11, 23, 0)), At(11, 23, 0, 50));
    engine.Tick(At(11, 23, 0, 55));
    EXPECT_EQ(host.Level, 40);
    engine.Tick(At(11, 23, 1));
    EXPECT_EQ(host.Log, "stop off ");
    EXPECT_EQ(host.Level, 80); // as loud as before for the next listening
    EXPECT_FALSE(engine.SleepRemainingSeconds(At(11, 23, 1)));
}
