#include "equalizer/VUMeter.h"

#include "FilterTestSupport.h"
#include "WaitFor.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <mutex>
#include <numbers>
#include <thread>

namespace {

struct TStream {
    std::uint32_t Rate = 44100;
    unsigned Channels = 2;
    unsigned Bits = 16;
};

// A sample in signed units (0 is silence in every container) at a frame and channel.
using TSignal = std::function<double(std::uint64_t frame, unsigned channel)>;

// Frames [first, first + frames) of the signal, rounded and stored in the stream's container.
TAudioBuffer MakeSignal(const TStream& stream, std::uint64_t first, std::uint32_t frames,
                        const TSignal& signal) {
    TAudioBuffer buffer =
        TAudioBuffer::Create(stream.Rate, 0, frames, stream.Channels, stream.Bits);
    std::uint8_t* out = buffer.OverwriteData();
    const unsigned bytes = stream.Bits / 8;
    const double top = std::ldexp(1.0, int(stream.Bits) - 1);
    for (std::uint32_t frame = 0; frame < frames; ++frame)
        for (unsigned channel = 0; channel < stream.Channels; ++channel) {
            const double value =
                std::clamp(std::nearbyint(signal(first + frame, channel)), -top, top - 1);
            std::int64_t stored = std::int64_t(value);
            if (stream.Bits == 8)
                stored += 128;
            for (unsigned b = 0; b < bytes; ++b)
                *out++ = std::uint8_t(std::uint64_t(stored) >> (8 * b));
        }
    return buffer;
}

TSignal Sine(double rate, std::vector<double> amplitudes, std::vector<double> frequencies) {
    return [=](std::uint64_t frame, unsigned channel) {
        return amplitudes[channel] *
               std::sin(2 * std::numbers::pi * frequencies[channel] * double(frame) / rate);
    };
}

TSignal Constant(double value) {
    return [value](std::uint64_t, unsigned) { return value; };
}

struct TCall {
    int Channel;
    double Value, Min, Max;
    TAudioComponent* Sender;
    std::thread::id Thread;
};

// A source that sends like the capture, the meter on it, and every OnValueChange recorded.
// Buffers sent from the test's (GUI) thread are delivered before Send returns.
template <typename TMeter = TVUMeter> class TMeterRig {
public:
    explicit TMeterRig(TStream stream = {}) : Stream(stream) {
        Source.Output.Connect(Meter.InputPin());
        Meter.OnValueChange = [this](TAudioComponent* sender, int channel, double value,
                                     double minimum, double maximum) {
            Calls.push_back({channel, value, minimum, maximum, sender, std::this_thread::get_id()});
        };
    }
    void Start() { Source.Start(Stream.Rate, Stream.Channels, Stream.Bits); }
    void Send(std::uint32_t frames, const TSignal& signal) {
        Source.Output.SendBuffer(MakeSignal(Stream, Frame, frames, signal));
        Frame += frames;
    }
    std::vector<double> Values(int channel) const {
        std::vector<double> values;
        for (const TCall& call : Calls)
            if (call.Channel == channel)
                values.push_back(call.Value);
        return values;
    }
    std::size_t CallsOf(int channel) const { return Values(channel).size(); }

    TStream Stream;
    TTestSource Source;
    TMeter Meter;
    std::vector<TCall> Calls;
    std::uint64_t Frame = 0;
};

// The DC blocker's pole as the meter's definition gives it, kept in single precision.
double Pole(std::uint32_t rate) {
    return double(float(1.0L - 40.0L * std::numbers::pi_v<long double> / rate));
}

// |H(e^jw)| of y[n] = x[n-1] - x[n-2] + R y[n-1], from its transfer function
// H(z) = (z^-1 - z^-2) / (1 - R z^-1).
double Gain(double frequency, std::uint32_t rate) {
    const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * frequency / rate);
    return std::abs((z1 - z1 * z1) / (1.0 - Pole(rate) * z1));
}

// Every complete window's RMS of the DC-blocked signal, worked out over the whole signal in
// double precision (no buffers, no windows carried across calls).
std::vector<double> ReferenceWindows(const std::vector<double>& x, std::uint32_t window,
                                     std::uint32_t rate) {
    const double r = Pole(rate);
    std::vector<double> rms;
    double x1 = 0, x2 = 0, y1 = 0, sum = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double y = x1 - x2 + r * y1;
        x2 = x1;
        x1 = x[n];
        y1 = y;
        sum += y * y;
        if ((n + 1) % window == 0) {
            rms.push_back(std::sqrt(sum / window));
            sum = 0;
        }
    }
    return rms;
}

} // namespace

TEST(MeterMath, WindowIsPeriodTimesRateWithoutWrapping) {
    struct Case {
        std::uint32_t period, rate, frames;
    };
    const Case cases[] = {
        {100, 44100, 4410},
        {100, 48000, 4800},
        {100, 11025, 1102},
        {0, 44100, 1},
        {1, 999, 1},
        {50, 44100, 2205},
        // 32-bit arithmetic would wrap to 505032704 frames.
        {100000000, 48000, 2147483647},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MeterWindowFrames(c.period, c.rate), c.frames) << c.period << " ms " << c.rate;
}

TEST(MeterMath, ConvertsEveryContainerOneChannelAtATime) {
    // Two channels interleaved; channel 1 must be left out.
    struct Case {
        unsigned bits;
        std::vector<std::uint8_t> frames;
        std::vector<float> channel0;
    };
    const Case cases[] = {
        {8, {0, 9, 128, 9, 255, 9}, {0, 128, 255}},
        {16, {0xFF, 0x7F, 9, 9, 0x00, 0x80, 9, 9, 0xFF, 0xFF, 9, 9}, {32767, -32768, -1}},
        {24,
         {0xFF, 0xFF, 0x7F, 9, 9, 9, 0x00, 0x00, 0x80, 9, 9, 9,
          0xFF, 0xFF, 0xFF, 9, 9, 9, 0x01, 0x00, 0x00, 9, 9, 9},
         {8388607, -8388608, -1, 1}},
        {32,
         {0x00, 0x00, 0x00, 0x80, 9,    9,    9,    9,    0xFF, 0xFF, 0xFF, 0xFF,
          9,    9,    9,    9,    0x40, 0x42, 0x0F, 0x00, 9,    9,    9,    9},
         {-2147483648.0f, -1, 1000000}},
    };
    for (const Case& c : cases) {
        std::vector<float> out(c.channel0.size(), 12345.0f);
        ConvertMeterSamples(c.frames.data(), int(c.bits / 4), c.bits, out.data(), int(out.size()));
        EXPECT_EQ(out, c.channel0) << c.bits << " bits";
    }
}

// A sine of whole periods per window measures A / sqrt(2) scaled by the DC blocker's gain at
// its frequency, in every container, on each channel separately.
TEST(VUMeter, SineLevelMatchesAmplitudeAndFilterGain) {
    struct Case {
        TStream stream;
        double amplitude[2];
        double frequency[2];
    };
    const Case cases[] = {
        {{44100, 2, 16}, {20000, 5000}, {1000, 20}},
        {{48000, 2, 16}, {32767, 100}, {50, 10000}},
        {{44100, 2, 8}, {100, 127}, {1000, 30}},
        {{44100, 2, 24}, {-8000000, 3000000}, {440, 20}},
        {{8000, 2, 32}, {2.1e9, 1e6}, {1000, 3990}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.stream.Rate) + " Hz " + std::to_string(c.stream.Bits) +
                     " bits");
        TMeterRig rig(c.stream);
        rig.Start();
        const TSignal sine =
            Sine(c.stream.Rate, {c.amplitude[0], c.amplitude[1]}, {c.frequency[0], c.frequency[1]});
        // Five windows in buffers that do not divide one: the transient of the start is gone
        // by the last.
        const std::uint32_t window = c.stream.Rate / 10;
        while (rig.Frame <= 5 * window)
            rig.Send(1000, sine);
        const double fullScale = std::ldexp(1.0, int(c.stream.Bits) - 1) - 1;
        for (int channel = 0; channel < 2; ++channel) {
            const double expected = std::abs(c.amplitude[channel]) / std::sqrt(2.0) *
                                    Gain(c.frequency[channel], c.stream.Rate);
            // Single-precision sums, plus half a step of rounding in the samples.
            const double tolerance = expected * 3e-4 + 0.6;
            EXPECT_NEAR(rig.Meter.OutputPin(channel).Value(), expected, tolerance) << channel;
            ASSERT_FALSE(rig.Values(channel).empty());
            EXPECT_EQ(rig.Values(channel).back(), rig.Meter.OutputPin(channel).Value());
            EXPECT_EQ(rig.Meter.OutputPin(channel).Maximum(), fullScale);
        }
        for (const TCall& call : rig.Calls) {
            EXPECT_EQ(call.Min, 0.0);
            EXPECT_EQ(call.Max, fullScale);
            EXPECT_EQ(call.Sender, &rig.Meter);
        }
    }
}

// Buffers of every size relative to the window (one frame, just short of it, spanning two)
// give, after each buffer, the last window completed so far of the whole signal.
TEST(VUMeter, WindowsSpanBuffersAndOnlyTheLastOfACallIsDelivered) {
    TMeterRig rig;
    rig.Start();
    std::uint32_t seed = 12345;
    std::vector<double> left, right;
    const TSignal noisy = [&](std::uint64_t frame, unsigned channel) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = double(std::int32_t(seed >> 16) - 32768) / 4;
        const double value = std::nearbyint(
            channel == 0 ? noise + 3000 * std::sin(double(frame) / 50)
                         : noise * (1 + double(frame) / 20000) - 2000); // rising, with an offset
        (channel == 0 ? left : right).push_back(value);
        return value;
    };
    const std::uint32_t window = 4410;
    const std::uint32_t sizes[] = {1, 4408, 1, 1, 2, 1000, 9000, 4410, 4409, 3, 13231, 7, 5000};
    std::vector<double> expectedLeft, expectedRight;
    std::size_t lastWindows = 0;
    for (std::uint32_t size : sizes) {
        const std::size_t callsBefore = rig.Calls.size();
        rig.Send(size, noisy);
        const std::size_t windows = std::size_t((rig.Frame - 1) / window);
        if (windows == lastWindows) {
            EXPECT_EQ(rig.Calls.size(), callsBefore) << "after " << rig.Frame << " frames";
            continue;
        }
        lastWindows = windows;
        const std::vector<double> refLeft = ReferenceWindows(left, window, 44100);
        const std::vector<double> refRight = ReferenceWindows(right, window, 44100);
        ASSERT_EQ(refLeft.size(), windows);
        // One call per channel however many windows the buffer completed.
        ASSERT_EQ(rig.Calls.size(), callsBefore + 2) << "after " << rig.Frame << " frames";
        EXPECT_NEAR(rig.Calls[callsBefore].Value, refLeft.back(), refLeft.back() * 1e-4);
        EXPECT_NEAR(rig.Calls[callsBefore + 1].Value, refRight.back(), refRight.back() * 1e-4);
        EXPECT_EQ(rig.Calls[callsBefore].Channel, 0);
        EXPECT_EQ(rig.Calls[callsBefore + 1].Channel, 1);
    }
    EXPECT_EQ(lastWindows, 9u);
}

TEST(VUMeter, WindowCompletesOnlyWithMoreFramesThanItsLength) {
    TMeterRig rig;
    rig.Start();
    const TSignal sine = Sine(44100, {10000, 10000}, {1000, 1000});
    ASSERT_EQ(rig.Meter.WindowFrames(), 4410u);
    rig.Send(4000, sine);
    rig.Send(410, sine);
    EXPECT_TRUE(rig.Calls.empty()) << "exactly one window's frames";
    rig.Send(1, sine);
    EXPECT_EQ(rig.CallsOf(0), 1u);
    EXPECT_EQ(rig.CallsOf(1), 1u);

    // A capture of 1024-frame buffers: the first value comes with the fifth buffer, the next
    // with the ninth.
    TMeterRig capture;
    capture.Start();
    for (int buffer = 1; buffer <= 9; ++buffer) {
        capture.Send(1024, sine);
        const std::size_t expected = buffer < 5 ? 0 : buffer < 9 ? 1 : 2;
        EXPECT_EQ(capture.CallsOf(0), expected) << "buffer " << buffer;
    }
}

TEST(VUMeter, SilenceRaisesNoEvent) {
    for (unsigned bits : {8u, 16u, 24u, 32u}) {
        TMeterRig rig({44100, 2, bits});
        rig.Start();
        for (int i = 0; i < 3; ++i)
            rig.Send(4410, Constant(0));
        if (bits == 8) {
            // 8-bit silence is 128: only the start's step reaches the filter, then nothing.
            EXPECT_LE(rig.Calls.size(), 6u);
            EXPECT_LT(rig.Meter.OutputPin(0).Value(), 0.01);
        } else {
            EXPECT_TRUE(rig.Calls.empty()) << bits << " bits";
            EXPECT_EQ(rig.Meter.OutputPin(0).Value(), 0.0);
        }
    }
}

// A constant input (8-bit silence included) is a step at the start of the stream; the filter
// lets it through at first and then removes it.
TEST(VUMeter, DirectCurrentDecaysTowardsZero) {
    struct Case {
        unsigned bits;
        double value;
    };
    const Case cases[] = {{16, 1000}, {16, -32768}, {8, 0}, {24, -300000}, {32, 1e9}};
    for (const Case& c : cases) {
        TMeterRig rig({44100, 1, c.bits});
        rig.Start();
        for (int i = 0; i < 4; ++i)
            rig.Send(4410, Constant(c.value));
        rig.Send(1, Constant(c.value));
        const std::vector<double> values = rig.Values(0);
        ASSERT_GE(values.size(), 2u) << c.bits << " bits " << c.value;
        const double step = std::abs(c.value + (c.bits == 8 ? 128 : 0));
        // The first window holds the whole decay of the step: step * sqrt(1/(1-R^2)/window).
        const double r = Pole(44100);
        EXPECT_NEAR(values[0], step * std::sqrt(1 / (1 - r * r) / 4410), step * 1e-3);
        for (std::size_t i = 1; i < values.size(); ++i)
            EXPECT_LT(values[i], values[i - 1] * 1e-4);
        EXPECT_LT(rig.Meter.OutputPin(0).Value(), step * 1e-8);
    }
}

TEST(VUMeter, OnlyStreamChannelsThatAreReportedAreMetered) {
    // A mono stream: the second value pin stays untouched.
    TMeterRig mono({44100, 1, 16});
    mono.Start();
    EXPECT_EQ(mono.Meter.MeteredChannels(), 1);
    mono.Send(4411, Sine(44100, {10000}, {1000}));
    mono.Send(4410, Sine(44100, {10000}, {1000}));
    EXPECT_EQ(mono.CallsOf(0), 2u);
    EXPECT_EQ(mono.CallsOf(1), 0u);
    EXPECT_EQ(mono.Meter.OutputPin(1).Value(), 0.0);

    // A stereo stream reported as one channel.
    TMeterRig stereo;
    stereo.Meter.SetCountChannels(1);
    stereo.Start();
    stereo.Send(4411, Sine(44100, {10000, 20000}, {1000, 1000}));
    stereo.Send(4410, Sine(44100, {10000, 20000}, {1000, 1000}));
    EXPECT_EQ(stereo.Meter.OutputPinCount(), 1);
    EXPECT_EQ(stereo.CallsOf(0), 2u);
    EXPECT_EQ(stereo.Calls.size(), 2u);
}

TEST(VUMeter, CountChannelsIsClampedAndMayShrinkMidStream) {
    TVUMeter meter;
    for (auto [set, stored] : {std::pair{0, 1}, {40, 32}, {-5, 1}, {3, 3}, {2, 2}}) {
        meter.SetCountChannels(set);
        EXPECT_EQ(meter.CountChannels(), stored) << set;
        EXPECT_EQ(meter.OutputPinCount(), stored) << set;
    }

    TMeterRig rig;
    rig.Start();
    const TSignal sine = Sine(44100, {10000, 20000}, {1000, 1000});
    rig.Send(4411, sine);
    ASSERT_EQ(rig.Calls.size(), 2u);
    rig.Meter.SetCountChannels(1);
    EXPECT_EQ(rig.Meter.MeteredChannels(), 1);
    rig.Send(4410, sine);
    ASSERT_EQ(rig.Calls.size(), 3u);
    EXPECT_EQ(rig.Calls[2].Channel, 0);
    rig.Meter.SetCountChannels(4);
    EXPECT_EQ(rig.Meter.MeteredChannels(), 2);
    EXPECT_EQ(rig.Meter.OutputPinCount(), 4);
    rig.Send(4410, Sine(44100, {5000, 5000}, {1000, 1000}));
    // Both channels again; the second pin is a new one, starting at 0.
    ASSERT_EQ(rig.Calls.size(), 5u);
    EXPECT_EQ(rig.Calls[3].Channel, 0);
    EXPECT_EQ(rig.Calls[4].Channel, 1);
}

TEST(VUMeter, PeriodSetsTheWindowAndAStartForgetsQueuedFrames) {
    TMeterRig rig;
    rig.Start();
    const TSignal sine = Sine(44100, {10000, 10000}, {1000, 1000});
    rig.Send(2000, sine);
    rig.Meter.SetPeriod(50);
    EXPECT_EQ(rig.Meter.WindowFrames(), 2205u);
    rig.Send(205, sine);
    EXPECT_TRUE(rig.Calls.empty());
    rig.Send(1, sine);
    EXPECT_EQ(rig.CallsOf(0), 1u);

    // A stop keeps the values; a new start drops the frames still queued.
    const double shown = rig.Meter.OutputPin(0).Value();
    rig.Send(2000, sine);
    rig.Source.Output.SendEndStop();
    EXPECT_EQ(rig.Meter.OutputPin(0).Value(), shown);
    rig.Start();
    EXPECT_EQ(rig.Meter.Queue().Total(), 0u);
    rig.Send(2205, sine);
    EXPECT_EQ(rig.CallsOf(0), 1u);
}

TEST(VUMeter, BufferThatDoesNotMatchTheStreamIsIgnored) {
    TMeterRig rig;
    rig.Start();
    TAudioBuffer mono = MakeSignal({44100, 1, 16}, 0, 10000, Constant(1000));
    rig.Source.Output.SendBuffer(mono);
    TAudioBuffer wide = MakeSignal({44100, 2, 32}, 0, 10000, Constant(1000));
    rig.Source.Output.SendBuffer(wide);
    EXPECT_EQ(rig.Meter.Queue().Total(), 0u);
    EXPECT_TRUE(rig.Calls.empty());

    // Before any start there is nothing to measure with.
    TMeterRig idle;
    idle.Send(10000, Constant(1000));
    EXPECT_TRUE(idle.Calls.empty());
}

namespace {
// A meter whose "measure" is a script: each buffer publishes the next row of values.
class TScriptedMeter : public TCommonMeter {
public:
    ~TScriptedMeter() override { Shutdown(); }
    std::deque<std::vector<double>> Script;

protected:
    void StartMeasure(const TWaveFormatExtensible&) override {}
    bool MeasureBuffer(const TAudioBuffer&, std::vector<double>& values) override {
        if (Script.empty())
            return false;
        values = Script.front();
        Script.pop_front();
        return true;
    }
};
} // namespace

TEST(CommonMeter, OnlyValuesThatChangeInSinglePrecisionAreDelivered) {
    TMeterRig<TScriptedMeter> rig;
    rig.Meter.Script = {{5, 1}, {5, 2}, {7, 2}, {7.0000001, 2.5}, {0, 0}, {0, 0}};
    rig.Start();
    for (int i = 0; i < 6; ++i)
        rig.Send(1, Constant(0));
    EXPECT_EQ(rig.Values(0), (std::vector<double>{5, 7, 0}));
    EXPECT_EQ(rig.Values(1), (std::vector<double>{1, 2, 2.5, 0}));
    EXPECT_EQ(rig.Meter.OutputPin(0).Value(), 0.0);
}

TEST(CommonMeter, ResultsFromAnotherThreadCoalesceOnTheGuiThread) {
    TMeterRig<TScriptedMeter> rig;
    rig.Meter.Script = {{1, 10}, {2, 20}, {3, 30}};
    rig.Start();
    std::thread capture([&] {
        for (int i = 0; i < 3; ++i)
            rig.Send(1, Constant(0));
    });
    capture.join();
    EXPECT_TRUE(rig.Calls.empty()) << "delivered only on the GUI thread";
    RunEvents();
    EXPECT_EQ(rig.Values(0), (std::vector<double>{3}));
    EXPECT_EQ(rig.Values(1), (std::vector<double>{30}));
    for (const TCall& call : rig.Calls)
        EXPECT_EQ(call.Thread, std::this_thread::get_id());
}

namespace {
// A second sink behind the meter: buffers up to a number (counted from 1) pass, a later one
// holds the sending thread until it is allowed. It returns true, so it stays behind the meter
// in the source's order of delivery.
class TGateSink : public TAudioComponent {
public:
    TAudioSinkPin Input{this};
    TGateSink() {
        Input.OnOperation = [this](const TOperationPtr& operation) { return Pass(operation); };
    }
    ~TGateSink() override {
        Allow(std::numeric_limits<int>::max());
        Input.SetSourcePin(nullptr);
    }
    void Allow(int count) {
        std::lock_guard guard(FLock);
        FAllowed = count;
        FChanged.notify_all();
    }
    int Arrived() const {
        std::lock_guard guard(FLock);
        return FArrived;
    }

private:
    bool Pass(const TOperationPtr& operation) {
        if (!operation->Is<TSuppliedBufferOperation>())
            return true;
        std::unique_lock guard(FLock);
        const int number = ++FArrived;
        FChanged.wait(guard, [&] { return number <= FAllowed; });
        return true;
    }

    mutable std::mutex FLock;
    std::condition_variable FChanged;
    int FArrived = 0;
    int FAllowed = std::numeric_limits<int>::max();
};
} // namespace

// The GUI thread destroys the meter while the capture thread is measuring a buffer in it: the
// destruction waits for that buffer, the capture goes on with its other sink, and a value
// signalled just before does not arrive for the meter that is gone.
TEST(VUMeter, SurvivesDestructionWhileTheCaptureMeasures) {
    TTestSource source;
    auto meter = std::make_unique<TVUMeter>();
    TGateSink gate;
    std::atomic<int> calls{0};
    std::atomic<bool> wrongThread{false};
    const std::thread::id gui = std::this_thread::get_id();
    meter->OnValueChange = [&](TAudioComponent*, int, double, double, double) {
        ++calls;
        if (std::this_thread::get_id() != gui)
            wrongThread = true;
    };
    source.Output.Connect(meter->InputPin());
    source.Output.Connect(gate.Input);
    source.Start();
    // One second of sound per buffer: ten windows, so the capture spends its time measuring.
    const TAudioBuffer second = MakeSignal({}, 0, 44100, Sine(44100, {10000, 8000}, {1000, 300}));
    std::atomic<bool> running{true};
    std::thread capture([&] {
        while (running)
            source.Output.SendBuffer(second);
    });
    EXPECT_TRUE(WaitFor([&] { return calls >= 2; }));

    // Catch the capture holding the meter's lock, with the buffer it measures held at the
    // gate afterwards (so that its next delivery starts only once the meter is gone).
    bool measuring = false;
    for (int tries = 0; tries < 100000 && !measuring; ++tries) {
        gate.Allow(gate.Arrived());
        measuring = !meter->Lock().EnterWithin(std::chrono::milliseconds(0));
        if (!measuring) {
            meter->Lock().Leave();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    ASSERT_TRUE(measuring);
    meter.reset();
    const int atDestruction = calls;
    const int arrived = gate.Arrived();
    gate.Allow(std::numeric_limits<int>::max());
    EXPECT_TRUE(WaitFor([&] { return gate.Arrived() > arrived + 2; }));
    running = false;
    capture.join();
    RunEvents();
    EXPECT_EQ(calls, atDestruction);
    EXPECT_FALSE(wrongThread);
    EXPECT_EQ(source.Output.SinkCount(), 1u);
}
