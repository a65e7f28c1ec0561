#include "audio/SmartBufferManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

class SmartBufferManagerTest : public ::testing::Test {
protected:
    void SetUp() override { Pool.Clear(); }
    void TearDown() override { Pool.Clear(); }
    TSmartBufferManager& Pool = TSmartBufferManager::Instance();
};

TEST_F(SmartBufferManagerTest, RoundsRequestsUpToPowersOfTwo) {
    struct Case {
        std::size_t request, block;
    };
    const Case cases[] = {
        {0, 4}, {1, 4}, {4, 4}, {5, 8}, {4096, 4096}, {4136, 8192}, {1u << 30, 1u << 30}};
    for (const Case& c : cases)
        EXPECT_EQ(TSmartBufferManager::BlockSize(c.request), c.block) << c.request;
}

TEST_F(SmartBufferManagerTest, RequestAboveOneGigabyteIsOutOfMemory) {
    try {
        Pool.Allocate((std::size_t(1) << 30) + 1);
        FAIL() << "no exception";
    } catch (const EOutOfMemory& error) {
        EXPECT_STREQ(error.what(), "Out of memory");
    }
}

TEST_F(SmartBufferManagerTest, ReleasedBlockIsReusedWithoutTheSystemHeap) {
    void* first = Pool.Allocate(4136);
    const auto allocations = Pool.SystemAllocations();
    Pool.Release(first, 4136);
    EXPECT_EQ(Pool.FreeBlocks(8192), 1u);
    void* second = Pool.Allocate(5000); // same block size
    EXPECT_EQ(second, first);
    EXPECT_EQ(Pool.SystemAllocations(), allocations);
    // Count-down: free blocks before the allocation (1) + 8.
    EXPECT_EQ(Pool.CountDown(8192), 9);
    Pool.Release(second, 5000);
}

TEST_F(SmartBufferManagerTest, UnusedSizeKeepsBlocksForEightTicksThenGivesOneBackPerTick) {
    void* blocks[3];
    for (void*& block : blocks)
        block = Pool.Allocate(64);
    for (void* block : blocks)
        Pool.Release(block, 64);
    ASSERT_EQ(Pool.CountDown(64), 3 + 8);

    for (int tick = 1; tick <= 8; ++tick) {
        Pool.Trim();
        EXPECT_EQ(Pool.FreeBlocks(64), 3u) << "tick " << tick;
    }
    const std::size_t expected[] = {2, 1};
    for (std::size_t left : expected) {
        Pool.Trim();
        EXPECT_EQ(Pool.FreeBlocks(64), left);
    }
    EXPECT_TRUE(Pool.HasList(64));
    Pool.Trim();
    EXPECT_EQ(Pool.FreeBlocks(64), 0u);
    EXPECT_FALSE(Pool.HasList(64));
}

TEST_F(SmartBufferManagerTest, SteadyUseKeepsItsBlocksAcrossTicks) {
    for (int round = 0; round < 30; ++round) {
        void* block = Pool.Allocate(1000);
        Pool.Release(block, 1000);
        Pool.Trim();
    }
    EXPECT_EQ(Pool.FreeBlocks(1024), 1u);
}

TEST_F(SmartBufferManagerTest, TimerOnTheGuiThreadTrimsEvery200Milliseconds) {
    // The timer starts with the pool's first block from the system heap.
    void* block = Pool.Allocate(1 << 21);
    Pool.Release(block, 1 << 21);
    const int before = Pool.CountDown(1 << 21);
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 450)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const int ticks = before - Pool.CountDown(1 << 21);
    EXPECT_GE(ticks, 1);
    EXPECT_LE(ticks, 3);
}
