#include "equalizer/SignalPrimitives.h"

#include "data/EqualizerReference.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

using namespace SignalPrimitives;

namespace {
// The window kinds as numbered in the reference data.
void ApplyReferenceWindow(int type, double alpha, std::vector<double>& taps) {
    const int n = int(taps.size());
    switch (type) {
    case 1:
        return WinBartlettInPlace(taps.data(), n);
    case 2:
        return WinBlackmanInPlace(taps.data(), n, alpha);
    case 3:
        return WinHammingInPlace(taps.data(), n);
    case 4:
        return WinHannInPlace(taps.data(), n);
    case 5:
        return WinKaiserInPlace(taps.data(), n, float(alpha));
    default:
        FAIL() << "unknown window " << type;
    }
}
} // namespace

TEST(SignalPrimitives, WindowsMatchTheIndependentReference) {
    const auto& windows = EqualizerReference().Windows;
    ASSERT_GE(windows.size(), 40u);
    for (const TReferenceWindow& window : windows) {
        SCOPED_TRACE(testing::Message() << "window " << window.Type << ", n " << window.N
                                        << ", alpha " << window.Alpha);
        // Ones show the factors themselves; a second pass over other values shows that the
        // taps are multiplied, not replaced.
        std::vector<double> taps(std::size_t(window.N), 1.0);
        ApplyReferenceWindow(window.Type, window.Alpha, taps);
        for (std::size_t i = 0; i < taps.size(); ++i)
            EXPECT_NEAR(taps[i], window.Values[i], 1e-14) << "tap " << i;
        std::vector<double> scaled(std::size_t(window.N), -3.0);
        ApplyReferenceWindow(window.Type, window.Alpha, scaled);
        for (std::size_t i = 0; i < scaled.size(); ++i)
            EXPECT_NEAR(scaled[i], -3.0 * window.Values[i], 3e-14) << "tap " << i;
    }
}

TEST(SignalPrimitives, BesselI0MatchesTheReferenceIncludingLargeArguments) {
    const auto& values = EqualizerReference().I0;
    ASSERT_GE(values.size(), 5u);
    for (const TReferenceI0& value : values) {
        EXPECT_NEAR(BesselI0(value.X) / value.Value, 1.0, 1e-13) << "x " << value.X;
        EXPECT_EQ(BesselI0(-value.X), BesselI0(value.X)) << "x " << value.X;
    }
}

TEST(SignalPrimitives, DivConstMultipliesByTheReciprocalAndRefusesZero) {
    std::vector<double> v = {5.0, -7.0, 1.0};
    const std::vector<double> before = v;
    EXPECT_FALSE(DivConstInPlace(0.0, v.data(), 3));
    EXPECT_EQ(v, before);

    EXPECT_TRUE(DivConstInPlace(3.0, v.data(), 3));
    const double reciprocal = 1.0 / 3.0;
    EXPECT_EQ(v, (std::vector<double>{5.0 * reciprocal, -7.0 * reciprocal, reciprocal}));
    EXPECT_NE(v[0], 5.0 / 3.0); // the quotient itself rounds differently
}

TEST(SignalPrimitives, VectorOperations) {
    std::vector<double> v = {1.5, -2.0, 4.0};
    MulConstInPlace(-2.0, v.data(), 3);
    EXPECT_EQ(v, (std::vector<double>{-3.0, 4.0, -8.0}));
    const std::vector<double> add = {1.0, 1.0, 0.5};
    AddInPlace(add.data(), v.data(), 3);
    EXPECT_EQ(v, (std::vector<double>{-2.0, 5.0, -7.5}));
    std::vector<double> copy(3, 0.0);
    CopyDoubles(v.data(), copy.data(), 3);
    EXPECT_EQ(copy, v);
}

TEST(SignalPrimitives, FirOneIsTheDirectConvolutionInTapOrder) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    const int n = 41;
    std::vector<double> taps(static_cast<std::size_t>(n));
    std::vector<double> earlier(static_cast<std::size_t>(n - 1));
    for (double& tap : taps)
        tap = value(random);
    for (double& x : earlier)
        x = 30000.0 * value(random);
    for (bool withDelay : {false, true}) {
        SCOPED_TRACE(withDelay ? "delay line given" : "delay line of zeros");
        // x: the earlier inputs (oldest first, or zeros), then the new ones.
        std::vector<double> x = withDelay ? earlier : std::vector<double>(earlier.size(), 0.0);
        TFirState* state = FirInitAlloc(taps.data(), n, withDelay ? earlier.data() : nullptr);
        ASSERT_NE(state, nullptr);
        for (int t = 0; t < 100; ++t) {
            x.push_back(30000.0 * value(random));
            double y = 0.0;
            FirOne(x.back(), y, *state);
            double expected = 0.0;
            for (int k = 0; k < n; ++k)
                expected += taps[std::size_t(k)] * x[x.size() - 1 - std::size_t(k)];
            ASSERT_EQ(y, expected) << "t " << t;
        }
        FirFree(state);
    }
}

TEST(SignalPrimitives, IirFollowsItsRecurrenceAcrossBlocks) {
    const float zeroA0[6] = {1, 0, 0, 0, 0, 0};
    EXPECT_EQ(IirInitAlloc(zeroA0), nullptr);

    // y[n] = x[n] + 0.5 y[n-1], given with a0 = 2 (every tap doubled).
    const float taps[6] = {2, 0, 0, 2, -1, 0};
    TIirState* state = IirInitAlloc(taps);
    ASSERT_NE(state, nullptr);
    std::vector<float> block = {1, 0, 0};
    IirInPlace(block.data(), 3, *state);
    EXPECT_EQ(block, (std::vector<float>{1.0f, 0.5f, 0.25f}));
    block = {0, 4};
    IirInPlace(block.data(), 2, *state); // the history carries over
    EXPECT_EQ(block, (std::vector<float>{0.125f, 4.0625f}));
    IirFree(state);

    // Second-order terms: y[n] = x[n] - x[n-2] + 0.25 y[n-2].
    const float second[6] = {1, 0, -1, 1, 0, -0.25f};
    state = IirInitAlloc(second);
    block = {1, 0, 0, 0, 0};
    IirInPlace(block.data(), 5, *state);
    EXPECT_EQ(block, (std::vector<float>{1.0f, 0.0f, -0.75f, 0.0f, -0.1875f}));
    IirFree(state);
}

TEST(SignalPrimitives, SquareSumAndConversions) {
    std::vector<float> block = {-3.0f, 0.5f, 2.0f};
    SqrInPlace(block.data(), 3);
    EXPECT_EQ(block, (std::vector<float>{9.0f, 0.25f, 4.0f}));
    const float ordered[3] = {1e8f, 1.0f, -1e8f}; // in index order the 1 is lost
    EXPECT_EQ(SumFloats(ordered, 3), 0.0f);
    EXPECT_EQ(SumFloats(block.data(), 3), 13.25f);

    const std::uint8_t bytes[6] = {0, 10, 128, 20, 255, 30};
    float target[3];
    ConvertU8ToFloat(bytes, 2, target, 3); // every second byte: one channel of two
    EXPECT_EQ(std::vector<float>(target, target + 3), (std::vector<float>{0, 128, 255}));

    const std::int16_t words[4] = {-32768, 1, 32767, -2};
    std::uint8_t raw[sizeof words];
    std::memcpy(raw, words, sizeof words);
    ConvertS16ToFloat(raw, 4, target, 2);
    EXPECT_EQ(std::vector<float>(target, target + 2), (std::vector<float>{-32768, 32767}));
    ConvertS16ToFloat(raw + 2, 4, target, 2);
    EXPECT_EQ(std::vector<float>(target, target + 2), (std::vector<float>{1, -2}));
}
