#pragma once

// The 40-byte extensible wave format header as the device layer reads it (the audio
// framework writes it; the layout is the Windows WAVEFORMATEXTENSIBLE record, little-endian).

#include <cstddef>
#include <cstdint>
#include <optional>

struct TWaveFormat {
    unsigned Channels = 0;
    std::uint32_t SampleRate = 0;
    unsigned ContainerBits = 0; // 8, 16, 24 or 32: the sample's bytes × 8
    unsigned ValidBits = 0;
    unsigned BlockAlign = 0; // bytes per frame
    std::uint32_t ChannelMask = 0;
};

inline constexpr std::size_t WaveFormatHeaderSize = 40;

// Nothing when the header describes no interleaved integer PCM the devices can carry (format
// tag, sub-format, block alignment, channels 1..8, rate 1..768000, container 8/16/24/32 bits).
std::optional<TWaveFormat> ParseWaveFormatHeader(const std::uint8_t* header);
