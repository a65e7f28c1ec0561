// The writer against real FLAC files (read back with libsndfile) and against a file that is
// slow or failing, to see what the sound thread meets.
#include "recording/RecordingWriter.h"

#include "recording/RecordingFile.h"
#include "recording/RecordingSamples.h"

#include <QTemporaryDir>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <sndfile.h>
#include <sys/resource.h>
#include <vector>

namespace {

struct TReadBack {
    SF_INFO Info{};
    std::vector<int> Samples; // at the file's own bit depth
};

TReadBack ReadFlac(const std::string& path) {
    TReadBack back;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &back.Info);
    if (!file)
        return back;
    std::vector<int> scaled(std::size_t(back.Info.frames * back.Info.channels));
    scaled.resize(std::size_t(sf_readf_int(file, scaled.data(), back.Info.frames)) *
                  std::size_t(back.Info.channels));
    const int shift = 32 - ((back.Info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_S8   ? 8
                            : (back.Info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 16
                                                                                         : 24);
    for (int value : scaled)
        back.Samples.push_back(value >> shift);
    sf_close(file);
    return back;
}

// Little-endian container bytes of the values.
std::vector<std::uint8_t> Bytes(const std::vector<std::int64_t>& values, unsigned bits) {
    std::vector<std::uint8_t> bytes;
    for (std::int64_t value : values)
        for (unsigned b = 0; b < bits / 8; ++b)
            bytes.push_back(std::uint8_t(std::uint64_t(value) >> (8 * b)));
    return bytes;
}

std::unique_ptr<IRecordingFile> Flac(const std::string& path, const TRecordingFormat& format) {
    std::string error;
    auto file = CreateFlacFile(path, format, error);
    EXPECT_TRUE(file) << error;
    return file;
}

} // namespace

TEST(RecordingWriter, EachSampleSizeReadsBackAsTheFileSampleItBecomes) {
    struct TCase {
        unsigned Bits;
        int Subtype;
        std::vector<std::int64_t> In; // container values (8-bit unsigned)
        std::vector<int> Out;         // the FLAC file's values
    };
    const TCase cases[] = {
        {8, SF_FORMAT_PCM_S8, {0, 1, 127, 128, 129, 255}, {-128, -127, -1, 0, 1, 127}},
        {16, SF_FORMAT_PCM_16, {-32768, -1, 0, 1, 12345, 32767}, {-32768, -1, 0, 1, 12345, 32767}},
        {24,
         SF_FORMAT_PCM_24,
         {-8388608, -65536, -1, 0, 1, 8388607},
         {-8388608, -65536, -1, 0, 1, 8388607}},
        // 32-bit samples keep their upper 24 bits; the lowest byte goes, towards minus infinity.
        {32,
         SF_FORMAT_PCM_24,
         {-2147483648LL, -257, -1, 0, 255, 256, 2147483647},
         {-8388608, -2, -1, 0, 0, 1, 8388607}},
    };
    QTemporaryDir dir;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Bits);
        const std::string path = dir.filePath(QString("r%1.flac").arg(c.Bits)).toStdString();
        const TRecordingFormat format{1, 48000, c.Bits};
        // Several small slots, so a buffer also goes through the split into slots.
        TRecordingWriter writer(Flac(path, format), format, {8, 4});
        const std::vector<std::uint8_t> edges = Bytes(c.In, c.Bits);
        // A longer changing run after the edge values: the encoder's prediction must not round.
        std::vector<std::int64_t> ramp;
        std::vector<int> rampOut;
        for (int i = 0; i < 5000; ++i) {
            const std::int64_t scale = c.Bits == 8 ? 1 : (std::int64_t(1) << (c.Bits - 8));
            const std::int64_t v =
                std::int64_t((i * 7919) % 255) * scale + (c.Bits == 8 ? 0 : i % 97);
            ramp.push_back(v);
        }
        const std::vector<std::uint8_t> rampBytes = Bytes(ramp, c.Bits);
        std::vector<std::int32_t> converted(ramp.size());
        ConvertToFlacSamples(rampBytes.data(), ramp.size(), c.Bits, converted.data());
        EXPECT_TRUE(writer.Push(edges.data(), edges.size()));
        for (std::size_t at = 0; at < rampBytes.size(); at += 16 * c.Bits / 8) {
            const std::size_t n = std::min<std::size_t>(16 * c.Bits / 8, rampBytes.size() - at);
            while (!writer.Push(rampBytes.data() + at, n))
                std::this_thread::yield();
        }
        EXPECT_EQ(writer.Finish(), "");
        const TReadBack back = ReadFlac(path);
        ASSERT_EQ(back.Info.format, SF_FORMAT_FLAC | c.Subtype);
        EXPECT_EQ(back.Info.samplerate, 48000);
        EXPECT_EQ(back.Info.channels, 1);
        ASSERT_EQ(back.Samples.size(), c.Out.size() + ramp.size());
        EXPECT_EQ(std::vector<int>(back.Samples.begin(), back.Samples.begin() + long(c.Out.size())),
                  c.Out);
        EXPECT_TRUE(std::equal(converted.begin(), converted.end(),
                               back.Samples.begin() + long(c.Out.size())));
    }
}

namespace {

// A file that takes frames only while the test lets it.
class TGatedFile : public IRecordingFile {
public:
    std::string Write(const std::int32_t* samples, std::size_t frames) override {
        std::unique_lock lock(FLock);
        FOpen.wait(lock, [this] { return FLetThrough; });
        Written.insert(Written.end(), samples, samples + frames * 2);
        return FailWith;
    }
    std::string Close() override { return {}; }
    std::uint64_t Frames() const override { return Written.size() / 2; }
    void Open() {
        std::lock_guard lock(FLock);
        FLetThrough = true;
        FOpen.notify_all();
    }
    std::vector<std::int32_t> Written;
    std::string FailWith;

private:
    std::mutex FLock;
    std::condition_variable FOpen;
    bool FLetThrough = false;
};

} // namespace

TEST(RecordingWriter, ASlowDiskDropsAndCountsBuffersButNeverHoldsUpTheSound) {
    auto owned = std::make_unique<TGatedFile>();
    TGatedFile& file = *owned;
    const TRecordingFormat format{2, 44100, 16};
    TRecordingWriter writer(std::move(owned), format, {4, 8});
    // Buffers of 8 frames, one slot each. A slot stays taken until the file has its frames, so
    // with the file hanging four buffers are accepted and every later one is dropped at once.
    std::vector<std::int16_t> samples(16);
    int accepted = 0;
    for (int n = 0; n < 20; ++n) {
        std::fill(samples.begin(), samples.end(), std::int16_t(n));
        accepted += writer.Push(reinterpret_cast<const std::uint8_t*>(samples.data()), 32);
    }
    EXPECT_EQ(accepted, 4);
    EXPECT_EQ(writer.Dropped(), 16u);
    file.Open();
    EXPECT_EQ(writer.Finish(), "");
    // What was accepted is written whole and in order.
    ASSERT_EQ(file.Written.size(), std::size_t(accepted) * 16);
    for (int n = 0; n < accepted; ++n)
        EXPECT_EQ(file.Written[std::size_t(n) * 16], n);
}

TEST(RecordingWriter, AFailingFileIsReportedOnceAndTheRestIsDiscarded) {
    auto owned = std::make_unique<TGatedFile>();
    TGatedFile& file = *owned;
    file.FailWith = "Cannot write file \"x\". No space left on device";
    file.Open();
    TRecordingWriter writer(std::move(owned), {2, 44100, 16}, {4, 8});
    std::atomic<int> reports{0};
    writer.OnError = [&](const std::string&) { ++reports; };
    std::vector<std::uint8_t> bytes(32);
    for (int n = 0; n < 50; ++n) {
        writer.Push(bytes.data(), bytes.size());
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_EQ(writer.Finish(), file.FailWith);
    EXPECT_EQ(reports.load(), 1);
    EXPECT_EQ(file.Written.size(), 16u); // nothing after the failure
}
