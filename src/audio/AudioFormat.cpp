#include "audio/AudioFormat.h"

#include "audio/ComponentLock.h"
#include "audio/SetHelpers.h"

#include <algorithm>
#include <cmath>

std::uint16_t ContainerBitsFor(unsigned validBits) {
    return std::uint16_t((validBits + 7) / 8 * 8);
}

std::uint32_t ReduceChannelMask(std::uint32_t mask, unsigned channels) {
    if (mask == 0)
        return channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1;
    std::uint32_t result = 0;
    for (unsigned bit = 0, taken = 0; bit < 32 && taken < channels; ++bit) {
        if (mask & (1u << bit)) {
            result |= 1u << bit;
            ++taken;
        }
    }
    return result;
}

TWaveFormatExtensible MakeWaveFormat(unsigned channels, unsigned bits, std::uint32_t sampleRate,
                                     std::uint32_t channelMask) {
    TWaveFormatExtensible header{};
    header.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    header.cbSize = 22;
    header.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
    header.nChannels = std::uint16_t(channels);
    header.nSamplesPerSec = sampleRate;
    header.wValidBitsPerSample = std::uint16_t(bits);
    header.wBitsPerSample = ContainerBitsFor(bits);
    header.nBlockAlign = std::uint16_t(header.wBitsPerSample / 8 * channels);
    header.nAvgBytesPerSec = header.nBlockAlign * sampleRate;
    header.dwChannelMask = channelMask;
    return header;
}

double FullScale(const TWaveFormatExtensible& format) {
    if (format.wBitsPerSample == 0)
        return 0.0;
    // In floating point, so that no container size (the field is 16 bits wide) shifts past
    // an integer's width.
    return std::ldexp(1.0, int(format.wBitsPerSample) - 1) - 1.0;
}

TAudioFormatBasic::TAudioFormatBasic(IComponentLock* lock) : FLock(lock) {
    Rebuild();
}

void TAudioFormatBasic::Rebuild() {
    FHeader = MakeWaveFormat(FChannels, FBits, FSampleRate, FChannelMask.Mask());
}

IComponentLock& TAudioFormatBasic::Lock() {
    return FLock ? *FLock : FOwnLock;
}

void TAudioFormatBasic::SetChannels(unsigned value) {
    TSetHelper<unsigned>::SetClamped(Lock(), FChannels, value, 1u, 32u, [this] { Rebuild(); });
}

void TAudioFormatBasic::SetBits(unsigned value) {
    TSetHelper<unsigned>::SetClamped(Lock(), FBits, value, 1u, 32u, [this] { Rebuild(); });
}

void TAudioFormatBasic::SetSampleRate(std::uint32_t value) {
    TSetHelper<std::uint32_t>::Set(Lock(), FSampleRate, value, [this] { Rebuild(); });
}

void TAudioFormatBasic::SetChannelMask(TSpeakers value) {
    TSetHelper<TSpeakers>::Set(Lock(), FChannelMask, value, [this] { Rebuild(); });
}

void TAudioFormat::SetBufferSize(unsigned value) {
    TSetHelper<unsigned>::Set(Lock(), FBufferSize, std::max(value, 1u));
}
