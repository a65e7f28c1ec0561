#include "FilterTestSupport.h"

#include <future>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace std::chrono_literals;
using Kinds = std::vector<std::string>;

namespace {
class FilterTest : public ::testing::Test {
protected:
    FilterTest() {
        Source.Output.Connect(Filter.InputPin());
        Filter.OutputPin().Connect(Sink.Input);
    }
    void Threaded(unsigned size = 15, TQueueFullMode mode = TQueueFullMode::fmBlock) {
        Filter.Threading().SetEnabled(true);
        Filter.Threading().Queue().SetSize(size);
        Filter.Threading().Queue().SetFullMode(mode);
    }

    TTestSource Source;
    TNegatingFilter Filter;
    TTestSink Sink;
};
} // namespace

TEST_F(FilterTest, SynchronousFilterProcessesOnTheSendersThreadAndPassesTheRestOn) {
    Source.Output.Notify(std::make_shared<TPumpRequestOperation>(&Source, 1.0f, 0));
    Source.Start();
    TAudioBuffer captured = MakeBuffer(4, 10);
    Source.Output.SendBuffer(captured);
    Source.Output.SendEndStop();

    EXPECT_EQ(Sink.Kinds(), (Kinds{"pump", "start", "buffer", "stop"}));
    EXPECT_EQ(Filter.Calls, 1);
    const TTestSink::TEntry& buffer = Sink.Entries()[2];
    EXPECT_EQ(buffer.Thread, std::this_thread::get_id());
    EXPECT_EQ(Sample16(buffer.Buffer, 0), -10);
    EXPECT_EQ(Sample16(captured, 0), 10); // the sender's buffer is never changed
    EXPECT_EQ(Filter.Starts, 1);
    EXPECT_EQ(Filter.Stops, 1);
}

TEST_F(FilterTest, DisabledFilterPassesBuffersBitIdentical) {
    TTestSource switcher;
    TBoolStatePin enable(&switcher);
    enable.SetValue(true);
    enable.Connect(Filter.EnablePin());
    enable.SetValue(false);
    EXPECT_FALSE(Filter.Enabled());

    Source.Start();
    TAudioBuffer captured = MakeBuffer(64, -300);
    Source.Output.SendBuffer(captured);
    ASSERT_EQ(Sink.Buffers().size(), 1u);
    const TAudioBuffer& passed = *Sink.Buffers()[0];
    EXPECT_EQ(Filter.Calls, 0);
    EXPECT_EQ(passed.BlockSize(), captured.BlockSize());
    EXPECT_EQ(std::memcmp(passed.RawData(), captured.RawData(), captured.DataSize()), 0);

    enable.SetValue(true);
    Source.Output.SendBuffer(captured);
    EXPECT_EQ(Filter.Calls, 1);
    enable.DisconnectAll();
}

TEST_F(FilterTest, FilterWithoutSinksDoesNotProcess) {
    Filter.OutputPin().DisconnectAll();
    Source.Start();
    Source.Output.SendBuffer(MakeBuffer(8));
    EXPECT_EQ(Filter.Calls, 0);
}

TEST_F(FilterTest, UnstampedBuffersAreStampedFromTheRunningClock) {
    Source.Start(44100);
    struct Case {
        std::uint32_t frames, rate;
        bool stamped;
        std::int64_t start, end, clockAfter;
    };
    const Case cases[] = {
        {1024, 44100, false, 0, 232199, 232199},
        {1024, 44100, false, 232199, 464398, 464398},
        {1024, 48000, false, 464398, 464398 + 213333, 464398 + 213333},
        {10, 44100, true, 5000, 6000, 5000}, // a stamp is kept; the clock follows its start
        {441, 44100, false, 5000, 105000, 105000},
    };
    for (const Case& c : cases) {
        TAudioBuffer buffer = MakeBuffer(c.frames, 0, c.rate);
        if (c.stamped)
            buffer.TimeStamp().Set(c.start, c.end);
        Source.Output.SendBuffer(buffer);
        SCOPED_TRACE(testing::Message() << c.frames << " frames at " << c.rate);
        EXPECT_TRUE(buffer.TimeStamp().Valid());
        EXPECT_EQ(buffer.TimeStamp().Start(), c.start);
        EXPECT_EQ(buffer.TimeStamp().End(), c.end);
        EXPECT_EQ(Filter.RunningClock(), c.clockAfter);
    }
    Source.Output.SendStop();
    EXPECT_EQ(Filter.RunningClock(), 0);
}

TEST_F(FilterTest, ThreadedFilterProcessesInOrderOnItsNamedWorker) {
    Filter.SetName("GraphicEqualizer1");
    Threaded();
    Source.Start();
    ASSERT_NE(Filter.Thread(), nullptr);
    EXPECT_EQ(Filter.Thread()->Name(), "GraphicEqualizer1.TFilterThread");
    TNegatingFilter unnamed;
    EXPECT_EQ(ThreadNameFor(&unnamed, "TFilterThread"), "TCommonFilter.TFilterThread");
    for (std::int16_t i = 0; i < 5; ++i)
        Source.Output.SendBuffer(MakeBuffer(2, std::int16_t(i * 100)));
    ASSERT_TRUE(Sink.WaitForEntries(6));
    Source.Output.SendEndStop();
    EXPECT_EQ(Filter.Thread(), nullptr);
    EXPECT_EQ(Sink.Kinds(),
              (Kinds{"start", "buffer", "buffer", "buffer", "buffer", "buffer", "stop"}));
    for (std::size_t i = 0; i < 5; ++i) {
        const TTestSink::TEntry& entry = Sink.Entries()[i + 1];
        EXPECT_NE(entry.Thread, std::this_thread::get_id());
        EXPECT_EQ(Sample16(entry.Buffer, 0), -std::int16_t(i * 100));
    }
}

TEST_F(FilterTest, FullQueueBlocksOrDropsTheNewestBuffer) {
    for (TQueueFullMode mode : {TQueueFullMode::fmBlock, TQueueFullMode::fmDropData}) {
        SCOPED_TRACE(mode == TQueueFullMode::fmBlock ? "fmBlock" : "fmDropData");
        TTestSource source;
        TNegatingFilter filter;
        TTestSink sink;
        source.Output.Connect(filter.InputPin());
        filter.OutputPin().Connect(sink.Input);
        filter.Threading().SetEnabled(true);
        filter.Threading().Queue().SetFullMode(mode);
        source.Start();

        // The worker takes buffer 0 and hangs in the sink; 16 more fit the queue (Size + 1).
        sink.Close();
        source.Output.SendBuffer(MakeBuffer(1, 0));
        sink.WaitUntilBlocked();
        for (std::int16_t i = 1; i <= 16; ++i)
            source.Output.SendBuffer(MakeBuffer(1, std::int16_t(i * 10)));
        EXPECT_EQ(filter.Thread()->QueueLength(), 16u);

        auto next =
            std::async(std::launch::async, [&] { source.Output.SendBuffer(MakeBuffer(1, 170)); });
        if (mode == TQueueFullMode::fmBlock)
            EXPECT_EQ(next.wait_for(50ms), std::future_status::timeout);
        else
            EXPECT_EQ(next.wait_for(5s), std::future_status::ready);
        sink.Open();
        next.get();

        const std::size_t expected = mode == TQueueFullMode::fmBlock ? 18 : 17;
        ASSERT_TRUE(sink.WaitForEntries(1 + expected));
        const auto buffers = sink.Buffers();
        ASSERT_EQ(buffers.size(), expected);
        for (std::size_t i = 0; i < expected; ++i)
            EXPECT_EQ(Sample16(*buffers[i], 0), -std::int16_t(i * 10));
    }
}

TEST_F(FilterTest, StopDiscardsQueuedBuffersAndNothingFollowsIt) {
    Threaded();
    Source.Start();
    Sink.Close();
    Source.Output.SendBuffer(MakeBuffer(1));
    Sink.WaitUntilBlocked();
    for (int i = 0; i < 5; ++i)
        Source.Output.SendBuffer(MakeBuffer(1));

    auto stop = std::async(std::launch::async, [&] { Source.Output.SendEndStop(); });
    while (!Filter.Lock().StopPending() && !Filter.ProcessingLock()->StopPending())
        std::this_thread::sleep_for(1ms);
    Sink.Open();
    stop.get();
    Source.Output.SendBuffer(MakeBuffer(1)); // after the stop: no worker, processed at once

    EXPECT_EQ(Sink.Kinds(), (Kinds{"start", "buffer", "stop", "buffer"}));
    EXPECT_EQ(Filter.Calls, 2);
}

TEST_F(FilterTest, StopReleasesAProducerWaitingForRoom) {
    Threaded(0);
    Source.Start();
    Sink.Close();
    Source.Output.SendBuffer(MakeBuffer(1));
    Sink.WaitUntilBlocked();
    Source.Output.SendBuffer(MakeBuffer(1)); // fills the queue (Size 0 takes one)
    auto producer =
        std::async(std::launch::async, [&] { Source.Output.SendBuffer(MakeBuffer(1)); });
    ASSERT_EQ(producer.wait_for(30ms), std::future_status::timeout);

    auto stop = std::async(std::launch::async, [&] { Source.Output.SendEndStop(); });
    EXPECT_EQ(producer.wait_for(5s), std::future_status::ready);
    Sink.Open();
    EXPECT_EQ(stop.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(Sink.Kinds(), (Kinds{"start", "buffer", "stop"}));
}

TEST_F(FilterTest, ThreadingChangesWaitForTheNextStartButPriorityIsImmediate) {
    Source.Start();
    Filter.Threading().SetEnabled(true);
    EXPECT_EQ(Filter.Thread(), nullptr);
    Source.Output.SendStop();
    Source.Start();
    auto thread = Filter.Thread();
    ASSERT_NE(thread, nullptr);
    while (thread->ThreadId() == 0)
        std::this_thread::sleep_for(1ms);
    Filter.Threading().SetPriority(TThreadPriority::tpLower);
    EXPECT_EQ(thread->Priority(), TThreadPriority::tpLower);
    errno = 0;
    EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(thread->ThreadId())), 5);

    Filter.Threading().SetEnabled(false);
    EXPECT_EQ(Filter.Thread(), thread);
    Source.Output.SendStop();
    Source.Start();
    EXPECT_EQ(Filter.Thread(), nullptr);
}

TEST_F(FilterTest, FilterBeingStoppedIgnoresBuffersWithoutError) {
    Source.Start();
    std::promise<void> holding, release;
    std::thread stopper([&] {
        TStopLockSection stop(Filter.MainLock());
        holding.set_value();
        release.get_future().wait();
    });
    holding.get_future().wait();
    EXPECT_NO_THROW(Source.Output.SendBuffer(MakeBuffer(4)));
    Filter.SetEnabled(false); // a setter gives up too
    release.set_value();
    stopper.join();
    EXPECT_EQ(Sink.Kinds(), (Kinds{"start"}));
    EXPECT_TRUE(Filter.Enabled());
}

TEST_F(FilterTest, RequestsFromDownstreamGoUpstreamOrAreHandledHere) {
    std::vector<std::string> upstream;
    Source.Output.OnUpstream = [&](const TOperationPtr& operation) {
        upstream.push_back(operation->Is<TMasterPumpOperation>() ? "master" : "other");
        return true;
    };
    Sink.Input.Notify(std::make_shared<TMasterPumpOperation>(&Sink));
    Sink.Input.Notify(std::make_shared<TClockOperation>());
    EXPECT_EQ(upstream, (std::vector<std::string>{"master", "other"}));

    // Without an upstream connection, the filter handles the request itself.
    Filter.InputPin().SetSourcePin(nullptr);
    Sink.Input.Notify(std::make_shared<TStartWaveOperation>(MakeWaveFormat(1, 16, 8000, 0)));
    EXPECT_EQ(Filter.Format().nSamplesPerSec, 8000u);
}

TEST(FilterLifetime, DestroyingARunningThreadedFilterStopsItsWorker) {
    TTestSource source;
    TTestSink sink;
    std::thread opener;
    {
        TNegatingFilter filter;
        source.Output.Connect(filter.InputPin());
        filter.OutputPin().Connect(sink.Input);
        filter.Threading().SetEnabled(true);
        source.Start();
        sink.Close();
        source.Output.SendBuffer(MakeBuffer(1));
        sink.WaitUntilBlocked();
        source.Output.SendBuffer(MakeBuffer(1));
        opener = std::thread([&] {
            std::this_thread::sleep_for(20ms);
            sink.Open();
        });
    }
    opener.join();
    EXPECT_EQ(source.Output.SinkCount(), 0u);
    EXPECT_EQ(sink.Input.SourcePin(), nullptr);
    // The stop passed on when the input is disconnected, then the disconnect stop.
    EXPECT_EQ(sink.Kinds(), (Kinds{"start", "buffer", "stop", "stop"}));
}

namespace {
// Takes the main lock from inside processing, as a filter that redesigns itself on its worker.
class TSelfLockingFilter : public TCommonFilter {
public:
    ~TSelfLockingFilter() override { Shutdown(); }
    std::promise<void> Inside;

protected:
    void ProcessBuffer(TAudioBuffer&, TAudioBuffer&, bool&) override {
        Inside.set_value();
        std::this_thread::sleep_for(30ms);     // a setter now holds the component lock
        TWriteLockSection section(MainLock()); // gives way instead of waiting for the setter
    }
};
} // namespace

TEST(FilterLocks, WorkerTakingTheMainLockDoesNotDeadlockWithASetter) {
    TTestSource source;
    TSelfLockingFilter filter;
    TTestSink sink;
    source.Output.Connect(filter.InputPin());
    filter.OutputPin().Connect(sink.Input);
    filter.Threading().SetEnabled(true);
    source.Start();
    source.Output.SendBuffer(MakeBuffer(1));
    filter.Inside.get_future().wait();
    auto setter = std::async(std::launch::async, [&] { filter.SetEnabled(false); });
    ASSERT_EQ(setter.wait_for(5s), std::future_status::ready);
    EXPECT_FALSE(filter.Enabled());
    ASSERT_TRUE(sink.WaitForEntries(2));

    // Uncontended, the same inner section simply re-enters.
    TComponentLock a, b;
    TPairedLock pair(a, b);
    TWriteLockSection inner(b);
    EXPECT_TRUE(TWriteLockSection(pair).Entered());
}
