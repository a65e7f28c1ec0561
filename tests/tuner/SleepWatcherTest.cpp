#include "tuner/SleepWatcher.h"

#include <gtest/gtest.h>

// Only the end of a sleep is a resume; the announcement before it is not.
TEST(SleepWatcher, ResumeIsPrepareForSleepFalse) {
    TSleepWatcher watcher;
    int resumed = 0;
    watcher.OnResume = [&] { ++resumed; };
    watcher.PrepareForSleep(true);
    EXPECT_EQ(resumed, 0);
    watcher.PrepareForSleep(false);
    EXPECT_EQ(resumed, 1);
}
