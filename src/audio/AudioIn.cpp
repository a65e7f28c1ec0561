#include "audio/AudioIn.h"

TAudioIn::TAudioIn(TWaveDeviceSystem& system)
    : FSystem(system), FDevice(*this, system), FAudioFormat(&Lock()), FOutputPin(this),
      FEnablePin(this), FFailureNotify([this] { DeviceFailed(); }) {
    // Nothing comes upstream in this program; whatever does is ignored.
    FOutputPin.OnUpstream = [](const TOperationPtr&) { return false; };
    FThread = std::make_unique<TWaveThread>(
        ThreadNameFor(this, "TWaveThread"),
        [this](const TWaveThreadMessage& message) { DeviceMessage(message); });
    FThread->Start();
}

TAudioIn::~TAudioIn() {
    try {
        TStopLockSection stop(Lock());
        StopCapture(true);
        FOutputPin.DisconnectAll();
    } catch (...) {
        // A sink failing on the last stop must not end the program on the way out.
    }
    FThread.reset();
}

void TAudioIn::SetEnabled(bool value) {
    TWriteLockSection section(Lock());
    if (!section || FEnabled.load() == value)
        return;
    if (value)
        StartCapture();
    else
        StopCapture(false);
}

void TAudioIn::StartCapture() {
    auto pump = std::make_shared<TPumpRequestOperation>(this, 1.0f, FPumpPriority.load(), 3);
    FOutputPin.Notify(pump);
    const bool pacing = pump->Pump() == this;
    {
        auto list = FParams.Lock();
        FParams.SetPacing(pacing);
    }
    // Everything downstream learns the format before the device exists.
    FOutputPin.Notify(std::make_shared<TStartWaveOperation>(FAudioFormat.Header(), 0));
    OpenDevice();
    if (!FDeviceOpen.load())
        return;
    if (pacing) {
        auto list = FParams.Lock();
        for (unsigned i = 0; i < DeviceBufferCount && FParams.Opened(); ++i)
            QueueBuffer();
    }
    FEnabled.store(true);
    FEnablePin.SetValue(true);
}

void TAudioIn::OpenDevice() {
    if (FDeviceOpen.load())
        CloseDevice(true);
    // The format and size of this recording: later changes wait for the next start.
    const TWaveFormatExtensible header = FAudioFormat.Header();
    std::uint64_t generation;
    {
        auto list = FParams.Lock();
        FParams.SetOpened(true);
        generation = FParams.NewGeneration();
        FOpenFormat = header;
        FOpenFrames = FAudioFormat.BufferSize();
    }
    // Messages of an earlier recording still waiting would only be ignored; drop them now.
    FThread->Clear();
    const int id = FDevice.ResolveDevice();
    FOpenId = id;
    std::unique_ptr<TWaveHandle> handle;
    SetWaveErrorDetail({}); // a system that gives no reason leaves none of an earlier failure
    std::uint32_t result =
        FSystem.Open(TWaveDirection::Input, id, reinterpret_cast<const std::uint8_t*>(&header),
                     FThread->Callback(generation), handle);
    if (result == WaveNoError && !handle)
        result = WaveErrorGeneric;
    if (result != WaveNoError) {
        // The opened flag stays set: no callback can come without a device, and the next start
        // opens anew.
        ReportError(CantOpenDeviceText, result,
                    FDevice.TellFailure(id, CantOpenDeviceText, result, WaveErrorDetail()));
        return;
    }
    {
        auto list = FParams.Lock();
        FHandle = std::move(handle);
        FDeviceOpen.store(true);
    }
    SetWaveErrorDetail({});
    if (const std::uint32_t started = FHandle->Start()) {
        const std::string reason = WaveErrorDetail();
        // A device that is left open could never be opened again; close it before reporting.
        CloseDevice(true);
        ReportError(CantStartDeviceText, started,
                    FDevice.TellFailure(id, CantStartDeviceText, started, reason));
    }
}

bool TAudioIn::CloseDevice(bool quiet) {
    {
        auto list = FParams.Lock();
        FParams.SetOpened(false);
        if (!FHandle)
            return true;
    }
    if (const std::uint32_t result = FHandle->Reset(); result && !quiet) {
        ReportError(CantRestartDeviceText, result);
        return false;
    }
    {
        auto list = FParams.Lock();
        FParams.Clear();
    }
    if (const std::uint32_t result = FHandle->Reset(); result && !quiet) {
        ReportError(CantRestartDeviceText, result);
        return false;
    }
    auto list = FParams.Lock();
    FHandle->Close();
    FHandle.reset();
    FDeviceOpen.store(false);
    FParams.Clear();
    return true;
}

void TAudioIn::StopCapture(bool quiet) {
    TStopLockSection stop(Lock());
    if (!FEnabled.load())
        return;
    if (!CloseDevice(quiet))
        return;
    // Stopped before the end-stop goes out, so that a sink failing on it cannot leave a closed
    // device behind a component that still counts as running.
    FEnabled.store(false);
    FEnablePin.SetValue(false);
    FOutputPin.SendEndStop();
}

void TAudioIn::QueueBuffer() {
    if (!FHandle)
        return;
    auto wave = std::make_unique<TWaveBuffer>(
        FParams,
        TAudioBuffer::Create(FOpenFormat.nSamplesPerSec, FOpenFormat.dwChannelMask, FOpenFrames,
                             FOpenFormat.nChannels, FOpenFormat.wValidBitsPerSample),
        false);
    TWaveHeader* header = &wave->Header;
    TWaveBuffer* added = wave.get();
    FParams.Add(std::move(wave));
    // A buffer the device refuses would stay in the list until the stop; drop it at once.
    if (FHandle->AddBuffer(header) != WaveNoError)
        FParams.Remove(added);
}

void TAudioIn::DeviceMessage(const TWaveThreadMessage& message) {
    auto list = FParams.Lock();
    // A recording that is being stopped, or an earlier one: its buffers are not ours to touch.
    if (!FParams.Opened() || message.Generation != FParams.Generation())
        return;
    if (message.Message == TWaveMessage::Failed) {
        FFailedGeneration.store(message.Generation);
        FFailedCode.store(message.Code);
        list.unlock();
        FFailureNotify.Signal(true);
        return;
    }
    if (message.Message != TWaveMessage::Data)
        return;
    TWaveBuffer* wave = FParams.Find(message.Header);
    if (!wave)
        return;
    // Only whole buffers go on; a part is what a reset hands back.
    if (wave->Header.BytesRecorded == wave->Header.BufferLength)
        FOutputPin.SendBuffer(wave->Buffer);
    if (!FParams.Opened())
        return;
    // Every device buffer is used once: downstream may keep what it received.
    FParams.Remove(wave);
    QueueBuffer();
}

// A device that failed for good is stopped like a disabled one (its results no longer matter),
// so downstream sees the end of the stream and a later start opens the device anew.
void TAudioIn::DeviceFailed() {
    const std::uint64_t generation = FFailedGeneration.load();
    const std::uint32_t code = FFailedCode.load();
    std::string device, reason;
    {
        auto list = FParams.Lock();
        if (!FParams.Opened() || generation != FParams.Generation())
            return; // stopped or started anew since
        device = FDevice.Label(FOpenId);
        reason = FHandle ? FHandle->FailureReason() : std::string();
    }
    {
        TWriteLockSection section(Lock());
        if (!section)
            return;
        StopCapture(true);
    }
    ReportDeviceLost(CantStartDeviceText, code, device, reason);
}
