#include "audio/AudioOut.h"

#include "FakeWaveDevices.h"
#include "StreamRecorder.h"
#include "WaitFor.h"

#include <gtest/gtest.h>
#include <numeric>

namespace {
using TStrings = std::vector<std::string>;
using TFirsts = std::vector<std::int16_t>;

TWaveFormatExtensible Format(unsigned bits = 16, std::uint32_t rate = 48000) {
    return MakeWaveFormat(2, bits, rate, 0);
}

TFirsts Range(std::int16_t first, std::int16_t last) {
    TFirsts values(std::size_t(last - first + 1));
    std::iota(values.begin(), values.end(), first);
    return values;
}

// An output on the fake devices, fed as the equalizer feeds it.
struct TOutputRig {
    TOutputRig() { Feeder.Output.Connect(Output.InputPin()); }

    TFakeWaveHandle& Device() {
        TFakeWaveHandle* handle = System.Handle();
        EXPECT_NE(handle, nullptr);
        return *handle;
    }
    // Enabled with a stream of 16-bit stereo at 48 kHz open and paused.
    void Play() {
        Output.SetEnabled(true);
        Feeder.StartWave(Format());
    }
    void Send(std::int16_t first, std::int16_t last) {
        for (std::int16_t i = first; i <= last; ++i)
            Feeder.Send(i);
    }
    std::vector<TFakeCall> CallsNamed(const std::string& name) const {
        std::vector<TFakeCall> calls;
        for (const TFakeCall& call : System.Calls())
            if (call.Name == name)
                calls.push_back(call);
        return calls;
    }
    // Errors are recorded instead of raised.
    void RecordErrors() {
        Output.OnError = [this](TAudioComponent*, const std::string& text, std::uint32_t code,
                                bool& handled) {
            std::lock_guard guard(ErrorLock);
            Errors.push_back({text, code, std::this_thread::get_id()});
            handled = true;
        };
    }
    struct TError {
        std::string Text;
        std::uint32_t Code;
        std::thread::id Thread;
    };
    std::vector<TError> TakeErrors() {
        std::lock_guard guard(ErrorLock);
        return std::exchange(Errors, {});
    }

    TFakeWaveSystem System;
    TStreamFeeder Feeder;
    TAudioOut Output{System};
    std::mutex ErrorLock;
    std::vector<TError> Errors;
};
} // namespace

TEST(AudioOut, EnablingOpensWithThePendingFormatOnly) {
    struct Case {
        const char* name;
        TStrings beforeEnable; // operations that reach the still disabled output
        bool opens;
    };
    const Case cases[] = {
        {"no stream", {}, false},
        {"a stream started", {"start"}, true},
        {"a stream started and stopped", {"start", "stop"}, false},
        {"buffers alone", {"buffer", "buffer"}, false},
        {"stopped, then started", {"stop", "start", "buffer"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TOutputRig rig;
        for (const std::string& operation : c.beforeEnable) {
            if (operation == "start")
                rig.Feeder.StartWave(Format(24, 44100));
            else if (operation == "stop")
                rig.Feeder.Stop();
            else
                rig.Feeder.Send(1);
        }
        EXPECT_TRUE(rig.System.Calls().empty());
        rig.Output.SetEnabled(true);
        const TStrings opened{"open", "pause"};
        EXPECT_EQ(rig.System.CallNames(), c.opens ? opened : TStrings{});
        if (c.opens) {
            EXPECT_EQ(rig.System.Calls()[0].Format, Format(24, 44100));
        }
        // Without a pending format the next start-wave opens the device.
        rig.Feeder.StartWave(Format());
        EXPECT_EQ(rig.System.Count("open"), 1);
        EXPECT_EQ(rig.CallsNamed("open")[0].Id, WaveMapper);
    }
}

TEST(AudioOut, EnablingWithoutAPendingFormatOnlyPausesTheOpenDevice) {
    TOutputRig rig;
    rig.Play();
    rig.Output.SetEnabled(false);
    rig.Feeder.Stop(); // forgets the format: nothing to open with
    rig.System.ClearCalls();
    rig.Output.SetEnabled(true);
    EXPECT_EQ(rig.System.CallNames(), (TStrings{"pause"}));
}

TEST(AudioOut, BuffersWhileDisabledAreNeitherQueuedNorWritten) {
    TOutputRig rig;
    rig.Play();
    rig.Send(1, 2);
    rig.Output.SetEnabled(false);
    rig.Send(3, 8);
    EXPECT_EQ(rig.System.Added(), (TFirsts{1, 2}));
    rig.Output.SetEnabled(true); // opens anew with the stream's format
    EXPECT_EQ(rig.System.Count("open"), 2);
    rig.Send(9, 9);
    EXPECT_EQ(rig.System.Added(), (TFirsts{1, 2, 9}));
}

TEST(AudioOut, PlaysOnceMoreThanThePrefillIsWritten) {
    struct Case {
        unsigned prefill;
        std::uint32_t frames, rate;
        int startsAfter; // buffers written before playback starts; 0: not within 20
    };
    const Case cases[] = {
        {300, 1024, 48000, 15}, // 21 ms counted per buffer
        {300, 1024, 44100, 14}, // 23 ms
        {0, 48, 48000, 1},      // the first buffer that counts 1 ms
        {0, 47, 48000, 0},      // buffers shorter than 1 ms count nothing
        {100, 4800, 48000, 2},  // 100 ms is not more than 100 ms
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.prefill << " ms, " << c.frames << " frames");
        TOutputRig rig;
        rig.Output.SetPrefillInterval(c.prefill);
        rig.Output.SetEnabled(true);
        rig.Feeder.StartWave(Format(16, c.rate));
        int startedAfter = 0;
        for (int i = 1; i <= 20 && startedAfter == 0; ++i) {
            rig.Feeder.Send(std::int16_t(i), c.frames, c.rate);
            if (rig.System.Count("start") > 0)
                startedAfter = i;
        }
        EXPECT_EQ(startedAfter, c.startsAfter);
        EXPECT_EQ(rig.System.Count("start"), c.startsAfter ? 1 : 0);
    }
}

TEST(AudioOut, AStartWaveOfARunningStreamIsDroppedAndOneAfterAStopReopens) {
    TOutputRig rig;
    rig.Play();
    rig.Send(1, 3);
    rig.Feeder.StartWave(Format(24));
    EXPECT_EQ(rig.System.CallNames(), (TStrings{"open", "pause", "add", "add", "add"}));

    rig.Feeder.Stop();
    rig.Feeder.StartWave(Format(24));
    EXPECT_EQ(rig.System.CallNames(), (TStrings{"open", "pause", "add", "add", "add", "start",
                                                "reset", "close", "open", "pause"}));
    EXPECT_EQ(rig.CallsNamed("open")[1].Format, Format(24));
}

TEST(AudioOut, AStopDuringThePrefillStartsPlayback) {
    TOutputRig rig;
    rig.Play();
    rig.Send(1, 3);
    EXPECT_EQ(rig.System.Count("start"), 0);
    rig.Feeder.Stop();
    EXPECT_EQ(rig.System.Count("start"), 1);
    EXPECT_EQ(rig.System.Count("reset"), 0); // what was written plays to the end
}

TEST(AudioOut, AReopenMetOffTheGuiThreadHappensOnTheGuiThread) {
    TOutputRig rig;
    rig.Play();
    rig.Send(1, 16); // playing, with one buffer waiting
    rig.Feeder.Stop();
    // The next stream's format comes from a delivering thread, and a played buffer drains the
    // queue on the callback thread meanwhile; neither may close the device.
    std::thread([&] { rig.Feeder.StartWave(Format(32)); }).join();
    rig.Device().Complete(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(rig.System.Count("open"), 1);

    ASSERT_TRUE(WaitFor([&] { return rig.System.Count("open") == 2; }));
    for (const char* name : {"open", "reset", "close"})
        for (const TFakeCall& call : rig.CallsNamed(name))
            EXPECT_EQ(call.Thread, std::this_thread::get_id()) << name;
    EXPECT_EQ(rig.CallsNamed("open")[1].Format, Format(32));
    rig.Send(20, 20);
    EXPECT_EQ(rig.System.Added().back(), 20);
}

TEST(AudioOut, LatencyStaysBoundedByDroppingTheOldestWaitingBuffers) {
    TOutputRig rig;
    rig.Play();
    // 21.3 ms each: 15 fill the prefill and play, 8 more fit the 500 ms bound.
    rig.Send(1, 40);
    EXPECT_EQ(rig.System.Added(), Range(1, 15));
    EXPECT_EQ(rig.Output.DroppedBuffers(), 17u);

    rig.Device().Complete(15);
    ASSERT_TRUE(WaitFor([&] { return rig.System.Added().size() == 23; }));
    TFirsts expected = Range(1, 15);
    const TFirsts newest = Range(33, 40);
    expected.insert(expected.end(), newest.begin(), newest.end());
    EXPECT_EQ(rig.System.Added(), expected);
    EXPECT_EQ(rig.Output.Underruns(), 0u);
}

TEST(AudioOut, AnUnderrunPrefillsAgainBeforePlaying) {
    TOutputRig rig;
    rig.Play();
    rig.Send(1, 15);
    EXPECT_EQ(rig.System.Count("start"), 1);
    rig.Device().Complete(15);
    rig.Device().Underrun();
    ASSERT_TRUE(WaitFor([&] { return rig.Output.Underruns() == 1; }));

    rig.Send(16, 29); // 14 × 21 ms: not yet more than 300 ms, each written at once
    EXPECT_EQ(rig.System.Count("start"), 1);
    EXPECT_EQ(rig.System.Added(), Range(1, 29));
    rig.Send(30, 30);
    EXPECT_EQ(rig.System.Count("start"), 2);

    // The device running dry after the stream stopped is no underrun.
    rig.Feeder.Stop();
    rig.Device().Complete(15);
    rig.Device().Underrun();
    RunEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(rig.Output.Underruns(), 1u);
}

TEST(AudioOut, AnUnderrunWithTheDeviceStillFullPlaysAgainWithoutDroppingEverything) {
    // A starved output: the device ran dry while it still held what it had been given. That
    // counts toward the new prefill as it counts toward the delay bound, so playback goes on
    // instead of every new buffer being dropped while waiting for a prefill that never comes.
    TOutputRig rig;
    rig.Play();
    rig.Send(1, 23); // 15 at the device and playing, 8 waiting
    rig.Device().Underrun();
    ASSERT_TRUE(WaitFor([&] { return rig.Output.Underruns() == 1; }));
    // The new buffers no longer fit beside what the device holds, but it plays again.
    rig.Send(24, 30);
    ASSERT_TRUE(WaitFor([&] { return rig.System.Count("start") == 2; }));
    rig.Device().Complete(23);
    rig.Send(31, 31);
    ASSERT_TRUE(
        WaitFor([&] { return !rig.System.Added().empty() && rig.System.Added().back() == 31; }));
}

TEST(AudioOut, AFailedDeviceIsReportedOnTheGuiThreadAndTheNextStreamReopens) {
    TOutputRig rig;
    rig.RecordErrors();
    rig.Play();
    rig.Send(1, 3);
    rig.Device().Fail(WaveErrorNoDriver);
    ASSERT_TRUE(WaitFor([&] { return !rig.Output.DeviceOpen(); }));
    RunEvents();
    const auto errors = rig.TakeErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].Text, "Can't restart audio device.");
    EXPECT_EQ(errors[0].Code, 6u);
    EXPECT_EQ(errors[0].Thread, std::this_thread::get_id());
    EXPECT_EQ(rig.System.Count("close"), 1);

    rig.Send(4, 5); // nowhere to play them
    EXPECT_EQ(rig.System.Count("add"), 3);
    rig.Feeder.Stop();
    rig.Feeder.StartWave(Format());
    EXPECT_EQ(rig.System.Count("open"), 2);
    rig.Send(6, 20);
    EXPECT_EQ(rig.System.Count("start"), 1);
    EXPECT_TRUE(rig.TakeErrors().empty());
}

TEST(AudioOut, OpenPauseAndRestartFailuresCarryTheirTexts) {
    struct Case {
        const char* call;
        std::uint32_t code;
        const char* message;
    };
    const Case cases[] = {
        {"open", WaveErrorBadFormat,
         "Can't open audio device. - 32 - 20\nOutput device \"Default\": the test refuses open"},
        {"pause", WaveErrorGeneric,
         "Can't pause audio device. - 1 - 1\nOutput device \"Default\": the test refuses pause"},
        {"start", WaveErrorNoDriver,
         "Can't restart audio device. - 6 - 6\nOutput device \"Default\": the test refuses start"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        TOutputRig rig;
        rig.System.Fail(c.call, c.code);
        rig.Feeder.StartWave(Format());
        try {
            rig.Output.SetEnabled(true);
            rig.Feeder.Stop(); // a stop during the prefill restarts the device
            ADD_FAILURE() << "no error";
        } catch (const EAudioException& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        // A later stream plays.
        rig.System.Fail(c.call, 0);
        rig.Feeder.Stop();
        rig.Feeder.StartWave(Format());
        rig.Send(1, 15);
        EXPECT_TRUE(rig.Output.DeviceOpen());
        EXPECT_GE(rig.System.Count("start"), 1);
    }
}
