#include "TunerProtocol.h"

#include "platform/system/CodePage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace TunerProtocol {

namespace {

QString Hex2(unsigned value) {
    return QString::asprintf("%.2X", value);
}

int BandMax(bool bandFM) {
    return bandFM ? FMMaxPosition : UKVMaxPosition;
}

} // namespace

QByteArray CommandFlag(char letter, bool value) {
    QByteArray command;
    command.append(letter);
    command.append(char(value ? 1 : 0));
    return command;
}

QByteArray CommandTune(bool bandFM, int position) {
    QByteArray command;
    command.append(bandFM ? 'F' : 'U');
    command.append(char(position & 0xFF));
    command.append(' ');
    return command;
}

QByteArray CommandChipVolume(int volume) {
    QByteArray command;
    command.append('v');
    command.append(char((volume + 1) & 0xFF));
    return command;
}

std::uint8_t FullStateFlags(const TFullState& state) {
    std::uint8_t flags = 0x20;
    if (state.PowerOn)
        flags |= 0x01;
    if (state.Muted)
        flags |= 0x02;
    if (state.Stereo)
        flags |= 0x04;
    if (!state.BandFM)
        flags |= 0x08;
    if (state.Started)
        flags |= 0x10;
    if (state.Bass)
        flags |= 0x80;
    return flags;
}

std::uint8_t FullStateVolumeRDS(const TFullState& state) {
    const int volume = state.DigitalAudio ? state.HardVolume : state.VolumePosition;
    std::uint8_t value = std::uint8_t(volume & 0x0F);
    if (state.UseRDS)
        value |= 0x10;
    return value;
}

QByteArray CommandFullState(const TFullState& state) {
    QByteArray command;
    command.append('I');
    command.append(char(state.Position & 0xFF));
    command.append(char(FullStateFlags(state)));
    command.append(char(FullStateVolumeRDS(state)));
    return command;
}

QByteArray OutputReport(const QByteArray& command, int outputLength) {
    const int size = std::max({MinReportBuffer, outputLength, int(command.size()) + 1});
    QByteArray report(size, '\0');
    std::memcpy(report.data() + 1, command.constData(), size_t(command.size()));
    return report;
}

int TuneValueOf(bool bandFM, int position) {
    return (bandFM ? FMBase : UKVBase) + position;
}

std::int64_t PllToHertz(int pll) {
    return std::int64_t(pll) * 32768 / 4 - 225000;
}

std::int64_t DivRoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
    std::int64_t quotient = numerator / denominator;
    std::int64_t remainder = numerator % denominator;
    if (remainder < 0) { // floor division, so that the remainder is never negative
        --quotient;
        remainder += denominator;
    }
    const std::int64_t twice = 2 * remainder;
    if (twice > denominator || (twice == denominator && (quotient & 1) != 0))
        ++quotient;
    return quotient;
}

int ChannelToPosition(bool bandFM, int channel) {
    return bandFM ? channel - 10 : channel - 9;
}

int PositionToChannel(bool bandFM, int position) {
    return bandFM ? position + 10 : position + 9;
}

TStatusFormat StatusFormatOf(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || data == nullptr)
        return TStatusFormat::None;
    switch (data[0]) {
    case 0x05:
    case 0x06:
        return TStatusFormat::TeaPll;
    case 'R':
        return TStatusFormat::TeaLevel;
    case 0x08:
        return TStatusFormat::RdaChannel;
    case 'r':
        return TStatusFormat::RdaStatus;
    default:
        return TStatusFormat::None;
    }
}

TStatusEffects DecodeStatus(const std::uint8_t* data, std::size_t size, const TStatusInput& in) {
    std::array<std::uint8_t, StatusCopySize> d{};
    if (data != nullptr)
        std::memcpy(d.data(), data, std::min(size, d.size()));

    TStatusEffects effects;
    effects.Format = StatusFormatOf(data, size);
    // A position outside the slider's range is never applied: the slider would clamp it
    // and store a band position the tuner is not on.
    const auto inRange = [&](int position) {
        return position >= 0 && position <= BandMax(in.BandFM);
    };

    switch (effects.Format) {
    case TStatusFormat::None:
        break;
    case TStatusFormat::TeaPll:
    case TStatusFormat::TeaLevel: {
        if (effects.Format == TStatusFormat::TeaPll) {
            const int pll = ((d[1] & 0x3F) << 8) | d[2];
            const int position = int(DivRoundHalfEven(PllToHertz(pll), 100000)) - FMBase;
            if (inRange(position))
                effects.SliderPosition = position;
            effects.Frequency = position + FMBase;
            effects.LogLine = QStringLiteral("freq=%1").arg(position + FMBase);
        }
        effects.SetsSignal = true;
        effects.IsStereo = (d[3] & 0x80) != 0 && in.Stereo;
        effects.TuneLevel = d[3] >> 4;
        effects.LogLine +=
            QStringLiteral(" level=%1 stereo=%2 ")
                .arg(effects.TuneLevel)
                .arg(effects.IsStereo ? QStringLiteral("on") : QStringLiteral("off"));
        break;
    }
    case TStatusFormat::RdaChannel: {
        const int channel = (d[1] << 2) + (d[2] >> 6);
        const int position = ChannelToPosition(in.BandFM, channel);
        if (inRange(position))
            effects.SliderPosition = position;
        effects.LogLine = QStringLiteral("freq=%1").arg(870 + channel);
        effects.TuneValue = (in.BandFM ? 870 : 650) + channel;
        effects.Frequency = effects.TuneValue;
        break;
    }
    case TStatusFormat::RdaStatus: {
        effects.SetsSignal = true;
        effects.IsStereo = (d[1] & 0x04) != 0 && in.Stereo;
        effects.TuneLevel = d[3] >> 4;
        effects.SetsRDS = true;
        effects.RDSEnabled = (d[1] & 0x10) != 0 && in.UseRDS;
        // Byte for byte, zeros included: always eight characters. Names are sent in the
        // same single-byte code page as the users' station files.
        effects.RDSString =
            CodePage::DecodeWindows1251(QByteArray(reinterpret_cast<const char*>(&d[15]), 8));
        effects.LogLine = QStringLiteral(" rds=");
        break;
    }
    }
    return effects;
}

QString ReportLine(const char* prefix, std::uint8_t first, const std::uint8_t* rest,
                   std::size_t count) {
    QString line =
        QString::fromLatin1(prefix) + QLatin1Char(' ') + Hex2(first) + QStringLiteral("  ");
    line.reserve(line.size() + int(count) * 3);
    for (std::size_t i = 0; i < count; ++i)
        line += Hex2(rest[i]) + QLatin1Char(' ');
    return line;
}

QString ReadLine(std::uint8_t reportID, const std::uint8_t* data, std::size_t size) {
    return ReportLine("RD", reportID, data, data != nullptr ? size : 0);
}

QString WriteLine(const QByteArray& written) {
    if (written.isEmpty())
        return QStringLiteral("WR");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(written.constData());
    return ReportLine("WR", bytes[0], bytes + 1, std::size_t(written.size()) - 1);
}

QString SystemErrorText(int error) {
    QString text = QString::fromLocal8Bit(std::strerror(error)).left(256);
    while (!text.isEmpty()) {
        const QChar last = text.back();
        if (last == QLatin1Char(' ') || last == QLatin1Char('.') ||
            last.category() == QChar::Other_Control)
            text.chop(1);
        else
            break;
    }
    return text;
}

QString WriteErrorLine(int error) {
    return QStringLiteral("WRITE ERROR: %1 (%2)")
        .arg(SystemErrorText(error), QString::number(unsigned(error), 16).toUpper());
}

QString ConnectedLine() {
    return QStringLiteral("Device connected");
}

QString DisconnectedLine(const QString& productText) {
    return QStringLiteral("Device \"%1\" Disconnected!").arg(productText);
}

QString DataErrorLine(int error) {
    return QStringLiteral("Error N %1").arg(error);
}

} // namespace TunerProtocol
