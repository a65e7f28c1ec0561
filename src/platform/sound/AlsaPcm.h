#pragma once

// Opening and configuring one ALSA PCM for the wave layer: non-blocking (the driver thread
// waits in poll(), never inside ALSA), interleaved, exactly the announced sample format,
// channel count and rate, a period of PeriodFrames and a ring of a few periods, and a start
// threshold beyond the ring so that only an explicit start sets the stream going.
//
// The period is fixed rather than taken from the caller's buffers: a device learns their size
// only from the first buffer, after it has been configured. It is the framework's buffer size
// (1024 frames); buffers of any other whole-frame length still work, since the driver moves
// frames between buffers and ring in whatever pieces fit.

#include "platform/sound/WaveDevice.h"
#include "platform/sound/WaveFormat.h"

#include <alsa/asoundlib.h>
#include <chrono>
#include <cstdint>
#include <string>

inline constexpr snd_pcm_uframes_t PeriodFrames = 1024;
// Output keeps the ring short so that a buffer reported done is nearly heard; capture has
// more room since nothing waits on it.
inline constexpr unsigned OutputPeriods = 4;
inline constexpr unsigned CapturePeriods = 8;
// The longest the controlling thread waits for a device to open or to answer a command: a
// device that hangs is given up, the window keeps answering.
inline constexpr std::chrono::milliseconds DeviceTimeLimit{2000};

// ALSA's format for a container size, or SND_PCM_FORMAT_UNKNOWN.
snd_pcm_format_t AlsaSampleFormat(unsigned containerBits);

struct TAlsaPcm {
    snd_pcm_t* Pcm = nullptr;
    snd_pcm_uframes_t PeriodSize = 0;
    snd_pcm_uframes_t BufferSize = 0;
    bool CanPause = false;
};

// Opens and configures the PCM; on failure nothing stays open and the result says why
// (WaveErrorBadFormat when the device refuses the format), and `reason` in words. May block
// as long as the device's open does (a file plugin on a FIFO): see OpenAlsaPcmTimed.
std::uint32_t OpenAlsaPcm(const std::string& name, TWaveDirection direction,
                          const TWaveFormat& format, TAlsaPcm& pcm, std::string& reason);

// As OpenAlsaPcm, but gives up after `limit` when the open does not return: the window must
// keep answering whatever a device does. A late open is closed by the thread that did it.
std::uint32_t OpenAlsaPcmTimed(const std::string& name, TWaveDirection direction,
                               const TWaveFormat& format, TAlsaPcm& pcm, std::string& reason,
                               std::chrono::milliseconds limit);
