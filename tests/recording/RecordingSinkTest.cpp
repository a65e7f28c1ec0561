// The recorder on a stream: what it writes, and how a stream's end or change ends the file.
#include "recording/RecordingSink.h"

#include "WaitFor.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

// The stream's sending end.
class TSource : public TAudioComponent {
public:
    TAudioSourcePin Output{this};
    ~TSource() override { Output.DisconnectAll(); }

    void StartWave(unsigned bits, std::uint32_t rate) {
        Output.Notify(std::make_shared<TStartWaveOperation>(MakeWaveFormat(2, bits, rate, 0)));
    }
    // A buffer of frames whose left samples count on from `first`, right ones negated.
    void Send(std::uint32_t rate, int first, std::uint32_t frames) {
        TAudioBuffer buffer = TAudioBuffer::Create(rate, 0, frames, 2, 16);
        auto* samples = reinterpret_cast<std::int16_t*>(buffer.WritableData());
        for (std::uint32_t i = 0; i < frames; ++i) {
            samples[2 * i] = std::int16_t(first + int(i));
            samples[2 * i + 1] = std::int16_t(-(first + int(i)));
        }
        Output.SendBuffer(buffer);
    }
    void EndStop() { Output.SendEndStop(); }
};

std::vector<short> ReadShorts(const std::string& path, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return {};
    std::vector<short> samples(std::size_t(info.frames * info.channels));
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

struct TRecordingSinkTest : ::testing::Test {
    TSource Source;
    TRecordingSink Sink;
    QTemporaryDir Dir;
    std::vector<TRecordingResult> Ended;

    void SetUp() override {
        Source.Output.Connect(Sink.InputPin());
        Sink.OnEnded = [this](const TRecordingResult& result) { Ended.push_back(result); };
    }
    std::string Path(const char* name) { return Dir.filePath(name).toStdString(); }
};

} // namespace

TEST_F(TRecordingSinkTest, OnlyBuffersBetweenStartAndStopAreWritten) {
    EXPECT_EQ(Sink.Start(Path("none.flac")), "No sound is playing.");
    Source.StartWave(16, 22050);
    Source.Send(22050, 0, 100); // before the recording: not in the file
    ASSERT_EQ(Sink.Start(Path("a.flac")), "");
    EXPECT_TRUE(Sink.Recording());
    Source.Send(22050, 1000, 100);
    Source.Send(22050, 1100, 50);
    const TRecordingResult result = Sink.Stop();
    EXPECT_EQ(result.Error, "");
    EXPECT_EQ(result.Dropped, 0u);
    EXPECT_FALSE(Sink.Recording());
    Source.Send(22050, 5000, 10); // after it: not either

    SF_INFO info;
    const std::vector<short> samples = ReadShorts(Path("a.flac"), info);
    EXPECT_EQ(info.samplerate, 22050);
    EXPECT_EQ(info.channels, 2);
    ASSERT_EQ(samples.size(), 300u);
    for (std::size_t i = 0; i < 150; ++i) {
        EXPECT_EQ(samples[2 * i], short(1000 + i));
        EXPECT_EQ(samples[2 * i + 1], short(-(1000 + int(i))));
    }
    RunEvents();
    EXPECT_TRUE(Ended.empty()); // a stop asked for is not reported again
}

TEST_F(TRecordingSinkTest, TheStreamsEndOrAnotherFormatCompletesTheFileAndIsReported) {
    struct TCase {
        const char* Name;
        std::function<void(TSource&)> End;
    };
    const TCase cases[] = {
        {"stop.flac", [](TSource& s) { s.EndStop(); }},
        {"format.flac", [](TSource& s) { s.StartWave(24, 48000); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Ended.clear();
        Source.StartWave(16, 44100);
        ASSERT_EQ(Sink.Start(Path(c.Name)), "");
        Source.Send(44100, 7, 64);
        c.End(Source);
        // The file is complete as soon as the stream has ended: no Stop needed.
        EXPECT_FALSE(Sink.Recording());
        SF_INFO info;
        EXPECT_EQ(ReadShorts(Path(c.Name), info).size(), 128u);
        ASSERT_TRUE(WaitFor([&] { return !Ended.empty(); }));
        EXPECT_EQ(Ended.size(), 1u);
        EXPECT_EQ(Ended.front().Error, "");
        Source.EndStop();
    }
    // The same format again goes on in the same file.
    Source.StartWave(16, 44100);
    ASSERT_EQ(Sink.Start(Path("same.flac")), "");
    Source.StartWave(16, 44100);
    EXPECT_TRUE(Sink.Recording());
    Sink.Stop();
}

TEST_F(TRecordingSinkTest, ADestroyedSinkLeavesACompleteFile) {
    auto sink = std::make_unique<TRecordingSink>();
    Source.Output.Connect(sink->InputPin());
    Source.StartWave(16, 8000);
    ASSERT_EQ(sink->Start(Path("gone.flac")), "");
    Source.Send(8000, 1, 80);
    sink.reset();
    SF_INFO info;
    EXPECT_EQ(ReadShorts(Path("gone.flac"), info).size(), 160u);
}

TEST_F(TRecordingSinkTest, ARecordingThatGotNoSoundLeavesNoFileAndSaysSo) {
    // Ended before the first buffer: by the user, by the stream's end, by another format.
    struct TCase {
        const char* Name;
        std::function<TRecordingResult(TRecordingSinkTest&)> End;
    };
    const TCase cases[] = {
        {"stop.flac", [](TRecordingSinkTest& t) { return t.Sink.Stop(); }},
        {"end.flac",
         [](TRecordingSinkTest& t) {
             t.Source.EndStop();
             EXPECT_TRUE(WaitFor([&] { return !t.Ended.empty(); }));
             return t.Ended.empty() ? TRecordingResult{} : t.Ended.back();
         }},
        {"format.flac",
         [](TRecordingSinkTest& t) {
             t.Source.StartWave(24, 48000);
             EXPECT_TRUE(WaitFor([&] { return !t.Ended.empty(); }));
             return t.Ended.empty() ? TRecordingResult{} : t.Ended.back();
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Ended.clear();
        Source.StartWave(16, 44100);
        ASSERT_EQ(Sink.Start(Path(c.Name)), "");
        const TRecordingResult result = c.End(*this);
        EXPECT_FALSE(Sink.Recording());
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Path(c.Name))));
        EXPECT_EQ(result.Error, "No sound reached the recording.");
        EXPECT_EQ(result.Frames, 0u);
        Source.EndStop();
    }
    // Any sound is a recording, and the file says how much it holds: lengths whose last frame
    // is coded in each way the encoder has (8 and 16-bit counts, the standard sizes).
    for (const std::uint32_t frames : {1u, 192u, 576u, 1000u, 4096u, 2 * 4096u + 1}) {
        SCOPED_TRACE(frames);
        const std::string path = Path("sound.flac");
        Source.StartWave(16, 44100);
        ASSERT_EQ(Sink.Start(path), "");
        Source.Send(44100, 1, frames);
        const TRecordingResult result = Sink.Stop();
        EXPECT_EQ(result.Error, "");
        EXPECT_EQ(result.Frames, frames);
        SF_INFO info;
        EXPECT_EQ(ReadShorts(path, info).size(), 2 * std::size_t(frames));
        Source.EndStop();
    }
}
