#include "platform/sound/AlsaPcm.h"

#include "platform/sound/AlsaErrors.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

using THwParams = std::unique_ptr<snd_pcm_hw_params_t, decltype(&snd_pcm_hw_params_free)>;
using TSwParams = std::unique_ptr<snd_pcm_sw_params_t, decltype(&snd_pcm_sw_params_free)>;

// Any refusal of the stream's shape is the format's fault as far as the caller can tell.
std::uint32_t FormatResult(int error) {
    return error == -EINVAL ? WaveErrorBadFormat : WaveResultFromAlsa(error);
}

std::uint32_t SetHardware(snd_pcm_t* pcm, TWaveDirection direction, const TWaveFormat& format,
                          TAlsaPcm& result, std::string& reason) {
    snd_pcm_hw_params_t* raw = nullptr;
    if (snd_pcm_hw_params_malloc(&raw) < 0)
        return WaveErrorNoMemory;
    THwParams hw(raw, &snd_pcm_hw_params_free);
    int error = snd_pcm_hw_params_any(pcm, hw.get());
    if (error < 0) {
        reason = AlsaReason("reading the device's capabilities", error);
        return WaveResultFromAlsa(error);
    }
    const snd_pcm_format_t sampleFormat = AlsaSampleFormat(format.ContainerBits);
    const auto refuse = [&](const std::string& what) {
        reason = "the device refuses " + what;
        return WaveErrorBadFormat;
    };
    if (sampleFormat == SND_PCM_FORMAT_UNKNOWN ||
        snd_pcm_hw_params_set_access(pcm, hw.get(), SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, hw.get(), sampleFormat) < 0)
        return refuse("the sample format " + std::to_string(format.ContainerBits) + " bits");
    if (snd_pcm_hw_params_set_channels(pcm, hw.get(), format.Channels) < 0)
        return refuse(std::to_string(format.Channels) + " channels");
    if (snd_pcm_hw_params_set_rate(pcm, hw.get(), format.SampleRate, 0) < 0)
        return refuse("the rate " + std::to_string(format.SampleRate) + " Hz");
    snd_pcm_uframes_t period = PeriodFrames;
    int dir = 0;
    if ((error = snd_pcm_hw_params_set_period_size_near(pcm, hw.get(), &period, &dir)) < 0) {
        reason = AlsaReason("setting the period", error);
        return FormatResult(error);
    }
    const unsigned periods = direction == TWaveDirection::Output ? OutputPeriods : CapturePeriods;
    snd_pcm_uframes_t buffer = period * periods;
    if ((error = snd_pcm_hw_params_set_buffer_size_near(pcm, hw.get(), &buffer)) < 0) {
        reason = AlsaReason("setting the ring", error);
        return FormatResult(error);
    }
    if ((error = snd_pcm_hw_params(pcm, hw.get())) < 0) {
        reason = AlsaReason("setting up the stream", error);
        return FormatResult(error);
    }
    snd_pcm_hw_params_get_period_size(hw.get(), &result.PeriodSize, &dir);
    snd_pcm_hw_params_get_buffer_size(hw.get(), &result.BufferSize);
    result.CanPause = snd_pcm_hw_params_can_pause(hw.get()) != 0;
    return WaveNoError;
}

std::uint32_t SetSoftware(snd_pcm_t* pcm, const TAlsaPcm& result, std::string& reason) {
    snd_pcm_sw_params_t* raw = nullptr;
    if (snd_pcm_sw_params_malloc(&raw) < 0)
        return WaveErrorNoMemory;
    TSwParams sw(raw, &snd_pcm_sw_params_free);
    snd_pcm_uframes_t boundary = 0;
    int error = snd_pcm_sw_params_current(pcm, sw.get());
    if (error >= 0)
        error = snd_pcm_sw_params_get_boundary(sw.get(), &boundary);
    // Neither a write nor a read starts the stream: output waits for its prefill, capture
    // for Start.
    if (error >= 0)
        error = snd_pcm_sw_params_set_start_threshold(pcm, sw.get(), boundary);
    // The driver sleeps until a whole period can move.
    if (error >= 0)
        error = snd_pcm_sw_params_set_avail_min(pcm, sw.get(), result.PeriodSize);
    if (error >= 0)
        error = snd_pcm_sw_params(pcm, sw.get());
    if (error < 0)
        reason = AlsaReason("setting the stream's thresholds", error);
    return WaveResultFromAlsa(error);
}

} // namespace

snd_pcm_format_t AlsaSampleFormat(unsigned containerBits) {
    switch (containerBits) {
    case 8:
        return SND_PCM_FORMAT_U8;
    case 16:
        return SND_PCM_FORMAT_S16_LE;
    case 24:
        return SND_PCM_FORMAT_S24_3LE;
    case 32:
        return SND_PCM_FORMAT_S32_LE;
    default:
        return SND_PCM_FORMAT_UNKNOWN;
    }
}

std::uint32_t OpenAlsaPcm(const std::string& name, TWaveDirection direction,
                          const TWaveFormat& format, TAlsaPcm& pcm, std::string& reason) {
    SilenceAlsaErrors();
    snd_pcm_t* handle = nullptr;
    const snd_pcm_stream_t stream =
        direction == TWaveDirection::Output ? SND_PCM_STREAM_PLAYBACK : SND_PCM_STREAM_CAPTURE;
    const int error = snd_pcm_open(&handle, name.c_str(), stream, SND_PCM_NONBLOCK);
    if (error < 0) {
        reason = AlsaReason("opening", error);
        return WaveResultFromAlsa(error);
    }
    TAlsaPcm result;
    result.Pcm = handle;
    std::uint32_t code = SetHardware(handle, direction, format, result, reason);
    if (code == WaveNoError)
        code = SetSoftware(handle, result, reason);
    if (code != WaveNoError) {
        snd_pcm_close(handle);
        return code;
    }
    pcm = result;
    return WaveNoError;
}

std::uint32_t OpenAlsaPcmTimed(const std::string& name, TWaveDirection direction,
                               const TWaveFormat& format, TAlsaPcm& pcm, std::string& reason,
                               std::chrono::milliseconds limit) {
    // Shared with the opening thread, which may outlive this call.
    struct TOpen {
        std::mutex Mutex;
        std::condition_variable Done;
        bool Finished = false;
        bool Abandoned = false;
        std::uint32_t Result = WaveErrorGeneric;
        TAlsaPcm Pcm;
        std::string Reason;
    };
    auto open = std::make_shared<TOpen>();
    try {
        std::thread([open, name, direction, format] {
            TAlsaPcm opened;
            std::string why;
            const std::uint32_t result = OpenAlsaPcm(name, direction, format, opened, why);
            std::lock_guard lock(open->Mutex);
            if (open->Abandoned) {
                if (result == WaveNoError)
                    snd_pcm_close(opened.Pcm);
                return;
            }
            open->Result = result;
            open->Pcm = opened;
            open->Reason = std::move(why);
            open->Finished = true;
            open->Done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return WaveErrorNoMemory;
    }
    std::unique_lock lock(open->Mutex);
    if (!open->Done.wait_for(lock, limit, [&] { return open->Finished; })) {
        open->Abandoned = true;
        reason = "opening: no answer within " + std::to_string(limit.count()) + " ms";
        return WaveErrorGeneric;
    }
    pcm = open->Pcm;
    reason = std::move(open->Reason);
    return open->Result;
}
