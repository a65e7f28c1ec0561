#pragma once

// The HID transport: a list of the present HID interfaces, arrival and removal events, the
// claim of one interface for the application's own traffic, synchronous writes, and a
// reader thread per claimed device that hands every input report to the GUI thread.
//
// Threads: every controller and device operation and every event runs on the GUI thread.
// A reader thread touches only its own buffer and its read handle and reaches the
// application only through a synchronous hand-over: it queues the call to the GUI thread
// and waits until the call has run. Stopping a reader waits for its end and meanwhile runs
// its pending hand-over itself, so a reader blocked in delivery cannot deadlock the stop.

#include "platform/hid/HidBackend.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class THidDevice;
class THidDeviceController;
class THidDeviceReadThread;

struct THidPnPInfo {
    std::string DevicePath;
    std::string DeviceInstance;
};

class EHidControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using THidPlugEvent = std::function<void(THidDevice& HidDev)>;
using THidEnumerateEvent = std::function<bool(THidDevice& HidDev, int Idx)>;
using THidDataEvent = std::function<void(THidDevice& HidDev, std::uint8_t ReportID,
                                         const std::uint8_t* Data, int Size)>;
using THidDataErrorEvent = std::function<void(THidDevice& HidDev, int Error)>;
using THidDeviceCreateError =
    std::function<void(THidDeviceController& Controller, const THidPnPInfo& PnPInfo, bool& Handled,
                       bool& RetryCreate)>;

class THidDevice {
public:
    ~THidDevice();
    THidDevice(const THidDevice&) = delete;
    THidDevice& operator=(const THidDevice&) = delete;

    const THidPnPInfo& PnPInfo() const { return FPnPInfo; }
    bool Present() const { return FPresent; }
    bool Claimed() const { return FClaimed; }
    bool Offered() const { return FOffered; }
    bool ReadWriteOpen() const { return FReadWriteOpen; }
    // Why the last open for read/write failed (an errno value), 0 when it did not.
    int ReadWriteError() const { return FReadWriteError; }
    // Handles can be (re)opened only while this holds.
    bool Accessible() const { return FPresent && (FClaimed || FOffered); }

    int VendorID() const { return FAttributes.VendorID; }
    int ProductID() const { return FAttributes.ProductID; }
    int VersionNumber() const { return FAttributes.VersionNumber; }
    THidCaps Capabilities();
    QString ProductText();

    int InputReportBuffers() const { return FInputReportBuffers; }
    void SetInputReportBuffers(int Value);
    int OverlappedReportBuffers() const { return FOverlappedReportBuffers; }
    void SetOverlappedReportBuffers(int Value);
    int ReadWaitSlice() const { return FReadWaitSlice; }
    void SetReadWaitSlice(int Value); // accepted only within 10..10000 ms

    const THidDataEvent& DataHandler() const { return FDataHandler; }
    // None stops the reader (and waits for it); a handler starts it when the device is
    // claimed, present and open for read/write and no reader runs yet.
    void SetDataHandler(THidDataEvent Value);
    const THidDataErrorEvent& DataErrorHandler() const { return FDataErrorHandler; }
    void SetDataErrorHandler(THidDataErrorEvent Value) { FDataErrorHandler = std::move(Value); }
    THidPlugEvent UnplugHandler;

    // Writes one whole report synchronously. On failure LastError() tells why (errno).
    bool Write(const void* Buffer, int Count, int& Written);
    int LastError() const { return FLastError; }

    bool ReaderRunning() const { return FReader != nullptr; }
    // Closes the handles, clears Present and raises the unplug handler; the reader ends.
    void Unplug();

private:
    friend class THidDeviceController;
    THidDevice(THidDeviceController& controller, THidBackend& backend, THidPnPInfo info);

    bool OpenSyncHandle(); // read/write, else query-only
    bool OpenSync();       // only while accessible
    void CloseSync() { FSync.reset(); }
    bool OpenRead();
    void CloseHandles();
    void StartReader();
    void StopReader();

    THidBackend& FBackend;
    THidPnPInfo FPnPInfo;
    bool FPresent = true;
    bool FClaimed = false;
    bool FOffered = false;
    bool FReadWriteOpen = false;
    int FReadWriteError = 0;
    std::unique_ptr<THidHandle> FSync;
    std::shared_ptr<THidHandle> FRead; // shared with the reader thread
    THidAttributes FAttributes;
    bool FHaveCaps = false;
    THidCaps FCaps;
    QString FProductText;
    int FInputReportBuffers = 0;
    int FOverlappedReportBuffers = 0;
    int FReadWaitSlice = 100;
    int FLastError = 0;
    THidDataEvent FDataHandler;
    THidDataErrorEvent FDataErrorHandler;
    std::unique_ptr<THidDeviceReadThread> FReader;
};

class THidDeviceController : public QObject {
public:
    static constexpr int DBT_DEVNODES_CHANGED = 7;
    static constexpr int DevThreadSleepTime = 100;

    // Posts the first device change, which therefore runs once the event loop runs.
    explicit THidDeviceController(std::unique_ptr<THidBackend> backend, QObject* parent = nullptr);
    ~THidDeviceController() override;

    THidPlugEvent OnArrival;
    THidPlugEvent OnRemoval;
    THidEnumerateEvent OnEnumerate;
    std::function<void()> OnDeviceChange;
    THidDataEvent OnDeviceData;
    THidDataErrorEvent OnDeviceDataError;
    THidPlugEvent OnDeviceUnplug;
    THidDeviceCreateError OnDeviceCreateError;
    // Where a device-create error that no OnDeviceCreateError handler took goes when the
    // change came from the event loop (posted or reported by the system): the application
    // shows its text in a message box. Without it the error is thrown into the event loop.
    std::function<void(const QString& Message)> OnMessageLoopError;

    int Count() const { return int(FList.size()); }
    THidDevice& Device(int Idx) const { return *FList.at(size_t(Idx)); }
    THidBackend& Backend() const { return *FBackend; }

    int EnumerateDevices();
    bool ClaimByIndex(THidDevice*& HidDev, int Idx);
    // Gives up the claim: the reader stops, the device gets the handlers of a new one again
    // and HidDev is set to none. A device that has left is freed once no device event is
    // running any more (at once when none is), so a handler may release the very device it
    // was called for. False when HidDev was none or not a claimed device of this list.
    bool Release(THidDevice*& HidDev);

    // The device-change message: DBT_DEVNODES_CHANGED runs DeviceChange unless a change is
    // already being processed. lParam -1 makes the change raise OnDeviceChange even when
    // the list did not change. Throws EHidControllerError when a new interface cannot be
    // opened or identified and no OnDeviceCreateError handler takes it.
    void DeviceChangeMessage(int wParam, long lParam);
    void DeviceChange();
    bool ChangeInProgress() const { return FChanging; }

private:
    // Counts the device changes and enumerations in progress; when the outermost one ends,
    // the devices that have left and are no longer claimed are freed. Until then a handler
    // up the stack may still hold one of them.
    class TEventScope;
    void PostedDeviceChange(long lParam);
    std::unique_ptr<THidDevice> CreateDevice(const THidPnPInfo& info);
    void FreeLeftDevices();

    std::unique_ptr<THidBackend> FBackend;
    std::vector<std::unique_ptr<THidDevice>> FList;
    bool FChanging = false;
    bool FDestroying = false;
    long FLParam = 0;
    int FEventDepth = 0;
};
