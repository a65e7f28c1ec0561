#include "SimWaveSystem.h"

TSimWaveSystem::TSimWaveSystem(std::shared_ptr<TVirtualTuner> tuner, const std::string& recordPath,
                               std::unique_ptr<TWaveDeviceSystem> real)
    : FTuner(std::move(tuner)), FReal(std::move(real)),
      FOutput(std::make_shared<TVirtualOutputShared>()) {
    if (!recordPath.empty())
        FOutput->Recording = std::make_unique<TWavFile>(recordPath);
}

void TSimWaveSystem::SetClockRate(TWaveDirection direction, double rate) {
    (direction == TWaveDirection::Input ? FInputRate : FOutputRate) = rate;
}

std::string TSimWaveSystem::RecordingError() const {
    return FOutput->Recording ? FOutput->Recording->Error() : std::string();
}

int TSimWaveSystem::DeviceCount(TWaveDirection direction) {
    return 1 + (FReal ? FReal->DeviceCount(direction) : 0);
}

std::uint32_t TSimWaveSystem::DeviceName(TWaveDirection direction, int id, std::string& name) {
    if (id == 0) {
        name = direction == TWaveDirection::Input ? LineInName : LineOutName;
        return WaveNoError;
    }
    if (id < 0 || !FReal)
        return WaveErrorBadDeviceId;
    const std::uint32_t result = FReal->DeviceName(direction, id - 1, name);
    // "Default" is the virtual device here; the real default keeps a name of its own.
    if (result == WaveNoError && IsDefaultDeviceName(name))
        name = RealDefaultName;
    return result;
}

std::uint32_t TSimWaveSystem::Open(TWaveDirection direction, int id, const std::uint8_t* header,
                                   TWaveCallback callback, std::unique_ptr<TWaveHandle>& handle) {
    if (id > 0) {
        if (!FReal)
            return WaveErrorBadDeviceId;
        return FReal->Open(direction, id - 1, header, std::move(callback), handle);
    }
    if (id != 0 && id != WaveMapper)
        return WaveErrorBadDeviceId;
    const std::optional<TWaveFormat> format = ParseWaveFormatHeader(header);
    if (!format)
        return WaveErrorBadFormat;
    if (direction == TWaveDirection::Input) {
        handle = std::make_unique<TVirtualLineIn>(*format, std::move(callback), FTuner, FInputRate);
        return WaveNoError;
    }
    // One recording holds one stream: the line-out is not shared.
    if (FOutput->Open.exchange(true))
        return WaveErrorAllocated;
    handle = std::make_unique<TVirtualLineOut>(*format, std::move(callback), FOutput, FOutputRate);
    return WaveNoError;
}
