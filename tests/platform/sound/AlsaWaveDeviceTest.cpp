// The ALSA wave devices against real libasound, on the file-plugin PCMs of AlsaTestConfig.

#include "AlsaTestConfig.h"
#include "FileBytes.h"
#include "WaveHeaderBytes.h"
#include "WaveLog.h"
#include "platform/sound/AlsaPcm.h"
#include "platform/sound/WaveDevice.h"

#include <QFile>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

struct TFormatCase {
    unsigned Bits;
    std::uint32_t Rate;
};

// Every container size at a low, a common and a high rate.
std::vector<TFormatCase> FormatCases() {
    std::vector<TFormatCase> cases;
    for (unsigned bits : {8u, 16u, 24u, 32u})
        for (std::uint32_t rate : {8000u, 44100u, 192000u})
            cases.push_back({bits, rate});
    return cases;
}

// Buffer lengths in frames: a period, less than one and more than one, so that buffers and
// the device's periods do not line up.
constexpr int BufferFrames[] = {1024, 700, 1348};

class AlsaWaveDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Config = &AlsaTestConfig();
        System = CreateAlsaWaveSystem();
    }

    std::unique_ptr<TWaveHandle> OpenNamed(TWaveDirection direction, const std::string& name,
                                           const TWaveHeaderBytes& header) {
        const int id = WaveDeviceId(*System, direction, name);
        EXPECT_GE(id, 0) << name;
        std::unique_ptr<TWaveHandle> handle;
        EXPECT_EQ(System->Open(direction, id, header.data(), Log.Callback(), handle), WaveNoError);
        return handle;
    }

    std::unique_ptr<TWaveHandle> OpenCapture(const TWaveHeaderBytes& header) {
        return OpenNamed(TWaveDirection::Input, "testcap", header);
    }

    std::unique_ptr<TWaveHandle> OpenOutput(const TWaveHeaderBytes& header) {
        QFile::remove(Config->OutputFile);
        return OpenNamed(TWaveDirection::Output, "testout", header);
    }

    void ExpectInOrder(const std::vector<TWaveEvent>& events, TWaveMessage message,
                       const std::vector<TWaveHeader*>& headers) {
        ASSERT_EQ(events.size(), headers.size());
        for (std::size_t i = 0; i < events.size(); ++i) {
            EXPECT_EQ(events[i].Message, message) << i;
            EXPECT_EQ(events[i].Header, headers[i]) << i;
            EXPECT_NE(events[i].Thread, std::this_thread::get_id()) << i;
        }
    }

    const TAlsaTestConfig* Config = nullptr;
    std::unique_ptr<TWaveDeviceSystem> System;
    TWaveLog Log;
    TWaveBuffers Buffers;
};

} // namespace

TEST_F(AlsaWaveDeviceTest, CaptureFillsEachBufferWithTheDevicesBytesInOrder) {
    for (const TFormatCase& c : FormatCases()) {
        SCOPED_TRACE(testing::Message() << c.Bits << " bits, " << c.Rate << " Hz");
        const int frameBytes = 2 * int(c.Bits) / 8;
        int total = 0;
        for (int frames : BufferFrames)
            total += frames * frameBytes;
        const QByteArray input = PatternBytes(total, c.Bits + c.Rate);
        WriteFileBytes(Config->InputFile, input);
        TWaveLog log;
        TWaveBuffers buffers;
        std::unique_ptr<TWaveHandle> handle;
        ASSERT_EQ(System->Open(TWaveDirection::Input,
                               WaveDeviceId(*System, TWaveDirection::Input, "testcap"),
                               WaveHeader(2, c.Rate, c.Bits).data(), log.Callback(), handle),
                  WaveNoError);
        std::vector<TWaveHeader*> headers;
        for (int frames : BufferFrames) {
            headers.push_back(buffers.Add(frames * frameBytes));
            ASSERT_EQ(handle->AddBuffer(headers.back()), WaveNoError);
        }
        ASSERT_EQ(handle->Start(), WaveNoError);
        ASSERT_TRUE(log.WaitFor(headers.size()));
        EXPECT_EQ(handle->Close(), WaveNoError);
        const std::vector<TWaveEvent> events = log.Events();
        ExpectInOrder(events, TWaveMessage::Data, headers);
        QByteArray captured;
        for (const TWaveEvent& event : events) {
            EXPECT_EQ(event.BytesRecorded, event.Header->BufferLength);
            captured += buffers.Bytes(event.Header);
        }
        EXPECT_TRUE(captured == input);
    }
}

TEST_F(AlsaWaveDeviceTest, OutputWritesExactlyTheBuffersAndReportsEachDoneInOrder) {
    for (const TFormatCase& c : FormatCases()) {
        SCOPED_TRACE(testing::Message() << c.Bits << " bits, " << c.Rate << " Hz");
        const int frameBytes = 2 * int(c.Bits) / 8;
        TWaveLog log;
        TWaveBuffers buffers;
        QFile::remove(Config->OutputFile);
        std::unique_ptr<TWaveHandle> handle;
        ASSERT_EQ(System->Open(TWaveDirection::Output,
                               WaveDeviceId(*System, TWaveDirection::Output, "testout"),
                               WaveHeader(2, c.Rate, c.Bits).data(), log.Callback(), handle),
                  WaveNoError);
        std::vector<TWaveHeader*> headers;
        QByteArray played;
        for (int frames : BufferFrames) {
            const QByteArray bytes = PatternBytes(frames * frameBytes, c.Rate + frames);
            played += bytes;
            headers.push_back(buffers.Add(bytes));
            ASSERT_EQ(handle->AddBuffer(headers.back()), WaveNoError);
        }
        ASSERT_TRUE(log.WaitFor(headers.size()));
        EXPECT_EQ(handle->Close(), WaveNoError);
        ExpectInOrder(log.Events(), TWaveMessage::Done, headers);
        EXPECT_TRUE(ReadFileBytes(Config->OutputFile) == played);
    }
}

TEST_F(AlsaWaveDeviceTest, OutputHeldAndStartedAgainPlaysEverythingInOrder) {
    auto handle = OpenOutput(WaveHeader(2, 44100, 16));
    ASSERT_NE(handle, nullptr);
    const QByteArray first = PatternBytes(4096, 1), second = PatternBytes(2800, 2),
                     third = PatternBytes(4096, 3);
    EXPECT_EQ(handle->Pause(), WaveNoError); // before anything was written
    EXPECT_EQ(handle->AddBuffer(Buffers.Add(first)), WaveNoError);
    EXPECT_EQ(handle->Start(), WaveNoError);
    EXPECT_EQ(handle->AddBuffer(Buffers.Add(second)), WaveNoError);
    ASSERT_TRUE(Log.WaitFor(2));
    EXPECT_EQ(handle->Pause(), WaveNoError); // while playing
    EXPECT_EQ(handle->Pause(), WaveNoError); // twice
    EXPECT_EQ(handle->AddBuffer(Buffers.Add(third)), WaveNoError);
    EXPECT_EQ(handle->Start(), WaveNoError);
    EXPECT_EQ(handle->Start(), WaveNoError);
    ASSERT_TRUE(Log.WaitFor(3));
    EXPECT_EQ(handle->Close(), WaveNoError);
    EXPECT_TRUE(ReadFileBytes(Config->OutputFile) == first + second + third);
}

TEST_F(AlsaWaveDeviceTest, ResetHandsBackEveryHeldBufferBeforeItReturnsAndCaptureStartsAgain) {
    const QByteArray input = PatternBytes(2 * 4096, 7);
    WriteFileBytes(Config->InputFile, input);
    auto handle = OpenCapture(WaveHeader(2, 48000, 16));
    ASSERT_NE(handle, nullptr);
    std::vector<TWaveHeader*> held;
    for (int i = 0; i < 5; ++i) {
        held.push_back(Buffers.Add(4096));
        held.back()->BytesRecorded = 99; // what a buffer said before it was queued again
        ASSERT_EQ(handle->AddBuffer(held.back()), WaveNoError);
    }
    ASSERT_EQ(handle->Reset(), WaveNoError);
    // No waiting: every buffer is back by the time Reset returns.
    const std::vector<TWaveEvent> returned = Log.Events();
    ExpectInOrder(returned, TWaveMessage::Data, held);
    for (const TWaveEvent& event : returned)
        EXPECT_EQ(event.BytesRecorded, 0u);
    EXPECT_EQ(handle->Reset(), WaveNoError); // nothing held: nothing comes back
    EXPECT_EQ(Log.Count(), held.size());

    TWaveHeader* again[] = {Buffers.Add(4096), Buffers.Add(4096)};
    for (TWaveHeader* header : again)
        ASSERT_EQ(handle->AddBuffer(header), WaveNoError);
    ASSERT_EQ(handle->Start(), WaveNoError);
    ASSERT_TRUE(Log.WaitFor(held.size() + 2));
    EXPECT_EQ(handle->Close(), WaveNoError);
    const std::vector<TWaveEvent> events = Log.Events();
    EXPECT_EQ(events[5].Header, again[0]);
    EXPECT_EQ(events[6].Header, again[1]);
    EXPECT_EQ(events[6].BytesRecorded, 4096u);
    EXPECT_TRUE(Buffers.Bytes(again[0]) + Buffers.Bytes(again[1]) == input);
}

TEST_F(AlsaWaveDeviceTest, OutputResetLeavesItHeldUntilStart) {
    auto handle = OpenOutput(WaveHeader(1, 8000, 8));
    ASSERT_NE(handle, nullptr);
    const QByteArray first = PatternBytes(1000, 4), second = PatternBytes(1000, 5);
    ASSERT_EQ(handle->AddBuffer(Buffers.Add(first)), WaveNoError);
    ASSERT_TRUE(Log.WaitFor(1));
    EXPECT_EQ(handle->Reset(), WaveNoError);
    ASSERT_EQ(handle->AddBuffer(Buffers.Add(second)), WaveNoError);
    EXPECT_EQ(handle->Start(), WaveNoError);
    ASSERT_TRUE(Log.WaitFor(2));
    EXPECT_EQ(handle->Close(), WaveNoError);
    EXPECT_TRUE(ReadFileBytes(Config->OutputFile) == first + second);
}

TEST_F(AlsaWaveDeviceTest, ClosingWithBuffersHeldOrAfterAStopIsSafeAndFinal) {
    {
        auto handle = OpenCapture(WaveHeader(2, 44100, 24));
        ASSERT_NE(handle, nullptr);
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(handle->AddBuffer(Buffers.Add(6144)), WaveNoError);
        EXPECT_EQ(handle->Close(), WaveNoError);
        EXPECT_EQ(Log.Count(), 0u); // held buffers are never touched again
        TWaveHeader* late = Buffers.Add(6144);
        EXPECT_EQ(handle->AddBuffer(late), WaveErrorInvalidHandle);
        EXPECT_EQ(handle->Start(), WaveErrorInvalidHandle);
        EXPECT_EQ(handle->Pause(), WaveErrorInvalidHandle);
        EXPECT_EQ(handle->Reset(), WaveErrorInvalidHandle);
        EXPECT_EQ(handle->Close(), WaveErrorInvalidHandle);
    }
    {
        auto handle = OpenOutput(WaveHeader(2, 44100, 16));
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(handle->Pause(), WaveNoError);
        EXPECT_EQ(handle->Reset(), WaveNoError);
        EXPECT_EQ(handle->Close(), WaveNoError);
    }
    {
        // Destroyed without Close, with buffers held and the capture running.
        auto handle = OpenCapture(WaveHeader(2, 44100, 16));
        ASSERT_NE(handle, nullptr);
        ASSERT_EQ(handle->Start(), WaveNoError);
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(handle->AddBuffer(Buffers.Add(4096)), WaveNoError);
    }
}

TEST_F(AlsaWaveDeviceTest, RefusesWhatItCannotCarryWithoutOpeningAnything) {
    const int capture = WaveDeviceId(*System, TWaveDirection::Input, "testcap");
    std::unique_ptr<TWaveHandle> handle;
    TWaveHeaderBytes twelveBits = WaveHeader(2, 44100, 16);
    PutLE(twelveBits, 14, 12, 2);
    EXPECT_EQ(
        System->Open(TWaveDirection::Input, capture, twelveBits.data(), Log.Callback(), handle),
        WaveErrorBadFormat);
    const TWaveHeaderBytes good = WaveHeader(2, 44100, 16);
    const int count = System->DeviceCount(TWaveDirection::Input);
    EXPECT_EQ(System->Open(TWaveDirection::Input, count, good.data(), Log.Callback(), handle),
              WaveErrorBadDeviceId);
    EXPECT_EQ(System->Open(TWaveDirection::Input, -2, good.data(), Log.Callback(), handle),
              WaveErrorBadDeviceId);
    EXPECT_EQ(System->Open(TWaveDirection::Input, capture, good.data(), nullptr, handle),
              WaveErrorInvalidParam);
    std::string name;
    EXPECT_EQ(System->DeviceName(TWaveDirection::Input, count, name), WaveErrorBadDeviceId);
    EXPECT_EQ(handle, nullptr);
    // A PCM name the configuration does not know (a device listed once and gone since).
    TAlsaPcm pcm;
    std::string reason;
    EXPECT_EQ(
        OpenAlsaPcm("nonesuch", TWaveDirection::Output, {2, 44100, 16, 16, 4, 3}, pcm, reason),
        WaveErrorBadDeviceId);
    EXPECT_EQ(pcm.Pcm, nullptr);
    // The user learns which step failed and what ALSA said.
    EXPECT_NE(reason.find("opening: "), std::string::npos) << reason;

    // A buffer that is not whole frames, or no buffer at all.
    ASSERT_EQ(System->Open(TWaveDirection::Input, capture, good.data(), Log.Callback(), handle),
              WaveNoError);
    EXPECT_EQ(handle->AddBuffer(Buffers.Add(4095)), WaveErrorInvalidParam);
    EXPECT_EQ(handle->AddBuffer(nullptr), WaveErrorInvalidParam);
    EXPECT_EQ(handle->Pause(), WaveErrorNotSupported); // capture cannot be held
    EXPECT_EQ(handle->Close(), WaveNoError);
}

TEST_F(AlsaWaveDeviceTest, ListsDefaultFirstAndEachDirectionsOwnDevices) {
    for (TWaveDirection direction : {TWaveDirection::Input, TWaveDirection::Output}) {
        std::vector<std::string> names;
        const int count = System->DeviceCount(direction);
        for (int id = 0; id < count; ++id) {
            std::string name;
            ASSERT_EQ(System->DeviceName(direction, id, name), WaveNoError);
            names.push_back(name);
        }
        const auto has = [&](const char* name) {
            return std::find(names.begin(), names.end(), name) != names.end();
        };
        ASSERT_FALSE(names.empty());
        EXPECT_EQ(names.front(), "default");
        EXPECT_EQ(std::count(names.begin(), names.end(), "default"), 1);
        EXPECT_FALSE(has("null"));
        EXPECT_TRUE(has("testboth"));
        EXPECT_EQ(has("testcap"), direction == TWaveDirection::Input);
        EXPECT_EQ(has("testout"), direction == TWaveDirection::Output);
    }
}

TEST_F(AlsaWaveDeviceTest, AnOpenThatHangsIsGivenUpAndTheDeviceClosedWhenItAnswersLate) {
    // A file plugin writing into a FIFO nobody reads blocks in its open.
    TAlsaPcm pcm;
    std::string reason;
    EXPECT_EQ(OpenAlsaPcmTimed("testfifo", TWaveDirection::Output, {2, 44100, 16, 16, 4, 3}, pcm,
                               reason, std::chrono::milliseconds(300)),
              WaveErrorGeneric);
    EXPECT_EQ(pcm.Pcm, nullptr);
    EXPECT_EQ(reason, "opening: no answer within 300 ms");
    // A reader lets the late open finish; it closes what it opened by itself.
    const int reader =
        ::open(QFile::encodeName(Config->Fifo).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::close(reader);
}

TEST_F(AlsaWaveDeviceTest, ACaptureFasterThanRealTimeIsPacedToItsRate) {
    // A null PCM delivers silence as fast as it is asked: held to about the clock, it cannot
    // spin the program.
    auto handle = OpenNamed(TWaveDirection::Input, "testboth", WaveHeader(2, 44100, 16));
    ASSERT_NE(handle, nullptr);
    for (int i = 0; i < 200; ++i) // 4.6 s of sound
        ASSERT_EQ(handle->AddBuffer(Buffers.Add(4096)), WaveNoError);
    ASSERT_EQ(handle->Start(), WaveNoError);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::size_t filled = Log.Count();
    EXPECT_GE(filled, 1u);
    // 0.5 s, plus the allowed lead and the ring: about 40 buffers of 23 ms; not all 200.
    EXPECT_LE(filled, 60u);
    EXPECT_EQ(handle->Close(), WaveNoError);
}
