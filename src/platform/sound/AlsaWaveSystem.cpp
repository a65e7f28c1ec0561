#include "platform/sound/AlsaDeviceList.h"
#include "platform/sound/AlsaErrors.h"
#include "platform/sound/AlsaPcm.h"
#include "platform/sound/AlsaWaveHandle.h"
#include "platform/sound/WaveDevice.h"
#include "platform/sound/WaveFormat.h"

#include <mutex>

namespace {

// The device lists are read when they are counted and kept until the next count, so that a
// caller who counts, names and opens by identifier sees one list throughout (reading the hints
// probes every card and is too slow to repeat per name).
class TAlsaWaveSystem final : public TWaveDeviceSystem {
public:
    TAlsaWaveSystem() { SilenceAlsaErrors(); }

    int DeviceCount(TWaveDirection direction) override {
        std::lock_guard lock(FMutex);
        Names(direction) = SelectWaveDevices(ReadAlsaPcmHints(), direction);
        return int(Names(direction).size());
    }

    std::uint32_t DeviceName(TWaveDirection direction, int id, std::string& name) override {
        std::lock_guard lock(FMutex);
        const std::vector<std::string>& names = KnownNames(direction);
        if (id < 0 || std::size_t(id) >= names.size())
            return WaveErrorBadDeviceId;
        name = names[std::size_t(id)];
        return WaveNoError;
    }

    std::uint32_t Open(TWaveDirection direction, int id, const std::uint8_t* header,
                       TWaveCallback callback, std::unique_ptr<TWaveHandle>& handle) override {
        std::string pcmName = AlsaDefaultPcm;
        if (id != WaveMapper) {
            std::lock_guard lock(FMutex);
            const std::vector<std::string>& names = KnownNames(direction);
            if (id < 0 || std::size_t(id) >= names.size())
                return WaveErrorBadDeviceId;
            pcmName = names[std::size_t(id)];
        }
        SetWaveErrorDetail({});
        const std::optional<TWaveFormat> format = ParseWaveFormatHeader(header);
        if (!format)
            return WaveErrorBadFormat;
        if (!callback)
            return WaveErrorInvalidParam;
        TAlsaPcm pcm;
        std::string reason;
        const std::uint32_t result =
            OpenAlsaPcmTimed(pcmName, direction, *format, pcm, reason, DeviceTimeLimit);
        if (result != WaveNoError) {
            SetWaveErrorDetail(std::move(reason));
            return result;
        }
        return TAlsaWaveHandle::Create(direction, *format, pcm, std::move(callback), handle);
    }

private:
    std::vector<std::string>& Names(TWaveDirection direction) {
        return FNames[direction == TWaveDirection::Input ? 0 : 1];
    }

    // The list of the last count; read now when nothing has counted yet.
    const std::vector<std::string>& KnownNames(TWaveDirection direction) {
        std::vector<std::string>& names = Names(direction);
        if (names.empty())
            names = SelectWaveDevices(ReadAlsaPcmHints(), direction);
        return names;
    }

    std::mutex FMutex;
    std::vector<std::string> FNames[2];
};

} // namespace

std::unique_ptr<TWaveDeviceSystem> CreateAlsaWaveSystem() {
    return std::make_unique<TAlsaWaveSystem>();
}
