#include "tuner/HidController.h"

#include "HidTestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

// A controller over a simulated backend, with the events it raised recorded.
struct HidFixture : ::testing::Test {
    std::unique_ptr<TSimHidBackend> owned = std::make_unique<TSimHidBackend>();
    TSimHidBackend* sim = owned.get();
    std::unique_ptr<THidDeviceController> ctl;
    std::vector<std::string> events;

    void Create() {
        ctl = std::make_unique<THidDeviceController>(std::move(owned));
        ctl->OnArrival = [this](THidDevice& d) {
            EXPECT_TRUE(d.Offered());
            events.push_back("arrival " + std::to_string(d.ProductID()) + " list " +
                             std::to_string(ctl->Count()));
        };
        ctl->OnRemoval = [this](THidDevice& d) {
            EXPECT_TRUE(d.Offered());
            EXPECT_FALSE(d.Present());
            events.push_back("removal " + std::to_string(d.ProductID()));
        };
        ctl->OnDeviceChange = [this] { events.push_back("change"); };
    }
    int Add(int product, bool plug = true) {
        const int i = sim->AddDevice(DescriptionOf(0x1980, product));
        if (plug)
            sim->Plug(i);
        return i;
    }
};

using Events = std::vector<std::string>;

} // namespace

TEST_F(HidFixture, FirstChangeRunsFromTheEventLoopAndAnnouncesDevicesOneAtATime) {
    Add(1);
    Add(2);
    Create();
    EXPECT_EQ(ctl->Count(), 0);
    EXPECT_TRUE(events.empty());
    RunEvents();
    // The plug-in's change and the controller's own first change: the second changes
    // nothing but still reports a device change.
    EXPECT_EQ(events, (Events{"arrival 1 list 1", "arrival 2 list 2", "change", "change"}));
    ASSERT_EQ(ctl->Count(), 2);
    EXPECT_FALSE(ctl->Device(0).Offered());
    EXPECT_FALSE(ctl->Device(0).Claimed());
}

TEST_F(HidFixture, ClaimedDeviceStaysListedAfterRemovalAndReplugIsANewObject) {
    const int tuner = Add(0x1F02);
    Add(7);
    Create();
    RunEvents();
    THidDevice* claimed = nullptr;
    ASSERT_TRUE(ctl->ClaimByIndex(claimed, 0));
    THidDevice* again = &ctl->Device(1);
    EXPECT_FALSE(ctl->ClaimByIndex(again, 0));
    EXPECT_EQ(again, nullptr);
    EXPECT_FALSE(ctl->ClaimByIndex(again, 2));
    EXPECT_FALSE(ctl->ClaimByIndex(again, -1));

    events.clear();
    sim->Unplug(tuner);
    RunEvents();
    EXPECT_EQ(events, (Events{"removal 7938", "change"}));
    ASSERT_EQ(ctl->Count(), 2);
    EXPECT_EQ(&ctl->Device(0), claimed);
    EXPECT_FALSE(claimed->Present());
    EXPECT_TRUE(claimed->Claimed());

    // Later changes do not report it again; enumeration skips it.
    std::vector<int> offered;
    ctl->OnEnumerate = [&](THidDevice& d, int idx) {
        offered.push_back(idx);
        EXPECT_TRUE(d.Present());
        return true;
    };
    EXPECT_EQ(ctl->EnumerateDevices(), 1);
    EXPECT_EQ(offered, std::vector<int>{1});

    events.clear();
    sim->Plug(tuner);
    RunEvents();
    EXPECT_EQ(events, (Events{"arrival 7938 list 3", "change"}));
    ASSERT_EQ(ctl->Count(), 3);
    EXPECT_NE(&ctl->Device(2), claimed);
    THidDevice* fresh = nullptr;
    EXPECT_TRUE(ctl->ClaimByIndex(fresh, 2));
    EXPECT_EQ(fresh, &ctl->Device(2));
}

TEST_F(HidFixture, UnclaimedRemovedDeviceLeavesTheList) {
    Add(1);
    const int mouse = Add(2);
    Create();
    RunEvents();
    sim->Unplug(mouse);
    RunEvents();
    ASSERT_EQ(ctl->Count(), 1);
    EXPECT_EQ(ctl->Device(0).ProductID(), 1);
}

TEST_F(HidFixture, ChangeDuringAChangeIsIgnored) {
    Add(1);
    Create();
    int nested = 0;
    ctl->OnArrival = [&](THidDevice&) {
        EXPECT_TRUE(ctl->ChangeInProgress());
        ctl->DeviceChangeMessage(THidDeviceController::DBT_DEVNODES_CHANGED, 0);
        ++nested;
    };
    RunEvents();
    EXPECT_EQ(nested, 1);
    EXPECT_FALSE(ctl->ChangeInProgress());
    // Other messages are not device changes.
    Add(2);
    ctl->DeviceChangeMessage(3, 0);
    EXPECT_EQ(ctl->Count(), 1);
}

TEST_F(HidFixture, DeviceThatCannotBeOpenedAbandonsTheChange) {
    struct Case {
        bool canOpen, canIdentify;
        const char* message;
    } cases[] = {{false, true, "Device cannot be opened"},
                 {true, false, "Device cannot be identified"}};
    for (const Case& c : cases) {
        owned = std::make_unique<TSimHidBackend>();
        sim = owned.get();
        Add(1);
        TSimDeviceDescription bad = DescriptionOf(0x1980, 2);
        bad.CanOpen = c.canOpen;
        bad.CanIdentify = c.canIdentify;
        const int badIndex = sim->AddDevice(bad);
        sim->Plug(badIndex);
        Create();
        std::vector<QString> shown;
        ctl->OnMessageLoopError = [&](const QString& message) { shown.push_back(message); };
        RunEvents(); // the posted changes meet the error too and hand it to the application
        ASSERT_FALSE(shown.empty());
        for (const QString& message : shown)
            EXPECT_EQ(message.toStdString(), c.message);
        events.clear();
        try {
            ctl->DeviceChange();
            ADD_FAILURE() << "no error";
        } catch (const EHidControllerError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(ctl->Count(), 0);
        EXPECT_TRUE(events.empty());
        EXPECT_FALSE(ctl->ChangeInProgress());

        // A handler that marks it handled drops that interface only.
        int asked = 0;
        ctl->OnDeviceCreateError = [&](THidDeviceController&, const THidPnPInfo& info,
                                       bool& handled, bool&) {
            EXPECT_FALSE(info.DevicePath.empty());
            ++asked;
            handled = true;
        };
        ctl->DeviceChange();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(events, (Events{"arrival 1 list 1", "change"}));
        ctl.reset();
    }
}

TEST_F(HidFixture, EnumerationStopsWhereTheHandlerSays) {
    Add(1);
    Add(2);
    Add(3);
    Create();
    RunEvents();
    EXPECT_EQ(ctl->EnumerateDevices(), 1); // no handler: the first present device only
    std::vector<int> seen;
    ctl->OnEnumerate = [&](THidDevice& d, int idx) {
        seen.push_back(idx);
        return d.ProductID() != 2;
    };
    EXPECT_EQ(ctl->EnumerateDevices(), 2);
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));
}

TEST_F(HidFixture, DeviceOperations) {
    TSimDeviceDescription description = DescriptionOf(0x1980, 0x1F01, "USB Radio");
    description.InputReportByteLength = 9;
    description.OutputReportByteLength = 65;
    const int index = sim->AddDevice(description);
    sim->Plug(index);
    TSimDeviceDescription queryOnly = DescriptionOf(0x1980, 5);
    queryOnly.CanOpenReadWrite = false;
    sim->Plug(sim->AddDevice(queryOnly));
    Create();
    RunEvents();
    THidDevice& d = ctl->Device(0);
    // Not claimed and not offered: nothing can be opened.
    EXPECT_EQ(d.Capabilities().OutputReportByteLength, 0);
    EXPECT_TRUE(d.ProductText().isEmpty());
    int written = -1;
    const QByteArray report(65, '\0');
    EXPECT_FALSE(d.Write(report.constData(), 65, written));

    THidDevice* dev = nullptr;
    ASSERT_TRUE(ctl->ClaimByIndex(dev, 0));
    EXPECT_TRUE(dev->ReadWriteOpen());
    EXPECT_EQ(dev->Capabilities().InputReportByteLength, 9);
    EXPECT_EQ(dev->Capabilities().OutputReportByteLength, 65);
    EXPECT_EQ(dev->ProductText(), "USB Radio");
    dev->SetInputReportBuffers(128);
    dev->SetOverlappedReportBuffers(128);
    EXPECT_EQ(dev->InputReportBuffers(), 128);
    EXPECT_EQ(dev->OverlappedReportBuffers(), 128);
    for (int slice : {9, 10001})
        dev->SetReadWaitSlice(slice);
    EXPECT_EQ(dev->ReadWaitSlice(), 100);
    dev->SetReadWaitSlice(10);
    EXPECT_EQ(dev->ReadWaitSlice(), 10);

    EXPECT_TRUE(dev->Write(report.constData(), 65, written));
    EXPECT_EQ(written, 65);
    sim->SetWriteError(index, EIO);
    EXPECT_FALSE(dev->Write(report.constData(), 65, written));
    EXPECT_EQ(dev->LastError(), EIO);
    EXPECT_EQ(sim->Written(index).size(), 1u);
    // The virtual device keeps only its latest reports, however long it runs.
    sim->SetWriteError(index, 0);
    for (std::size_t i = 0; i < TSimHidBackend::WrittenKept + 10; ++i) {
        QByteArray numbered = report;
        numbered[1] = char(i % 256);
        dev->Write(numbered.constData(), 65, written);
    }
    const std::vector<QByteArray> kept = sim->Written(index);
    ASSERT_EQ(kept.size(), TSimHidBackend::WrittenKept);
    EXPECT_EQ(kept.back()[1], char((TSimHidBackend::WrittenKept + 9) % 256));

    THidDevice* limited = nullptr;
    ASSERT_TRUE(ctl->ClaimByIndex(limited, 1));
    EXPECT_FALSE(limited->ReadWriteOpen());
    limited->SetDataHandler([](THidDevice&, std::uint8_t, const std::uint8_t*, int) {});
    EXPECT_FALSE(limited->ReaderRunning());
}

namespace {

// Claims the tuner as the main window does: on arrival when none is claimed, the first
// device with the tuner's IDs; on its removal the tuner pointer is dropped and, when asked
// to, the claim is released before the handler is done with the device.
struct ClaimingFixture : HidFixture {
    THidDevice* tuner = nullptr;
    bool releaseOnRemoval = true;
    int removals = 0;

    void Create() {
        HidFixture::Create();
        ctl->OnArrival = [this](THidDevice&) {
            if (tuner == nullptr)
                ctl->EnumerateDevices();
        };
        ctl->OnEnumerate = [this](THidDevice& d, int idx) {
            if (d.ProductID() != 0x1F02 || !ctl->ClaimByIndex(tuner, idx))
                return true;
            tuner->SetDataHandler([](THidDevice&, std::uint8_t, const std::uint8_t*, int) {});
            tuner->ProductText();
            return false;
        };
        ctl->OnRemoval = [this](THidDevice& d) {
            if (&d != tuner)
                return;
            if (releaseOnRemoval) {
                EXPECT_TRUE(ctl->Release(tuner));
                EXPECT_EQ(tuner, nullptr);
            }
            tuner = nullptr;
            // Still valid while the removal event runs.
            EXPECT_EQ(d.ProductText(), "Device");
            ++removals;
        };
    }
};

} // namespace

TEST_F(ClaimingFixture, ThousandReplugsLeaveOneDevice) {
    const struct {
        int product;
        bool claimed;
    } cases[] = {{0x1F02, true}, {0x1234, false}};
    for (const auto& c : cases) {
        owned = std::make_unique<TSimHidBackend>();
        sim = owned.get();
        const int index = Add(c.product);
        Create();
        RunEvents();
        for (int i = 0; i < 1000; ++i) {
            sim->Unplug(index);
            RunEvents();
            sim->Plug(index);
            RunEvents();
        }
        ASSERT_EQ(ctl->Count(), 1) << c.product;
        EXPECT_TRUE(ctl->Device(0).Present());
        EXPECT_EQ(ctl->Device(0).Claimed(), c.claimed);
        EXPECT_EQ(removals, c.claimed ? 1000 : 0);
        EXPECT_EQ(tuner, c.claimed ? &ctl->Device(0) : nullptr);
        sim->Unplug(index);
        RunEvents();
        EXPECT_EQ(ctl->Count(), 0);
        ctl.reset();
        tuner = nullptr;
        removals = 0;
    }
}

TEST_F(ClaimingFixture, ReleaseOutsideTheRemovalFreesALeftDevice) {
    releaseOnRemoval = false;
    const int index = Add(0x1F02);
    Add(7);
    Create();
    RunEvents();
    ASSERT_NE(tuner, nullptr);
    THidDevice* kept = tuner;
    sim->Unplug(index);
    RunEvents();
    // Claimed when it left, so it stays listed until its claim is given up.
    ASSERT_EQ(ctl->Count(), 2);
    EXPECT_FALSE(kept->Present());
    sim->Plug(index);
    RunEvents();
    ASSERT_EQ(ctl->Count(), 3);
    EXPECT_NE(tuner, kept);
    EXPECT_TRUE(ctl->Release(kept));
    EXPECT_EQ(kept, nullptr);
    ASSERT_EQ(ctl->Count(), 2);
    EXPECT_EQ(ctl->Device(0).ProductID(), 7);
    EXPECT_EQ(&ctl->Device(1), tuner);

    // A present device that is released stays listed, unclaimed, and can be claimed anew.
    THidDevice* present = tuner;
    EXPECT_TRUE(ctl->Release(tuner));
    EXPECT_EQ(ctl->Count(), 2);
    EXPECT_FALSE(present->Claimed());
    EXPECT_FALSE(present->ReaderRunning());
    EXPECT_FALSE(ctl->Release(present)); // no longer claimed
    EXPECT_EQ(present, nullptr);
    THidDevice* none = nullptr;
    EXPECT_FALSE(ctl->Release(none));
    EXPECT_EQ(ctl->EnumerateDevices(), 2);
    ASSERT_EQ(tuner, &ctl->Device(1));
    EXPECT_TRUE(tuner->ReaderRunning());
}

TEST_F(ClaimingFixture, DeviceReleasedDuringAnotherDevicesEventIsFreedAfterTheEvent) {
    releaseOnRemoval = false;
    const int index = Add(0x1F02);
    const int other = Add(7);
    Create();
    RunEvents();
    THidDevice* kept = tuner;
    sim->Unplug(index);
    RunEvents();
    ASSERT_EQ(ctl->Count(), 2);
    // While the other device's removal runs, the left tuner is released but stays in the
    // list; the change frees it once its events are over.
    int countInEvent = -1;
    ctl->OnRemoval = [&](THidDevice&) {
        EXPECT_TRUE(ctl->Release(kept));
        countInEvent = ctl->Count();
    };
    sim->Unplug(other);
    RunEvents();
    EXPECT_EQ(countInEvent, 2);
    EXPECT_EQ(ctl->Count(), 0);
}
