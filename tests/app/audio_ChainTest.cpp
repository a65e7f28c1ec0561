// The sound chain on the virtual devices when their clocks disagree, as two sound cards always
// do: a capture that runs fast makes the output drop whole buffers instead of letting the
// delay grow, and an output that runs fast runs dry and waits for a new prefill.
#include "WaitFor.h"
#include "WavReader.h"
#include "app/StreamAudioChain.h"
#include "audio/AudioOut.h"
#include "sim/SimWaveSystem.h"
#include "tuner/TunerProtocol.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

constexpr unsigned Rate = 48000;

void Command(TVirtualTuner& tuner, char letter, bool value) {
    tuner.HandleOutput(TunerProtocol::OutputReport(TunerProtocol::CommandFlag(letter, value), 65));
}

void Pause(int ms) {
    WaitFor([] { return false; }, ms);
}

struct TDriftRun {
    TAudioCounters Counters;
    // The longer of the delays from the tuner to the output at the mute and at the unmute,
    // less the time the output took to start: at most what the listener waits for a change.
    double DelaySeconds = 0;
};

// The frames at which the longest run of silence (every sample 0) in the recording begins and
// ends; the station's sound is never silent for longer than a few samples.
std::pair<qsizetype, qsizetype> LongestSilence(const TWav& wav) {
    const qsizetype frameBytes = qsizetype(wav.Channels * wav.Bits / 8);
    const qsizetype frames = frameBytes > 0 ? wav.Data.size() / frameBytes : 0;
    std::pair<qsizetype, qsizetype> longest{0, 0};
    qsizetype start = -1;
    for (qsizetype frame = 0; frame <= frames; ++frame) {
        bool silent = frame < frames;
        for (qsizetype at = frame * frameBytes; silent && at < (frame + 1) * frameBytes; at += 2)
            silent = qFromLittleEndian<qint16>(wav.Data.constData() + at) == 0;
        if (silent && start < 0)
            start = frame;
        if (!silent && start >= 0) {
            if (frame - start > longest.second - longest.first)
                longest = {start, frame};
            start = -1;
        }
    }
    return longest;
}

// Plays a station through the chain with one side's clock running fast; the tuner is muted
// after 1.5 s and unmuted 1.5 s later, and the output's recording tells when each was heard.
TDriftRun RunDrifting(TWaveDirection fastSide, double rate) {
    QTemporaryDir folder;
    const QString recording = folder.filePath(QStringLiteral("out.wav"));
    auto tuner = std::make_shared<TVirtualTuner>(TSimChip::RDA5807M);
    Command(*tuner, 'P', true);
    TDriftRun run;
    QElapsedTimer clock;
    qint64 muted = 0, unmuted = 0;
    {
        auto system =
            std::make_unique<TSimWaveSystem>(tuner, recording.toLocal8Bit().toStdString(), nullptr);
        system->SetClockRate(fastSide, rate);
        TStreamAudioChain chain(std::move(system));
        chain.SetCaptureFormat(16, Rate);
        chain.SetInEnabled(true);
        chain.SetOutEnabled(true);
        clock.start();
        Pause(1500);
        muted = clock.elapsed();
        Command(*tuner, 'M', true);
        Pause(1500);
        unmuted = clock.elapsed();
        Command(*tuner, 'M', false);
        Pause(1000);
        chain.SetInEnabled(false);
        chain.SetOutEnabled(false);
        run.Counters = chain.Counters();
    }
    const auto [heardMuted, heardUnmuted] = LongestSilence(ReadWav(recording));
    // The recording starts when the output starts playing, after its prefill: what it holds at
    // a moment is heard at least that much later than the tuner sounded.
    run.DelaySeconds = std::max(double(heardMuted) / Rate - double(muted) / 1000,
                                double(heardUnmuted) / Rate - double(unmuted) / 1000);
    return run;
}

} // namespace

TEST(AudioChain, AFastCaptureMakesTheOutputDropWholeBuffersNotGrowTheDelay) {
    // Half as fast again: 0.5 s more sound arrives each second than is played, and the
    // delay stays within the prefill and the margin instead of growing with it.
    const TDriftRun run = RunDrifting(TWaveDirection::Input, 1.5);
    EXPECT_GT(run.Counters.DroppedBuffers, 0u);
    EXPECT_EQ(run.Counters.Underruns, 0u);
    EXPECT_LT(run.DelaySeconds, 0.001 * (300 + TAudioOut::LatencyMarginMs));
}

TEST(AudioChain, AFastOutputRunsDryAndWaitsForANewPrefill) {
    const TDriftRun run = RunDrifting(TWaveDirection::Output, 1.5);
    EXPECT_GT(run.Counters.Underruns, 0u);
    EXPECT_EQ(run.Counters.DroppedBuffers, 0u);
}
