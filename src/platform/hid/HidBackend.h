#pragma once

// The seam between the HID controller model and the operating system: enumeration of the
// present HID interfaces, opening one, its identification, report lengths, product string,
// input queue size, whole-report writes and time-sliced reads. The controller (src/tuner)
// is written against this interface only; the simulated backend implements it here, the
// hidraw backend on real machines.
//
// Threads: everything except THidHandle::Read runs on the GUI thread. Read runs on a
// device's reader thread, on a handle the GUI thread does not use for anything but
// SetNumInputBuffers/GetNumInputBuffers, which implementations keep safe against Read.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct THidInterface {
    std::string Path;     // what Open takes
    std::string Instance; // identifies the interface across device changes; new on re-plug
};

struct THidAttributes {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

// Report lengths as the program counts them: the largest report of the kind plus one byte
// for the report ID.
struct THidCaps {
    int InputReportByteLength = 0;
    int OutputReportByteLength = 0;
};

enum class THidReadStatus {
    Data,    // count bytes were read, report ID first
    Timeout, // nothing arrived within the wait
    Failed,  // the read could not be done; error says why, trying again later may work
    Gone     // the device has left; no read on this handle will ever succeed
};

// One open handle on an interface. Errors are errno values.
class THidHandle {
public:
    virtual ~THidHandle() = default;
    virtual bool GetAttributes(THidAttributes& attributes) = 0;
    virtual bool GetCaps(THidCaps& caps) = 0;
    virtual bool GetProductString(QString& text) = 0;
    virtual bool SetNumInputBuffers(int count) = 0;
    virtual bool GetNumInputBuffers(int& count) = 0;
    virtual bool Write(const std::uint8_t* data, std::size_t size, std::size_t& written,
                       int& error) = 0;
    // Waits at most timeoutMs for one input report.
    virtual THidReadStatus Read(std::uint8_t* buffer, std::size_t size, int timeoutMs,
                                std::size_t& count, int& error) = 0;
    // Called on the GUI thread while another thread may wait in Read: that wait ends at once
    // (as a timeout) and so does every later one, so a stop never waits out a whole slice.
    virtual void CancelRead() {}
};

// How an interface is opened: Query only identifies it (it opens even without permission
// to exchange reports); ReadWrite is the synchronous handle for writes; Read is the reader's.
enum class THidAccess { Query, ReadWrite, Read };

class THidBackend {
public:
    virtual ~THidBackend() = default;
    // The present interfaces in discovery order.
    virtual std::vector<THidInterface> Enumerate() = 0;
    virtual std::unique_ptr<THidHandle> Open(const std::string& path, THidAccess access,
                                             int& error) = 0;
    // Called on the GUI thread once per device-node change the system reports.
    std::function<void()> OnChange;
    // Where lines for the log window about a device the program cannot use as it is go.
    void SetNotice(std::function<void(const QString& line)> notice) {
        *FNotice = std::move(notice);
    }

protected:
    // Shared with the handles, which may outlive the backend on a reader thread.
    using TNotice = std::shared_ptr<std::function<void(const QString& line)>>;
    TNotice FNotice = std::make_shared<std::function<void(const QString& line)>>();
};

// The backend the program uses when it does not simulate.
std::unique_ptr<THidBackend> CreateSystemHidBackend();
