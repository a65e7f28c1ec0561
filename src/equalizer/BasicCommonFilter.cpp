#include "equalizer/BasicCommonFilter.h"

// ---- TBasicThreadedFilter ----

TBasicThreadedFilter::TBasicThreadedFilter()
    : FMainLock(Lock(), FProcessingLock),
      FThreading([this](TThreadPriority priority) { ApplyPriority(priority); }) {}

TBasicThreadedFilter::~TBasicThreadedFilter() {
    StopThread();
}

std::shared_ptr<TFilterThread> TBasicThreadedFilter::Thread() const {
    std::lock_guard guard(FThreadGuard);
    return FThread;
}

void TBasicThreadedFilter::StartThread() {
    std::lock_guard guard(FThreadGuard);
    if (FThread)
        return;
    FThread = std::make_shared<TFilterThread>(
        ThreadNameFor(this, "TFilterThread"), FThreading,
        [this](const TOperationPtr& operation) { ThreadOperation(operation); });
    FThread->Start();
}

void TBasicThreadedFilter::StopThread() {
    std::shared_ptr<TFilterThread> thread;
    {
        std::lock_guard guard(FThreadGuard);
        thread.swap(FThread);
    }
    // A producer may still hold the old thread for a moment; it finds it stopped and drops.
    if (thread)
        thread->Stop();
}

void TBasicThreadedFilter::ApplyPriority(TThreadPriority priority) {
    if (std::shared_ptr<TFilterThread> thread = Thread())
        thread->SetPriority(priority);
}

// ---- TBasicThreadedEnableFilter ----

TBasicThreadedEnableFilter::TBasicThreadedEnableFilter() : FEnablePin(this) {
    FEnablePin.OnValue = [this](bool value) { SetEnabled(value); };
}

void TBasicThreadedEnableFilter::SetEnabled(bool value) {
    TWriteLockSection section(MainLock());
    if (section)
        FEnabled.store(value);
}

// ---- TBasicCommonFilter ----

TWaveFormatExtensible TBasicCommonFilter::Format() const {
    std::lock_guard guard(FFormatGuard);
    return FFormat;
}

bool TBasicCommonFilter::InputOperation(const TOperationPtr& operation) {
    if (!operation)
        return false;
    std::shared_ptr<TFilterThread> thread;
    TOperationPtr stamped;
    TAudioBuffer output;
    bool send = false;
    {
        TWriteLockSection section(Lock());
        if (!section)
            return false;
        if (const auto* start = operation->As<TStartWaveOperation>()) {
            StartWave(*start);
            return true;
        }
        if (operation->Is<TStopOperation>()) {
            StopProcessing();
            OutputPinBase().Notify(operation);
            return true;
        }
        const auto* supplied = operation->As<TSuppliedBufferOperation>();
        if (!supplied) {
            OutputPinBase().Notify(operation);
            return true;
        }
        stamped = Stamp(operation, *supplied);
        thread = Thread();
        if (!thread)
            send = Process(*stamped->As<TSuppliedBufferOperation>(), output);
    }
    // The filter's locks are given back before the buffer travels on or waits for room.
    if (thread)
        return thread->Enqueue(std::move(stamped));
    if (send)
        OutputPinBase().SendBuffer(output);
    return true;
}

bool TBasicCommonFilter::OutputRequest(const TOperationPtr& operation) {
    if (!operation)
        return false;
    if (operation->Is<TMasterPumpOperation>() || InputPinBase().SourcePin())
        return InputPinBase().Notify(operation);
    return InputOperation(operation);
}

TOperationPtr TBasicCommonFilter::Stamp(const TOperationPtr& operation,
                                        const TSuppliedBufferOperation& supplied) {
    const TAudioBuffer& buffer = supplied.Buffer();
    TTimeStamp stamp = buffer.TimeStamp();
    if (stamp.Valid()) {
        FClock.store(stamp.Start());
        return operation;
    }
    const std::int64_t start = FClock.load();
    const std::uint32_t rate = buffer.SampleRate();
    const std::int64_t length =
        rate ? std::int64_t(buffer.FrameCount()) * TimeUnitsPerSecond / std::int64_t(rate) : 0;
    stamp.Set(start, start + length);
    FClock.store(start + length);
    return std::make_shared<TSuppliedBufferOperation>(buffer);
}

bool TBasicCommonFilter::Process(const TSuppliedBufferOperation& supplied, TAudioBuffer& output) {
    TAudioBuffer input = supplied.Buffer().CreateShared();
    TWriteLockSection section(*ProcessingLock());
    if (!section)
        return false;
    output = input.CreateShared();
    bool send = true;
    if (OutputPinBase().HasSinks()) {
        if (Enabled())
            ProcessBuffer(input, output, send);
        else
            BypassBuffer(input, output, send);
    }
    return send && !output.Empty();
}

void TBasicCommonFilter::ThreadOperation(const TOperationPtr& operation) {
    const auto* supplied = operation ? operation->As<TSuppliedBufferOperation>() : nullptr;
    if (!supplied)
        return;
    TAudioBuffer output;
    if (Process(*supplied, output))
        OutputPinBase().SendBuffer(output);
}

void TBasicCommonFilter::StartWave(const TStartWaveOperation& start) {
    TWriteLockSection section(MainLock());
    if (!section)
        return;
    FClock.store(0);
    {
        std::lock_guard guard(FFormatGuard);
        FFormat = start.Format();
    }
    OutputPinBase().Notify(std::const_pointer_cast<TNotifyOperation>(start.shared_from_this()));
    if (Threading().Enabled())
        StartThread();
}

void TBasicCommonFilter::StopProcessing() {
    TStopLockSection section(MainLock());
    StopThread();
    FClock.store(0);
}

void TBasicCommonFilter::ProcessBuffer(TAudioBuffer&, TAudioBuffer&, bool&) {}

void TBasicCommonFilter::BypassBuffer(TAudioBuffer&, TAudioBuffer&, bool&) {}

void TBasicCommonFilter::Shutdown() {
    TStopLockSection section(MainLock());
    if (FShutDown)
        return;
    FShutDown = true;
    InputPinBase().SetSourcePin(nullptr);
    StopProcessing();
    OutputPinBase().DisconnectAll();
}
