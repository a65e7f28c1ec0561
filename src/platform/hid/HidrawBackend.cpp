#include "HidrawBackend.h"

#include "HidrawText.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

namespace {

std::string Text(const char* value) {
    return value != nullptr ? std::string(value) : std::string();
}

// Reads what identifies one hidraw interface; nothing when it is not a HID interface the
// program can describe (no hid parent, no node, odd HID_ID), which is then left out.
std::optional<THidrawNode> DescribeNode(udev_device* device) {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
    const char* devNode = udev_device_get_devnode(device);
    if (hid == nullptr || devNode == nullptr)
        return std::nullopt;
    const auto id = ParseHidId(Text(udev_device_get_property_value(hid, "HID_ID")));
    if (!id)
        return std::nullopt;
    THidrawNode node;
    node.DevNode = devNode;
    node.SysPath = Text(udev_device_get_syspath(device));
    node.HidSysPath = Text(udev_device_get_syspath(hid));
    node.Attributes.VendorID = id->VendorID;
    node.Attributes.ProductID = id->ProductID;
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    const char* product = usb != nullptr ? udev_device_get_sysattr_value(usb, "product") : nullptr;
    if (product == nullptr)
        product = udev_device_get_property_value(hid, "HID_NAME");
    if (product != nullptr) {
        node.Product = QString::fromUtf8(product);
        node.HasProduct = true;
    }
    std::string deviceNumber;
    if (usb != nullptr) {
        if (const auto version = ParseHex16(Text(udev_device_get_sysattr_value(usb, "bcdDevice"))))
            node.Attributes.VersionNumber = *version;
        deviceNumber = Text(udev_device_get_sysattr_value(usb, "devnum"));
    }
    node.Instance = InterfaceInstance(node.SysPath, deviceNumber);
    return node;
}

} // namespace

THidrawBackend::THidrawBackend() : FUdev(udev_new()) {
    StartMonitor();
}

THidrawBackend::~THidrawBackend() {
    delete FNotifier;
    if (FMonitor != nullptr)
        udev_monitor_unref(FMonitor);
    if (FUdev != nullptr)
        udev_unref(FUdev);
}

void THidrawBackend::StartMonitor() {
    if (FUdev == nullptr)
        return;
    // Events from udev come after its rules have run, so the node's permissions are set by
    // then; without a udev daemon only the kernel's own events exist.
    const char* source = ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
    FMonitor = udev_monitor_new_from_netlink(FUdev, source);
    if (FMonitor == nullptr)
        return;
    if (udev_monitor_filter_add_match_subsystem_devtype(FMonitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(FMonitor) < 0) {
        udev_monitor_unref(FMonitor);
        FMonitor = nullptr;
        return;
    }
    FMonitorSource = source;
    FNotifier = new QSocketNotifier(udev_monitor_get_fd(FMonitor), QSocketNotifier::Read);
    QObject::connect(FNotifier, &QSocketNotifier::activated, [this] { MonitorReady(); });
}

void THidrawBackend::MonitorReady() {
    // The monitor's socket does not block: take every event that is waiting.
    while (udev_device* device = udev_monitor_receive_device(FMonitor)) {
        const std::string action = Text(udev_device_get_action(device));
        udev_device_unref(device);
        if ((action == "add" || action == "remove") && OnChange)
            OnChange();
    }
}

std::vector<THidInterface> THidrawBackend::Enumerate() {
    std::vector<THidInterface> present;
    FNodes.clear();
    if (FUdev == nullptr)
        return present;
    udev_enumerate* enumerate = udev_enumerate_new(FUdev);
    if (enumerate == nullptr)
        return present;
    udev_enumerate_add_match_subsystem(enumerate, "hidraw");
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        // A device that left since the scan has no sysfs entry any more and is skipped.
        udev_device* device = udev_device_new_from_syspath(FUdev, udev_list_entry_get_name(entry));
        if (device == nullptr)
            continue;
        if (auto node = DescribeNode(device)) {
            // Two entries for one node cannot both be used; the first one counts.
            if (FNodes.count(node->DevNode) == 0) {
                present.push_back({node->DevNode, node->Instance});
                FNodes.emplace(node->DevNode, std::move(*node));
            }
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    return present;
}

std::unique_ptr<THidHandle> THidrawBackend::Open(const std::string& path, THidAccess access,
                                                 int& error) {
    const auto found = FNodes.find(path);
    if (found == FNodes.end()) {
        error = ENOENT;
        return nullptr;
    }
    const THidrawNode& node = found->second;
    if (access == THidAccess::Query)
        return std::make_unique<THidrawHandle>(node, -1, false, FNotice);
    // Never waits: a node that is not what it should be cannot stall the GUI thread.
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    bool reportIds = false;
    if (access == THidAccess::Read) {
        THidCaps caps;
        std::string ignored; // the claim's capabilities already reported it
        ReadReportLengths(node.HidSysPath, caps, reportIds, ignored);
    }
    return std::make_unique<THidrawHandle>(node, fd, reportIds, FNotice);
}

std::unique_ptr<THidBackend> CreateSystemHidBackend() {
    return std::make_unique<THidrawBackend>();
}
