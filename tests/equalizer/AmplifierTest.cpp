#include "equalizer/Amplifier.h"

#include "FilterTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {
std::vector<std::uint8_t> Scaled(const std::vector<std::uint8_t>& bytes, unsigned bits, double x) {
    std::vector<std::uint8_t> out(bytes.size());
    ScaleSamples(bytes.data(), out.data(), bytes.size() / (bits / 8), bits, x);
    return out;
}

template <typename T> std::vector<std::uint8_t> Bytes(std::initializer_list<T> values) {
    std::vector<std::uint8_t> bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.begin(), bytes.size());
    return bytes;
}

std::vector<std::uint8_t> Bytes24(std::initializer_list<std::int32_t> values) {
    std::vector<std::uint8_t> bytes;
    for (std::int32_t v : values)
        for (int shift : {0, 8, 16})
            bytes.push_back(std::uint8_t(v >> shift));
    return bytes;
}
} // namespace

TEST(ScaleSamples, RoundsToNearestEvenInEveryContainer) {
    struct Case {
        const char* name;
        unsigned bits;
        double x;
        std::vector<std::uint8_t> in, out;
    };
    const Case cases[] = {
        {"16-bit half", 16, 0.5, Bytes<std::int16_t>({3, -3, 5, -5}),
         Bytes<std::int16_t>({2, -2, 2, -2})},
        {"16-bit extremes", 16, 0.5, Bytes<std::int16_t>({32767, -32768, 1, -1}),
         Bytes<std::int16_t>({16384, -16384, 0, 0})},
        {"16-bit zero", 16, 0.0, Bytes<std::int16_t>({1234, -32768}), Bytes<std::int16_t>({0, 0})},
        {"16-bit saturates", 16, 2.0, Bytes<std::int16_t>({20000, -20000}),
         Bytes<std::int16_t>({32767, -32768})},
        {"24-bit half", 24, 0.5, Bytes24({3, -3, 8388607, -8388608}),
         Bytes24({2, -2, 4194304, -4194304})},
        {"24-bit tenth", 24, 0.1, Bytes24({1000000, -1000005}), Bytes24({100000, -100000})},
        {"32-bit half", 32, 0.5, Bytes<std::int32_t>({3, -3, 2147483647, -2147483647 - 1}),
         Bytes<std::int32_t>({2, -2, 1073741824, -1073741824})},
        {"8-bit around silence", 8, 0.5, {131, 125, 128, 255, 0}, {130, 126, 128, 192, 64}},
        {"8-bit zero is silence", 8, 0.0, {0, 255}, {128, 128}},
        {"infinite gain saturates", 16, HUGE_VAL, Bytes<std::int16_t>({0, 5, -5}),
         Bytes<std::int16_t>({0, 32767, -32768})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Scaled(c.in, c.bits, c.x), c.out) << c.name;
}

namespace {
// A capture-like source feeding the amplifier and a meter-like second sink.
class AmplifierTest : public ::testing::Test {
protected:
    AmplifierTest() {
        Capture.Output.Connect(Amplifier.InputPin());
        Capture.Output.Connect(Meter.Input);
        Amplifier.OutputPin().Connect(Next.Input);
        Capture.Start();
    }
    TTestSource Capture;
    TAmplifier Amplifier;
    TTestSink Meter;
    TTestSink Next;
};
} // namespace

TEST_F(AmplifierTest, ScalesItsOwnCopyAndLeavesTheCapturedBufferAlone) {
    for (double x : {0.5, 0.0}) {
        SCOPED_TRACE(x);
        Amplifier.SetCoefficient(x);
        TAudioBuffer captured = MakeBuffer(2, 3); // 3, 4, 5, 6
        Capture.Output.SendBuffer(captured);
        const TAudioBuffer& amplified = *Next.Buffers().back();
        const TAudioBuffer& metered = *Meter.Buffers().back();
        EXPECT_FALSE(amplified.SharesDataWith(captured));
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(Sample16(amplified, i), std::int16_t(std::nearbyint(x * double(3 + i))));
            EXPECT_EQ(Sample16(metered, i), 3 + std::int16_t(i));
            EXPECT_EQ(Sample16(captured, i), 3 + std::int16_t(i));
        }
    }
}

TEST_F(AmplifierTest, UnityCoefficientSharesTheCapturedSamples) {
    TAudioBuffer captured = MakeBuffer(1024);
    Capture.Output.SendBuffer(captured);
    EXPECT_TRUE(Next.Buffers().back()->SharesDataWith(captured));
}

TEST_F(AmplifierTest, CoefficientBelowZeroIsStoredAsZero) {
    EXPECT_EQ(Amplifier.Coefficient(), 1.0);
    Amplifier.SetCoefficient(-0.25);
    EXPECT_EQ(Amplifier.Coefficient(), 0.0);
    Amplifier.SetCoefficient(0.75);
    Amplifier.SetCoefficient(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(Amplifier.Coefficient(), 0.0);
}

TEST_F(AmplifierTest, TwentyFourBitStreamScalesThreeByteSamples) {
    Amplifier.SetCoefficient(0.5);
    TAudioBuffer captured = TAudioBuffer::Create(48000, 0, 1, 2, 24);
    const auto in = Bytes24({-5, 7});
    std::memcpy(captured.OverwriteData(), in.data(), in.size());
    Capture.Output.SendBuffer(captured);
    const TAudioBuffer& amplified = *Next.Buffers().back();
    const auto expected = Bytes24({-2, 4});
    EXPECT_EQ(std::vector<std::uint8_t>(amplified.RawData(), amplified.RawData() + 6), expected);
}
