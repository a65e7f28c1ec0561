// The sound chain on the virtual devices when their clocks disagree, as two sound cards always
// do: a capture that runs fast makes the output drop whole buffers instead of letting the
// delay grow, and an output that runs fast runs dry and waits for a new prefill.
#include "WaitFor.h"
#include "app/StreamAudioChain.h"
#include "sim/SimWaveSystem.h"
#include "tuner/TunerProtocol.h"

#include <gtest/gtest.h>

namespace {

TAudioCounters RunDrifting(TWaveDirection fastSide, double rate) {
    auto tuner = std::make_shared<TVirtualTuner>(TSimChip::RDA5807M);
    tuner->HandleOutput(TunerProtocol::OutputReport(TunerProtocol::CommandFlag('P', true), 65));
    auto system = std::make_unique<TSimWaveSystem>(tuner, "", nullptr);
    system->SetClockRate(fastSide, rate);
    TStreamAudioChain chain(std::move(system));
    chain.SetCaptureFormat(16, 48000);
    chain.SetInEnabled(true);
    chain.SetOutEnabled(true);
    WaitFor([] { return false; }, 2500);
    chain.SetInEnabled(false);
    chain.SetOutEnabled(false);
    return chain.Counters();
}

} // namespace

TEST(AudioChain, AFastCaptureMakesTheOutputDropWholeBuffersNotGrowTheDelay) {
    // Half as fast again: 0.5 s more sound arrives each second than is played.
    const TAudioCounters counters = RunDrifting(TWaveDirection::Input, 1.5);
    EXPECT_GT(counters.DroppedBuffers, 0u);
    EXPECT_EQ(counters.Underruns, 0u);
}

TEST(AudioChain, AFastOutputRunsDryAndWaitsForANewPrefill) {
    const TAudioCounters counters = RunDrifting(TWaveDirection::Output, 1.5);
    EXPECT_GT(counters.Underruns, 0u);
    EXPECT_EQ(counters.DroppedBuffers, 0u);
}
