#include "sim/WavFile.h"

#include "SimSoundTestSupport.h"
#include "sim/BandPlan.h"
#include "sim/StationSound.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::vector<std::uint8_t> FileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return {bytes.begin(), bytes.end()};
}

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

// The file as a reader sees it: its sizes agree with its length and with dataBytes, and the
// data after the header is data.
void ExpectWav(const std::string& path, const std::vector<std::uint8_t>& data) {
    const auto bytes = FileBytes(path);
    ASSERT_GE(bytes.size(), 44u);
    const std::size_t headerBytes = bytes[20] == 1 ? 44 : 68; // plain or extensible
    ASSERT_EQ(bytes.size(), headerBytes + data.size() + (data.size() & 1));
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Le32(bytes, headerBytes - 4), data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), bytes.begin() + std::ptrdiff_t(headerBytes)));
}

std::string Soxi(const std::string& option, const std::string& path) {
    std::string out;
    EXPECT_TRUE(RunCommand("soxi " + option + " '" + path + "'", out)) << option << " " << path;
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

bool SameBytes(const std::string& decoded, const std::vector<std::uint8_t>& data) {
    return decoded.size() == data.size() &&
           std::equal(data.begin(), data.end(), decoded.begin(),
                      [](std::uint8_t a, char b) { return a == std::uint8_t(b); });
}

std::vector<std::uint8_t> Noise(const TWaveFormat& format, std::size_t frames) {
    std::vector<std::uint8_t> data(frames * format.BlockAlign);
    TStationSound(format).Fill({true, false, SimStationAt(880)}, data.data(), frames);
    return data;
}

class WavFile : public ::testing::Test {
protected:
    std::string Path(const char* name = "rec.wav") const {
        return FDir.filePath(name).toStdString();
    }

private:
    QTemporaryDir FDir;
};

} // namespace

TEST_F(WavFile, SoundToolsReadEveryFormatBack) {
    const bool sox = HaveTool("soxi") && HaveTool("sox");
    const bool flac = HaveTool("flac");
    const struct {
        const char* Name;
        TWaveFormat Format;
    } cases[] = {
        {"U8 mono", MakeFormat(1, 8000, 8)},
        {"S16 stereo", MakeFormat(2, 44100, 16)},
        {"S24 stereo", MakeFormat(2, 48000, 24)},
        {"20 bits in 24", MakeFormat(2, 48000, 24, 20)},
        {"S32 six channels", MakeFormat(6, 96000, 32)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = Path();
        const auto data = Noise(c.Format, 1235);
        TWavFile file(path);
        file.BeginStream(c.Format);
        const std::size_t half = 600 * c.Format.BlockAlign;
        file.Write(data.data(), half);
        file.Write(data.data() + half, data.size() - half);
        file.EndStream();
        EXPECT_EQ(file.Error(), "");
        ExpectWav(path, data);
        if (sox) {
            EXPECT_EQ(Soxi("-t", path), "wav");
            EXPECT_EQ(Soxi("-c", path), std::to_string(c.Format.Channels));
            EXPECT_EQ(Soxi("-r", path), std::to_string(c.Format.SampleRate));
            EXPECT_EQ(Soxi("-b", path), std::to_string(c.Format.ContainerBits));
            EXPECT_EQ(Soxi("-s", path), "1235");
            std::string raw;
            ASSERT_TRUE(RunCommand("sox '" + path + "' -t raw -", raw));
            EXPECT_TRUE(SameBytes(raw, data));
        }
        if (flac) {
            const std::string sign = c.Format.ContainerBits == 8 ? "unsigned" : "signed";
            std::string raw;
            ASSERT_TRUE(RunCommand("flac -s -f -o '" + path + ".flac' '" + path + "'", raw));
            ASSERT_TRUE(RunCommand("flac -d -s -c --force-raw-format --endian=little --sign=" +
                                       sign + " '" + path + ".flac'",
                                   raw));
            EXPECT_TRUE(SameBytes(raw, data));
        }
    }
    if (!sox || !flac)
        GTEST_SKIP() << "sox or flac is not installed: only the bytes were checked";
}

TEST_F(WavFile, ReadableWhileWrittenAppendsTheSameFormatAndRestartsOnAnother) {
    const bool sox = HaveTool("soxi");
    const std::string path = Path();
    const TWaveFormat stereo = MakeFormat(2, 44100, 16);
    const auto first = Noise(stereo, 1000);
    TWavFile file(path);
    file.BeginStream(stereo);
    file.Write(first.data(), first.size());
    ExpectWav(path, first); // not closed yet
    if (sox) {
        EXPECT_EQ(Soxi("-s", path), "1000");
    }
    file.EndStream();

    const auto second = Noise(stereo, 300);
    file.BeginStream(stereo);
    file.Write(second.data(), second.size());
    file.EndStream();
    auto both = first;
    both.insert(both.end(), second.begin(), second.end());
    ExpectWav(path, both);

    // Removed between streams: the next stream starts a new file.
    ASSERT_EQ(std::remove(path.c_str()), 0);
    file.BeginStream(stereo);
    file.Write(second.data(), second.size());
    file.EndStream();
    ExpectWav(path, second);

    const TWaveFormat mono = MakeFormat(1, 8000, 8);
    const auto third = Noise(mono, 301); // odd: the data chunk gets its pad byte
    file.BeginStream(mono);
    file.Write(third.data(), third.size());
    ExpectWav(path, third);
    file.EndStream();
    ExpectWav(path, third);
    if (sox) {
        EXPECT_EQ(Soxi("-c", path), "1");
        EXPECT_EQ(Soxi("-r", path), "8000");
        EXPECT_EQ(Soxi("-s", path), "301");
    }
    EXPECT_EQ(file.Error(), "");
}

TEST_F(WavFile, UnwritablePathsAndFailedWritesGiveAnErrorText) {
    // At start-up: created or emptied, or a sentence naming the file.
    const std::string path = Path();
    QFile existing(QString::fromStdString(path));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("old content");
    existing.close();
    EXPECT_EQ(PrepareWavFile(path), "");
    EXPECT_TRUE(FileBytes(path).empty());
    const std::string missing = Path("no-such-folder/rec.wav");
    EXPECT_NE(PrepareWavFile(missing).find(missing), std::string::npos);
    EXPECT_NE(PrepareWavFile(Path("")), ""); // the folder itself
    // A device would swallow the recording, a FIFO would hold the start-up until read.
    EXPECT_NE(PrepareWavFile("/dev/full").find("not a regular file"), std::string::npos);
    const std::string fifo = Path("fifo.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(PrepareWavFile(fifo).find("not a regular file"), std::string::npos);

    const TWaveFormat stereo = MakeFormat(2, 44100, 16);
    const auto data = Noise(stereo, 200);
    {
        TWavFile full("/dev/full");
        full.BeginStream(stereo);
        full.Write(data.data(), data.size());
        full.EndStream();
        EXPECT_NE(full.Error().find("No space"), std::string::npos) << full.Error();
    }

    // A file at its size limit keeps what it holds, readable, and takes nothing more.
    TWavFile limited(path, 1000);
    limited.BeginStream(stereo);
    limited.Write(data.data(), 600);
    limited.Write(data.data() + 600, 600);
    EXPECT_NE(limited.Error(), "");
    limited.BeginStream(stereo);
    limited.Write(data.data(), 4);
    limited.EndStream();
    ExpectWav(path, std::vector<std::uint8_t>(data.begin(), data.begin() + 600));
}
