#include "HidController.h"

#include "HidReadThread.h"

#include <QMetaObject>
#include <algorithm>
#include <cerrno>

// --- THidDevice ---

THidDevice::THidDevice(THidDeviceController& controller, THidBackend& backend, THidPnPInfo info)
    : FBackend(backend), FPnPInfo(std::move(info)) {
    FDataHandler = controller.OnDeviceData;
    UnplugHandler = controller.OnDeviceUnplug;
    if (!OpenSyncHandle())
        throw EHidControllerError("Device cannot be opened");
    if (!FSync->GetAttributes(FAttributes))
        throw EHidControllerError("Device cannot be identified");
    CloseSync();
}

THidDevice::~THidDevice() {
    StopReader();
    CloseHandles();
}

bool THidDevice::OpenSyncHandle() {
    int error = 0;
    FSync = FBackend.Open(FPnPInfo.DevicePath, THidAccess::ReadWrite, error);
    FReadWriteOpen = FSync != nullptr;
    FReadWriteError = FReadWriteOpen ? 0 : error;
    if (!FSync)
        FSync = FBackend.Open(FPnPInfo.DevicePath, THidAccess::Query, error);
    if (!FSync)
        FLastError = error;
    return FSync != nullptr;
}

bool THidDevice::OpenSync() {
    if (FSync)
        return true;
    if (!Accessible()) {
        FLastError = ENODEV;
        return false;
    }
    return OpenSyncHandle();
}

bool THidDevice::OpenRead() {
    if (FRead)
        return true;
    if (!Accessible())
        return false;
    int error = 0;
    FRead = FBackend.Open(FPnPInfo.DevicePath, THidAccess::Read, error);
    if (!FRead)
        FLastError = error;
    return FRead != nullptr;
}

void THidDevice::CloseHandles() {
    FSync.reset();
    FRead.reset();
}

THidCaps THidDevice::Capabilities() {
    if (!FHaveCaps && OpenSync()) {
        FHaveCaps = FSync->GetCaps(FCaps);
        CloseSync();
        if (!FHaveCaps)
            FCaps = {};
    }
    return FHaveCaps ? FCaps : THidCaps{};
}

QString THidDevice::ProductText() {
    if (FProductText.isEmpty() && OpenSync()) {
        QString text;
        if (FSync->GetProductString(text))
            FProductText = text.left(254);
        CloseSync();
    }
    return FProductText;
}

void THidDevice::SetInputReportBuffers(int Value) {
    if (Value == FInputReportBuffers || !OpenSync())
        return;
    FSync->SetNumInputBuffers(Value);
    int count = 0;
    if (FSync->GetNumInputBuffers(count))
        FInputReportBuffers = count;
}

void THidDevice::SetOverlappedReportBuffers(int Value) {
    if (Value == FOverlappedReportBuffers || !OpenRead())
        return;
    FRead->SetNumInputBuffers(Value);
    int count = 0;
    if (FRead->GetNumInputBuffers(count))
        FOverlappedReportBuffers = count;
}

void THidDevice::SetReadWaitSlice(int Value) {
    if (Value >= 10 && Value <= 10000)
        FReadWaitSlice = Value;
}

void THidDevice::SetDataHandler(THidDataEvent Value) {
    FDataHandler = std::move(Value);
    if (!FDataHandler)
        StopReader();
    else
        StartReader();
}

void THidDevice::StartReader() {
    if (FReader || !FDataHandler || !FClaimed || !FPresent || !FReadWriteOpen)
        return;
    OpenRead(); // without a handle the reader reports the device gone and ends
    const int length = Capabilities().InputReportByteLength;
    FReader = std::make_unique<THidDeviceReadThread>(
        FRead, length, FReadWaitSlice,
        [this](const QByteArray& report) {
            // The handler is looked up when the report arrives: it may have been replaced.
            // A copy, since the handler may replace itself while it runs.
            const THidDataEvent handler = FDataHandler;
            if (handler && !report.isEmpty()) {
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(report.constData());
                handler(*this, bytes[0], bytes + 1, int(report.size()) - 1);
            }
        },
        [this](int error) {
            const THidDataErrorEvent handler = FDataErrorHandler;
            if (handler)
                handler(*this, error);
        });
}

void THidDevice::StopReader() {
    if (!FReader)
        return;
    // Moved out first: a hand-over run during the stop may look at ReaderRunning().
    auto reader = std::move(FReader);
    reader->Stop();
}

bool THidDevice::Write(const void* Buffer, int Count, int& Written) {
    Written = 0;
    if (!OpenSync())
        return false;
    std::size_t written = 0;
    int error = 0;
    const bool ok = Count >= 0 && FSync->Write(static_cast<const std::uint8_t*>(Buffer),
                                               std::size_t(Count), written, error);
    Written = int(written);
    if (!ok)
        FLastError = error != 0 ? error : EIO;
    return ok;
}

void THidDevice::Unplug() {
    StopReader();
    CloseHandles();
    FPresent = false;
    if (UnplugHandler)
        UnplugHandler(*this);
}

// --- THidDeviceController ---

THidDeviceController::THidDeviceController(std::unique_ptr<THidBackend> backend, QObject* parent)
    : QObject(parent), FBackend(std::move(backend)) {
    FBackend->OnChange = [this] { PostedDeviceChange(0); };
    QMetaObject::invokeMethod(
        this, [this] { PostedDeviceChange(-1); }, Qt::QueuedConnection);
}

void THidDeviceController::PostedDeviceChange(long lParam) {
    try {
        DeviceChangeMessage(DBT_DEVNODES_CHANGED, lParam);
    } catch (const EHidControllerError& error) {
        // Qt's event loop must not be unwound by an exception; the application shows it.
        if (!OnMessageLoopError)
            throw;
        OnMessageLoopError(QString::fromUtf8(error.what()));
    }
}

THidDeviceController::~THidDeviceController() {
    OnArrival = nullptr;
    OnRemoval = nullptr;
    OnEnumerate = nullptr;
    OnDeviceChange = nullptr;
    OnDeviceData = nullptr;
    OnDeviceDataError = nullptr;
    OnDeviceUnplug = nullptr;
    OnDeviceCreateError = nullptr;
    FDestroying = true;
    FBackend->OnChange = nullptr;
    for (auto& device : FList) {
        device->UnplugHandler = nullptr;
        device->SetDataErrorHandler(nullptr);
        device->SetDataHandler(nullptr);
        if (device->Claimed() && device->Present())
            device->Unplug();
    }
    FList.clear();
}

class THidDeviceController::TEventScope {
public:
    explicit TEventScope(THidDeviceController& controller) : FController(controller) {
        ++FController.FEventDepth;
    }
    ~TEventScope() {
        if (--FController.FEventDepth == 0)
            FController.FreeLeftDevices();
    }
    TEventScope(const TEventScope&) = delete;
    TEventScope& operator=(const TEventScope&) = delete;

private:
    THidDeviceController& FController;
};

void THidDeviceController::FreeLeftDevices() {
    if (FEventDepth > 0 || FDestroying)
        return;
    std::erase_if(FList, [](const std::unique_ptr<THidDevice>& d) {
        return !d->Present() && !d->Claimed() && !d->Offered();
    });
}

int THidDeviceController::EnumerateDevices() {
    const TEventScope scope(*this);
    int count = 0;
    for (int i = 0; i < int(FList.size()); ++i) {
        THidDevice& device = *FList[size_t(i)];
        if (!device.Present())
            continue;
        device.FOffered = true;
        const bool goOn = OnEnumerate ? OnEnumerate(device, i) : false;
        device.FOffered = false;
        ++count;
        if (!device.Claimed())
            device.CloseHandles();
        if (!goOn)
            break;
    }
    return count;
}

bool THidDeviceController::ClaimByIndex(THidDevice*& HidDev, int Idx) {
    HidDev = nullptr;
    if (Idx < 0 || Idx >= int(FList.size()))
        return false;
    THidDevice& device = *FList[size_t(Idx)];
    if (device.Claimed())
        return false;
    device.FClaimed = true;
    device.StartReader();
    HidDev = &device;
    return true;
}

bool THidDeviceController::Release(THidDevice*& HidDev) {
    THidDevice* device = HidDev;
    HidDev = nullptr;
    const bool listed =
        std::any_of(FList.begin(), FList.end(), [&](const auto& d) { return d.get() == device; });
    if (!listed || !device->Claimed())
        return false;
    device->FClaimed = false;
    device->StopReader();
    device->FDataHandler = OnDeviceData;
    device->FDataErrorHandler = nullptr;
    if (!device->Offered())
        device->CloseHandles();
    FreeLeftDevices();
    return true;
}

void THidDeviceController::DeviceChangeMessage(int wParam, long lParam) {
    if (wParam != DBT_DEVNODES_CHANGED || FDestroying || FChanging)
        return;
    FLParam = lParam;
    DeviceChange();
}

std::unique_ptr<THidDevice> THidDeviceController::CreateDevice(const THidPnPInfo& info) {
    for (;;) {
        try {
            return std::unique_ptr<THidDevice>(new THidDevice(*this, *FBackend, info));
        } catch (const EHidControllerError&) {
            bool handled = false;
            bool retry = false;
            if (OnDeviceCreateError)
                OnDeviceCreateError(*this, info, handled, retry);
            if (retry)
                continue;
            if (handled)
                return nullptr;
            throw;
        }
    }
}

void THidDeviceController::DeviceChange() {
    if (FChanging)
        return;
    FChanging = true;
    // Cleared however the change ends, an abandoned one included.
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{FChanging};
    const TEventScope scope(*this);

    std::vector<std::unique_ptr<THidDevice>> fresh;
    for (const THidInterface& iface : FBackend->Enumerate()) {
        if (auto device = CreateDevice({iface.Path, iface.Instance}))
            fresh.push_back(std::move(device));
    }
    const auto inFresh = [&](const std::string& instance) {
        return std::any_of(fresh.begin(), fresh.end(), [&](const auto& d) {
            return d && d->PnPInfo().DeviceInstance == instance;
        });
    };

    bool changed = false;
    for (int i = int(FList.size()) - 1; i >= 0; --i) {
        THidDevice& device = *FList[size_t(i)];
        // A claimed device that left earlier stays listed; it is not removed twice.
        if (!device.Present() || inFresh(device.PnPInfo().DeviceInstance))
            continue;
        device.Unplug();
        device.FOffered = true;
        if (OnRemoval)
            OnRemoval(device);
        device.FOffered = false;
        // Unclaimed now, possibly released by the handler: nothing refers to it any more.
        if (!device.Claimed())
            FList.erase(FList.begin() + i);
        changed = true;
    }

    for (auto& candidate : fresh) {
        const bool known = std::any_of(FList.begin(), FList.end(), [&](const auto& d) {
            return d->Present() &&
                   d->PnPInfo().DeviceInstance == candidate->PnPInfo().DeviceInstance;
        });
        if (known)
            continue;
        FList.push_back(std::move(candidate));
        THidDevice& device = *FList.back();
        device.FOffered = true;
        if (OnArrival)
            OnArrival(device);
        device.FOffered = false;
        if (!device.Claimed())
            device.CloseHandles();
        changed = true;
    }

    if ((changed || FLParam == -1) && OnDeviceChange)
        OnDeviceChange();
    FLParam = 0;
}
