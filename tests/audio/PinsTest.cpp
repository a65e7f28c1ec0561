#include "audio/Pins.h"

#include "audio/AudioComponent.h"

#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {
// A component with one audio source and one audio sink that records what reaches it.
class TRecorder : public TAudioComponent {
public:
    TAudioSourcePin Output{this};
    TAudioSinkPin Input{this};
    std::vector<std::string> Seen;
    std::function<bool(const TOperationPtr&)> React;

    TRecorder() {
        Input.OnOperation = [this](const TOperationPtr& operation) {
            Seen.push_back(Describe(*operation));
            return React ? React(operation) : false;
        };
    }
    ~TRecorder() override {
        Input.SetSourcePin(nullptr);
        Output.DisconnectAll();
    }

    static std::string Describe(const TNotifyOperation& operation) {
        if (const auto* start = operation.As<TStartWaveOperation>())
            return "start " + std::to_string(start->Format().nSamplesPerSec);
        if (operation.Is<TEndStopOperation>())
            return "end-stop";
        if (operation.Is<TStopOperation>())
            return "stop";
        if (const auto* supplied = operation.As<TSuppliedBufferOperation>())
            return "buffer " + std::to_string(supplied->Buffer().FrameCount());
        return "other";
    }
};

TOperationPtr StartAt(std::uint32_t rate) {
    return std::make_shared<TStartWaveOperation>(MakeWaveFormat(2, 16, rate, 3));
}

using Seen = std::vector<std::string>;
} // namespace

TEST(Operations, ClassesAreTestedByInheritance) {
    auto start = StartAt(44100);
    EXPECT_TRUE(start->Is<TStartOperation>());
    EXPECT_TRUE(start->Is<TStartSampleRateOperation>());
    EXPECT_FALSE(start->Is<TStopOperation>());
    EXPECT_EQ(start->As<TStartRateOperation>()->Rate(), 44100.0f);
    EXPECT_EQ(start->As<TStartSampleRateOperation>()->SampleRate(), 44100.0);
    TEndStopOperation endStop;
    EXPECT_TRUE(endStop.Is<TStopOperation>());
    TSuppliedBufferOperation supplied{TAudioBuffer::Create(8000, 0, 1, 1, 16)};
    EXPECT_TRUE(supplied.Is<TClockOperation>());
    TPumpRequestOperation pump(nullptr, 1.0f, 0);
    EXPECT_EQ(pump.PumpType(), 3);
}

TEST(Pins, DeliversEveryOperationToEverySinkInOrder) {
    TRecorder source, a, b;
    a.Input.SetSourcePin(&source.Output);
    source.Output.Connect(b.Input);
    EXPECT_EQ(a.Input.SourcePin(), &source.Output);
    EXPECT_EQ(source.Output.SinkCount(), 2u);

    source.Output.Notify(StartAt(48000));
    source.Output.SendBuffer(TAudioBuffer::Create(48000, 0, 16, 2, 16));
    source.Output.SendEndStop();
    const Seen expected{"start 48000", "buffer 16", "end-stop"};
    EXPECT_EQ(a.Seen, expected);
    EXPECT_EQ(b.Seen, expected);
}

TEST(Pins, AudioPinsJoinOnlyAudioPins) {
    TRecorder source;
    TBoolSinkPin boolSink(&source);
    EXPECT_THROW(source.Output.Connect(boolSink), EPinException);
    EXPECT_EQ(source.Output.SinkCount(), 0u);
    EXPECT_EQ(boolSink.SourcePin(), nullptr);
}

TEST(Pins, LateSinkGetsTheStartAndARemovedSinkGetsOneStop) {
    TRecorder source, early, late, afterStop;
    source.Output.Connect(early.Input);
    source.Output.Notify(StartAt(44100));
    source.Output.SendBuffer(TAudioBuffer::Create(44100, 0, 8, 2, 16));

    source.Output.Connect(late.Input);
    EXPECT_EQ(late.Seen, (Seen{"start 44100"}));
    EXPECT_EQ(early.Seen.size(), 2u); // the replay went to the new sink alone

    late.Input.SetSourcePin(nullptr);
    EXPECT_EQ(late.Seen, (Seen{"start 44100", "stop"}));
    EXPECT_EQ(source.Output.SinkCount(), 1u);

    // After a stop the pin has nothing to replay.
    source.Output.SendStop();
    source.Output.Connect(afterStop.Input);
    EXPECT_TRUE(afterStop.Seen.empty());
}

TEST(Pins, FailingSinkDoesNotStopTheSenderNorStarveOtherSinks) {
    TRecorder source, failing, healthy;
    source.Output.Connect(failing.Input);
    source.Output.Connect(healthy.Input);
    failing.React = [](const TOperationPtr&) -> bool { throw std::runtime_error("device gone"); };

    for (int i = 0; i < 3; ++i)
        EXPECT_NO_THROW(source.Output.SendBuffer(TAudioBuffer::Create(8000, 0, 4, 1, 16)));
    EXPECT_EQ(healthy.Seen.size(), 3u);
    EXPECT_EQ(failing.Seen.size(), 3u);
    // Other deliveries report the failure to the caller.
    EXPECT_THROW(source.Output.SendStop(), std::runtime_error);
    failing.React = nullptr;
}

TEST(Pins, OperationThatReturnsToItsOwnPinIsStoppedAtTheNestingLimit) {
    TRecorder source, loop;
    source.Output.Connect(loop.Input);
    int depth = 0;
    loop.React = [&](const TOperationPtr& operation) {
        ++depth;
        source.Output.Notify(operation);
        return false;
    };
    try {
        source.Output.Notify(std::make_shared<TClockOperation>());
        FAIL() << "no exception";
    } catch (const EPinException& error) {
        EXPECT_STREQ(error.what(),
                     "The pin depends on itself. Please protect with functional dependency.");
    }
    EXPECT_EQ(depth, MaxPinNesting + 1);
    // Every level was uncounted on the way out: the pin still delivers.
    loop.React = nullptr;
    loop.Seen.clear();
    source.Output.SendStop();
    EXPECT_EQ(loop.Seen, (Seen{"stop"}));
}

TEST(Pins, SenderHoldsNoneOfItsLocksWhileDelivering) {
    TRecorder source, sink;
    source.Output.Connect(sink.Input);
    bool otherThreadGotTheLock = false;
    sink.React = [&](const TOperationPtr&) {
        otherThreadGotTheLock = std::async(std::launch::async, [&] {
                                    return TWriteLockSection(source.Lock()).Entered();
                                }).get();
        return false;
    };
    TWriteLockSection outer(source.Lock());
    TWriteLockSection inner(source.Lock());
    source.Output.SendStop();
    EXPECT_TRUE(otherThreadGotTheLock);
    EXPECT_TRUE(source.Lock().OwnedByCurrentThread());
}

TEST(Pins, SinksThatHandleOperationsMoveBehindTheOthers) {
    TRecorder source, busy, idle;
    source.Output.Connect(busy.Input);
    source.Output.Connect(idle.Input);
    busy.React = [](const TOperationPtr&) { return true; };

    source.Output.SendStop();
    auto connections = source.Output.Connections();
    ASSERT_EQ(connections.size(), 2u);
    EXPECT_EQ(connections[0].Sink, &idle.Input);
    EXPECT_EQ(connections[1].Sink, &busy.Input);
    EXPECT_EQ(connections[1].Weight, 3); // +4 for handling, -1 at the re-sort

    // A declared dependency wins over the weights.
    idle.Input.SetDependsOn(&busy.Input);
    source.Output.SendStop();
    connections = source.Output.Connections();
    EXPECT_EQ(connections[0].Sink, &busy.Input);
    EXPECT_EQ(connections[1].Sink, &idle.Input);
}

TEST(Pins, BoolStatePinDrivesABoolSink) {
    TRecorder owner;
    TBoolStatePin state(&owner);
    TBoolSinkPin sink(&owner);
    std::vector<bool> values;
    sink.OnValue = [&](bool value) { values.push_back(value); };
    state.Connect(sink);
    state.SetValue(true);
    state.SetValue(true);
    state.SetValue(false);
    EXPECT_EQ(values, (std::vector<bool>{true, false}));
    TRealRangedSourcePin level(&owner);
    level.SetValue(0.5, 0.0, 1.0);
    EXPECT_EQ(level.Value(), 0.5);
    EXPECT_EQ(level.Maximum(), 1.0);
    state.DisconnectAll();
}

TEST(AudioComponent, ErrorsBecomeExceptionsUnlessHandled) {
    EXPECT_EQ(FormatAudioError("Can't open audio device.", 2), "Can't open audio device. - 2 - 2");
    EXPECT_EQ(FormatAudioError("Can't restart audio device.", 4294967295u),
              "Can't restart audio device. - 4294967295 - ffffffff");

    TRecorder component;
    try {
        component.ReportError("Can't start audio device.", 26);
        FAIL() << "no exception";
    } catch (const EAudioException& error) {
        EXPECT_STREQ(error.what(), "Can't start audio device. - 26 - 1a");
    }
    std::string seen;
    component.OnError = [&](TAudioComponent*, const std::string& text, std::uint32_t,
                            bool& handled) {
        seen = text;
        handled = true;
    };
    EXPECT_NO_THROW(component.ReportError("Can't pause audio device.", 1));
    EXPECT_EQ(seen, "Can't pause audio device.");
    EXPECT_NO_THROW(component.ReportWarning("Can't get device capabilities.", 1));
}
