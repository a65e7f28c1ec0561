// The hidraw backend against fake devices: what it lists, what it reads from sysfs, how it
// handles devices it cannot use, and that reports reach the device whole.
#include "platform/hid/HidrawBackend.h"

#include "FakeHidraw.h"

#include <QStringList>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

TFakeHid Tuner(std::uint16_t product, int number = 0) {
    TFakeHid d;
    d.UsbName = "1-" + std::to_string(2 + number);
    d.Number = number;
    d.ProductID = product;
    return d;
}

struct TListed {
    THidInterface Interface;
    THidAttributes Attributes;
    THidCaps Caps;
    QString Product;
    bool HasProduct = false;
    bool HasCaps = false;
};

std::vector<TListed> ListAll(THidBackend& backend) {
    std::vector<TListed> all;
    for (const THidInterface& iface : backend.Enumerate()) {
        TListed listed{iface, {}, {}, {}, false, false};
        int error = 0;
        auto handle = backend.Open(iface.Path, THidAccess::Query, error);
        EXPECT_NE(handle, nullptr) << iface.Path;
        if (handle) {
            EXPECT_TRUE(handle->GetAttributes(listed.Attributes));
            listed.HasCaps = handle->GetCaps(listed.Caps);
            listed.HasProduct = handle->GetProductString(listed.Product);
        }
        all.push_back(listed);
    }
    return all;
}

const TListed* Find(const std::vector<TListed>& all, const std::string& path) {
    for (const TListed& listed : all)
        if (listed.Interface.Path == path)
            return &listed;
    return nullptr;
}

} // namespace

TEST(HidrawBackend, ListsBothTunersWithTheirIdentityAndReportLengths) {
    TFakeHidraw bed;
    const TFakeHid tea = Tuner(0x1F01, 0);
    TFakeHid rda = Tuner(0x1F02, 1);
    rda.Product = "USB FM Tuner RDA";
    ASSERT_TRUE(bed.Add(tea));
    ASSERT_TRUE(bed.Add(rda));
    THidrawBackend backend;
    const auto all = ListAll(backend);
    ASSERT_EQ(all.size(), 2u);
    const struct {
        const TFakeHid& Device;
        const char* Product;
    } cases[] = {{tea, "USB FM Tuner"}, {rda, "USB FM Tuner RDA"}};
    for (const auto& c : cases) {
        const TListed* listed = Find(all, TFakeHidraw::DevNode(c.Device));
        ASSERT_NE(listed, nullptr) << c.Product;
        EXPECT_EQ(listed->Attributes.VendorID, 0x1980);
        EXPECT_EQ(listed->Attributes.ProductID, c.Device.ProductID);
        EXPECT_EQ(listed->Attributes.VersionNumber, 0x0200);
        EXPECT_EQ(listed->Product, QString::fromLatin1(c.Product));
        ASSERT_TRUE(listed->HasCaps);
        EXPECT_EQ(listed->Caps.InputReportByteLength, 65);
        EXPECT_EQ(listed->Caps.OutputReportByteLength, 65);
        EXPECT_EQ(listed->Interface.Instance.rfind(TFakeHidraw::HidrawSysPath(c.Device), 0), 0u)
            << listed->Interface.Instance;
    }
}

TEST(HidrawBackend, APluggedAgainTunerIsANewInterfaceEvenOnTheSameNode) {
    TFakeHidraw bed;
    TFakeHid tuner = Tuner(0x1F01);
    ASSERT_TRUE(bed.Add(tuner));
    THidrawBackend backend;
    const auto first = backend.Enumerate();
    bed.Unplug(tuner);
    EXPECT_TRUE(backend.Enumerate().empty());
    // Back on another node, as the kernel may number it.
    tuner.Number = 1;
    tuner.DevNum = 6;
    ASSERT_TRUE(bed.Plug(tuner));
    const auto second = backend.Enumerate();
    // Back with the very same sysfs path and node: only the bus's device number tells.
    bed.SetUsbAttribute(tuner, "devnum", "7");
    const auto third = backend.Enumerate();
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    ASSERT_EQ(third.size(), 1u);
    EXPECT_NE(first[0].Instance, second[0].Instance);
    EXPECT_EQ(second[0].Path, third[0].Path);
    EXPECT_NE(second[0].Instance, third[0].Instance);
}

TEST(HidrawBackend, DevicesItCannotFullyUseAreSkippedOrReportedWithoutHarm) {
    TFakeHidraw bed;
    struct TCase {
        const char* What;
        TFakeHid Device;
        bool Listed;
        const char* Product; // nullptr: none can be read
        const char* Notice;  // nullptr: the lengths are read
    };
    std::vector<TCase> cases;
    const auto add = [&](const char* what, bool listed, const char* product, const char* notice,
                         auto change) {
        TFakeHid d = Tuner(0x1F01, int(cases.size()));
        change(d);
        cases.push_back({what, d, listed, product, notice});
    };
    add("usual", true, "USB FM Tuner", nullptr, [](TFakeHid&) {});
    add("odd HID_ID", false, nullptr, nullptr, [](TFakeHid& d) { d.HidId = "0003:1980"; });
    add("HID_ID beyond 16 bits", false, nullptr, nullptr,
        [](TFakeHid& d) { d.HidId = "0003:00011980:00001F01"; });
    add("HID_ID not hex", false, nullptr, nullptr,
        [](TFakeHid& d) { d.HidId = "0003:0000198G:00001F01"; });
    add("no product attribute", true, "Orvalen USB FM Tuner", nullptr,
        [](TFakeHid& d) { d.Product.clear(); });
    add("no product at all", true, nullptr, nullptr, [](TFakeHid& d) {
        d.Product.clear();
        d.HidName.clear();
    });
    add("no descriptor", true, "USB FM Tuner", "cannot be read",
        [](TFakeHid& d) { d.HasDescriptor = false; });
    add("empty descriptor", true, "USB FM Tuner", "", [](TFakeHid& d) { d.DescriptorHex.clear(); });
    add("oversized descriptor", true, "USB FM Tuner", "",
        [](TFakeHid& d) { d.DescriptorHex = std::string(2 * 4097, '0'); });
    add("cut off descriptor", true, "USB FM Tuner", "",
        [](TFakeHid& d) { d.DescriptorHex = "0600FF0901A1010901150026FF"; });
    for (const TCase& c : cases)
        ASSERT_TRUE(bed.Add(c.Device)) << c.What;

    THidrawBackend backend;
    QStringList notices;
    backend.SetNotice([&](const QString& line) { notices << line; });
    const auto all = ListAll(backend);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const TListed* listed = Find(all, TFakeHidraw::DevNode(c.Device));
        ASSERT_EQ(listed != nullptr, c.Listed);
        if (!listed)
            continue;
        EXPECT_EQ(listed->HasProduct, c.Product != nullptr);
        if (c.Product) {
            EXPECT_EQ(listed->Product, QString::fromLatin1(c.Product));
        }
        EXPECT_EQ(listed->HasCaps, c.Notice == nullptr);
        const QString node = QString::fromStdString(TFakeHidraw::DevNode(c.Device));
        const auto told = std::count_if(notices.begin(), notices.end(), [&](const QString& l) {
            return l.contains(node + " ") &&
                   l.contains(QString::fromLatin1(c.Notice ? c.Notice : "-"));
        });
        EXPECT_EQ(told, c.Notice ? 1 : 0) << notices.join('\n').toStdString();
    }
}

TEST(HidrawBackend, AnInterfaceThatLeftAfterTheListingStillAnswersQueries) {
    TFakeHidraw bed;
    const TFakeHid tuner = Tuner(0x1F01);
    ASSERT_TRUE(bed.Add(tuner));
    THidrawBackend backend;
    ASSERT_EQ(backend.Enumerate().size(), 1u);
    bed.Unplug(tuner);
    // Its identity was read with the listing, so the device can still be made and then
    // removed by the change that follows.
    int error = 0;
    auto query = backend.Open(TFakeHidraw::DevNode(tuner), THidAccess::Query, error);
    ASSERT_NE(query, nullptr);
    THidAttributes attributes;
    EXPECT_TRUE(query->GetAttributes(attributes));
    EXPECT_EQ(attributes.ProductID, 0x1F01);
    std::size_t written = 0;
    const std::uint8_t report[65] = {};
    EXPECT_FALSE(query->Write(report, sizeof report, written, error));
    EXPECT_EQ(error, EBADF);
    EXPECT_EQ(backend.Open("/dev/hidraw99", THidAccess::Query, error), nullptr);
}

TEST(HidrawBackend, FindsTheTunerAmongHundredsOfOtherDevices) {
    TFakeHidraw bed;
    for (int i = 0; i < 300; ++i) {
        TFakeHid other = Tuner(0xC077, i);
        other.VendorID = 0x046D;
        other.Product = "Mouse " + std::to_string(i);
        ASSERT_TRUE(bed.Add(other));
    }
    const TFakeHid tuner = Tuner(0x1F02, 300);
    ASSERT_TRUE(bed.Add(tuner));
    THidrawBackend backend;
    const auto all = backend.Enumerate();
    EXPECT_EQ(all.size(), 301u);
    int error = 0;
    auto handle = backend.Open(TFakeHidraw::DevNode(tuner), THidAccess::Query, error);
    ASSERT_NE(handle, nullptr);
    THidAttributes attributes;
    ASSERT_TRUE(handle->GetAttributes(attributes));
    EXPECT_EQ(attributes.ProductID, 0x1F02);
}

TEST(HidrawBackend, AWrittenReportReachesTheDeviceWholeReportIdFirst) {
    TFakeHidraw bed;
    const TFakeHid tuner = Tuner(0x1F01);
    ASSERT_TRUE(bed.Add(tuner));
    THidrawBackend backend;
    backend.Enumerate();
    int error = 0;
    auto handle = backend.Open(TFakeHidraw::DevNode(tuner), THidAccess::ReadWrite, error);
    ASSERT_NE(handle, nullptr) << error;
    std::uint8_t report[65];
    for (int i = 0; i < 65; ++i)
        report[i] = std::uint8_t(i * 7); // 0 first: the tuner declares no report IDs
    std::size_t written = 0;
    ASSERT_TRUE(handle->Write(report, sizeof report, written, error)) << error;
    EXPECT_EQ(written, 65u);
    EXPECT_EQ(ReceivedByDevice(bed.DeviceFd(tuner)),
              QByteArray(reinterpret_cast<const char*>(report), sizeof report));
    int buffers = 0;
    EXPECT_TRUE(handle->GetNumInputBuffers(buffers));
    EXPECT_EQ(buffers, THidrawHandle::KernelInputBuffers);
}
