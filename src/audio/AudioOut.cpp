#include "audio/AudioOut.h"

#include <QCoreApplication>

namespace {
// The length of a buffer as the prefill counts it: whole milliseconds, truncated per buffer.
std::uint64_t CountedMs(const TAudioBuffer& buffer) {
    const std::uint32_t rate = buffer.SampleRate();
    return rate ? std::uint64_t(buffer.FrameCount()) * 1000 / rate : 0;
}

// Its length for the latency bound, in microseconds.
std::uint64_t DurationUs(const TAudioBuffer& buffer) {
    const std::uint32_t rate = buffer.SampleRate();
    return rate ? std::uint64_t(buffer.FrameCount()) * 1000000 / rate : 0;
}

const TAudioBuffer* BufferOf(const TOperationPtr& operation) {
    const auto* supplied = operation->As<TSuppliedBufferOperation>();
    return supplied ? &supplied->Buffer() : nullptr;
}

// Without an application there is no other thread to hand work to.
bool OnGuiThread() {
    return !QCoreApplication::instance() || TMainThreadNotify::IsMainThread();
}
} // namespace

TAudioOut::TAudioOut(TWaveDeviceSystem& system)
    : FSystem(system), FDevice(*this, system), FInputPin(this), FEnablePin(this),
      FClockOutputPin(this), FDrainNotify([this] { Drain(false); }),
      FFailureNotify([this] { DeviceFailed(); }), FErrorNotify([this] { ReportPending(); }) {
    FInputPin.OnOperation = [this](const TOperationPtr& operation) {
        return InputOperation(operation);
    };
}

TAudioOut::~TAudioOut() {
    try {
        TStopLockSection stop(Lock());
        FInputPin.SetSourcePin(nullptr);
        Close(true, true);
    } catch (...) {
        // Nothing may leave a destructor; the device is gone with the program.
    }
}

void TAudioOut::SetPrefillInterval(unsigned value) {
    TWriteLockSection section(Lock());
    if (section)
        FPrefillInterval.store(value);
}

void TAudioOut::SetEnabled(bool value) {
    TWriteLockSection section(Lock());
    if (!section || FEnabled.load() == value)
        return;
    FEnabled.store(value);
    try {
        if (value) {
            FPrefilled = false;
            FQueuedMs = 0;
            FPaused = true;
            if (FPendingFormat) {
                FPlaying = false;
                Open(*FPendingFormat);
                FStopped = false;
            } else if (FHandle) {
                FHandle->Pause(); // its result does not matter: nothing plays without a stream
            }
        }
        // Disabled: an open device plays what it has; further buffers are dropped.
    } catch (...) {
        FEnablePin.SetValue(value);
        throw;
    }
    FEnablePin.SetValue(value);
}

bool TAudioOut::InputOperation(const TOperationPtr& operation) {
    TWriteLockSection section(Lock());
    if (!section)
        return false;
    if (FEnabled.load()) {
        // Queued first, so that a failing restart below cannot lose the stop.
        FOperationQueue.push_back(operation);
        if (operation->Is<TStopOperation>()) {
            ++FPendingStartStop;
            // A stream shorter than the prefill is still heard.
            if (!FPrefilled && FPaused) {
                Restart();
                FPrefilled = true;
            }
        } else if (operation->Is<TStartWaveOperation>()) {
            ++FPendingStartStop;
        } else if (BufferOf(operation)) {
            KeepLatencyBound();
        }
    } else if (const auto* start = operation->As<TStartWaveOperation>()) {
        FPendingFormat = start->Format();
    } else if (operation->Is<TStopOperation>()) {
        FPendingFormat.reset();
    }
    if (!FPlaying || !FPrefilled) {
        Drain(false);
        return false;
    }
    {
        // While playing, a buffer goes to the device at once only when at most one is there;
        // otherwise it waits for the next played buffer.
        auto list = FParams.Lock();
        if (FPendingStartStop <= 0 && FParams.Count() > 1)
            return false;
    }
    Drain(false);
    return false;
}

// Everything the output holds counts toward the bound: the buffers waiting in its queue, those
// handed to the device and not yet taken in, and the device's ring, which plays out after them.
void TAudioOut::KeepLatencyBound() {
    const std::uint64_t bound =
        (std::uint64_t(FPrefillInterval.load()) + LatencyMarginMs) * std::uint64_t(1000);
    std::uint64_t queued = 0;
    {
        auto list = FParams.Lock();
        for (const auto& wave : FParams.Buffers())
            queued += DurationUs(wave->Buffer);
        if (FHandle && FPendingFormat && FPendingFormat->nSamplesPerSec)
            queued +=
                std::uint64_t(FHandle->RingFrames()) * 1000000 / FPendingFormat->nSamplesPerSec;
    }
    for (const TOperationPtr& operation : FOperationQueue)
        if (const TAudioBuffer* buffer = BufferOf(operation))
            queued += DurationUs(*buffer);
    for (auto it = FOperationQueue.begin(); queued > bound && it != FOperationQueue.end();) {
        const TAudioBuffer* buffer = BufferOf(*it);
        if (!buffer) {
            ++it;
            continue;
        }
        queued -= DurationUs(*buffer);
        it = FOperationQueue.erase(it);
        ++FDroppedBuffers;
    }
}

void TAudioOut::Drain(bool fromCallback) {
    TWriteLockSection section(Lock());
    if (!section)
        return;
    while (!FOperationQueue.empty()) {
        TOperationPtr operation = std::move(FOperationQueue.front());
        FOperationQueue.pop_front();
        if (!Process(operation, fromCallback))
            break;
    }
}

bool TAudioOut::Process(const TOperationPtr& operation, bool fromCallback) {
    TWriteLockSection section(Lock());
    if (!section)
        return false;
    if (const auto* start = operation->As<TStartWaveOperation>()) {
        --FPendingStartStop;
        FPrefilled = false;
        FQueuedMs = 0;
        FPaused = true;
        // A stream that was never stopped keeps its format.
        if (FHandle && !FStopped)
            return false;
        if (FHandle && (fromCallback || !OnGuiThread())) {
            // Re-opening closes the device, which waits for the callback thread: only the GUI
            // thread may do it. The operation waits at the head of the queue until then.
            ++FPendingStartStop;
            FOperationQueue.push_front(operation);
            if (QCoreApplication::instance())
                FDrainNotify.Signal(true);
            return false;
        }
        FPlaying = false;
        Open(start->Format());
        FStopped = false;
        return true;
    }
    if (operation->Is<TStopOperation>()) {
        // What has been written plays to the end; the device stays open.
        --FPendingStartStop;
        FStopped = true;
        return true;
    }
    if (const TAudioBuffer* buffer = BufferOf(operation)) {
        {
            auto list = FParams.Lock(); // waits for a running callback to finish
        }
        TAudioBuffer own = buffer->CreateShared();
        Write(own);
        return true;
    }
    return true; // pump requests (the output never paces) and anything else
}

void TAudioOut::Open(const TWaveFormatExtensible& header) {
    if (!FEnabled.load())
        return;
    if (FHandle && !Close(false, false))
        return;
    std::uint32_t opened;
    std::uint32_t paused = WaveNoError;
    std::unique_ptr<TWaveThread> failedThread;
    {
        auto list = FParams.Lock();
        FParams.SetOpened(true);
        const std::uint64_t generation = FParams.NewGeneration();
        FThread = std::make_unique<TWaveThread>(
            ThreadNameFor(this, "TWaveThread"),
            [this](const TWaveThreadMessage& message) { DeviceMessage(message); });
        FThread->Start();
        const int id = FDevice.ResolveDevice();
        FOpenId = id;
        std::unique_ptr<TWaveHandle> handle;
        SetWaveErrorDetail({}); // a system that gives no reason leaves none of an earlier failure
        opened =
            FSystem.Open(TWaveDirection::Output, id, reinterpret_cast<const std::uint8_t*>(&header),
                         FThread->Callback(generation), handle);
        FPendingFormat = header;
        if (opened == WaveNoError && !handle)
            opened = WaveErrorGeneric;
        if (opened == WaveNoError) {
            FHandle = std::move(handle);
            FDeviceOpen.store(true);
            // Paused until the prefill is reached.
            SetWaveErrorDetail({});
            paused = FHandle->Pause();
        } else {
            // Nothing was opened: no callback can come, so nothing needs serving.
            FParams.SetOpened(false);
            failedThread = std::move(FThread);
        }
    }
    failedThread.reset();
    if (opened != WaveNoError)
        Report(CantOpenDeviceText, opened, WaveErrorDetail());
    else if (paused != WaveNoError)
        Report(CantPauseDeviceText, paused, WaveErrorDetail());
}

bool TAudioOut::Close(bool discard, bool quiet) {
    TStopLockSection stop(Lock());
    {
        auto list = FParams.Lock();
        if (!FHandle)
            return true;
        if (FThread)
            FThread->Clear();
        if (discard)
            FParams.SetPacing(false);
        FParams.SetOpened(false);
    }
    if (const std::uint32_t result = FHandle->Reset(); result && !quiet) {
        Report(CantRestartDeviceText, result, WaveErrorDetail());
        return false;
    }
    if (FThread) {
        FThread->Terminate();
        FThread->WaitFor();
    }
    {
        auto list = FParams.Lock();
        FParams.Clear();
        FHandle->Close();
        FHandle.reset();
        FDeviceOpen.store(false);
    }
    FThread.reset();
    return true;
}

void TAudioOut::Write(const TAudioBuffer& buffer) {
    if (!FEnabled.load() || !FHandle)
        return;
    TWaveHeader* header;
    TWaveBuffer* added;
    {
        auto list = FParams.Lock();
        // The device reads memory that no other holder can change.
        auto wave = std::make_unique<TWaveBuffer>(FParams, buffer.CreateShared(), true);
        header = &wave->Header;
        added = wave.get();
        FParams.Add(std::move(wave));
    }
    if (FHandle->AddBuffer(header) != WaveNoError) {
        // A refused buffer would sit in the list until the close and hold back the queue.
        auto list = FParams.Lock();
        FParams.Remove(added);
        return;
    }
    if (!FPrefilled) {
        FQueuedMs += CountedMs(buffer);
        if (FQueuedMs > FPrefillInterval.load()) {
            if (FPaused)
                Restart();
            FPrefilled = true;
        }
    }
}

void TAudioOut::Restart() {
    if (!FEnabled.load() || !FPaused)
        return;
    FPlaying = true;
    FPaused = false;
    if (!FHandle)
        return;
    SetWaveErrorDetail({});
    if (const std::uint32_t result = FHandle->Start())
        Report(CantRestartDeviceText, result, WaveErrorDetail());
}

void TAudioOut::DeviceMessage(const TWaveThreadMessage& message) {
    switch (message.Message) {
    case TWaveMessage::Done: {
        {
            auto list = FParams.Lock();
            if (!FParams.Opened() || message.Generation != FParams.Generation())
                return;
            if (TWaveBuffer* wave = FParams.Find(message.Header))
                FParams.Remove(wave);
        }
        Drain(true);
        break;
    }
    case TWaveMessage::Underrun: {
        {
            TWriteLockSection section(Lock());
            if (!section)
                return;
            {
                auto list = FParams.Lock();
                if (!FParams.Opened() || message.Generation != FParams.Generation())
                    return;
            }
            // The end of a stopped stream is no underrun worth counting.
            if (!FStopped)
                ++FUnderruns;
            FPaused = true;
            FPlaying = false;
            FPrefilled = false;
            // What the device still holds is queued for the new prefill as much as what comes
            // next: counting only new buffers would let the delay bound drop every one of them
            // while the device waits for a prefill that never comes.
            FQueuedMs = 0;
            auto list = FParams.Lock();
            for (const auto& wave : FParams.Buffers())
                FQueuedMs += CountedMs(wave->Buffer);
        }
        Drain(true);
        break;
    }
    case TWaveMessage::Failed: {
        {
            auto list = FParams.Lock();
            if (!FParams.Opened() || message.Generation != FParams.Generation())
                return;
        }
        FFailedGeneration.store(message.Generation);
        FFailedCode.store(message.Code);
        FFailureNotify.Signal(true);
        break;
    }
    case TWaveMessage::Data:
        break;
    }
}

void TAudioOut::DeviceFailed() {
    const std::uint64_t generation = FFailedGeneration.load();
    const std::uint32_t code = FFailedCode.load();
    std::string device, reason;
    {
        TWriteLockSection section(Lock());
        if (!section)
            return;
        {
            auto list = FParams.Lock();
            if (!FParams.Opened() || generation != FParams.Generation())
                return; // closed or opened anew since
            device = FDevice.Label(FOpenId);
            reason = FHandle ? FHandle->FailureReason() : std::string();
        }
        Close(false, true);
    }
    ReportDeviceLost(CantRestartDeviceText, code, device, reason);
}

void TAudioOut::Report(const char* text, std::uint32_t code, const std::string& reason) {
    if (OnGuiThread()) {
        ReportError(text, code, FDevice.TellFailure(FOpenId, text, code, reason));
        return;
    }
    {
        std::lock_guard guard(FErrorLock);
        FErrors.push_back({text, code, reason});
    }
    FErrorNotify.Signal(true);
}

void TAudioOut::ReportPending() {
    TPendingError error;
    {
        std::lock_guard guard(FErrorLock);
        if (FErrors.empty())
            return;
        error = FErrors.front();
        FErrors.pop_front();
        if (!FErrors.empty())
            FErrorNotify.Signal(true);
    }
    ReportError(error.Text, error.Code,
                FDevice.TellFailure(FOpenId, error.Text, error.Code, error.Reason));
}
