#pragma once

// The 40-byte extensible wave format header that describes every stream and sits in front of
// every buffer's samples, and the format objects that build it.
//
// Samples follow the WAVE convention: 8-bit containers are unsigned with 128 as silence, 16-
// and 32-bit containers signed little-endian, 24-bit containers signed three-byte little-endian;
// channels interleaved frame by frame.

#include "audio/ComponentLock.h"

#include <cstdint>
#include <initializer_list>

struct TGuid {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    bool operator==(const TGuid&) const = default;
};

// Laid out exactly as the Windows WAVEFORMATEXTENSIBLE record (little-endian hosts).
struct TWaveFormatExtensible {
    std::uint16_t wFormatTag;
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
    std::uint16_t wValidBitsPerSample;
    std::uint32_t dwChannelMask;
    TGuid SubFormat;
    bool operator==(const TWaveFormatExtensible&) const = default;
};
static_assert(sizeof(TWaveFormatExtensible) == 40, "the header is stored and compared as 40 bytes");

inline constexpr std::uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
inline constexpr TGuid KSDATAFORMAT_SUBTYPE_PCM = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

enum TSpeaker {
    spFrontLeft,
    spFrontRight,
    spFrontCenter,
    spSubwoofer,
    spBackLeft,
    spBackRight,
    spFrontLeftOfCenter,
    spFrontRightOfCenter,
    spBackCenter,
    spSideLeft,
    spSideRight,
    spTopCenter,
    spTopFrontLeft,
    spTopFrontCenter,
    spTopFrontRight,
    spTopBackLeft,
    spTopBackCenter,
    spTopBackRight,
};

// A set of speakers; speaker n is bit n of dwChannelMask.
class TSpeakers {
public:
    constexpr TSpeakers() = default;
    constexpr TSpeakers(std::initializer_list<TSpeaker> speakers) {
        for (TSpeaker speaker : speakers)
            FMask |= 1u << speaker;
    }
    static constexpr TSpeakers FromMask(std::uint32_t mask) {
        TSpeakers result;
        result.FMask = mask & 0x3FFFF;
        return result;
    }
    constexpr std::uint32_t Mask() const { return FMask; }
    constexpr bool Contains(TSpeaker speaker) const { return FMask & (1u << speaker); }
    bool operator==(const TSpeakers&) const = default;

private:
    std::uint32_t FMask = 0;
};

// Bits rounded up to whole bytes: 20 -> 24, 24 -> 24.
std::uint16_t ContainerBitsFor(unsigned validBits);

// The lowest `channels` set bits of mask, or the lowest `channels` bits when mask is 0.
std::uint32_t ReduceChannelMask(std::uint32_t mask, unsigned channels);

// The header every part of the pipeline builds, from already clamped values.
TWaveFormatExtensible MakeWaveFormat(unsigned channels, unsigned bits, std::uint32_t sampleRate,
                                     std::uint32_t channelMask);

// 2^(container bits - 1) - 1: 32767 for 16-bit containers.
double FullScale(const TWaveFormatExtensible& format);

class TAudioFormatBasic {
public:
    // lock: the owner's component lock, or nullptr for a free-standing format.
    explicit TAudioFormatBasic(IComponentLock* lock = nullptr);
    virtual ~TAudioFormatBasic() = default;

    unsigned Channels() const { return FChannels; }
    void SetChannels(unsigned value);
    unsigned Bits() const { return FBits; }
    void SetBits(unsigned value);
    std::uint32_t SampleRate() const { return FSampleRate; }
    void SetSampleRate(std::uint32_t value);
    TSpeakers ChannelMask() const { return FChannelMask; }
    void SetChannelMask(TSpeakers value);

    const TWaveFormatExtensible& Header() const { return FHeader; }

protected:
    IComponentLock& Lock();

private:
    IComponentLock* FLock;
    TComponentLock FOwnLock; // for a format without an owner

private:
    void Rebuild();

    unsigned FChannels = 2;
    unsigned FBits = 16;
    std::uint32_t FSampleRate = 11025;
    TSpeakers FChannelMask{spFrontLeft, spFrontRight};
    TWaveFormatExtensible FHeader;
};

class TAudioFormat : public TAudioFormatBasic {
public:
    using TAudioFormatBasic::TAudioFormatBasic;
    unsigned BufferSize() const { return FBufferSize; }
    void SetBufferSize(unsigned value);

private:
    unsigned FBufferSize = 1024;
};
