#pragma once

// Report lengths from a HID report descriptor, counted the way the program's transport
// counts them: for each kind (input, output, feature) the largest report over all report
// IDs, in whole bytes, plus one byte for the report ID (which is 0 and not sent by devices
// that declare no report IDs). A kind the descriptor declares no report of has length 0.

#include <cstddef>
#include <cstdint>
#include <string>

struct THidReportLengths {
    int Input = 0;
    int Output = 0;
    int Feature = 0;
    bool UsesReportIds = false; // the descriptor declares at least one Report ID item
};

// The largest descriptor the kernel accepts.
constexpr std::size_t MaxReportDescriptorSize = 4096;

// Parses the whole descriptor. False, with a short English reason in error, when the
// descriptor is empty, larger than MaxReportDescriptorSize, cut off inside an item, or
// declares something no device can send (see the implementation); lengths is then left as
// it was. Never reads outside [data, data + size).
bool ParseReportDescriptor(const std::uint8_t* data, std::size_t size, THidReportLengths& lengths,
                           std::string& error);
