#pragma once

// Fake hidraw interfaces for the backend's tests: a umockdev testbed holding, per device, the
// usb_device → usb_interface → hid → hidraw chain with a report descriptor, whose node is
// the slave side of a pseudo terminal. The test program runs itself again under umockdev's
// preload library when it was started without it, so libudev and open() in this process
// (and in the programs it starts) see the testbed instead of the machine.

#include <QByteArray>
#include <cstdint>
#include <string>

struct TFakeHid {
    std::string UsbName = "1-2"; // the USB device's sysfs name; one per device
    int Number = 0;              // hidrawN, and the hid device's sequence number N + 1
    std::uint16_t VendorID = 0x1980;
    std::uint16_t ProductID = 0x1F01;
    std::string Product = "USB FM Tuner";         // the USB device's product attribute; "" for none
    std::string HidName = "Orvalen USB FM Tuner"; // HID_NAME; "" for none
    std::string HidId;          // HID_ID text when it must be odd; "" for the usual one
    std::string DescriptorHex = // vendor-defined, 64 bytes in and 64 bytes out, no report IDs
        "0600FF0901A1010901150026FF009540750881020901150026FF00954075089102C0";
    bool HasDescriptor = true;
    int DevNum = 5; // the USB device number, new on each plug
};

struct _UMockdevTestbed;

// What the device's side of a node (TFakeHidraw::DeviceFd) receives: waits up to timeoutMs
// for the first bytes, then takes what follows closely.
QByteArray ReceivedByDevice(int deviceFd, int timeoutMs = 3000);

// The text umockdev reads for the device: the same form as shared/fixtures/hid.
std::string FakeHidDescription(const TFakeHid& device);

class TFakeHidraw {
public:
    TFakeHidraw();
    ~TFakeHidraw();
    TFakeHidraw(const TFakeHidraw&) = delete;
    TFakeHidraw& operator=(const TFakeHidraw&) = delete;

    bool Valid() const { return FBed != nullptr; }
    std::string Root() const; // the testbed's folder (UMOCKDEV_DIR)
    // Adds the device (quietly, as at boot); Plug also sends the hidraw node's "add".
    bool Add(const TFakeHid& device);
    bool Plug(const TFakeHid& device);
    // Sends the hidraw node's "remove", then takes the whole chain away. (The testbed cannot
    // make the same node again afterwards: plug it back in under another Number.)
    void Unplug(const TFakeHid& device);
    void SetUsbAttribute(const TFakeHid& device, const char* name, const char* value);
    // The device's side of the node: what the program writes is read here, and what is
    // written here the program reads (without report boundaries: it is a stream).
    int DeviceFd(const TFakeHid& device);

    static std::string UsbSysPath(const TFakeHid& device);
    static std::string HidrawSysPath(const TFakeHid& device);
    static std::string DevNode(const TFakeHid& device);

private:
    _UMockdevTestbed* FBed = nullptr;
};
