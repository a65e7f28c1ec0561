// The ALSA wave devices on the "testdev" plugin, whose pointer moves only when the test says:
// a ring that fills, an underrun and a device that vanishes happen exactly when wanted.

#include "AlsaTestConfig.h"
#include "TestDevicePlugin.h"
#include "WaveHeaderBytes.h"
#include "WaveLog.h"
#include "platform/sound/WaveDevice.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

constexpr int PeriodBytes = 1024 * 4; // 1024 stereo 16-bit frames

class AlsaWaveTestDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        AlsaTestConfig();
        System = CreateAlsaWaveSystem();
        TestDeviceClear();
    }

    std::unique_ptr<TWaveHandle> Open(TWaveDirection direction) { return Open(direction, Log); }
    std::unique_ptr<TWaveHandle> Open(TWaveDirection direction, TWaveLog& log) {
        std::unique_ptr<TWaveHandle> handle;
        EXPECT_EQ(System->Open(direction, WaveDeviceId(*System, direction, "testdev"),
                               WaveHeader(2, 44100, 16).data(), log.Callback(), handle),
                  WaveNoError);
        return handle;
    }

    // Nothing more comes back for a while.
    bool StaysAt(std::size_t count) {
        std::this_thread::sleep_for(100ms);
        return Log.Count() == count;
    }

    static int Times(const std::string& event) {
        const std::string events = TestDeviceEvents();
        int count = 0;
        for (std::size_t at = events.find(event); at != std::string::npos;
             at = events.find(event, at + 1))
            ++count;
        return count;
    }

    std::unique_ptr<TWaveDeviceSystem> System;
    TWaveLog Log;
    TWaveBuffers Buffers;
};

} // namespace

TEST_F(AlsaWaveTestDeviceTest, AFormatTheDeviceRefusesIsABadFormat) {
    const int id = WaveDeviceId(*System, TWaveDirection::Output, "testdev");
    const TWaveHeaderBytes refused[] = {WaveHeader(2, 48000, 16), WaveHeader(1, 44100, 16),
                                        WaveHeader(2, 44100, 8), WaveHeader(2, 44100, 24),
                                        WaveHeader(2, 44100, 32)};
    for (const TWaveHeaderBytes& header : refused) {
        std::unique_ptr<TWaveHandle> handle;
        EXPECT_EQ(System->Open(TWaveDirection::Output, id, header.data(), Log.Callback(), handle),
                  WaveErrorBadFormat);
        EXPECT_EQ(handle, nullptr);
    }
    EXPECT_NE(Open(TWaveDirection::Output), nullptr);
}

TEST_F(AlsaWaveTestDeviceTest, HeldOutputTakesWhatFitsItsRingAndResetHandsBackTheRest) {
    auto handle = Open(TWaveDirection::Output);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(handle->Pause(), WaveNoError);
    std::vector<TWaveHeader*> headers;
    for (int i = 0; i < 6; ++i) {
        headers.push_back(Buffers.Add(PeriodBytes));
        ASSERT_EQ(handle->AddBuffer(headers.back()), WaveNoError);
    }
    // Held: nothing is taken in (a sound server would play it at once), nothing plays.
    EXPECT_TRUE(StaysAt(0));
    EXPECT_EQ(Times("start"), 0);

    // Start fills the ring of four periods and plays.
    ASSERT_EQ(handle->Start(), WaveNoError);
    EXPECT_EQ(Times("start"), 1);
    EXPECT_EQ(Log.Count(), 4u);
    TestDeviceGrant(1024); // one period played makes room for one more buffer
    ASSERT_TRUE(Log.WaitFor(5));

    ASSERT_EQ(handle->Pause(), WaveNoError);
    EXPECT_EQ(Times("pause"), 1);
    TestDeviceGrant(1024); // a paused device does not move
    EXPECT_TRUE(StaysAt(5));

    ASSERT_EQ(handle->Reset(), WaveNoError);
    const std::vector<TWaveEvent> events = Log.Events(); // no waiting
    ASSERT_EQ(events.size(), 6u);
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].Message, TWaveMessage::Done);
        EXPECT_EQ(events[i].Header, headers[i]);
    }
    EXPECT_EQ(Times("stop"), 1);

    // Reset leaves it held; Start plays again.
    ASSERT_EQ(handle->AddBuffer(Buffers.Add(PeriodBytes)), WaveNoError);
    EXPECT_TRUE(StaysAt(6));
    EXPECT_EQ(Times("start"), 1);
    ASSERT_EQ(handle->Start(), WaveNoError);
    EXPECT_EQ(Times("start"), 2);
    EXPECT_EQ(Log.Count(), 7u);
    EXPECT_EQ(handle->Close(), WaveNoError);
}

TEST_F(AlsaWaveTestDeviceTest, AnUnderrunIsReportedOnceAndTheOutputWaitsForStart) {
    auto handle = Open(TWaveDirection::Output);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(handle->Pause(), WaveNoError);
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(handle->AddBuffer(Buffers.Add(PeriodBytes)), WaveNoError);
    ASSERT_EQ(handle->Start(), WaveNoError);
    ASSERT_TRUE(Log.WaitFor(2));
    TestDeviceGrant(3 * 1024); // plays more than it was given: it runs dry
    ASSERT_TRUE(Log.WaitFor(3));
    EXPECT_TRUE(StaysAt(3));
    const TWaveEvent underrun = Log.Events()[2];
    EXPECT_EQ(underrun.Message, TWaveMessage::Underrun);
    EXPECT_EQ(underrun.Header, nullptr);

    // The stream goes on, held: new buffers wait until Start.
    TWaveHeader* next = Buffers.Add(PeriodBytes);
    ASSERT_EQ(handle->AddBuffer(next), WaveNoError);
    EXPECT_TRUE(StaysAt(3));
    EXPECT_EQ(Times("start"), 1);
    ASSERT_EQ(handle->Start(), WaveNoError);
    EXPECT_EQ(Times("start"), 2);
    ASSERT_EQ(Log.Count(), 4u);
    EXPECT_EQ(Log.Events()[3].Header, next);
    EXPECT_EQ(handle->Close(), WaveNoError);
}

TEST_F(AlsaWaveTestDeviceTest, ADescriptorThatStaysReadyDoesNotMakeTheDriverSpin) {
    // A sound server's plugin may keep its descriptor readable while nothing can move: the
    // driver must sleep until a period can, not look again and again.
    for (TWaveDirection direction : {TWaveDirection::Output, TWaveDirection::Input}) {
        SCOPED_TRACE(direction == TWaveDirection::Output ? "output" : "capture");
        TestDeviceClear();
        TWaveLog log;
        auto handle = Open(direction, log);
        ASSERT_NE(handle, nullptr);
        TestDeviceAlwaysReady();
        // Output: a full ring and more waiting; capture: buffers waiting for sound.
        const std::size_t given = direction == TWaveDirection::Output ? 6 : 2;
        for (std::size_t i = 0; i < given; ++i)
            ASSERT_EQ(handle->AddBuffer(Buffers.Add(PeriodBytes)), WaveNoError);
        ASSERT_EQ(handle->Start(), WaveNoError);
        const std::size_t moved = direction == TWaveDirection::Output ? 4 : 0;
        ASSERT_TRUE(log.WaitFor(moved));
        const unsigned long before = TestDevicePointerCalls();
        std::this_thread::sleep_for(500ms);
        // About one look a period (23 ms); a driver that spins looks many thousand times.
        EXPECT_LT(TestDevicePointerCalls() - before, 200u);
        EXPECT_EQ(log.Count(), moved);

        // It still moves sound as soon as the device does.
        TestDeviceGrant(1024);
        EXPECT_TRUE(log.WaitFor(moved + 1));
        EXPECT_EQ(handle->Close(), WaveNoError);
    }
}

TEST_F(AlsaWaveTestDeviceTest, AVanishedDeviceFailsOnceAndItsHandleStaysSafe) {
    for (TWaveDirection direction : {TWaveDirection::Output, TWaveDirection::Input}) {
        SCOPED_TRACE(direction == TWaveDirection::Output ? "output" : "capture");
        TestDeviceClear();
        TWaveLog log;
        auto handle = Open(direction, log);
        ASSERT_NE(handle, nullptr);
        ASSERT_EQ(handle->Start(), WaveNoError);
        TWaveHeader* first = Buffers.Add(PeriodBytes);
        TWaveHeader* held[] = {Buffers.Add(PeriodBytes), Buffers.Add(PeriodBytes)};
        ASSERT_EQ(handle->AddBuffer(first), WaveNoError);
        TestDeviceGrant(1024);
        ASSERT_TRUE(log.WaitFor(1)); // played or recorded
        if (direction == TWaveDirection::Input) {
            for (TWaveHeader* header : held)
                ASSERT_EQ(handle->AddBuffer(header), WaveNoError);
        }

        TestDeviceVanish();
        ASSERT_TRUE(log.WaitFor(2));
        std::this_thread::sleep_for(100ms);
        std::vector<TWaveEvent> events = log.Events();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[1].Message, TWaveMessage::Failed);
        EXPECT_EQ(events[1].BytesRecorded, WaveErrorNoDriver);

        EXPECT_EQ(handle->AddBuffer(Buffers.Add(PeriodBytes)), WaveErrorNoDriver);
        EXPECT_EQ(handle->Start(), WaveErrorNoDriver);
        EXPECT_EQ(handle->Reset(), WaveNoError);
        events = log.Events();
        if (direction == TWaveDirection::Input) {
            // What was held comes back, empty, before Reset returns.
            ASSERT_EQ(events.size(), 4u);
            EXPECT_EQ(events[2].Header, held[0]);
            EXPECT_EQ(events[3].Header, held[1]);
            EXPECT_EQ(events[3].Message, TWaveMessage::Data);
            EXPECT_EQ(events[3].BytesRecorded, 0u);
        } else {
            EXPECT_EQ(events.size(), 2u);
        }
        EXPECT_EQ(handle->Close(), WaveNoError);
    }
}
