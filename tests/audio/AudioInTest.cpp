#include "audio/AudioIn.h"

#include "FakeWaveDevices.h"
#include "StreamRecorder.h"
#include "WaitFor.h"

#include <gtest/gtest.h>

namespace {
using TStrings = std::vector<std::string>;

// A capture on the fake devices, its stream recorded downstream.
struct TCaptureRig {
    TCaptureRig() { Capture.OutputPin().Connect(Recorder.Input); }

    TFakeWaveHandle& Device() {
        TFakeWaveHandle* handle = System.Handle();
        EXPECT_NE(handle, nullptr);
        return *handle;
    }
    // Fills the next device buffer with `value` and waits until the capture has handled it.
    void Fill(std::uint8_t value, bool whole = true) {
        Device().Complete(
            1, [value](std::size_t) { return value; }, whole);
        EXPECT_TRUE(WaitFor([&] { return Capture.CaptureThread().Idle(); }));
    }
    bool Quiet() {
        return WaitFor([&] { return Capture.CaptureThread().Idle(); });
    }

    TFakeWaveSystem System;
    TStreamRecorder Recorder;
    TAudioIn Capture{System};
};

TStrings Tail(const TStrings& all, std::size_t from) {
    return TStrings(all.begin() + std::ptrdiff_t(std::min(from, all.size())), all.end());
}
} // namespace

TEST(AudioIn, EnablingTwiceStartsOnceAndDisablingAStoppedCaptureDoesNothing) {
    TCaptureRig rig;
    rig.Capture.SetEnabled(false);
    EXPECT_TRUE(rig.System.CallNames().empty());
    EXPECT_EQ(rig.Recorder.Size(), 0u);

    rig.Capture.SetEnabled(true);
    rig.Capture.SetEnabled(true);
    EXPECT_TRUE(rig.Capture.Enabled());
    const auto calls = rig.System.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].Name, "open");
    EXPECT_EQ(calls[0].Id, WaveMapper);
    EXPECT_EQ(calls[0].Format, rig.Capture.AudioFormat().Header());
    EXPECT_EQ(calls[1].Name, "start");
    EXPECT_EQ(rig.System.Count("open"), 1);
    EXPECT_EQ(rig.System.Count("add"), 40);
    EXPECT_EQ(rig.Recorder.Kinds(), (TStrings{"pump", "start"}));

    const std::size_t before = rig.System.Calls().size();
    rig.Capture.SetEnabled(false);
    EXPECT_FALSE(rig.Capture.Enabled());
    EXPECT_EQ(Tail(rig.System.CallNames(), before), (TStrings{"reset", "reset", "close"}));
    EXPECT_EQ(rig.Recorder.Kinds(), (TStrings{"pump", "start", "endstop"}));

    rig.Capture.SetEnabled(false);
    EXPECT_EQ(rig.System.Calls().size(), before + 3);
    EXPECT_EQ(rig.Recorder.Size(), 3u);
}

TEST(AudioIn, EveryWholeBufferGoesDownstreamOnceAndIsReplacedAtTheDevice) {
    TCaptureRig rig;
    rig.Capture.SetEnabled(true);
    for (std::uint8_t value : {1, 2, 3})
        rig.Fill(value);
    rig.Fill(4, false); // a part of a buffer never goes on
    ASSERT_EQ(rig.Recorder.Kinds(), (TStrings{"pump", "start", "buffer", "buffer", "buffer"}));
    for (std::size_t i = 0; i < 3; ++i) {
        const auto entry = rig.Recorder.Entry(2 + i);
        ASSERT_EQ(entry.Buffer.DataSize(), 1024u * 4);
        EXPECT_EQ(entry.Buffer.RawData()[0], i + 1);
        EXPECT_EQ(entry.Buffer.RawData()[4095], i + 1);
    }
    // Each buffer was handed over once: a new one took its place at the device.
    EXPECT_FALSE(rig.Recorder.Entry(2).Buffer.SharesDataWith(rig.Recorder.Entry(3).Buffer));
    EXPECT_EQ(rig.Device().Held(), 40u);
    rig.Capture.SetEnabled(false);
}

TEST(AudioIn, BuffersHandedBackAfterTheStopAreNotSent) {
    TCaptureRig rig;
    rig.System.ResetReturnsWhole = true; // the device hands back 38 full buffers on reset
    rig.Capture.SetEnabled(true);
    rig.Fill(1);
    rig.Fill(2);
    rig.Capture.SetEnabled(false);
    EXPECT_TRUE(rig.Quiet());
    EXPECT_EQ(rig.Recorder.Kinds(), (TStrings{"pump", "start", "buffer", "buffer", "endstop"}));
}

TEST(AudioIn, AStopAndANewStartShowEndStopThenTheNewFormatThenBuffers) {
    TCaptureRig rig;
    rig.System.ResetReturnsWhole = true; // old buffers are still queued when it opens again
    rig.Capture.SetEnabled(true);
    rig.Fill(1);
    rig.Capture.SetEnabled(false);
    rig.Capture.AudioFormat().SetBits(24);
    rig.Capture.AudioFormat().SetSampleRate(48000);
    rig.Capture.SetEnabled(true);
    rig.Fill(0x5A);

    EXPECT_EQ(rig.Recorder.Kinds(),
              (TStrings{"pump", "start", "buffer", "endstop", "pump", "start", "buffer"}));
    const TWaveFormatExtensible format = rig.Recorder.Entry(5).Format;
    EXPECT_EQ(format.wBitsPerSample, 24);
    EXPECT_EQ(format.nSamplesPerSec, 48000u);
    EXPECT_EQ(rig.System.Calls().back().Name, "add");
    std::vector<TFakeCall> opens;
    for (const TFakeCall& call : rig.System.Calls())
        if (call.Name == "open")
            opens.push_back(call);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[1].Format, format);
    const auto buffer = rig.Recorder.Entry(6).Buffer.CreateShared();
    EXPECT_EQ(buffer.SampleRate(), 48000u);
    EXPECT_EQ(buffer.FrameCount(), 1024u);
    EXPECT_EQ(buffer.RawData()[0], 0x5A);
    rig.Capture.SetEnabled(false);
}

TEST(AudioIn, BuffersCarryTheSampleWidthOfTheFormat) {
    struct Case {
        unsigned bits, channels;
        unsigned blockAlign, container;
    };
    const Case cases[] = {
        {24, 2, 6, 24}, {20, 2, 6, 24}, {8, 2, 2, 8}, {8, 1, 1, 8}, {16, 2, 4, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        TCaptureRig rig;
        rig.Capture.AudioFormat().SetBits(c.bits);
        rig.Capture.AudioFormat().SetChannels(c.channels);
        rig.Capture.SetEnabled(true);
        EXPECT_EQ(rig.System.Calls()[0].Format.nBlockAlign, c.blockAlign);
        // Unsigned 8-bit silence and full-scale bytes pass as they are.
        rig.Device().Complete(1, [](std::size_t i) { return std::uint8_t(i % 2 ? 0xFF : 0x80); });
        ASSERT_TRUE(rig.Quiet());
        ASSERT_EQ(rig.Recorder.Count("buffer"), 1u);
        const auto buffer = rig.Recorder.Entry(2).Buffer.CreateShared();
        EXPECT_EQ(buffer.BlockAlign(), c.blockAlign);
        EXPECT_EQ(buffer.ContainerBits(), c.container);
        EXPECT_EQ(buffer.ValidBits(), c.bits);
        EXPECT_EQ(buffer.DataSize(), 1024u * c.blockAlign);
        EXPECT_EQ(buffer.RawData()[0], 0x80);
        EXPECT_EQ(buffer.RawData()[buffer.DataSize() - 1], 0xFF);
        rig.Capture.SetEnabled(false);
    }
}

TEST(AudioIn, OpenAndStartFailuresAreReportedAndALaterStartWorks) {
    struct Case {
        const char* call;
        std::uint32_t code;
        const char* message;
        int closes; // the device a failed start opened is closed again
    };
    // The documented text and code, then the device and why; the log says it too.
    const Case cases[] = {
        {"open", WaveErrorAllocated, "Can't open audio device. - 4 - 4", 0},
        {"open", WaveErrorBadFormat, "Can't open audio device. - 32 - 20", 0},
        {"start", WaveErrorNotSupported, "Can't start audio device. - 8 - 8", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        TCaptureRig rig;
        std::vector<std::string> lines;
        rig.Capture.OnNotice = [&](const std::string& line) { lines.push_back(line); };
        rig.Capture.Device().SetDeviceName("Tuner");
        rig.System.Fail(c.call, c.code);
        try {
            rig.Capture.SetEnabled(true);
            ADD_FAILURE() << "no error";
        } catch (const EAudioException& error) {
            EXPECT_EQ(error.what(), std::string(c.message) +
                                        "\nInput device \"Tuner\": the test refuses " + c.call);
        }
        EXPECT_EQ(lines, (TStrings{std::string("Sound input device \"Tuner\": the test refuses ") +
                                   c.call + " (" + c.message + ")"}));
        EXPECT_FALSE(rig.Capture.Enabled());
        EXPECT_EQ(rig.System.Count("add"), 0);
        EXPECT_EQ(rig.System.Count("close"), c.closes);
        EXPECT_EQ(rig.Recorder.Kinds(), (TStrings{"pump", "start"}));

        rig.System.Fail(c.call, 0);
        rig.Capture.SetEnabled(true);
        EXPECT_TRUE(rig.Capture.Enabled());
        EXPECT_EQ(rig.System.Count("add"), 40);
        rig.Fill(7);
        EXPECT_EQ(rig.Recorder.Kinds(), (TStrings{"pump", "start", "pump", "start", "buffer"}));
        rig.Capture.SetEnabled(false);
        EXPECT_EQ(rig.System.Count("close"), c.closes + 1);
    }
}

TEST(AudioIn, AFailingResetIsReportedAndTheStopCanBeRepeated) {
    TCaptureRig rig;
    rig.Capture.SetEnabled(true);
    rig.System.Fail("reset", WaveErrorGeneric);
    EXPECT_THROW(
        {
            try {
                rig.Capture.SetEnabled(false);
            } catch (const EAudioException& error) {
                EXPECT_STREQ(error.what(), "Can't restart audio device. - 1 - 1");
                throw;
            }
        },
        EAudioException);
    EXPECT_TRUE(rig.Capture.Enabled());
    rig.System.Fail("reset", 0);
    rig.Capture.SetEnabled(false);
    EXPECT_FALSE(rig.Capture.Enabled());
    EXPECT_EQ(rig.System.Count("close"), 1);
    EXPECT_EQ(rig.Recorder.Kinds(), (TStrings{"pump", "start", "endstop"}));
}

TEST(AudioIn, AFailedDeviceIsStoppedAndReportedOnTheGuiThread) {
    TCaptureRig rig;
    struct TError {
        std::string Text;
        std::uint32_t Code;
        std::thread::id Thread;
    };
    std::vector<TError> errors; // written on the GUI thread only, as the test checks
    rig.Capture.OnError = [&](TAudioComponent*, const std::string& text, std::uint32_t code,
                              bool& handled) {
        errors.push_back({text, code, std::this_thread::get_id()});
        handled = true;
    };
    rig.Capture.SetEnabled(true);
    rig.Fill(1);
    rig.Device().Fail(WaveErrorNoDriver);

    ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
    EXPECT_EQ(errors[0].Text, "Can't start audio device.");
    EXPECT_EQ(errors[0].Code, 6u);
    EXPECT_EQ(errors[0].Thread, std::this_thread::get_id());
    EXPECT_FALSE(rig.Capture.Enabled());
    EXPECT_FALSE(rig.Capture.DeviceOpen());
    EXPECT_EQ(rig.System.Count("close"), 1);
    EXPECT_EQ(rig.Recorder.Kinds(), (TStrings{"pump", "start", "buffer", "endstop"}));

    rig.Capture.SetEnabled(true);
    rig.Fill(2);
    EXPECT_EQ(rig.Recorder.Count("buffer"), 2u);
    EXPECT_EQ(errors.size(), 1u);
    rig.Capture.SetEnabled(false);
}
