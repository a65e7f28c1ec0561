// The transport on the hidraw backend with fake devices coming and going: udev's "add" and
// "remove" reach the controller as arrival and removal, a claimed device exchanges reports,
// and its reader ends when it leaves.
#include "FakeHidraw.h"
#include "WaitFor.h"
#include "platform/hid/HidrawBackend.h"
#include "tuner/HidController.h"

#include <gtest/gtest.h>
#include <unistd.h>

TEST(HidrawHotplug, PlugClaimExchangeUnplugAndPlugAgain) {
    TFakeHidraw bed;
    TFakeHid tuner;
    auto backend = std::make_unique<THidrawBackend>();
    ASSERT_FALSE(backend->MonitorSource().empty());
    THidDeviceController controller(std::move(backend));
    QStringList events;
    QList<QByteArray> reports;
    THidDevice* claimed = nullptr;
    controller.OnDeviceChange = [&] { events << "change"; };
    controller.OnArrival = [&](THidDevice& device) {
        events << "arrival " + device.ProductText();
        for (int i = 0; i < controller.Count(); ++i) {
            if (&controller.Device(i) == &device && controller.ClaimByIndex(claimed, i)) {
                claimed->SetDataHandler(
                    [&](THidDevice&, std::uint8_t id, const std::uint8_t* data, int size) {
                        reports << QByteArray(1, char(id)) +
                                       QByteArray(reinterpret_cast<const char*>(data), size);
                    });
            }
        }
    };
    controller.OnRemoval = [&](THidDevice& device) {
        events << QStringLiteral("removal %1").arg(device.Present() ? "present" : "gone");
    };
    ASSERT_TRUE(WaitFor([&] { return events == QStringList{"change"}; }));

    ASSERT_TRUE(bed.Plug(tuner));
    ASSERT_TRUE(WaitFor([&] { return claimed != nullptr; })) << events.join(", ").toStdString();
    EXPECT_EQ(events.mid(1), (QStringList{"arrival USB FM Tuner", "change"}));
    ASSERT_TRUE(claimed->ReadWriteOpen());
    EXPECT_EQ(claimed->Capabilities().InputReportByteLength, 65);
    ASSERT_TRUE(claimed->ReaderRunning());

    const int deviceFd = bed.DeviceFd(tuner);
    QByteArray out(65, '\0');
    out[1] = 'g';
    int written = 0;
    ASSERT_TRUE(claimed->Write(out.constData(), int(out.size()), written));
    EXPECT_EQ(ReceivedByDevice(deviceFd), out);
    const QByteArray in = QByteArray("\x05\x10\x20", 3) + QByteArray(61, '\x01');
    ASSERT_EQ(write(deviceFd, in.constData(), size_t(in.size())), in.size());
    ASSERT_TRUE(WaitFor([&] { return !reports.isEmpty(); }));
    EXPECT_EQ(reports.front(), QByteArray(1, '\0') + in);

    // Taken away while its reader waits for the next report.
    events.clear();
    THidDevice* const first = claimed;
    bed.Unplug(tuner);
    ASSERT_TRUE(WaitFor([&] { return !events.isEmpty(); }));
    EXPECT_EQ(events, (QStringList{"removal gone", "change"}));
    EXPECT_FALSE(first->ReaderRunning());
    EXPECT_TRUE(first->Claimed()); // stays listed until given up

    events.clear();
    claimed = nullptr;
    tuner.Number = 1;
    tuner.DevNum = 6;
    ASSERT_TRUE(bed.Plug(tuner));
    ASSERT_TRUE(WaitFor([&] { return claimed != nullptr; }));
    EXPECT_NE(claimed, first);
    EXPECT_EQ(events, (QStringList{"arrival USB FM Tuner", "change"}));
    EXPECT_TRUE(claimed->ReaderRunning());
}
