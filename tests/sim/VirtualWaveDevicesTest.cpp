#include "sim/VirtualWaveDevices.h"

#include "SimSoundTestSupport.h"
#include "sim/BandPlan.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

void Command(TVirtualTuner& tuner, char letter, int argument) {
    QByteArray report(65, '\0');
    report[1] = letter;
    report[2] = char(argument);
    tuner.HandleOutput(report);
}

std::shared_ptr<TVirtualTuner> TunerOnTestStation() {
    auto tuner = std::make_shared<TVirtualTuner>(TSimChip::RDA5807M);
    Command(*tuner, 'P', 1);
    Command(*tuner, 'F', 0); // 88.0
    return tuner;
}

double Rms(const TWaveFormat& format, const std::vector<std::uint8_t>& data) {
    double squares = 0;
    const std::size_t frames = data.size() / format.BlockAlign;
    for (std::size_t f = 0; f < frames; ++f)
        for (unsigned ch = 0; ch < format.Channels; ++ch)
            squares += std::pow(SampleAt(format, data.data(), f, ch), 2);
    return std::sqrt(squares / double(frames * format.Channels));
}

double Milliseconds(steady_clock::duration d) {
    return duration<double, std::milli>(d).count();
}

// The headers of entries, by their index in the buffer set.
std::vector<std::intptr_t> Order(const std::vector<TCallbackLog::TEntry>& entries) {
    std::vector<std::intptr_t> order;
    for (const auto& e : entries)
        order.push_back(e.Header ? reinterpret_cast<std::intptr_t>(e.Header->User) : -1);
    return order;
}

const TWaveFormat kStereo16 = MakeFormat(2, 48000, 16);

} // namespace

TEST(VirtualLineIn, PacesEachBufferByItsAbsoluteDeadline) {
    const struct {
        double ClockRate;
        std::size_t Frames;
        std::size_t Buffers;
    } cases[] = {{1.0, 480, 10}, {20.0, 1024, 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ClockRate);
        TCallbackLog log;
        TTestBuffers buffers(c.Buffers, c.Frames * kStereo16.BlockAlign);
        TVirtualLineIn in(kStereo16, log.Callback(), TunerOnTestStation(), c.ClockRate);
        for (auto& header : buffers.Headers)
            ASSERT_EQ(in.AddBuffer(&header), WaveNoError);
        const auto start = steady_clock::now();
        ASSERT_EQ(in.Start(), WaveNoError);
        ASSERT_TRUE(log.WaitFor(c.Buffers));
        const auto entries = log.Entries();
        const double periodMs = 1000.0 * double(c.Frames) / 48000 / c.ClockRate;
        for (std::size_t k = 0; k < entries.size(); ++k) {
            EXPECT_EQ(entries[k].Message, TWaveMessage::Data);
            EXPECT_EQ(entries[k].Header, &buffers.Headers[k]);
            EXPECT_EQ(entries[k].BytesRecorded, buffers.Headers[k].BufferLength);
            // Never early: buffer k is due k + 1 periods after Start.
            EXPECT_GE(Milliseconds(entries[k].Time - start), 0.99 * double(k + 1) * periodMs);
        }
        EXPECT_LT(Milliseconds(entries.back().Time - start), double(c.Buffers) * periodMs + 500);
    }
}

TEST(VirtualLineIn, CarriesWhatTheTunerPlaysWhenTheBufferIsFilled) {
    auto tuner = TunerOnTestStation();
    TCallbackLog log;
    TTestBuffers buffers(2, 4800 * kStereo16.BlockAlign);
    TVirtualLineIn in(kStereo16, log.Callback(), tuner, 10.0);
    ASSERT_EQ(in.AddBuffer(&buffers.Headers[0]), WaveNoError);
    ASSERT_EQ(in.Start(), WaveNoError);
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_NEAR(Rms(kStereo16, buffers.Data[0]), 0.1, 0.01);

    Command(*tuner, 'M', 1);
    ASSERT_EQ(in.AddBuffer(&buffers.Headers[1]), WaveNoError);
    ASSERT_TRUE(log.WaitFor(2));
    EXPECT_EQ(std::count(buffers.Data[1].begin(), buffers.Data[1].end(), 0),
              std::ptrdiff_t(buffers.Data[1].size()));
}

TEST(VirtualLineIn, StartResetAndCloseFollowTheDeviceModel) {
    TCallbackLog log;
    const std::size_t frames = 4800; // 100 ms
    TTestBuffers buffers(5, frames * kStereo16.BlockAlign);
    TVirtualLineIn in(kStereo16, log.Callback(), TunerOnTestStation());
    for (auto& header : buffers.Headers)
        ASSERT_EQ(in.AddBuffer(&header), WaveNoError);
    EXPECT_EQ(in.Pause(), WaveErrorNotSupported);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(log.Count(), 0u) << "nothing is recorded before Start";

    ASSERT_EQ(in.Start(), WaveNoError);
    ASSERT_TRUE(log.WaitFor(1));
    ASSERT_EQ(in.Reset(), WaveNoError);
    auto entries = log.Entries();
    ASSERT_EQ(Order(entries), (std::vector<std::intptr_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(entries[0].BytesRecorded, buffers.Headers[0].BufferLength);
    EXPECT_LT(entries[1].BytesRecorded, buffers.Headers[1].BufferLength); // partly filled
    EXPECT_EQ(entries[1].BytesRecorded % kStereo16.BlockAlign, 0u);
    for (std::size_t k = 2; k < 5; ++k)
        EXPECT_EQ(entries[k].BytesRecorded, 0u);

    // Stopped, still open: a new Start records again.
    ASSERT_EQ(in.AddBuffer(&buffers.Headers[0]), WaveNoError);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(log.Count(), 5u);
    ASSERT_EQ(in.Start(), WaveNoError);
    ASSERT_TRUE(log.WaitFor(6));

    ASSERT_EQ(in.AddBuffer(&buffers.Headers[1]), WaveNoError);
    ASSERT_EQ(in.Close(), WaveNoError);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(log.Count(), 6u) << "a held buffer is never touched after Close";
    EXPECT_EQ(in.AddBuffer(&buffers.Headers[2]), WaveErrorInvalidHandle);
    EXPECT_EQ(in.Start(), WaveErrorInvalidHandle);
    EXPECT_EQ(in.Pause(), WaveErrorInvalidHandle);
    EXPECT_EQ(in.Reset(), WaveErrorInvalidHandle);
    EXPECT_EQ(in.Close(), WaveErrorInvalidHandle);
}

TEST(VirtualLineIn, LateBufferCatchesUpWithinTheRingAndSoundBeyondItIsLost) {
    const std::size_t frames = 2400; // 50 ms; the ring holds 400 ms
    const struct {
        milliseconds Late;
        bool Immediate;
    } cases[] = {{120ms, true}, {600ms, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Late.count());
        TCallbackLog log;
        TTestBuffers buffers(1, frames * kStereo16.BlockAlign);
        TVirtualLineIn in(kStereo16, log.Callback(), TunerOnTestStation());
        ASSERT_EQ(in.Start(), WaveNoError);
        std::this_thread::sleep_for(c.Late);
        const auto added = steady_clock::now();
        ASSERT_EQ(in.AddBuffer(&buffers.Headers[0]), WaveNoError);
        ASSERT_TRUE(log.WaitFor(1));
        const double waited = Milliseconds(log.Entries()[0].Time - added);
        if (c.Immediate)
            EXPECT_LT(waited, 40);
        else
            EXPECT_GE(waited, 45);
    }
}

TEST(VirtualLineOut, RingTakesFourWhilePausedThenPlaysInOrderAndRunsDry) {
    TCallbackLog log;
    const std::size_t frames = 1024;
    TTestBuffers buffers(6, frames * kStereo16.BlockAlign);
    TVirtualLineOut out(kStereo16, log.Callback(), nullptr, 10.0);
    ASSERT_EQ(out.Pause(), WaveNoError);
    for (auto& header : buffers.Headers)
        ASSERT_EQ(out.AddBuffer(&header), WaveNoError);
    ASSERT_TRUE(log.WaitFor(4));
    std::this_thread::sleep_for(60ms); // six buffers would have played five times over
    EXPECT_EQ(Order(log.Entries()), (std::vector<std::intptr_t>{0, 1, 2, 3}));

    const auto start = steady_clock::now();
    ASSERT_EQ(out.Start(), WaveNoError);
    ASSERT_TRUE(log.WaitFor(7));
    const auto entries = log.Entries();
    EXPECT_EQ(Order(entries), (std::vector<std::intptr_t>{0, 1, 2, 3, 4, 5, -1}));
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_EQ(entries[k].Message, TWaveMessage::Done);
    EXPECT_EQ(entries[6].Message, TWaveMessage::Underrun);
    const double periodMs = 1000.0 * frames / 48000 / 10.0;
    EXPECT_GE(Milliseconds(entries[6].Time - start), 0.99 * 6 * periodMs);
    // Two buffers are done only when room is made, one and two periods after Start.
    EXPECT_GE(Milliseconds(entries[5].Time - start), 0.99 * 2 * periodMs);

    // Dry and paused: nothing more happens until Start.
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(log.Count(), 7u);
}

TEST(VirtualLineOut, PauseHoldsMidBufferAndTheRecordingHoldsEveryBufferOnce) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("out.wav").toStdString();
    auto shared = std::make_shared<TVirtualOutputShared>();
    shared->Recording = std::make_unique<TWavFile>(path);
    shared->Open = true;

    TCallbackLog log;
    const std::size_t frames = 2400; // 50 ms
    TTestBuffers buffers(6, frames * kStereo16.BlockAlign);
    std::vector<std::uint8_t> expected;
    for (std::size_t k = 0; k < 6; ++k) {
        std::fill(buffers.Data[k].begin(), buffers.Data[k].end(), std::uint8_t(k + 1));
        expected.insert(expected.end(), buffers.Data[k].begin(), buffers.Data[k].end());
    }
    {
        TVirtualLineOut out(kStereo16, log.Callback(), shared);
        for (auto& header : buffers.Headers)
            ASSERT_EQ(out.AddBuffer(&header), WaveNoError);
        ASSERT_TRUE(log.WaitFor(5)); // the first buffer has played and made room
        std::this_thread::sleep_for(20ms);
        ASSERT_EQ(out.Pause(), WaveNoError);
        std::this_thread::sleep_for(250ms);
        EXPECT_EQ(log.Count(), 5u) << "paused: nothing more is taken or runs dry";
        ASSERT_EQ(out.Start(), WaveNoError);
        ASSERT_TRUE(log.WaitFor(7));
        EXPECT_EQ(log.Entries()[6].Message, TWaveMessage::Underrun);
    }
    EXPECT_FALSE(shared->Open);
    EXPECT_EQ(shared->Recording->Error(), "");
    const QByteArray file = [&] {
        QFile f(QString::fromStdString(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_EQ(std::size_t(file.size()), 44 + expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(),
                           reinterpret_cast<const std::uint8_t*>(file.constData()) + 44));
}

TEST(VirtualLineOut, ResetHandsBackEveryBufferAndLeavesItPaused) {
    TCallbackLog log;
    TTestBuffers buffers(8, 1024 * kStereo16.BlockAlign);
    TVirtualLineOut out(kStereo16, log.Callback(), nullptr);
    ASSERT_EQ(out.Pause(), WaveNoError);
    for (std::size_t k = 0; k < 7; ++k)
        ASSERT_EQ(out.AddBuffer(&buffers.Headers[k]), WaveNoError);
    ASSERT_TRUE(log.WaitFor(4));
    ASSERT_EQ(out.Reset(), WaveNoError);
    EXPECT_EQ(Order(log.Entries()), (std::vector<std::intptr_t>{0, 1, 2, 3, 4, 5, 6}));

    ASSERT_EQ(out.AddBuffer(&buffers.Headers[7]), WaveNoError);
    ASSERT_TRUE(log.WaitFor(8));
    std::this_thread::sleep_for(60ms); // it would have played and run dry by now
    EXPECT_EQ(log.Count(), 8u);

    ASSERT_EQ(out.Close(), WaveNoError);
    EXPECT_EQ(out.AddBuffer(&buffers.Headers[0]), WaveErrorInvalidHandle);
    EXPECT_EQ(out.Start(), WaveErrorInvalidHandle);
    EXPECT_EQ(out.Pause(), WaveErrorInvalidHandle);
    EXPECT_EQ(out.Reset(), WaveErrorInvalidHandle);
    EXPECT_EQ(out.Close(), WaveErrorInvalidHandle);
}
