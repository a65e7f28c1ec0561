#pragma once

// The base of the in-line filters (amplifier, equalizer): one input, one output, an on/off
// switch and an optional worker thread behind a bounded queue. A derived filter supplies only
// StartWave, StopProcessing and ProcessBuffer.
//
// Locks, always taken in this order:
// - the component lock (Lock()): the input dispatch;
// - the processing lock (ProcessingLock()): held while one buffer is processed;
// - the main lock (MainLock()): both of the above; property setters, start, stop, rebuild.
// All are re-entrant per thread. A stop holds the main lock's stop section; meanwhile every
// other thread's attempt on these locks fails at once and that caller does nothing (a buffer
// is dropped, a setter skipped), which is what lets a stop join the worker without deadlock.
// Buffers are passed on after the filter's locks are given back, so a worker that is sending
// never holds a lock that the stop needs.
//
// Classes that override a hook must call Shutdown() in their own destructor, so that the
// worker is gone before their part of the object is.

#include "audio/AudioComponent.h"
#include "audio/Pins.h"
#include "equalizer/FilterThread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class TBasicThreadedFilter : public TAudioComponent {
public:
    TBasicThreadedFilter();
    ~TBasicThreadedFilter() override;

    TThreading& Threading() { return FThreading; }
    IComponentLock* ProcessingLock() override { return &FProcessingLock; }
    IComponentLock& MainLock() { return FMainLock; }

    // The running worker, if any (for tests and diagnostics).
    std::shared_ptr<TFilterThread> Thread() const;

protected:
    // The thread-side entry: handles one queued operation.
    virtual void ThreadOperation(const TOperationPtr& operation) = 0;
    void StartThread();
    void StopThread();

private:
    void ApplyPriority(TThreadPriority priority);

    TComponentLock FProcessingLock;
    TPairedLock FMainLock;
    TThreading FThreading;
    mutable std::mutex FThreadGuard;
    std::shared_ptr<TFilterThread> FThread;
};

class TBasicThreadedEnableFilter : public TBasicThreadedFilter {
public:
    TBasicThreadedEnableFilter();

    bool Enabled() const { return FEnabled.load(); }
    void SetEnabled(bool value);
    TBoolSinkPin& EnablePin() { return FEnablePin; }

private:
    std::atomic<bool> FEnabled{true};
    TBoolSinkPin FEnablePin;
};

class TBasicCommonFilter : public TBasicThreadedEnableFilter {
public:
    // One second in time-stamp units (100 ns).
    static constexpr std::int64_t TimeUnitsPerSecond = 10000000;

    std::string ClassName() const override { return "TBasicCommonFilter"; }

    // The stream format of the last start (all zero before any).
    TWaveFormatExtensible Format() const;
    std::int64_t RunningClock() const { return FClock.load(); }

    // An operation arriving at the input pin, on the upstream thread.
    bool InputOperation(const TOperationPtr& operation);
    // An operation arriving at the output pin from downstream.
    bool OutputRequest(const TOperationPtr& operation);

protected:
    virtual TAudioSinkPin& InputPinBase() = 0;
    virtual TAudioSourcePin& OutputPinBase() = 0;

    // Hooks. Overrides of StartWave and StopProcessing call the base first.
    virtual void StartWave(const TStartWaveOperation& start);
    virtual void StopProcessing();
    // input: a buffer object of the filter's own; output: initially sharing input's data;
    // clear send to pass nothing on.
    virtual void ProcessBuffer(TAudioBuffer& input, TAudioBuffer& output, bool& send);
    // Takes ProcessBuffer's place while Enabled is false, with the same arguments. The base
    // passes the buffer on unchanged; a filter whose switching would be heard as a jump may
    // still shape the first buffer after it was switched off.
    virtual void BypassBuffer(TAudioBuffer& input, TAudioBuffer& output, bool& send);

    void ThreadOperation(const TOperationPtr& operation) override;

    // Stops everything for destruction: stop section, input disconnected, processing stopped,
    // output disconnected. Idempotent.
    void Shutdown();

private:
    // Time-stamps the buffer; returns the operation that goes on.
    TOperationPtr Stamp(const TOperationPtr& operation, const TSuppliedBufferOperation& supplied);
    // Runs the per-buffer work under the processing lock; false when nothing is to be sent.
    bool Process(const TSuppliedBufferOperation& supplied, TAudioBuffer& output);

    mutable std::mutex FFormatGuard;
    TWaveFormatExtensible FFormat{};
    std::atomic<std::int64_t> FClock{0};
    bool FShutDown = false;
};
