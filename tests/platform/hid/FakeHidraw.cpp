#include "FakeHidraw.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <link.h>
#include <poll.h>
#include <sstream>
#include <string_view>
#include <umockdev.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* PreloadLibrary = "libumockdev-preload.so.0";

int FindSanitizerRuntime(dl_phdr_info* info, size_t, void* data) {
    const std::string_view name = info->dlpi_name != nullptr ? info->dlpi_name : "";
    for (const char* runtime : {"libasan.so", "libtsan.so"}) {
        if (name.find(runtime) != std::string_view::npos)
            *static_cast<std::string*>(data) = std::string(name);
    }
    return 0;
}

// Before anything else runs: start again with the preload library, keeping a sanitizer's
// runtime first in the list as it demands.
[[gnu::constructor]] void RunUnderUmockdev() {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload != nullptr && std::strstr(preload, PreloadLibrary) != nullptr)
        return;
    std::string runtime;
    dl_iterate_phdr(FindSanitizerRuntime, &runtime);
    std::string list = runtime.empty() ? std::string() : runtime + ":";
    list += PreloadLibrary;
    if (preload != nullptr && *preload != '\0')
        list += std::string(":") + preload;
    setenv("LD_PRELOAD", list.c_str(), 1);

    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(cmdline)), {});
    std::vector<std::string> words;
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = all.find('\0', start);
        words.push_back(all.substr(start, end - start));
        start = end == std::string::npos ? all.size() : end + 1;
    }
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    execv("/proc/self/exe", argv.data());
    std::perror("cannot start again under umockdev");
    std::_Exit(127);
}

std::string Hex4(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

std::string HidName(const TFakeHid& d) {
    char text[64];
    std::snprintf(text, sizeof text, "0003:%04X:%04X.%04X", d.VendorID, d.ProductID, d.Number + 1);
    return text;
}

} // namespace

std::string TFakeHidraw::UsbSysPath(const TFakeHid& d) {
    return "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + d.UsbName;
}

std::string TFakeHidraw::HidrawSysPath(const TFakeHid& d) {
    return UsbSysPath(d) + "/" + d.UsbName + ":1.0/" + HidName(d) + "/hidraw/hidraw" +
           std::to_string(d.Number);
}

std::string TFakeHidraw::DevNode(const TFakeHid& d) {
    return "/dev/hidraw" + std::to_string(d.Number);
}

std::string FakeHidDescription(const TFakeHid& d) {
    const std::string usb = TFakeHidraw::UsbSysPath(d).substr(4); // without "/sys"
    const std::string iface = usb + "/" + d.UsbName + ":1.0";
    const std::string hid = iface + "/" + HidName(d);
    const std::string ids = Hex4(d.VendorID) + "/" + Hex4(d.ProductID);
    std::ostringstream out;
    out << "P: " << usb << "\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: SUBSYSTEM=usb\n"
        << "E: PRODUCT=" << ids << "/200\n"
        << "A: idVendor=" << Hex4(d.VendorID) << "\\n\nA: idProduct=" << Hex4(d.ProductID)
        << "\\n\nA: bcdDevice=0200\\n\n";
    if (!d.Product.empty())
        out << "A: product=" << d.Product << "\\n\n";
    out << "A: devnum=" << d.DevNum << "\\n\n\n";
    out << "P: " << iface << "\nE: DEVTYPE=usb_interface\nE: DRIVER=usbhid\nE: SUBSYSTEM=usb\n"
        << "A: bInterfaceClass=03\\n\n\n";
    out << "P: " << hid << "\nE: DRIVER=hid-generic\nE: SUBSYSTEM=hid\n";
    if (!d.HidId.empty())
        out << "E: HID_ID=" << d.HidId << "\n";
    else
        out << "E: HID_ID=0003:0000" << Hex4(d.VendorID) << ":0000" << Hex4(d.ProductID) << "\n";
    if (!d.HidName.empty())
        out << "E: HID_NAME=" << d.HidName << "\n";
    if (d.HasDescriptor)
        out << "H: report_descriptor=" << d.DescriptorHex << "\n";
    out << "\n";
    out << "P: " << TFakeHidraw::HidrawSysPath(d).substr(4) << "\nN: hidraw" << d.Number
        << "\nE: DEVNAME=" << TFakeHidraw::DevNode(d) << "\nE: SUBSYSTEM=hidraw\n";
    return out.str();
}

TFakeHidraw::TFakeHidraw() : FBed(umockdev_testbed_new()) {
    // umockdev's library keeps a descriptor for every open of a /dev path that fails and gives
    // up after a few dozen, and ALSA's card scan (the program lists its sound devices at
    // start-up) tries 64 nodes that do not exist here. In their place, character devices that
    // open and answer no ioctl: the scan finds no card and closes them again.
    const std::string root = Root();
    g_mkdir_with_parents((root + "/dev/snd").c_str(), 0755);
    for (int card = 0; card < 32; ++card) {
        const std::string number = std::to_string(card);
        for (const std::string& node : {"/dev/snd/controlC" + number, "/dev/aloadC" + number})
            [[maybe_unused]] const int ignored = symlink("/dev/null", (root + node).c_str());
    }
}

TFakeHidraw::~TFakeHidraw() {
    if (FBed != nullptr)
        g_object_unref(FBed);
}

std::string TFakeHidraw::Root() const {
    gchar* root = umockdev_testbed_get_root_dir(FBed);
    std::string text = root != nullptr ? root : "";
    g_free(root);
    return text;
}

bool TFakeHidraw::Add(const TFakeHid& device) {
    GError* error = nullptr;
    const bool ok =
        umockdev_testbed_add_from_string(FBed, FakeHidDescription(device).c_str(), &error);
    if (error != nullptr) {
        std::fprintf(stderr, "umockdev: %s\n", error->message);
        g_error_free(error);
    }
    return ok;
}

bool TFakeHidraw::Plug(const TFakeHid& device) {
    if (!Add(device))
        return false;
    umockdev_testbed_uevent(FBed, HidrawSysPath(device).c_str(), "add");
    return true;
}

void TFakeHidraw::Unplug(const TFakeHid& device) {
    const std::string hidraw = HidrawSysPath(device);
    umockdev_testbed_uevent(FBed, hidraw.c_str(), "remove");
    // Deepest first: each device's class and bus links go with it.
    const std::string hid = hidraw.substr(0, hidraw.rfind("/hidraw/"));
    const std::string iface = hid.substr(0, hid.rfind('/'));
    for (const std::string& path : {hidraw, hid, iface, UsbSysPath(device)})
        umockdev_testbed_remove_device(FBed, path.c_str());
}

int TFakeHidraw::DeviceFd(const TFakeHid& device) {
    return umockdev_testbed_get_dev_fd(FBed, DevNode(device).c_str());
}

void TFakeHidraw::SetUsbAttribute(const TFakeHid& device, const char* name, const char* value) {
    umockdev_testbed_set_attribute(FBed, UsbSysPath(device).c_str(), name, value);
}

QByteArray ReceivedByDevice(int deviceFd, int timeoutMs) {
    QByteArray bytes;
    pollfd p{deviceFd, POLLIN, 0};
    while (poll(&p, 1, bytes.isEmpty() ? timeoutMs : 300) > 0) {
        char chunk[512];
        const ssize_t n = read(deviceFd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        bytes.append(chunk, n);
    }
    return bytes;
}
