// The sound path through real libasound: a capture from a known input file, the amplifier and
// an output into a file, all as ALSA PCMs of a test configuration (the `file` plugin on the
// `null` device, not paced in real time). At coefficient 1.0 the played bytes are the
// captured bytes; at 0.5 they are the samples halved, ties to even.
#include "FileBytes.h"
#include "PatternBytes.h"
#include "WaitFor.h"
#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "equalizer/Amplifier.h"
#include "platform/sound/WaveDevice.h"

#include <QTemporaryDir>
#include <atomic>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

constexpr unsigned Frames = 1024;
constexpr int Buffers = 12; // compared; the capture goes on past them with stale data

struct TAlsaFiles {
    QTemporaryDir Dir;
    QString Input = Dir.filePath("input.raw");
    QString Output = Dir.filePath("output.raw");
    TAlsaFiles() {
        WriteFileBytes(Input, QByteArray(4, '\0')); // the capture opens it when it opens
        const QString config =
            QStringLiteral("</usr/share/alsa/alsa.conf>\n"
                           "pcm.chaincap { type file; slave.pcm null; file \"/dev/null\";\n"
                           "    infile \"%1\"; format raw }\n"
                           "pcm.chainout { type file; slave.pcm null; file \"%2\"; format raw }\n")
                .arg(Input, Output);
        WriteFileBytes(Dir.filePath("asound.conf"), config.toUtf8());
        setenv("ALSA_CONFIG_PATH", QFile::encodeName(Dir.filePath("asound.conf")).constData(), 1);
    }
};

// Only named devices are opened, so the test's devices are found by name in the lists.
const TAlsaFiles& Files() {
    static const TAlsaFiles files;
    return files;
}

// Counts the buffers the capture sends.
class TCounter : public TAudioComponent {
public:
    TCounter() : FInputPin(this) {
        FInputPin.OnOperation = [this](const TOperationPtr& operation) {
            if (operation->Is<TSuppliedBufferOperation>())
                ++Count;
            return false;
        };
    }
    TAudioSinkPin& InputPin() { return FInputPin; }
    std::atomic<int> Count{0};

private:
    TAudioSinkPin FInputPin;
};

// The samples halved, rounded to nearest with ties to even (8-bit around its silence, 128).
QByteArray Halved(const QByteArray& input, unsigned bits) {
    QByteArray output = input;
    std::fesetround(FE_TONEAREST);
    if (bits == 8) {
        for (char& c : output)
            c = char(128 + int(std::nearbyint((std::uint8_t(c) - 128) * 0.5)));
    } else {
        auto* samples = reinterpret_cast<std::int16_t*>(output.data());
        for (qsizetype i = 0; i < output.size() / 2; ++i)
            samples[i] = std::int16_t(std::nearbyint(samples[i] * 0.5));
    }
    return output;
}

QByteArray Play(unsigned bits, std::uint32_t rate, double coefficient, const QByteArray& input) {
    WriteFileBytes(Files().Input, input);
    QFile::remove(Files().Output);
    auto alsa = CreateAlsaWaveSystem();
    {
        TAudioIn in(*alsa);
        TAmplifier amplifier;
        TAudioOut out(*alsa);
        TCounter counter;
        in.Device().SetDeviceName("chaincap");
        in.AudioFormat().SetBits(bits);
        in.AudioFormat().SetSampleRate(rate);
        amplifier.SetCoefficient(coefficient);
        out.Device().SetDeviceName("chainout");
        // Unpaced devices deliver in bursts: the prefill (and the delay bound after it) is
        // set beyond the whole stream, which the capture's stop then starts.
        out.SetPrefillInterval(600000);
        in.OutputPin().Connect(amplifier.InputPin());
        in.OutputPin().Connect(counter.InputPin());
        amplifier.OutputPin().Connect(out.InputPin());
        // The output first, so that it sees the stream from its start-wave on.
        out.SetEnabled(true);
        in.SetEnabled(true);
        EXPECT_TRUE(WaitFor([&] { return counter.Count >= Buffers; }, 10000));
        in.SetEnabled(false);
        // The file plugin writes what it was given in blocks and the rest when it closes: the
        // wait only gives the output time to be handed everything.
        const qint64 wanted = input.size();
        WaitFor([&] { return QFileInfo(Files().Output).size() >= wanted; }, 3000);
        EXPECT_EQ(out.DroppedBuffers(), 0u);
        in.OutputPin().DisconnectAll();
        amplifier.OutputPin().DisconnectAll();
    }
    return ReadFileBytes(Files().Output);
}

} // namespace

TEST(SoundChain, PlaysTheCapturedBytesUnchangedInEveryFormat) {
    unsigned seed = 1;
    for (const unsigned bits : {8u, 16u, 24u, 32u}) {
        for (const std::uint32_t rate : {8000u, 44100u, 192000u}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, " << rate << " Hz");
            const QByteArray input = PatternBytes(int(Buffers * Frames * 2 * bits / 8), seed++);
            const QByteArray played = Play(bits, rate, 1.0, input);
            ASSERT_GE(played.size(), input.size());
            EXPECT_TRUE(played.left(input.size()) == input);
        }
    }
}

TEST(SoundChain, HalvesTheSamplesWithTiesToEven) {
    for (const unsigned bits : {8u, 16u}) {
        SCOPED_TRACE(bits);
        const QByteArray input = PatternBytes(int(Buffers * Frames * 2 * bits / 8), 99 + bits);
        const QByteArray played = Play(bits, 44100, 0.5, input);
        ASSERT_GE(played.size(), input.size());
        EXPECT_TRUE(played.left(input.size()) == Halved(input, bits));
    }
}
