#include "sim/VirtualTuner.h"

#include "sim/BandPlan.h"
#include "sim/SimulatedTuners.h"
#include "tuner/TunerProtocol.h"

#include <QCoreApplication>
#include <csignal>
#include <gtest/gtest.h>

using namespace TunerProtocol;

namespace {

QByteArray Out(const QByteArray& command) {
    return OutputReport(command, 65).left(65);
}

// Sends "g" and decodes every report that comes back, as the program would.
std::vector<TStatusEffects> Poll(TVirtualTuner& tuner, const TStatusInput& in) {
    std::vector<TStatusEffects> effects;
    for (const QByteArray& report : tuner.HandleOutput(Out("g"))) {
        EXPECT_EQ(report.size(), 65);
        effects.push_back(
            DecodeStatus(reinterpret_cast<const std::uint8_t*>(report.constData()) + 1,
                         size_t(report.size()) - 1, in));
    }
    return effects;
}

TFullState PoweredAt(int position, bool bandFM = true) {
    TFullState s;
    s.PowerOn = true;
    s.Stereo = true;
    s.BandFM = bandFM;
    s.Started = true;
    s.Position = position;
    s.UseRDS = true;
    s.VolumePosition = 9;
    return s;
}

} // namespace

TEST(VirtualTuner, RdaReportsChannelAndRdsOfTheTunedStation) {
    TVirtualTuner tuner(TSimChip::RDA5807M);
    tuner.HandleOutput(Out(CommandFullState(PoweredAt(137)))); // 101.7 NOVOSTI
    EXPECT_EQ(tuner.State().Volume, 9);
    const auto fx = Poll(tuner, {.Stereo = true, .UseRDS = true, .BandFM = true});
    ASSERT_EQ(fx.size(), 2u);
    EXPECT_EQ(fx[0].SliderPosition, 137);
    EXPECT_EQ(fx[0].TuneValue, 1017);
    EXPECT_TRUE(fx[1].IsStereo);
    EXPECT_TRUE(fx[1].RDSEnabled);
    EXPECT_EQ(fx[1].TuneLevel, 14);
    EXPECT_EQ(fx[1].RDSString, "NOVOSTI ");

    // The UKV band: tune command position p reaches the frequency the program shows for p.
    tuner.HandleOutput(Out(CommandTune(false, 4))); // 66.3 MAYAK, mono
    const auto ukv = Poll(tuner, {.Stereo = true, .UseRDS = true, .BandFM = false});
    EXPECT_EQ(ukv[0].SliderPosition, 4);
    EXPECT_EQ(ukv[0].TuneValue, 663);
    EXPECT_FALSE(ukv[1].IsStereo);
    EXPECT_EQ(ukv[1].RDSString, "MAYAK   ");

    // Powered off: nothing is received.
    tuner.HandleOutput(Out(CommandFlag('P', false)));
    const auto off = Poll(tuner, {.Stereo = true, .UseRDS = true, .BandFM = false});
    EXPECT_EQ(off[1].TuneLevel, 0);
    EXPECT_FALSE(off[1].RDSEnabled);
}

TEST(VirtualTuner, TeaReportsPllWordThatDecodesToTheTunedPosition) {
    TVirtualTuner tuner(TSimChip::TEA5767);
    for (int position : {0, 32, 75, 137, 162, 199, 200}) {
        tuner.HandleOutput(Out(CommandFullState(PoweredAt(position))));
        const auto fx = Poll(tuner, {});
        ASSERT_EQ(fx.size(), 1u);
        EXPECT_EQ(fx[0].Format, TStatusFormat::TeaPll);
        EXPECT_EQ(fx[0].SliderPosition, position);
        const TSimStation* station = SimStationAt(880 + position);
        EXPECT_EQ(fx[0].TuneLevel >= 8, station && (station->Level >= 8 || station->Stereo));
    }
    // Not in this chip's range: the UKV tune command is ignored.
    tuner.HandleOutput(Out(CommandTune(false, 4)));
    EXPECT_TRUE(tuner.State().BandFM);
    EXPECT_EQ(tuner.State().Position, 200);
}

TEST(VirtualTuner, SeekMovesToTheNextStationAndWraps) {
    struct Case {
        bool bandFM;
        int from;
        bool up;
        int to;
    } cases[] = {{true, 0, true, 912},    {true, 0, false, 1079}, {true, 199, true, 880},
                 {true, 100, false, 955}, {false, 0, true, 663},  {false, 4, false, 721}};
    for (const Case& c : cases) {
        TVirtualTuner tuner(TSimChip::RDA5807M);
        tuner.HandleOutput(Out(CommandTune(c.bandFM, c.from)));
        tuner.HandleOutput(Out(CommandFlag('S', c.up)));
        EXPECT_EQ(tuner.TuneValue(), c.to) << c.from << " " << c.up;
    }
}

TEST(VirtualTuner, CommandsChangeItsState) {
    TVirtualTuner tuner(TSimChip::RDA5807M);
    tuner.HandleOutput(Out(CommandFlag('M', true)));
    tuner.HandleOutput(Out(CommandFlag('s', false)));
    tuner.HandleOutput(Out(CommandFlag('b', true)));
    tuner.HandleOutput(Out(CommandFlag('r', true)));
    tuner.HandleOutput(Out(CommandChipVolume(15)));
    const TVirtualTunerState s = tuner.State();
    EXPECT_TRUE(s.Muted);
    EXPECT_FALSE(s.StereoAllowed);
    EXPECT_TRUE(s.Bass);
    EXPECT_TRUE(s.RDS);
    EXPECT_EQ(s.Volume, 15);
    EXPECT_TRUE(tuner.HandleOutput(QByteArray()).empty());
}

TEST(SimulatedTuners, SigUsr1UnplugsAndPlugsAgain) {
    TSimulatedTuners sim(QStringLiteral("tea5767"));
    EXPECT_EQ(sim.Tuner()->Chip(), TSimChip::TEA5767);
    ASSERT_EQ(sim.Backend().Enumerate().size(), 1u);
    const std::string first = sim.Backend().Enumerate()[0].Instance;
    int changes = 0;
    sim.Backend().OnChange = [&] { ++changes; };
    std::raise(SIGUSR1);
    for (int i = 0; i < 20 && sim.Backend().IsPlugged(sim.DeviceIndex()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(sim.Backend().Enumerate().empty());
    std::raise(SIGUSR1);
    for (int i = 0; i < 20 && !sim.Backend().IsPlugged(sim.DeviceIndex()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(sim.Backend().Enumerate().size(), 1u);
    EXPECT_NE(sim.Backend().Enumerate()[0].Instance, first); // a re-plug is a new interface
    QCoreApplication::processEvents();
    EXPECT_GE(changes, 2);
}
