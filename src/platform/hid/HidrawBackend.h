#pragma once

// The HID backend of real machines: libudev lists the hidraw interfaces and reports their
// arrival and removal, the hidraw nodes carry the reports.
//
// Threads: everything runs on the GUI thread, except the reads of the handles it opens.

#include "HidBackend.h"
#include "HidrawHandle.h"

#include <map>

struct udev;
struct udev_monitor;
class QSocketNotifier;

class THidrawBackend : public THidBackend {
public:
    THidrawBackend();
    ~THidrawBackend() override;
    THidrawBackend(const THidrawBackend&) = delete;
    THidrawBackend& operator=(const THidrawBackend&) = delete;

    std::vector<THidInterface> Enumerate() override;
    std::unique_ptr<THidHandle> Open(const std::string& path, THidAccess access,
                                     int& error) override;

    // "udev" or "kernel": where device changes come from; empty when none can be watched.
    const std::string& MonitorSource() const { return FMonitorSource; }

private:
    void StartMonitor();
    void MonitorReady();

    ::udev* FUdev = nullptr;
    ::udev_monitor* FMonitor = nullptr;
    QSocketNotifier* FNotifier = nullptr;
    std::string FMonitorSource;
    // The interfaces of the last enumeration, by node; query handles are made from these.
    std::map<std::string, THidrawNode> FNodes;
};
