#include "platform/sound/WaveFormat.h"

#include <array>
#include <cstring>

namespace {

constexpr std::uint16_t FormatTagPcm = 0x0001;
constexpr std::uint16_t FormatTagExtensible = 0xFFFE;
constexpr std::uint16_t ExtensibleExtraSize = 22;
constexpr unsigned MaxChannels = 8;
constexpr std::uint32_t MaxSampleRate = 768000;

// KSDATAFORMAT_SUBTYPE_PCM as it lies in the header (GUID fields little-endian).
constexpr std::array<std::uint8_t, 16> SubFormatPcm = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t Read16(const std::uint8_t* bytes) {
    return std::uint16_t(bytes[0] | bytes[1] << 8);
}

std::uint32_t Read32(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

} // namespace

std::optional<TWaveFormat> ParseWaveFormatHeader(const std::uint8_t* header) {
    if (header == nullptr)
        return std::nullopt;
    const std::uint16_t tag = Read16(header);
    TWaveFormat format;
    format.Channels = Read16(header + 2);
    format.SampleRate = Read32(header + 4);
    format.BlockAlign = Read16(header + 12);
    format.ContainerBits = Read16(header + 14);
    if (tag == FormatTagExtensible) {
        // The extension (valid bits, speaker mask, sub-format) only counts when it is there.
        if (Read16(header + 16) < ExtensibleExtraSize ||
            std::memcmp(header + 24, SubFormatPcm.data(), SubFormatPcm.size()) != 0)
            return std::nullopt;
        format.ValidBits = Read16(header + 18);
        format.ChannelMask = Read32(header + 20);
    } else if (tag == FormatTagPcm) {
        // The plain record: every bit of the container is valid, the speakers are unnamed.
        format.ValidBits = format.ContainerBits;
    } else {
        return std::nullopt;
    }
    const bool container = format.ContainerBits == 8 || format.ContainerBits == 16 ||
                           format.ContainerBits == 24 || format.ContainerBits == 32;
    if (!container || format.ValidBits == 0 || format.ValidBits > format.ContainerBits)
        return std::nullopt;
    if (format.Channels == 0 || format.Channels > MaxChannels)
        return std::nullopt;
    if (format.SampleRate == 0 || format.SampleRate > MaxSampleRate)
        return std::nullopt;
    if (format.BlockAlign != format.Channels * format.ContainerBits / 8)
        return std::nullopt;
    return format;
}
