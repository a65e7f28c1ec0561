#include "equalizer/CommonMeter.h"

#include "audio/AudioFormat.h"
#include "audio/SetHelpers.h"

#include <algorithm>
#include <cmath>

// ---- TRealQueue ----

void TRealQueue::Clear() {
    std::lock_guard guard(FLock);
    FValues.clear();
}

void TRealQueue::ReplaceAll(double value) {
    std::lock_guard guard(FLock);
    FValues.clear();
    FValues.push_back(value);
}

bool TRealQueue::TryPop(double& value) {
    std::lock_guard guard(FLock);
    if (FValues.empty())
        return false;
    value = FValues.front();
    FValues.pop_front();
    return true;
}

// ---- TCommonMeter ----

TCommonMeter::TCommonMeter()
    : FMainLock(Lock(), FDeliveryLock), FInputPin(this),
      FNotify(std::make_unique<TMainThreadNotify>([this] { Deliver(); })) {
    FInputPin.OnOperation = [this](const TOperationPtr& operation) {
        return InputOperation(operation);
    };
    RebuildChannels();
}

TCommonMeter::~TCommonMeter() {
    Shutdown();
}

void TCommonMeter::Shutdown() {
    TStopLockSection section(FMainLock);
    if (FShutDown.exchange(true))
        return;
    FInputPin.SetSourcePin(nullptr);
    for (const auto& pin : FOutputPins)
        pin->DisconnectAll();
    FNotify.reset();
}

void TCommonMeter::SetMode(TValueMode value) {
    TSetHelper<TValueMode>::Set(FMainLock, FMode, value);
}

void TCommonMeter::SetSynchronizeType(TSynchronizeType value) {
    TSetHelper<TSynchronizeType>::Set(FMainLock, FSynchronizeType, value);
}

void TCommonMeter::SetCountChannels(int value) {
    TIntegerSetHelper::SetClamped(FMainLock, FCountChannels, value, MinChannels, MaxChannels,
                                  [this] { RebuildChannels(); });
}

void TCommonMeter::SetPeriod(std::uint32_t value) {
    TCardinalSetHelper::Set(FMainLock, FPeriod, value, [this] { PeriodChanged(); });
}

void TCommonMeter::RebuildChannels() {
    const std::size_t count = std::size_t(FCountChannels);
    while (FOutputPins.size() > count) {
        FOutputPins.back()->DisconnectAll();
        FOutputPins.pop_back();
    }
    while (FOutputPins.size() < count)
        FOutputPins.push_back(std::make_unique<TRealRangedSourcePin>(this));
    FResults.resize(count);
    for (auto& queue : FResults)
        if (!queue)
            queue = std::make_unique<TRealQueue>();
    // Also mid-stream: the capture side must never index a queue that is gone.
    UpdateMeteredChannels();
}

void TCommonMeter::UpdateMeteredChannels() {
    FMeteredChannels = std::min(FCountChannels, int(FFormat.nChannels));
}

bool TCommonMeter::InputOperation(const TOperationPtr& operation) {
    if (!operation)
        return false;
    if (const auto* start = operation->As<TStartWaveOperation>()) {
        TWriteLockSection section(FMainLock);
        if (section && !FShutDown.load())
            Start(*start);
        return false;
    }
    // Stops and everything else leave the last values where they are.
    const auto* supplied = operation->As<TSuppliedBufferOperation>();
    if (!supplied)
        return false;
    TWriteLockSection section(Lock());
    if (!section || FShutDown.load())
        return false;
    if (MeasureBuffer(supplied->Buffer(), FValues))
        Publish(FValues);
    return false;
}

void TCommonMeter::Start(const TStartWaveOperation& start) {
    FFormat = start.Format();
    FFullScale = ::FullScale(FFormat);
    for (const auto& queue : FResults)
        queue->Clear();
    UpdateMeteredChannels();
    StartMeasure(FFormat);
}

void TCommonMeter::Publish(const std::vector<double>& values) {
    const std::size_t count = std::min(values.size(), std::size_t(FMeteredChannels));
    for (std::size_t channel = 0; channel < count; ++channel)
        FResults[channel]->ReplaceAll(values[channel]);
    // Signalled under the component lock: the destructor waits for this section before the
    // notification goes.
    if (FNotify)
        FNotify->Signal();
}

void TCommonMeter::Deliver() {
    TWriteLockSection section(FDeliveryLock);
    if (!section)
        return;
    // The handler may change the channel layout (through a setter), so every step looks the
    // channel up again instead of holding on to a queue or a pin.
    bool found = true;
    while (found) {
        found = false;
        for (int channel = 0; channel < FMeteredChannels; ++channel) {
            double queued = 0.0;
            while (channel < FMeteredChannels && FResults[std::size_t(channel)]->TryPop(queued)) {
                found = true;
                const double value = double(float(queued));
                TRealRangedSourcePin& pin = *FOutputPins[std::size_t(channel)];
                if (value == pin.Value())
                    continue;
                const double maximum = FFullScale;
                pin.SetValue(value, 0.0, maximum);
                if (TMeterValueChangeEvent handler = OnValueChange)
                    handler(this, channel, value, 0.0, maximum);
            }
        }
    }
}
