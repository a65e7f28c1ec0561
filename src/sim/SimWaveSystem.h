#pragma once

// The device system while simulating: the virtual line-in and line-out (VirtualWaveDevices.h)
// in front of the real system's devices. Identifier 0 and the default device (WaveMapper)
// are the virtual device of each direction; identifier k ≥ 1 is the real system's device
// k − 1, so every real device stays selectable by its name.
//
// Threads: as every device system (WaveDevice.h), one controlling thread at a time.

#include "VirtualWaveDevices.h"

#include <memory>
#include <string>

class TSimWaveSystem : public TWaveDeviceSystem {
public:
    static constexpr const char* LineInName = "Virtual line-in";
    static constexpr const char* LineOutName = "Virtual line-out";
    // The real system's default device, which "Default" does not reach while simulating.
    static constexpr const char* RealDefaultName = "ALSA default";

    // recordPath: "" records nothing (see PrepareWavFile for the check at start-up); real:
    // the system whose devices follow the virtual ones, or none.
    TSimWaveSystem(std::shared_ptr<TVirtualTuner> tuner, const std::string& recordPath,
                   std::unique_ptr<TWaveDeviceSystem> real);

    // Runs the clock of virtual devices opened afterwards a known fraction fast (1.001 is
    // 0.1 % fast); for tests that check what a drifting pair of devices does.
    void SetClockRate(TWaveDirection direction, double rate);
    // Why the recording stopped, "" while it goes on (or when there is none).
    std::string RecordingError() const;

    int DeviceCount(TWaveDirection direction) override;
    std::uint32_t DeviceName(TWaveDirection direction, int id, std::string& name) override;
    std::uint32_t Open(TWaveDirection direction, int id, const std::uint8_t* header,
                       TWaveCallback callback, std::unique_ptr<TWaveHandle>& handle) override;

private:
    std::shared_ptr<TVirtualTuner> FTuner;
    std::unique_ptr<TWaveDeviceSystem> FReal;
    std::shared_ptr<TVirtualOutputShared> FOutput;
    double FInputRate = 1.0;
    double FOutputRate = 1.0;
};
