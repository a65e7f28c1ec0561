#pragma once

// TAudioOut plays the stream on a wave output device. It opens the device with exactly the
// format the stream announced, keeps it paused until PrefillInterval of sound is queued, then
// plays; the capture's clock paces the stream, the output follows.
//
// Threads and locks:
// - Three threads come in: the GUI thread (Enabled, start-wave and stop operations, deferred
//   drains, device failures), the thread that delivers buffers (the equalizer's) and the output
//   callback thread (a TWaveThread made at each open: played buffers, underruns).
// - Every queued operation is processed under the write section of the component lock, so
//   drains never overlap. The device buffer list has the list lock (TAudioParams); the order is
//   always component lock, then list lock.
// - The device is opened and closed on the GUI thread only. A start-wave that would re-open it
//   and is met on another thread goes back to the head of the queue and the drain is handed to
//   the GUI thread (TMainThreadNotify); the callback thread thus never waits for itself.
// - Errors met off the GUI thread are reported on the GUI thread, where an unhandled one becomes
//   an EAudioException for the application's event dispatch; none escapes a worker thread.
// - Closing takes the stop section first, so a drain waiting on another thread gives up and the
//   close can wait for the callback thread to end.
//
// Two limits keep the sound live:
// - Latency bound: the sound at the device plus the buffers waiting in the queue never exceed
//   PrefillInterval + LatencyMarginMs. When a new buffer would pass it, the oldest waiting
//   buffers are dropped (buffers at the device cannot be called back), the rest keep their
//   order, and each drop is counted (DroppedBuffers). Dropping the oldest rather than the
//   newest keeps what is heard next as close to live as the bound allows.
// - Underrun: when the device ran dry it waits paused; the output then prefills again and
//   restarts it only once more than PrefillInterval is queued anew (Underruns counts them).
// A device that fails for good (unplugged) is closed on the GUI thread and "Can't restart
// audio device." is reported there; the output stays enabled and opens the device again with
// the next stream (or the next enable).
//
// The component is built disabled (as the main window's form leaves it).

#include "audio/AudioComponent.h"
#include "audio/AudioDevice.h"
#include "audio/MainThreadNotify.h"
#include "audio/Pins.h"
#include "audio/WaveThread.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class TAudioOut : public TAudioComponent {
public:
    static constexpr unsigned LatencyMarginMs = 200;

    explicit TAudioOut(TWaveDeviceSystem& system);
    ~TAudioOut() override;

    std::string ClassName() const override { return "TAudioOut"; }

    bool Enabled() const { return FEnabled.load(); }
    // True opens the device with the stream's format when one is known (else pauses it);
    // False leaves the device as it is and drops further buffers.
    void SetEnabled(bool value);
    unsigned PrefillInterval() const { return FPrefillInterval.load(); }
    void SetPrefillInterval(unsigned value);

    TAudioOutDevice& Device() { return FDevice; }
    TAudioSinkPin& InputPin() { return FInputPin; }
    TBoolStatePin& EnablePin() { return FEnablePin; }
    TClockSourcePin& ClockOutputPin() { return FClockOutputPin; }

    // Buffers dropped to keep the latency bound; underruns of a running stream.
    std::uint64_t DroppedBuffers() const { return FDroppedBuffers.load(); }
    std::uint64_t Underruns() const { return FUnderruns.load(); }
    bool DeviceOpen() const { return FDeviceOpen.load(); }

private:
    bool InputOperation(const TOperationPtr& operation);
    void Drain(bool fromCallback);
    bool Process(const TOperationPtr& operation, bool fromCallback);
    void Open(const TWaveFormatExtensible& header);
    // discard: on destruction; quiet: device results are not reported. False when a reset
    // failed (the device stays open).
    bool Close(bool discard, bool quiet);
    void Write(const TAudioBuffer& buffer);
    void Restart();
    void KeepLatencyBound();
    void DeviceMessage(const TWaveThreadMessage& message);
    void DeviceFailed();  // GUI thread
    void ReportPending(); // GUI thread
    // reason: the wave layer's detail, taken on the thread that met the failure.
    void Report(const char* text, std::uint32_t code, const std::string& reason);

    TWaveDeviceSystem& FSystem;
    TAudioOutDevice FDevice;
    TAudioSinkPin FInputPin;
    TBoolStatePin FEnablePin;
    TClockSourcePin FClockOutputPin;
    std::atomic<bool> FEnabled{false};
    std::atomic<unsigned> FPrefillInterval{300};

    // Under the component lock:
    std::optional<TWaveFormatExtensible> FPendingFormat;
    std::deque<TOperationPtr> FOperationQueue;
    int FPendingStartStop = 0;
    bool FStopped = false;
    bool FPaused = false;
    bool FPlaying = false;
    bool FPrefilled = false;
    std::uint64_t FQueuedMs = 0;

    TAudioParams FParams;
    std::unique_ptr<TWaveHandle> FHandle; // set and cleared under both locks
    std::unique_ptr<TWaveThread> FThread; // the output callback thread of the open device
    std::atomic<bool> FDeviceOpen{false};
    int FOpenId = WaveMapper; // the device opened last, for messages (GUI thread)

    std::atomic<std::uint64_t> FDroppedBuffers{0};
    std::atomic<std::uint64_t> FUnderruns{0};

    std::atomic<std::uint32_t> FFailedCode{0};
    std::atomic<std::uint64_t> FFailedGeneration{0};
    std::mutex FErrorLock;
    struct TPendingError {
        const char* Text = nullptr;
        std::uint32_t Code = 0;
        std::string Reason;
    };
    std::deque<TPendingError> FErrors;

    TMainThreadNotify FDrainNotify;
    TMainThreadNotify FFailureNotify;
    TMainThreadNotify FErrorNotify;
};
