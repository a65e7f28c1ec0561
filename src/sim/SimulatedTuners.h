#pragma once

// The program's --simulate set-up: a simulated HID backend with one virtual tuner plugged
// in, and SIGUSR1 unplugging it and plugging it in again.

#include "VirtualTuner.h"

#include <QString>
#include <memory>

class TSignalWatcher;

class TSimulatedTuners {
public:
    // model: "tea5767" or "rda5807m". The backend is handed over with TakeBackend().
    explicit TSimulatedTuners(const QString& model);
    ~TSimulatedTuners();

    std::unique_ptr<THidBackend> TakeBackend();
    TSimHidBackend& Backend() const { return *FBackend; }
    const std::shared_ptr<TVirtualTuner>& Tuner() const { return FTuner; }
    int DeviceIndex() const { return FDevice; }
    void TogglePlug();

private:
    std::unique_ptr<TSimHidBackend> FOwned;
    TSimHidBackend* FBackend;
    std::shared_ptr<TVirtualTuner> FTuner;
    int FDevice = -1;
    std::unique_ptr<TSignalWatcher> FSignal;
};
