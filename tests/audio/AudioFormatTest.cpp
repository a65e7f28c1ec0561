#include "audio/AudioFormat.h"

#include <gtest/gtest.h>

TEST(AudioFormat, DefaultsDescribeStereoSixteenBitAt11025) {
    TAudioFormat format;
    const TWaveFormatExtensible& h = format.Header();
    EXPECT_EQ(h.wFormatTag, 0xFFFE);
    EXPECT_EQ(h.cbSize, 22);
    EXPECT_EQ(h.SubFormat, KSDATAFORMAT_SUBTYPE_PCM);
    EXPECT_EQ(h.nChannels, 2);
    EXPECT_EQ(h.nSamplesPerSec, 11025u);
    EXPECT_EQ(h.wBitsPerSample, 16);
    EXPECT_EQ(h.wValidBitsPerSample, 16);
    EXPECT_EQ(h.nBlockAlign, 4);
    EXPECT_EQ(h.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(h.dwChannelMask, 3u);
    EXPECT_EQ(format.BufferSize(), 1024u);
}

TEST(AudioFormat, SettersClampAndRebuildTheHeader) {
    struct Case {
        unsigned channels, bits, storedChannels, validBits, containerBits, blockAlign;
    };
    const Case cases[] = {
        {2, 24, 2, 24, 24, 6},    {2, 20, 2, 20, 24, 6},  {0, 16, 1, 16, 16, 2},
        {40, 16, 32, 16, 16, 64}, {1, 8, 1, 8, 8, 1},     {2, 0, 2, 1, 8, 2},
        {2, 33, 2, 32, 32, 8},    {6, 12, 6, 12, 16, 12},
    };
    for (const Case& c : cases) {
        TAudioFormat format;
        format.SetSampleRate(48000);
        format.SetChannels(c.channels);
        format.SetBits(c.bits);
        const TWaveFormatExtensible& h = format.Header();
        SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.bits << " bits");
        EXPECT_EQ(format.Channels(), c.storedChannels);
        EXPECT_EQ(h.nChannels, c.storedChannels);
        EXPECT_EQ(h.wValidBitsPerSample, c.validBits);
        EXPECT_EQ(h.wBitsPerSample, c.containerBits);
        EXPECT_EQ(h.nBlockAlign, c.blockAlign);
        EXPECT_EQ(h.nAvgBytesPerSec, c.blockAlign * 48000u);
    }
}

TEST(AudioFormat, ChannelMaskAndBufferSize) {
    TAudioFormat format;
    format.SetChannelMask({spFrontCenter, spSubwoofer});
    EXPECT_EQ(format.Header().dwChannelMask, 0b1100u);
    format.SetBufferSize(0);
    EXPECT_EQ(format.BufferSize(), 1u);
    EXPECT_EQ(TSpeakers::FromMask(1u << spTopBackRight).Contains(spTopBackRight), true);
}

TEST(AudioFormat, ReduceChannelMaskKeepsTheLowestSetBits) {
    struct Case {
        std::uint32_t mask;
        unsigned channels;
        std::uint32_t reduced;
    };
    const Case cases[] = {{0, 1, 0b1},         {0, 2, 0b11},        {0, 32, 0xFFFFFFFF},
                          {0b1011, 2, 0b0011}, {0b1100, 1, 0b0100}, {0b1011, 8, 0b1011},
                          {0x3F, 6, 0x3F}};
    for (const Case& c : cases)
        EXPECT_EQ(ReduceChannelMask(c.mask, c.channels), c.reduced) << c.mask << "/" << c.channels;
}

TEST(AudioFormat, FullScaleFollowsTheContainer) {
    EXPECT_EQ(FullScale(MakeWaveFormat(2, 16, 44100, 3)), 32767.0);
    EXPECT_EQ(FullScale(MakeWaveFormat(2, 20, 44100, 3)), 8388607.0);
    EXPECT_EQ(FullScale(MakeWaveFormat(1, 8, 44100, 1)), 127.0);
    EXPECT_EQ(FullScale(MakeWaveFormat(1, 32, 44100, 1)), 2147483647.0);
}
