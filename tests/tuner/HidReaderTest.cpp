#include "HidTestSupport.h"
#include "tuner/HidController.h"

#include <QThread>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

struct ReaderFixture : ::testing::Test {
    std::unique_ptr<TSimHidBackend> owned = std::make_unique<TSimHidBackend>();
    TSimHidBackend* sim = owned.get();
    int index = sim->AddDevice(DescriptionOf(0x1980, 0x1F02, "Radio"));
    std::unique_ptr<THidDeviceController> ctl;
    THidDevice* dev = nullptr;
    std::vector<QByteArray> received; // report ID first
    std::vector<int> errors;

    void SetUp() override {
        sim->Plug(index);
        ctl = std::make_unique<THidDeviceController>(std::move(owned));
        RunEvents();
        ASSERT_TRUE(ctl->ClaimByIndex(dev, 0));
        dev->SetDataErrorHandler([this](THidDevice&, int error) { errors.push_back(error); });
        dev->SetDataHandler(Recorder());
    }
    THidDataEvent Recorder() {
        return [this](THidDevice& d, std::uint8_t id, const std::uint8_t* data, int size) {
            EXPECT_EQ(&d, dev);
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            QByteArray r(1, char(id));
            r.append(reinterpret_cast<const char*>(data), size);
            received.push_back(r);
        };
    }
    // Waits until the reader has read a report and is blocked handing it over.
    static void LetReaderBlock() { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }
};

} // namespace

TEST_F(ReaderFixture, ReportsArriveInOrderOnTheGuiThreadWithReportIDFirst) {
    ASSERT_TRUE(dev->ReaderRunning());
    sim->InjectInput(index, Report({0, 0x72, 1, 2}));
    sim->InjectInput(index, Report({3, 0x08}));
    sim->InjectInput(index, QByteArray()); // a read of nothing is not delivered
    sim->InjectInput(index, Report({0}));  // only a report ID: delivered with no data
    ASSERT_TRUE(WaitFor([&] { return received.size() == 3; }));
    EXPECT_EQ(received[0], Report({0, 0x72, 1, 2}));
    EXPECT_EQ(received[1], Report({3, 0x08}));
    EXPECT_EQ(received[2], Report({0}));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ReaderFixture, ReplacedHandlerGetsTheNextReports) {
    int other = 0;
    dev->SetDataHandler([&](THidDevice&, std::uint8_t, const std::uint8_t*, int) { ++other; });
    EXPECT_TRUE(dev->ReaderRunning());
    sim->InjectInput(index, Report({0, 1}));
    ASSERT_TRUE(WaitFor([&] { return other == 1; }));
    EXPECT_TRUE(received.empty());
}

TEST_F(ReaderFixture, StopWhileTheReaderWaitsInDeliveryDoesNotDeadlock) {
    sim->InjectInput(index, Report({0, 5}));
    LetReaderBlock();
    dev->SetDataHandler(nullptr); // the pending hand-over finds no handler
    EXPECT_FALSE(dev->ReaderRunning());
    RunEvents();
    EXPECT_TRUE(received.empty());
    // A new handler starts a new reader.
    dev->SetDataHandler(Recorder());
    sim->InjectInput(index, Report({0, 6}));
    ASSERT_TRUE(WaitFor([&] { return received.size() == 1; }));
}

TEST_F(ReaderFixture, RemovalServesThePendingReportAndEndsTheReader) {
    sim->InjectInput(index, Report({0, 7}));
    LetReaderBlock();
    sim->Unplug(index);
    ctl->DeviceChange(); // without running the event loop first
    EXPECT_FALSE(dev->ReaderRunning());
    EXPECT_FALSE(dev->Present());
    EXPECT_EQ(received.size(), 1u);
    RunEvents();
    EXPECT_LE(errors.size(), 1u);
    // Nothing restarts a reader on a device that has left.
    dev->SetDataHandler(Recorder());
    EXPECT_FALSE(dev->ReaderRunning());
}

TEST_F(ReaderFixture, DeviceGoneEndsTheReaderQuietly) {
    ctl->Backend().OnChange = nullptr; // the backend knows; the controller does not
    ASSERT_TRUE(WaitFor([&] { return sim->ReadCount(index) > 0; }));
    sim->Unplug(index);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int reads = sim->ReadCount(index);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    RunEvents();
    EXPECT_EQ(sim->ReadCount(index), reads); // the reader has ended, it does not spin
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(received.empty());
}

TEST_F(ReaderFixture, FailedReadIsReportedAndRetriedAfterOneSlice) {
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> reported;
    dev->SetDataErrorHandler([&](THidDevice& d, int error) {
        EXPECT_EQ(&d, dev);
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        errors.push_back(error);
        reported.push_back(Clock::now());
    });
    const int readsBefore = sim->ReadCount(index);
    sim->FailReads(index, 3, EIO);
    ASSERT_TRUE(WaitFor([&] { return errors.size() == 3; }));
    EXPECT_EQ(errors, std::vector<int>(3, EIO));
    // Each failure is retried only after one wait slice, with one read per failure.
    for (size_t i = 1; i < reported.size(); ++i)
        EXPECT_GE(reported[i] - reported[i - 1], std::chrono::milliseconds(dev->ReadWaitSlice()));
    EXPECT_LE(sim->ReadCount(index) - readsBefore, 3 + 2); // plus the read before and after
    // Reading goes on: the next report arrives, and no further error.
    sim->InjectInput(index, Report({0, 0x72, 1}));
    ASSERT_TRUE(WaitFor([&] { return received.size() == 1; }));
    EXPECT_EQ(received[0], Report({0, 0x72, 1}));
    EXPECT_EQ(errors.size(), 3u);
    EXPECT_TRUE(dev->ReaderRunning());
}

TEST_F(ReaderFixture, HandlerMayStopItsOwnReader) {
    dev->SetDataHandler([&](THidDevice& d, std::uint8_t, const std::uint8_t*, int) {
        d.SetDataHandler(nullptr);
        received.push_back({});
    });
    sim->InjectInput(index, Report({0, 1}));
    sim->InjectInput(index, Report({0, 2}));
    ASSERT_TRUE(WaitFor([&] { return !received.empty(); }));
    EXPECT_FALSE(dev->ReaderRunning());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    RunEvents();
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(ReaderFixture, DestroyingTheControllerWithAReaderBlockedInDelivery) {
    sim->InjectInput(index, Report({0, 1}));
    LetReaderBlock();
    ctl.reset();
    // The handlers were cleared first: the report in delivery is dropped, and nothing that
    // was queued for the GUI thread reaches the handler later.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    RunEvents();
    EXPECT_TRUE(received.empty());
    EXPECT_TRUE(errors.empty());
}
