// The real program shapes the virtual tuner's sound with the equalizer and shows its level:
// with the "Voice" preset on, the recorded white noise of the test station changes band by band
// as the equalizer's taps say; at a low capture rate a station's chord keeps its level under
// "Default"; and the level columns of the display follow the
// station's sound.
#include "StderrReader.h"
#include "WavReader.h"
#include "XvfbSession.h"
#include "equalizer/GraphicEqualizer.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <complex>
#include <csignal>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>
#include <vector>

namespace {

constexpr int SegmentLength = 1024;

// In-place radix-2 FFT of a power-of-two length.
void Fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * std::numbers::pi / double(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

// The averaged power spectrum (Hann-windowed segments, half overlapping) of both channels of
// 16-bit stereo samples between two times, by FFT bin.
std::vector<double> PowerSpectrum(const TWav& wav, double from, double to) {
    const auto* samples = reinterpret_cast<const qint16*>(wav.Data.constData());
    const auto frames = qsizetype(wav.Data.size() / 4);
    const auto first = qsizetype(from * wav.Rate);
    const auto last = std::min(frames, qsizetype(to * wav.Rate));
    std::vector<double> power(SegmentLength / 2 + 1, 0.0);
    std::vector<std::complex<double>> segment(SegmentLength);
    for (qsizetype start = first; start + SegmentLength <= last; start += SegmentLength / 2)
        for (int channel = 0; channel < 2; ++channel) {
            for (int i = 0; i < SegmentLength; ++i) {
                const double hann =
                    0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / SegmentLength);
                segment[std::size_t(i)] = hann * samples[(start + i) * 2 + channel];
            }
            Fft(segment);
            for (std::size_t bin = 0; bin < power.size(); ++bin)
                power[bin] += std::norm(segment[bin]);
        }
    return power;
}

// |H(f)|² of the taps at bin frequencies.
double TapPower(const std::vector<double>& taps, double frequency, double rate) {
    std::complex<double> sum;
    for (std::size_t k = 0; k < taps.size(); ++k)
        sum += taps[k] * std::polar(1.0, -2.0 * std::numbers::pi * frequency * double(k) / rate);
    return std::norm(sum);
}

void WriteSettings(const QTemporaryDir& config, const QByteArray& text) {
    QFile ini(config.filePath("orvalen.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(text);
}

QImage Screenshot(const TXvfbSession& x, const QString& window, const QString& file) {
    x.Run("import", {"-window", window, file}, 20000);
    return QImage(file);
}

// The program with the virtual tuner, its window found and the tuner connected.
struct TRunningProgram {
    TXvfbSession& X;
    QProcess Program;
    std::unique_ptr<TStderr> Err;
    QString Window;

    TRunningProgram(TXvfbSession& x, const QStringList& arguments) : X(x) {
        Program.setProcessEnvironment(x.Environment());
        Program.start(ORVALEN_BINARY_DIR "/orvalen", arguments);
        if (!Program.waitForStarted())
            return;
        Err = std::make_unique<TStderr>(Program);
        if (Err->WaitFor("Device connected\n"))
            Window = x.FindWindow("USB Orvalen");
    }
    void Click(int left, int top) const {
        X.Run("xdotool", {"mousemove", "--window", Window, QString::number(left),
                          QString::number(top), "click", "1"});
    }
    bool Stop() {
        kill(Program.processId(), SIGTERM);
        return Program.waitForFinished(30000) && Program.exitCode() == 0;
    }
};

const int PowerButton[] = {31, 67};
const int MuteButton[] = {92, 169};
const int EqualizerOnOffButton[] = {312, 169};

// The program with `settings`, recording what it plays to played.wav beside them, with the
// tuner switched on.
void StartPlaying(TXvfbSession& x, const QTemporaryDir& config, const QByteArray& settings,
                  std::optional<TRunningProgram>& run) {
    WriteSettings(config, settings);
    run.emplace(x, QStringList{"--simulate", "--verbose", "--sim-record",
                               config.filePath("played.wav"), "--config-dir", config.path()});
    ASSERT_FALSE(run->Window.isEmpty()) << (run->Err ? run->Err->All().toStdString() : "");
    run->Click(PowerButton[0], PowerButton[1]);
    ASSERT_TRUE(run->Err->WaitFor("WR 00  50 01 00 ")) << run->Err->All().toStdString();
}

} // namespace

TEST(EqualizerEndToEnd, VoicePresetShapesTheRecordedNoiseAsItsTapsSay) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QTemporaryDir config;
    // 16 bits, 44100 Hz, full volume (the amplifier passes samples on unchanged), the
    // equalizer on with "Voice".
    std::optional<TRunningProgram> run;
    ASSERT_NO_FATAL_FAILURE(
        StartPlaying(x, config,
                     "[main]\r\ndirectsound=1\r\nvolume=100\r\naudiobits=1\r\n"
                     "audiosamplerate=5\r\nequalizeron=1\r\nequalizertype=8\r\n",
                     run));
    QThread::msleep(3500);
    run->Click(EqualizerOnOffButton[0], EqualizerOnOffButton[1]); // off
    QThread::msleep(3500);
    ASSERT_TRUE(run->Stop()) << run->Err->All().toStdString();

    const TWav wav = ReadWav(config.filePath("played.wav"));
    ASSERT_EQ(wav.Channels, 2u);
    ASSERT_EQ(wav.Bits, 16u);
    const double seconds = double(wav.Data.size()) / (4.0 * wav.Rate);
    ASSERT_GT(seconds, 5.5);
    // Well clear of the start and of the moment the button was clicked.
    const std::vector<double> on = PowerSpectrum(wav, 0.3, 2.8);
    const std::vector<double> off = PowerSpectrum(wav, seconds - 2.5, seconds);

    const double rate = wav.Rate;
    const double frequencies[] = {80, 170, 310, 600, 1000, 3000, 6000, 10000, 12000, 14000};
    const double voice[] = {1.48, 1.36, 1.24, 0.94, 1.0, 1.0, 1.0, 1.24, 1.36, 1.48};
    std::vector<TEqualizerBand> bands;
    for (int i = 0; i < 10; ++i)
        bands.push_back({frequencies[i], voice[i]});
    const std::vector<double> taps = DesignResponse(bands, rate, TWindowType::wtBartlett, 1.0);

    // Band by band, the measured power ratio against the taps' response averaged over the
    // same bins: wide bands, so that the noise's own scatter stays far below the tolerance.
    const double edges[] = {100, 400, 1500, 5000, 9000, 13000, 17000};
    for (std::size_t b = 0; b + 1 < std::size(edges); ++b) {
        double measuredOn = 0, measuredOff = 0, expected = 0;
        int bins = 0;
        for (std::size_t bin = 0; bin < on.size(); ++bin) {
            const double f = double(bin) * rate / SegmentLength;
            if (f < edges[b] || f >= edges[b + 1])
                continue;
            measuredOn += on[bin];
            measuredOff += off[bin];
            expected += TapPower(taps, f, rate);
            ++bins;
        }
        ASSERT_GT(bins, 0);
        const double measuredDb = 10 * std::log10(measuredOn / measuredOff);
        const double expectedDb = 10 * std::log10(expected / bins);
        EXPECT_NEAR(measuredDb, expectedDb, 0.3)
            << "band " << edges[b] << "–" << edges[b + 1] << " Hz";
    }
}

TEST(EqualizerEndToEnd, AtALowRateDefaultKeepsAChordsLevel) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QTemporaryDir config;
    // 16 bits at 11025 Hz, full volume, the equalizer on with "Default", tuned to 91.2 MHz,
    // whose chord is 248, 310 and 372 Hz at 0.1 of full scale each.
    std::optional<TRunningProgram> run;
    ASSERT_NO_FATAL_FAILURE(StartPlaying(x, config,
                                         "[main]\r\ndirectsound=1\r\nvolume=100\r\naudiobits=1\r\n"
                                         "audiosamplerate=1\r\nequalizeron=1\r\nequalizertype=0\r\n"
                                         "fmfrequency=32\r\n",
                                         run));
    QThread::msleep(3000);
    ASSERT_TRUE(run->Stop()) << run->Err->All().toStdString();

    const TWav wav = ReadWav(config.filePath("played.wav"));
    ASSERT_EQ(wav.Channels, 2u);
    ASSERT_EQ(wav.Bits, 16u);
    ASSERT_EQ(wav.Rate, 11025u);
    const auto* samples = reinterpret_cast<const qint16*>(wav.Data.constData());
    const auto frames = qsizetype(wav.Data.size() / 4);
    // The station sounds from power-on to power-off, each starting mid-wave; half a second
    // either side keeps those edges out.
    qsizetype first = 0, last = frames - 1;
    while (first < frames && samples[first * 2] == 0)
        ++first;
    while (last > first && samples[last * 2] == 0)
        --last;
    const qsizetype from = first + wav.Rate / 2, to = last - wav.Rate / 2;
    ASSERT_GT(to - from, qsizetype(wav.Rate));

    // The chord as the station sends it: it repeats every second, so one second holds its peak.
    double chordPeak = 0;
    for (unsigned t = 0; t <= wav.Rate; ++t) {
        double value = 0;
        for (unsigned tone : {248u, 310u, 372u})
            value += 0.1 * std::sin(2 * std::numbers::pi * double(tone * t % wav.Rate) / wav.Rate);
        value = std::round(value * 32767);
        chordPeak = std::max(chordPeak, std::fabs(value));
    }

    // "Default" leaves the chord's level as it is, within the filter's ripple (bands folded back
    // from above half the sample rate lifted it by 10.7 dB).
    double peak = 0;
    for (qsizetype t = from; t < from + wav.Rate; ++t)
        peak = std::max(peak, std::fabs(double(samples[t * 2])));
    const double db = 20 * std::log10(peak / chordPeak);
    EXPECT_GT(db, -1.0);
    EXPECT_LT(db, 0.5);
}

TEST(EqualizerEndToEnd, LevelColumnsFollowTheStationAndFallWhenMuted) {
    TXvfbSession x;
    ASSERT_TRUE(x.Running());
    QTemporaryDir config;
    WriteSettings(config, "[main]\r\ndirectsound=1\r\nvolume=0\r\n");
    TRunningProgram run(x, {"--simulate", "--verbose", "--config-dir", config.path()});
    ASSERT_FALSE(run.Window.isEmpty()) << (run.Err ? run.Err->All().toStdString() : "");

    run.Click(PowerButton[0], PowerButton[1]);
    ASSERT_TRUE(run.Err->WaitFor("WR 00  50 01 00 ")) << run.Err->All().toStdString();
    QThread::msleep(1500);
    const QImage playing = Screenshot(x, run.Window, config.filePath("playing.png"));
    run.Click(MuteButton[0], MuteButton[1]);
    ASSERT_TRUE(run.Err->WaitFor("WR 00  4D 01 00 ")) << run.Err->All().toStdString();
    QThread::msleep(1500);
    const QImage muted = Screenshot(x, run.Window, config.filePath("muted.png"));
    ASSERT_TRUE(run.Stop()) << run.Err->All().toStdString();
    ASSERT_FALSE(playing.isNull());
    ASSERT_EQ(playing.size(), muted.size());

    // The noise of RMS 0.1 of full scale lights two steps of each column (the meter measures
    // before the volume, which is 0 here); muted, the columns fall to the bottom step. The
    // columns are 25 pixels wide, 5 pixels from either side of the display (at 61, 8 in the
    // window), with their steps 4 pixels apart from the bottom at row 37.
    const int screenLeft = 61, screenTop = 8, screenWidth = 255 - 6 - 1;
    for (const int column : {5, screenWidth - 30}) {
        auto rowDiffers = [&](int row) {
            for (int dx = 0; dx < 25; ++dx) {
                const QPoint p(screenLeft + column + dx, screenTop + row);
                if (playing.pixel(p) != muted.pixel(p))
                    return true;
            }
            return false;
        };
        bool lowerChanged = false;
        for (int row = 29; row <= 36; ++row)
            lowerChanged = lowerChanged || rowDiffers(row);
        EXPECT_TRUE(lowerChanged) << "column at " << column;
        for (int row = 1; row <= 24; ++row)
            EXPECT_FALSE(rowDiffers(row)) << "column at " << column << ", row " << row;
    }
}
