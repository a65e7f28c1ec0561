// A sound device lost while it plays comes back by itself: retried quietly, one log line each
// way, and one message box only when it stays away.
#include "WaitFor.h"
#include "app/SoundRecovery.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace std::chrono_literals;

namespace {

struct TRecoveryRig {
    // The device comes back at the restart numbered `backAt` (0: never).
    explicit TRecoveryRig(int backAt)
        : BackAt(backAt), Recovery([this] { Restart(); }, [this] { return Open; }, 20ms, 300ms) {
        Recovery.OnNotice = [this](const QString& line) { Lines << line; };
        Recovery.OnError = [this](const QString& text) { Boxes << text; };
    }
    void Restart() {
        ++Restarts;
        QuietDuringRestart = QuietDuringRestart && Recovery.Quiet();
        if (BackAt == 0 || Restarts < BackAt)
            throw std::runtime_error("Can't open audio device. - 1 - 1");
        Open = true;
    }
    void Lose(const char* device = "Output device \"pipewire\"") {
        Open = false;
        Recovery.Lost(device, "playing: Input/output error",
                      "Can't restart audio device. - 6 - 6\nOutput device \"pipewire\"");
    }

    int BackAt;
    int Restarts = 0;
    bool Open = true;
    bool QuietDuringRestart = true;
    QStringList Lines, Boxes;
    TSoundRecovery Recovery;
};

const QString LostLine = QStringLiteral(
    "Sound output device \"pipewire\" lost (playing: Input/output error); trying again every "
    "0.02 s");
const QString BackLine = QStringLiteral("Sound output device \"pipewire\" is back");

} // namespace

TEST(SoundRecovery, ADeviceThatComesBackIsToldOnceEachWayWithoutABox) {
    TRecoveryRig rig(3);
    rig.Lose();
    // The capture lost with the output is the same loss.
    rig.Lose("Input device \"pipewire\"");
    ASSERT_TRUE(WaitFor([&] { return !rig.Recovery.Recovering(); }, 5000));
    EXPECT_EQ(rig.Lines, QStringList({LostLine, BackLine}));
    EXPECT_TRUE(rig.Boxes.isEmpty());
    EXPECT_EQ(rig.Restarts, 3);
    EXPECT_TRUE(rig.QuietDuringRestart);
}

TEST(SoundRecovery, ADeviceThatStaysAwayGetsOneBoxAndIsStillTriedAgain) {
    TRecoveryRig rig(0);
    rig.Lose();
    ASSERT_TRUE(WaitFor([&] { return !rig.Boxes.isEmpty(); }, 5000));
    const int restarts = rig.Restarts;
    EXPECT_GE(restarts, 10); // every 20 ms for 300 ms
    ASSERT_TRUE(WaitFor([&] { return rig.Restarts > restarts + 5; }, 5000));
    EXPECT_EQ(rig.Boxes, QStringList({"Can't open audio device. - 1 - 1"}));
    EXPECT_EQ(rig.Lines, QStringList({LostLine}));
}

TEST(SoundRecovery, AReopenThatFailsAgainIsNoReturnAndSwitchingOffEndsTheWait) {
    TRecoveryRig rig(1);
    rig.Lose();
    ASSERT_TRUE(WaitFor([&] { return rig.Restarts == 1; }, 5000));
    // Opened, then failed again before the next look: not back.
    rig.BackAt = 0;
    rig.Recovery.Failed("Can't restart audio device. - 1 - 1");
    rig.Open = false;
    ASSERT_TRUE(WaitFor([&] { return rig.Restarts >= 3; }, 5000));
    EXPECT_EQ(rig.Lines, QStringList({LostLine}));

    rig.Recovery.Forget();
    const int restarts = rig.Restarts;
    QCoreApplication::processEvents();
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(rig.Restarts, restarts);
    EXPECT_FALSE(rig.Recovery.Recovering());
}
