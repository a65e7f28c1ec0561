#include "audio/MainThreadNotify.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {
void RunQueued() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
} // namespace

TEST(MainThreadNotify, RunsAtOnceOnTheGuiThreadUnlessForced) {
    int calls = 0;
    TMainThreadNotify notify([&] { ++calls; });
    notify.Signal();
    EXPECT_EQ(calls, 1);
    notify.Signal(true);
    EXPECT_EQ(calls, 1);
    RunQueued();
    EXPECT_EQ(calls, 2);
}

TEST(MainThreadNotify, SignalsFromAWorkerCoalesceAndRunOnTheGuiThread) {
    int calls = 0;
    std::thread::id ranOn;
    TMainThreadNotify notify([&] {
        ++calls;
        ranOn = std::this_thread::get_id();
    });
    std::thread worker([&] {
        notify.Signal();
        notify.Signal();
        notify.Signal();
    });
    worker.join();
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(notify.Pending());
    RunQueued();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_FALSE(notify.Pending());
}

TEST(MainThreadNotify, SignalRaisedDuringTheHandlerIsNotLost) {
    int calls = 0;
    std::unique_ptr<TMainThreadNotify> notify;
    notify = std::make_unique<TMainThreadNotify>([&] {
        if (++calls == 1)
            std::thread([&] { notify->Signal(); }).join();
    });
    notify->Signal(true);
    RunQueued();
    RunQueued();
    EXPECT_EQ(calls, 2);
}

TEST(MainThreadNotify, QueuedRunOfADestroyedNotificationDoesNothing) {
    int calls = 0;
    auto notify = std::make_unique<TMainThreadNotify>([&] { ++calls; });
    notify->Signal(true);
    notify.reset();
    RunQueued();
    EXPECT_EQ(calls, 0);
}
