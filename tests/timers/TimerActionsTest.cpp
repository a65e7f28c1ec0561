#include "timers/TimerActions.h"

#include <gtest/gtest.h>

TEST(TimerActions, TipFadesAndRetries) {
    EXPECT_EQ(SleepTrayTip("USB Orvalen", 12 * 60), "USB Orvalen — сон через 12 мин");
    EXPECT_EQ(SleepTrayTip("USB Orvalen", 11 * 60 + 1), "USB Orvalen — сон через 12 мин");
    EXPECT_EQ(SleepTrayTip("USB Orvalen", 0), "USB Orvalen — сон через 0 мин");

    const struct {
        int From, To;
        qint64 Elapsed, Duration;
        int Level;
    } fades[] = {
        {80, 0, -5, SleepFadeMs, 80},   {80, 0, 0, SleepFadeMs, 80},
        {80, 0, 5000, SleepFadeMs, 40}, {80, 0, 9999, SleepFadeMs, 0},
        {80, 0, 20000, SleepFadeMs, 0}, {0, 60, 15000, WakeFadeMs, 30},
        {0, 60, 30000, WakeFadeMs, 60}, {0, 60, 1, 0, 60}, // no fade: at once
    };
    for (const auto& f : fades)
        EXPECT_EQ(FadeLevel(f.From, f.To, f.Elapsed, f.Duration), f.Level)
            << f.From << "→" << f.To << " at " << f.Elapsed;

    const QDateTime end(QDate(2026, 12, 24), QTime(20, 0), Qt::UTC);
    EXPECT_EQ(NextRecordingTry(end.addSecs(-60), end), end.addSecs(-50));
    EXPECT_FALSE(NextRecordingTry(end.addSecs(-10), end));
    EXPECT_FALSE(NextRecordingTry(end.addSecs(5), end));
}

TEST(TimerActions, ARecordingGivesBackWhatTheUserDidNotChange) {
    const TTunerPlace off{false, 880, true}, recording{true, 1017, true};
    const struct {
        const char* What;
        TTunerPlace Before, Now, After;
    } cases[] = {
        {"untouched: off again, old station", off, recording, off},
        {"switched on by hand before: stays on", {true, 880, true}, recording, {true, 880, true}},
        {"tuned away meanwhile: the user's station stays, power goes back",
         off,
         {true, 698, false},
         {false, 698, false}},
        {"switched off meanwhile: stays off, station goes back", off, {false, 1017, true}, off},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaceAfterRecording(c.Before, recording, c.Now), c.After) << c.What;
}
