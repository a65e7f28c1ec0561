#include "audio/AudioBuffer.h"

#include "audio/SmartBufferManager.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {
TAudioBuffer StereoBuffer(std::uint32_t frames = 4) {
    TAudioBuffer buffer = TAudioBuffer::Create(44100, 0, frames, 2, 16);
    auto* samples = reinterpret_cast<std::int16_t*>(buffer.OverwriteData());
    for (std::uint32_t i = 0; i < frames * 2; ++i)
        samples[i] = std::int16_t(i + 1);
    return buffer;
}

std::int16_t SampleAt(const TAudioBuffer& buffer, std::size_t index) {
    std::int16_t value;
    std::memcpy(&value, buffer.RawData() + index * 2, 2);
    return value;
}
} // namespace

TEST(AudioBuffer, CaptureBufferTakesAnEightKilobyteBlockAndDescribesItself) {
    TSmartBufferManager& pool = TSmartBufferManager::Instance();
    pool.Clear();
    {
        TAudioBuffer buffer = TAudioBuffer::Create(44100, 0b11, 1024, 2, 16);
        EXPECT_EQ(buffer.BlockSize(), 4096u + 40u);
        EXPECT_EQ(TSmartBufferManager::BlockSize(buffer.BlockSize()), 8192u);
        EXPECT_EQ(buffer.DataSize(), 4096u);
        EXPECT_EQ(buffer.FrameCount(), 1024u);
        EXPECT_EQ(buffer.Channels(), 2u);
        EXPECT_EQ(buffer.BlockAlign(), 4u);
        EXPECT_EQ(buffer.SampleRate(), 44100u);
        EXPECT_EQ(buffer.RawData(), reinterpret_cast<const std::uint8_t*>(&buffer.Format()) + 40);
    }
    EXPECT_EQ(pool.FreeBlocks(8192), 1u); // the block went back to the pool
    pool.Clear();
}

TEST(AudioBuffer, ChannelMaskIsReducedToTheChannelCount) {
    EXPECT_EQ(TAudioBuffer::Create(44100, 0, 1, 3, 16).ChannelMask(), 0b111u);
    EXPECT_EQ(TAudioBuffer::Create(44100, 0b110110, 1, 2, 16).ChannelMask(), 0b110u);
    TAudioBuffer wide = TAudioBuffer::Create(48000, 0, 10, 2, 20);
    EXPECT_EQ(wide.ContainerBits(), 24u);
    EXPECT_EQ(wide.ValidBits(), 20u);
    EXPECT_EQ(wide.DataSize(), 60u);
}

TEST(AudioBuffer, WritingASharedBufferLeavesTheOtherHolderUntouched) {
    TAudioBuffer original = StereoBuffer();
    TAudioBuffer shared = original.CreateShared();
    EXPECT_TRUE(shared.SharesDataWith(original));
    EXPECT_EQ(original.ShareCount(), 2);

    auto* samples = reinterpret_cast<std::int16_t*>(shared.WritableData());
    EXPECT_FALSE(shared.SharesDataWith(original));
    EXPECT_EQ(original.ShareCount(), 1);
    EXPECT_EQ(samples[7], 8); // the copy carries the samples
    samples[0] = -1;
    EXPECT_EQ(SampleAt(original, 0), 1);
    EXPECT_EQ(shared.Format(), original.Format());

    // Alone on its container, a buffer is written in place.
    const std::uint8_t* before = shared.RawData();
    EXPECT_EQ(shared.WritableData(), before);
}

TEST(AudioBuffer, OverwriteDataCopiesOnlyTheHeader) {
    TAudioBuffer original = StereoBuffer();
    TAudioBuffer target;
    target.Assign(original);
    EXPECT_TRUE(target.SharesDataWith(original));
    std::uint8_t* data = target.OverwriteData();
    EXPECT_FALSE(target.SharesDataWith(original));
    EXPECT_EQ(target.Format(), original.Format());
    EXPECT_EQ(target.FrameCount(), original.FrameCount());
    EXPECT_NE(data, original.RawData());
    EXPECT_EQ(SampleAt(original, 3), 4);
}

TEST(AudioBuffer, TimeStampsLiveInTheContainerAndMoveWithACopy) {
    TAudioBuffer a = StereoBuffer();
    TAudioBuffer b = a.CreateShared();
    EXPECT_FALSE(a.TimeStamp().Valid());
    b.TimeStamp().Set(100, 200);
    EXPECT_TRUE(a.TimeStamp().Valid());
    EXPECT_EQ(a.TimeStamp().Start(), 100);
    EXPECT_EQ(a.TimeStamp().End(), 200);

    b.WritableData();
    b.TimeStamp().Set(300, 400);
    EXPECT_EQ(a.TimeStamp().Start(), 100);
    EXPECT_EQ(b.TimeStamp().Start(), 300);
}

TEST(AudioBuffer, MoveAndAssignKeepTheCountRight) {
    TAudioBuffer a = StereoBuffer();
    TAudioBuffer b = a.CreateShared();
    TAudioBuffer c = std::move(b);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(a.ShareCount(), 2);
    c.Assign(c);
    EXPECT_EQ(a.ShareCount(), 2);
    c.Clear();
    EXPECT_EQ(a.ShareCount(), 1);
}
