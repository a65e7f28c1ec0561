#include "tuner/TunerProtocol.h"

#include <gtest/gtest.h>
#include <vector>

using namespace TunerProtocol;

namespace {

std::vector<int> Bytes(const QByteArray& a) {
    std::vector<int> out;
    for (char c : a)
        out.push_back(std::uint8_t(c));
    return out;
}

TStatusEffects Decode(std::vector<std::uint8_t> data, TStatusInput in = {}) {
    return DecodeStatus(data.data(), data.size(), in);
}

} // namespace

TEST(TunerProtocol, CommandBytes) {
    struct Case {
        QByteArray command;
        std::vector<int> bytes;
    } cases[] = {
        {CommandFlag('S', false), {0x53, 0x00}},     {CommandFlag('S', true), {0x53, 0x01}},
        {CommandFlag('P', true), {0x50, 0x01}},      {CommandTune(true, 0), {0x46, 0x00, 0x20}},
        {CommandTune(true, 200), {0x46, 200, 0x20}}, {CommandTune(false, 81), {0x55, 81, 0x20}},
        {CommandChipVolume(0), {0x76, 0x01}},        {CommandChipVolume(15), {0x76, 0x10}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Bytes(c.command), c.bytes);
}

TEST(TunerProtocol, OutputReportKeepsZeroArgumentAndPadsToReportLength) {
    const QByteArray report = OutputReport(CommandTune(true, 0), 65);
    ASSERT_EQ(report.size(), 65);
    EXPECT_EQ(Bytes(report.left(5)), (std::vector<int>{0, 0x46, 0x00, 0x20, 0}));
    EXPECT_EQ(report.mid(4), QByteArray(61, '\0'));
    // A short output length still gets the 64-byte zeroed buffer; the caller writes fewer.
    EXPECT_EQ(OutputReport(CommandFlag('g', false).left(1), 9).size(), 64);
}

TEST(TunerProtocol, FullStateFlagsAndVolumeByte) {
    TFullState fm;
    fm.PowerOn = true;
    fm.Stereo = true;
    fm.BandFM = true;
    fm.Started = true;
    EXPECT_EQ(FullStateFlags(fm), 0x35);
    TFullState ukvBass = fm;
    ukvBass.BandFM = false;
    ukvBass.Bass = true;
    EXPECT_EQ(FullStateFlags(ukvBass), 0xBD);
    EXPECT_EQ(FullStateFlags(TFullState{.BandFM = true}), 0x20);

    struct Case {
        bool digital;
        int hardVolume;
        int slider;
        bool rds;
        int expected;
    } cases[] = {
        {false, 8, 15, false, 0x0F}, {false, 8, 15, true, 0x1F},   {true, 8, 15, false, 0x08},
        {true, 8, 15, true, 0x18},   {false, 8, 100, false, 0x04}, // the low four bits only
    };
    for (const Case& c : cases) {
        TFullState s;
        s.DigitalAudio = c.digital;
        s.HardVolume = c.hardVolume;
        s.VolumePosition = c.slider;
        s.UseRDS = c.rds;
        EXPECT_EQ(FullStateVolumeRDS(s), c.expected) << c.digital << c.slider << c.rds;
    }
    fm.Position = 173;
    fm.UseRDS = true;
    fm.VolumePosition = 3;
    EXPECT_EQ(Bytes(CommandFullState(fm)), (std::vector<int>{0x49, 173, 0x35, 0x13}));
}

TEST(TunerProtocol, RoundHalfEven) {
    struct Case {
        std::int64_t n, d, q;
    } cases[] = {{150, 100, 2},   {250, 100, 2},   {251, 100, 3}, {249, 100, 2}, {-150, 100, -2},
                 {-250, 100, -2}, {-251, 100, -3}, {0, 100, 0},   {99, 100, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(DivRoundHalfEven(c.n, c.d), c.q) << c.n << "/" << c.d;
}

TEST(TunerProtocol, TeaPllReport) {
    // PLL 10770 gives 88 001 760 Hz: tune value 880, position 0. Level 12, stereo bit set.
    struct Case {
        std::vector<std::uint8_t> data;
        bool stereoAllowed;
        std::optional<int> position;
        bool isStereo;
        int level;
        QString log;
    } cases[] = {
        {{0x05, 0x2A, 0x12, 0xC0}, true, 0, true, 12, "freq=880 level=12 stereo=on "},
        {{0x06, 0xEA, 0x12, 0xC0}, false, 0, false, 12, "freq=880 level=12 stereo=off "},
        // 108.0 MHz: PLL 13211 -> 108 007 ... Hz, position 200
        {{0x05, 0x33, 0x9B, 0x40}, true, 200, false, 4, "freq=1080 level=4 stereo=off "},
        // PLL 0: far below the band, the slider stays
        {{0x05, 0x00, 0x00, 0x00}, true, std::nullopt, false, 0, "freq=-2 level=0 stereo=off "},
        // PLL 0x3FFF: above the band
        {{0x05, 0xFF, 0xFF, 0xF0}, true, std::nullopt, true, 15, "freq=1340 level=15 stereo=on "},
    };
    for (const Case& c : cases) {
        const TStatusEffects e = Decode(c.data, {.Stereo = c.stereoAllowed});
        EXPECT_EQ(e.Format, TStatusFormat::TeaPll);
        EXPECT_EQ(e.SliderPosition, c.position) << c.log.toStdString();
        EXPECT_FALSE(e.TuneValue);
        EXPECT_TRUE(e.SetsSignal);
        EXPECT_EQ(e.IsStereo, c.isStereo);
        EXPECT_EQ(e.TuneLevel, c.level);
        EXPECT_EQ(e.LogLine, c.log);
    }
}

TEST(TunerProtocol, PllWordsAcrossTheBandGiveTheirPosition) {
    for (int position = 0; position <= 200; ++position) {
        const std::int64_t hertz = (880 + position) * std::int64_t(100000);
        const int pll = int((4 * (hertz + 225000) + 16384) / 32768);
        const TStatusEffects e =
            Decode({0x05, std::uint8_t(pll >> 8), std::uint8_t(pll & 0xFF), 0});
        ASSERT_EQ(e.SliderPosition, position);
    }
}

TEST(TunerProtocol, LevelOnlyReportLeavesTuningAlone) {
    const TStatusEffects e = Decode({'R', 0x2A, 0x12, 0x90});
    EXPECT_EQ(e.Format, TStatusFormat::TeaLevel);
    EXPECT_FALSE(e.SliderPosition);
    EXPECT_FALSE(e.TuneValue);
    EXPECT_TRUE(e.IsStereo);
    EXPECT_EQ(e.TuneLevel, 9);
    EXPECT_EQ(e.LogLine, " level=9 stereo=on ");
}

TEST(TunerProtocol, RdaChannelReport) {
    struct Case {
        int channel;
        bool bandFM;
        std::optional<int> position;
        int tuneValue;
    } cases[] = {
        {10, true, 0, 880},
        {210, true, 200, 1080},
        {9, true, std::nullopt, 879},
        {211, true, std::nullopt, 1081},
        {150, false, std::nullopt, 800},
        {9, false, 0, 659},
        {90, false, 81, 740},
        {1023, true, std::nullopt, 1893},
    };
    for (const Case& c : cases) {
        const TStatusEffects e = Decode(
            {0x08, std::uint8_t(c.channel >> 2), std::uint8_t(((c.channel & 3) << 6) | 0x3F)},
            {.BandFM = c.bandFM});
        EXPECT_EQ(e.Format, TStatusFormat::RdaChannel);
        EXPECT_EQ(e.SliderPosition, c.position) << c.channel;
        EXPECT_EQ(e.TuneValue, c.tuneValue) << c.channel;
        EXPECT_EQ(e.LogLine, QStringLiteral("freq=%1").arg(870 + c.channel));
        EXPECT_FALSE(e.SetsSignal);
        if (c.position) {
            EXPECT_EQ(TuneValueOf(c.bandFM, *c.position), c.tuneValue);
        }
    }
}

TEST(TunerProtocol, RdaStatusReport) {
    std::vector<std::uint8_t> data(23, 0);
    data[0] = 'r';
    data[1] = 0x14;
    data[3] = 0xA0;
    const TStatusEffects on = Decode(data, {.Stereo = true, .UseRDS = true});
    EXPECT_EQ(on.Format, TStatusFormat::RdaStatus);
    EXPECT_TRUE(on.SetsSignal);
    EXPECT_TRUE(on.SetsRDS);
    EXPECT_TRUE(on.IsStereo);
    EXPECT_TRUE(on.RDSEnabled);
    EXPECT_EQ(on.TuneLevel, 10);
    EXPECT_EQ(on.LogLine, " rds=");
    EXPECT_FALSE(on.SliderPosition);
    EXPECT_FALSE(on.TuneValue);

    const TStatusEffects off = Decode(data, {.Stereo = false, .UseRDS = false});
    EXPECT_FALSE(off.IsStereo);
    EXPECT_FALSE(off.RDSEnabled);
}

// The name is always eight characters, one per byte, zeros included; bytes from 0x80 up are
// Windows-1251 letters, as in the users' station files.
TEST(TunerProtocol, RdaStatusNameBytes) {
    const struct {
        std::vector<std::uint8_t> name; // data bytes 15.., the rest of the report is cut
        const char16_t* text;
    } cases[] = {
        {{'M', 'A', 'Y', 'A', 'K', 0, 0, 0}, u"MAYAK\0\0\0"},
        {{0xCC, 0xC0, 0xDF, 0xCA, ' ', ' ', 'F', 'M'}, u"МАЯК  FM"},
        {{0xC5, 0xE2, 0xF0, 0xEE, 0xEF, 0xE0, ' ', '+'}, u"Европа +"},
        {{0xA8, 0xB8, 0x80, 0xB9, 0x98, 0xFF, 0xC0, 0x7F}, u"ЁёЂ№\u0098яА\u007F"},
        {{'A'}, u"A\0\0\0\0\0\0\0"}, // a report cut inside the name reads zeros
        {{}, u"\0\0\0\0\0\0\0\0"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> data(15, 0);
        data[0] = 'r';
        data.insert(data.end(), c.name.begin(), c.name.end());
        const QString expected = QString::fromUtf16(c.text, 8);
        const TStatusEffects e = Decode(data, {.UseRDS = true});
        EXPECT_EQ(e.RDSString, expected) << e.RDSString.toStdString();
        EXPECT_EQ(e.LogLine, " rds="); // the name is not logged
    }
}

TEST(TunerProtocol, OtherFirstBytesAreNotInterpreted) {
    for (std::vector<std::uint8_t> data : std::vector<std::vector<std::uint8_t>>{
             {}, {0x00, 0x72, 0x72}, {0x07}, {'g'}, {0xFF, 0x05}}) {
        const TStatusEffects e = Decode(data);
        EXPECT_EQ(e.Format, TStatusFormat::None);
        EXPECT_TRUE(e.LogLine.isEmpty());
        EXPECT_FALSE(e.SliderPosition || e.TuneValue || e.SetsSignal || e.SetsRDS);
    }
}

TEST(TunerProtocol, LogLines) {
    QByteArray status = OutputReport("g", 65).left(65);
    QString expected = "WR 00  67 ";
    for (int i = 0; i < 63; ++i)
        expected += "00 ";
    EXPECT_EQ(WriteLine(status), expected);

    const std::uint8_t data[] = {0xAB, 0x0F, 0x72};
    EXPECT_EQ(ReadLine(0x01, data, 3), "RD 01  AB 0F 72 ");
    EXPECT_EQ(ReadLine(0x00, nullptr, 0), "RD 00  ");
    EXPECT_EQ(ConnectedLine(), "Device connected");
    EXPECT_EQ(DisconnectedLine("FM Radio"), "Device \"FM Radio\" Disconnected!");
    EXPECT_EQ(DataErrorLine(19), "Error N 19");
    EXPECT_EQ(WriteErrorLine(5), "WRITE ERROR: Input/output error (5)");
    EXPECT_EQ(WriteErrorLine(110), "WRITE ERROR: Connection timed out (6E)");
    EXPECT_FALSE(SystemErrorText(2).endsWith('.'));
}
