#pragma once

// The few sysfs and uevent texts the hidraw backend reads, as pure functions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct THidId {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
};

// HID_ID of a hid device: "BBBB:VVVVVVVV:PPPPPPPP" (bus, vendor, product in hex). Nothing
// for any other text, for values beyond 16 bits included.
std::optional<THidId> ParseHidId(std::string_view text);

// A sysfs number in hex such as bcdDevice ("0200"); nothing when it is not one or beyond
// 16 bits.
std::optional<std::uint16_t> ParseHex16(std::string_view text);

// The interface's identity across device changes: the hidraw node's sysfs path, which names
// the hid device's sequence number, and the USB device number, which the bus hands out
// afresh on each plug, so a re-plugged tuner is always a new interface.
std::string InterfaceInstance(std::string_view sysPath, std::string_view usbDeviceNumber);
