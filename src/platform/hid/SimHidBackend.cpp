#include "SimHidBackend.h"

#include <cerrno>
#include <chrono>

class TSimHidBackend::THandle : public THidHandle {
public:
    THandle(TDevice& device, std::shared_ptr<TNode> node, bool readWrite)
        : FDevice(device), FNode(std::move(node)), FReadWrite(readWrite) {}

    bool GetAttributes(THidAttributes& attributes) override {
        if (!FDevice.Description.CanIdentify || Gone())
            return false;
        attributes = {FDevice.Description.VendorID, FDevice.Description.ProductID,
                      FDevice.Description.VersionNumber};
        return true;
    }
    bool GetCaps(THidCaps& caps) override {
        if (Gone())
            return false;
        caps = {FDevice.Description.InputReportByteLength,
                FDevice.Description.OutputReportByteLength};
        return true;
    }
    bool GetProductString(QString& text) override {
        if (Gone())
            return false;
        text = FDevice.Description.Product;
        return true;
    }
    bool SetNumInputBuffers(int count) override {
        std::lock_guard lock(FNode->Lock);
        if (FNode->Gone || count < 2 || count > 512)
            return false;
        FNode->QueueSize = count;
        return true;
    }
    bool GetNumInputBuffers(int& count) override {
        std::lock_guard lock(FNode->Lock);
        if (FNode->Gone)
            return false;
        count = FNode->QueueSize;
        return true;
    }
    bool Write(const std::uint8_t* data, std::size_t size, std::size_t& written,
               int& error) override {
        written = 0;
        if (Gone()) {
            error = ENODEV;
            return false;
        }
        if (!FReadWrite) {
            error = EBADF;
            return false;
        }
        if (FDevice.WriteError != 0) {
            error = FDevice.WriteError;
            return false;
        }
        if (size == 0 || int(size) != FDevice.Description.OutputReportByteLength) {
            error = EINVAL;
            return false;
        }
        const QByteArray report(reinterpret_cast<const char*>(data), qsizetype(size));
        if (FDevice.Written.size() == WrittenKept)
            FDevice.Written.pop_front();
        FDevice.Written.push_back(report);
        written = size;
        if (FDevice.Firmware) {
            for (const QByteArray& input : FDevice.Firmware->HandleOutput(report))
                Push(*FNode, input);
        }
        return true;
    }
    THidReadStatus Read(std::uint8_t* buffer, std::size_t size, int timeoutMs, std::size_t& count,
                        int& error) override {
        count = 0;
        ++FDevice.Reads;
        std::unique_lock lock(FNode->Lock);
        if (!FNode->Gone && TakeReadFailure()) {
            error = FDevice.ReadError;
            return THidReadStatus::Failed;
        }
        FNode->Arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return FNode->Gone || !FNode->Queue.empty(); });
        if (FNode->Gone) {
            error = ENODEV;
            return THidReadStatus::Gone;
        }
        if (FNode->Queue.empty())
            return THidReadStatus::Timeout;
        const QByteArray report = FNode->Queue.front();
        FNode->Queue.pop_front();
        count = std::min(size, std::size_t(report.size()));
        std::copy_n(report.constData(), count, reinterpret_cast<char*>(buffer));
        return THidReadStatus::Data;
    }

    static void Push(TNode& node, const QByteArray& report) {
        {
            std::lock_guard lock(node.Lock);
            if (node.Gone)
                return;
            // A full queue drops its oldest report, as the kernel's does.
            while (int(node.Queue.size()) >= node.QueueSize)
                node.Queue.pop_front();
            node.Queue.push_back(report);
        }
        node.Arrived.notify_all();
    }

private:
    bool TakeReadFailure() {
        int left = FDevice.ReadsToFail;
        while (left > 0 && !FDevice.ReadsToFail.compare_exchange_weak(left, left - 1)) {
        }
        return left > 0;
    }
    bool Gone() const {
        std::lock_guard lock(FNode->Lock);
        return FNode->Gone;
    }

    TDevice& FDevice;
    std::shared_ptr<TNode> FNode;
    bool FReadWrite;
};

TSimHidBackend::TSimHidBackend() = default;
TSimHidBackend::~TSimHidBackend() {
    for (auto& device : FDevices) {
        if (device->Node) {
            std::lock_guard lock(device->Node->Lock);
            device->Node->Gone = true;
        }
    }
}

int TSimHidBackend::AddDevice(const TSimDeviceDescription& description,
                              std::shared_ptr<TSimFirmware> firmware) {
    auto device = std::make_unique<TDevice>();
    device->Description = description;
    device->Firmware = std::move(firmware);
    FDevices.push_back(std::move(device));
    return int(FDevices.size()) - 1;
}

void TSimHidBackend::Plug(int device) {
    TDevice& d = *FDevices.at(size_t(device));
    if (d.Node)
        return;
    d.Node = std::make_shared<TNode>();
    d.Instance = "sim" + std::to_string(device) + "." + std::to_string(++FPlugCount);
    PostChange();
}

void TSimHidBackend::Unplug(int device) {
    TDevice& d = *FDevices.at(size_t(device));
    if (!d.Node)
        return;
    {
        std::lock_guard lock(d.Node->Lock);
        d.Node->Gone = true;
    }
    d.Node->Arrived.notify_all();
    d.Node.reset();
    PostChange();
}

bool TSimHidBackend::IsPlugged(int device) const {
    return FDevices.at(size_t(device))->Node != nullptr;
}

void TSimHidBackend::InjectInput(int device, const QByteArray& report) {
    TDevice& d = *FDevices.at(size_t(device));
    if (d.Node)
        THandle::Push(*d.Node, report);
}

void TSimHidBackend::SetWriteError(int device, int error) {
    FDevices.at(size_t(device))->WriteError = error;
}

void TSimHidBackend::FailReads(int device, int count, int error) {
    TDevice& d = *FDevices.at(size_t(device));
    d.ReadError = error;
    d.ReadsToFail = count;
}

int TSimHidBackend::ReadCount(int device) const {
    return FDevices.at(size_t(device))->Reads;
}

std::vector<QByteArray> TSimHidBackend::Written(int device) const {
    const std::deque<QByteArray>& written = FDevices.at(size_t(device))->Written;
    return {written.begin(), written.end()};
}

void TSimHidBackend::ClearWritten(int device) {
    FDevices.at(size_t(device))->Written.clear();
}

std::vector<THidInterface> TSimHidBackend::Enumerate() {
    std::vector<THidInterface> present;
    for (const auto& device : FDevices) {
        if (device->Node)
            present.push_back({"/sim/hidraw/" + device->Instance, device->Instance});
    }
    return present;
}

TSimHidBackend::TDevice* TSimHidBackend::Find(const std::string& path) {
    for (auto& device : FDevices) {
        if (device->Node && "/sim/hidraw/" + device->Instance == path)
            return device.get();
    }
    return nullptr;
}

std::unique_ptr<THidHandle> TSimHidBackend::Open(const std::string& path, THidAccess access,
                                                 int& error) {
    TDevice* device = Find(path);
    if (device == nullptr) {
        error = ENOENT;
        return nullptr;
    }
    if (!device->Description.CanOpen ||
        (access != THidAccess::Query && !device->Description.CanOpenReadWrite)) {
        error = EACCES;
        return nullptr;
    }
    return std::make_unique<THandle>(*device, device->Node, access == THidAccess::ReadWrite);
}

void TSimHidBackend::PostChange() {
    QMetaObject::invokeMethod(
        &FContext,
        [this] {
            if (OnChange)
                OnChange();
        },
        Qt::QueuedConnection);
}
