#include "platform/sound/WaveFormat.h"

#include "WaveHeaderBytes.h"

#include <functional>
#include <gtest/gtest.h>

TEST(WaveFormatTest, ReadsTheFormatsTheDevicesCarry) {
    struct TCase {
        TWaveHeaderBytes Header;
        TWaveFormat Expected;
    };
    TWaveHeaderBytes plainPcm = WaveHeader(2, 22050, 16);
    PutLE(plainPcm, 0, 1, 2);     // WAVE_FORMAT_PCM: the extension is not read
    PutLE(plainPcm, 16, 0, 2);    // cbSize
    PutLE(plainPcm, 24, 0xEE, 1); // and the sub-format is whatever follows
    const TCase cases[] = {
        {WaveHeader(1, 8000, 8, 8, 4), {1, 8000, 8, 8, 1, 4}},
        {WaveHeader(2, 44100, 16), {2, 44100, 16, 16, 4, 3}},
        {WaveHeader(2, 48000, 24, 20), {2, 48000, 24, 20, 6, 3}},
        {WaveHeader(8, 192000, 32, 32, 0xFF), {8, 192000, 32, 32, 32, 0xFF}},
        {WaveHeader(2, 768000, 24), {2, 768000, 24, 24, 6, 3}},
        {plainPcm, {2, 22050, 16, 16, 4, 0}},
    };
    for (const TCase& c : cases) {
        const auto format = ParseWaveFormatHeader(c.Header.data());
        ASSERT_TRUE(format.has_value());
        EXPECT_EQ(format->Channels, c.Expected.Channels);
        EXPECT_EQ(format->SampleRate, c.Expected.SampleRate);
        EXPECT_EQ(format->ContainerBits, c.Expected.ContainerBits);
        EXPECT_EQ(format->ValidBits, c.Expected.ValidBits);
        EXPECT_EQ(format->BlockAlign, c.Expected.BlockAlign);
        EXPECT_EQ(format->ChannelMask, c.Expected.ChannelMask);
    }
}

TEST(WaveFormatTest, RefusesWhatIsNoIntegerPcmTheDevicesCarry) {
    struct TCase {
        const char* Name;
        std::function<void(TWaveHeaderBytes&)> Spoil;
    };
    const TCase cases[] = {
        {"IEEE float tag", [](auto& h) { PutLE(h, 0, 3, 2); }},
        {"float sub-format", [](auto& h) { PutLE(h, 24, 3, 1); }},
        {"extension too short", [](auto& h) { PutLE(h, 16, 21, 2); }},
        {"no channels", [](auto& h) { PutLE(h, 2, 0, 2); }},
        {"nine channels",
         [](auto& h) {
             PutLE(h, 2, 9, 2);
             PutLE(h, 12, 18, 2);
         }},
        {"rate 0", [](auto& h) { PutLE(h, 4, 0, 4); }},
        {"rate above 768 kHz", [](auto& h) { PutLE(h, 4, 768001, 4); }},
        {"12-bit container",
         [](auto& h) {
             PutLE(h, 14, 12, 2);
             PutLE(h, 18, 12, 2);
         }},
        {"64-bit container",
         [](auto& h) {
             PutLE(h, 14, 64, 2);
             PutLE(h, 12, 16, 2);
         }},
        {"block align off", [](auto& h) { PutLE(h, 12, 5, 2); }},
        {"no valid bits", [](auto& h) { PutLE(h, 18, 0, 2); }},
        {"valid bits beyond container", [](auto& h) { PutLE(h, 18, 17, 2); }},
    };
    for (const TCase& c : cases) {
        TWaveHeaderBytes header = WaveHeader(2, 44100, 16);
        c.Spoil(header);
        EXPECT_FALSE(ParseWaveFormatHeader(header.data()).has_value()) << c.Name;
    }
    EXPECT_FALSE(ParseWaveFormatHeader(nullptr).has_value());
}
