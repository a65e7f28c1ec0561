#include "platform/sound/AlsaErrors.h"

#include "platform/sound/WaveDevice.h"

#include <alsa/asoundlib.h>
#include <cerrno>
#include <mutex>

namespace {

void DiscardAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

std::uint32_t WaveResultFromAlsa(int error) {
    if (error >= 0)
        return WaveNoError;
    if (AlsaDeviceGone(error))
        return WaveErrorNoDriver;
    switch (-error) {
    case ENOENT: // no PCM of that name in the configuration
        return WaveErrorBadDeviceId;
    case EBUSY:
    case EAGAIN: // another program holds the device exclusively
        return WaveErrorAllocated;
    case ENOMEM:
        return WaveErrorNoMemory;
    case EINVAL: // a hardware parameter the device refuses
        return WaveErrorBadFormat;
    case ENOSYS:
    case EOPNOTSUPP:
        return WaveErrorNotSupported;
    default:
        return WaveErrorGeneric;
    }
}

std::string AlsaReason(const char* step, int error) {
    return std::string(step) + ": " + snd_strerror(error);
}

bool AlsaDeviceGone(int error) {
    return error == -ENODEV || error == -ENXIO || error == -EIO || error == -ESHUTDOWN;
}

void SilenceAlsaErrors() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(DiscardAlsaError); });
}
