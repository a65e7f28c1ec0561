#include "audio/ComponentLock.h"

#include "audio/SetHelpers.h"

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace {
// Runs fn on another thread and gives its result.
template <typename Fn> auto OnOtherThread(Fn fn) {
    return std::async(std::launch::async, fn).get();
}
} // namespace

TEST(ComponentLock, OwnerReentersAndOthersWaitUntilFullyReleased) {
    TComponentLock lock;
    std::optional<TWriteLockSection> outer(std::in_place, lock);
    ASSERT_TRUE(outer->Entered());
    {
        TReadLockSection inner(lock);
        EXPECT_TRUE(inner.Entered());
    }
    EXPECT_TRUE(lock.OwnedByCurrentThread());

    std::atomic<bool> entered{false};
    std::thread other([&] {
        TWriteLockSection section(lock);
        entered = section.Entered();
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(entered); // still waiting: one level is held
    outer.reset();
    other.join();
    EXPECT_TRUE(entered);
}

TEST(ComponentLock, WaiterGivesUpWhenAStopIsRequested) {
    TComponentLock lock;
    std::promise<void> holding;
    std::promise<void> releaseHolder;
    std::thread holder([&] {
        TWriteLockSection section(lock);
        holding.set_value();
        releaseHolder.get_future().wait();
    });
    holding.get_future().wait();

    auto waiter = std::async(std::launch::async, [&] {
        TWriteLockSection section(lock);
        return section.Entered();
    });
    EXPECT_EQ(waiter.wait_for(30ms), std::future_status::timeout);
    // The stop waits for the holder; the waiter must not.
    auto stopper = std::async(std::launch::async, [&] { TStopLockSection stop(lock); });
    ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(waiter.get());
    EXPECT_EQ(stopper.wait_for(30ms), std::future_status::timeout);
    releaseHolder.set_value();
    holder.join();
    EXPECT_EQ(stopper.wait_for(5s), std::future_status::ready);
}

TEST(ComponentLock, HeldStopFailsOtherThreadsAtOnceButNotItsOwner) {
    TComponentLock lock;
    TStopLockSection stop(lock);
    EXPECT_TRUE(lock.StopPending());
    {
        TWriteLockSection own(lock);
        EXPECT_TRUE(own.Entered());
    }
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(OnOtherThread([&] { return TWriteLockSection(lock).Entered(); }));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
}

TEST(ComponentLock, UnlockSectionReleasesEveryLevelAndTakesThemBack) {
    TComponentLock lock;
    TWriteLockSection first(lock);
    std::optional<TWriteLockSection> second(std::in_place, lock);
    {
        TUnlockSection unlock(&lock);
        EXPECT_FALSE(lock.OwnedByCurrentThread());
        EXPECT_TRUE(OnOtherThread([&] { return TWriteLockSection(lock).Entered(); }));
    }
    // Both levels came back: leaving one still leaves the lock owned.
    second.reset();
    EXPECT_TRUE(lock.OwnedByCurrentThread());
}

TEST(ComponentLock, UnlockSectionOnANonOwnerDoesNothing) {
    TComponentLock lock;
    std::promise<void> holding;
    std::promise<void> release;
    std::thread holder([&] {
        TWriteLockSection section(lock);
        holding.set_value();
        release.get_future().wait();
        EXPECT_TRUE(lock.OwnedByCurrentThread());
    });
    holding.get_future().wait();
    { TUnlockSection unlock(&lock); }
    release.set_value();
    holder.join();
}

TEST(ComponentLock, PairedLockFailsWhenEitherHalfIsStopped) {
    TComponentLock component, processing;
    TPairedLock main(component, processing);
    {
        TStopLockSection stop(processing);
        EXPECT_FALSE(OnOtherThread([&] { return TWriteLockSection(main).Entered(); }));
    }
    // The failed attempt must not leave the first half taken.
    EXPECT_TRUE(OnOtherThread([&] { return TWriteLockSection(component).Entered(); }));
    EXPECT_TRUE(OnOtherThread([&] { return TWriteLockSection(main).Entered(); }));
}

TEST(SetHelper, StoresOnlyChangesClampsAndSkipsWhileStopped) {
    TComponentLock lock;
    unsigned value = 5;
    int changes = 0;
    auto changed = [&] { ++changes; };

    EXPECT_FALSE(TSetHelper<unsigned>::Set(lock, value, 5u, changed));
    EXPECT_TRUE(TSetHelper<unsigned>::Set(lock, value, 7u, changed));
    EXPECT_TRUE(TSetHelper<unsigned>::SetClamped(lock, value, 40u, 1u, 32u, changed));
    EXPECT_EQ(value, 32u);
    EXPECT_FALSE(TSetHelper<unsigned>::SetClamped(lock, value, 99u, 1u, 32u, changed));
    EXPECT_EQ(changes, 2);

    TStopLockSection stop(lock);
    EXPECT_FALSE(
        OnOtherThread([&] { return TSetHelper<unsigned>::Set(lock, value, 3u, changed); }));
    EXPECT_EQ(value, 32u);
    EXPECT_EQ(changes, 2);
}
