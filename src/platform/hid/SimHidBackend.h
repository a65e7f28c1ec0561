#pragma once

// A HID backend whose devices are simulated in the process: tests and the program's
// --simulate mode plug and unplug them, and a firmware object answers their output reports
// with input reports. Every plug-in makes a new interface instance, as a real re-plug does.
//
// Threads: devices are added, plugged and written on the GUI thread; reads run on reader
// threads. Each plugged interface keeps its input queue under its own lock; the read
// counters and the injected read failures are atomic.

#include "HidBackend.h"

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

// What a simulated device does with the output reports written to it.
class TSimFirmware {
public:
    virtual ~TSimFirmware() = default;
    // report: the whole output report, report ID first. Returns the input reports it sends
    // back, each with its report ID first.
    virtual std::vector<QByteArray> HandleOutput(const QByteArray& report) = 0;
};

struct TSimDeviceDescription {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0x0100;
    QString Product;
    int InputReportByteLength = 65;
    int OutputReportByteLength = 65;
    bool CanOpenReadWrite = true; // false: only a query handle opens (no permission)
    bool CanOpen = true;          // false: not even a query handle opens
    bool CanIdentify = true;      // false: the attributes cannot be read
};

class TSimHidBackend : public THidBackend {
public:
    TSimHidBackend();
    ~TSimHidBackend() override;

    // Returns the device's number for Plug/Unplug. A new device is unplugged.
    int AddDevice(const TSimDeviceDescription& description,
                  std::shared_ptr<TSimFirmware> firmware = nullptr);
    // Plug and Unplug post one device change each (run by the event loop).
    void Plug(int device);
    void Unplug(int device);
    bool IsPlugged(int device) const;
    // Queues an input report (report ID first) as if the device had sent it.
    void InjectInput(int device, const QByteArray& report);
    // Makes the next writes to the device fail with error (0: writes succeed again).
    void SetWriteError(int device, int error);
    // Makes the next count reads of the device fail with error, as a read that cannot be
    // started does (the device stays present; reading again later works).
    void FailReads(int device, int count, int error);
    // How many reads the device's handles have been asked for since it was added.
    int ReadCount(int device) const;
    // The output reports written to the device since it was added, the last WrittenKept of
    // them: a virtual tuner that runs for days must not grow with its traffic.
    static constexpr std::size_t WrittenKept = 1024;
    std::vector<QByteArray> Written(int device) const;
    void ClearWritten(int device);

    std::vector<THidInterface> Enumerate() override;
    std::unique_ptr<THidHandle> Open(const std::string& path, THidAccess access,
                                     int& error) override;

    // One plugged-in interface: what its handles share.
    struct TNode {
        std::mutex Lock;
        std::condition_variable Arrived;
        std::deque<QByteArray> Queue;
        int QueueSize = 32;
        bool Gone = false;
    };

private:
    struct TDevice {
        TSimDeviceDescription Description;
        std::shared_ptr<TSimFirmware> Firmware;
        std::shared_ptr<TNode> Node; // while plugged
        std::string Instance;
        int WriteError = 0;
        std::deque<QByteArray> Written;
        // Reads run on reader threads.
        std::atomic<int> Reads{0};
        std::atomic<int> ReadsToFail{0};
        std::atomic<int> ReadError{0};
    };
    class THandle;

    void PostChange();
    TDevice* Find(const std::string& path);

    std::vector<std::unique_ptr<TDevice>> FDevices; // never removed: handles point at them
    int FPlugCount = 0;
    QObject FContext; // receives the posted device changes
};
