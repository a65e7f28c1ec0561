#pragma once

// The base of the level meters: an audio input, one value pin and one result queue per reported
// channel, and the hand-over of results to the GUI thread. A derived meter supplies only the
// measure (StartMeasure, MeasureBuffer and, if it depends on the period, PeriodChanged).
//
// Threads and locks:
// - Buffers arrive on the capture thread and are measured there under the component lock
//   (Lock()); a start arrives on the GUI thread and takes the main lock.
// - The two threads share only the result queues (each guarded by its own mutex) and the
//   main-thread notification. Delivery to the output pins and OnValueChange runs on the GUI
//   thread under the delivery lock.
// - Property setters and the start take the main lock (the component lock, then the delivery
//   lock), so neither side sees the channel layout or the stream format change under it.
// - Destruction holds the main lock's stop section while the input is disconnected: a capture
//   thread that arrives meanwhile gives up at once, and one already measuring is waited for.
//   The notification goes with it, so a delivery still queued for the GUI thread does nothing.
//   Derived meters call Shutdown() in their destructor, before their part of the object goes.
//   Destroy a meter on the GUI thread.

#include "audio/AudioComponent.h"
#include "audio/MainThreadNotify.h"
#include "audio/Pins.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

enum class TValueMode { vmLinear, vmDecibel };
enum class TSynchronizeType { stNone, stSingleBuffer, stQueue };

// (Sender, AChannel, AValue, AMin, AMax); always called on the GUI thread.
using TMeterValueChangeEvent = std::function<void(TAudioComponent* sender, int AChannel,
                                                  double AValue, double AMin, double AMax)>;

// Values of one channel waiting for the GUI thread.
class TRealQueue {
public:
    void Clear();
    // Leaves value as the only entry.
    void ReplaceAll(double value);
    // Takes the oldest value; false when the queue is empty.
    bool TryPop(double& value);

private:
    std::mutex FLock;
    std::deque<double> FValues;
};

class TCommonMeter : public TAudioComponent {
public:
    static constexpr int MinChannels = 1;
    static constexpr int MaxChannels = 32;

    TCommonMeter();
    ~TCommonMeter() override;

    std::string ClassName() const override { return "TCommonMeter"; }

    TAudioSinkPin& InputPin() { return FInputPin; }
    // One value pin per reported channel (CountChannels of them); read on the GUI thread.
    int OutputPinCount() const { return int(FOutputPins.size()); }
    TRealRangedSourcePin& OutputPin(int channel) { return *FOutputPins.at(std::size_t(channel)); }

    // Stored only; the meters report linear sample units and hand over the latest value.
    TValueMode Mode() const { return FMode; }
    void SetMode(TValueMode value);
    TSynchronizeType SynchronizeType() const { return FSynchronizeType; }
    void SetSynchronizeType(TSynchronizeType value);

    int CountChannels() const { return FCountChannels; }
    // Clamped to 1..32; adds or removes output pins and result queues at the end.
    void SetCountChannels(int value);

    // The length of one measuring window in milliseconds.
    std::uint32_t Period() const { return FPeriod; }
    void SetPeriod(std::uint32_t value);

    TMeterValueChangeEvent OnValueChange;

    // Setters and starts take this one: the component lock, then the delivery lock.
    IComponentLock& MainLock() { return FMainLock; }

    // The stream of the last start (all zero before any), as seen from the GUI thread.
    TWaveFormatExtensible Format() const { return FFormat; }
    double FullScale() const { return FFullScale; }
    // The smaller of CountChannels and the stream's channel count.
    int MeteredChannels() const { return FMeteredChannels; }

protected:
    // Prepares for a new stream (format already stored), under the main lock on the GUI thread.
    virtual void StartMeasure(const TWaveFormatExtensible& format) = 0;
    // Period has changed, under the main lock.
    virtual void PeriodChanged() {}
    // Queues and measures one buffer, under the component lock on the capture thread. When at
    // least one window was completed, leaves the last window's value of each metered channel
    // in values (MeteredChannels() of them) and returns true.
    virtual bool MeasureBuffer(const TAudioBuffer& buffer, std::vector<double>& values) = 0;

    // Stops everything for destruction: stop section, input and outputs disconnected, the
    // notification gone. Idempotent.
    void Shutdown();

private:
    bool InputOperation(const TOperationPtr& operation);
    void Start(const TStartWaveOperation& start);
    void Publish(const std::vector<double>& values);
    void Deliver();
    void RebuildChannels();
    void UpdateMeteredChannels();

    TComponentLock FDeliveryLock;
    TPairedLock FMainLock;
    TAudioSinkPin FInputPin;
    std::vector<std::unique_ptr<TRealRangedSourcePin>> FOutputPins;
    std::vector<std::unique_ptr<TRealQueue>> FResults;
    std::unique_ptr<TMainThreadNotify> FNotify;

    TValueMode FMode = TValueMode::vmLinear;
    TSynchronizeType FSynchronizeType = TSynchronizeType::stSingleBuffer;
    int FCountChannels = 2;
    std::uint32_t FPeriod = 100;

    TWaveFormatExtensible FFormat{};
    double FFullScale = 0.0;
    int FMeteredChannels = 0;
    std::vector<double> FValues; // the capture side's scratch, under the component lock
    std::atomic<bool> FShutDown{false};
};
