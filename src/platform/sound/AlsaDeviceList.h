#pragma once

// The wave devices of one direction, as ALSA's name hints list them: a hint's NAME is the
// device's name (the PCM name it opens), its IOID says whether it is capture only ("Input"),
// playback only ("Output") or both (none). `default`, the system's choice, always comes first;
// `null` (the PCM that discards everything) is never offered.

#include "platform/sound/WaveDevice.h"

#include <optional>
#include <string>
#include <vector>

struct TAlsaHint {
    std::string Name;
    std::optional<std::string> IoId;
};

inline constexpr const char* AlsaDefaultPcm = "default";

// The device names of one direction, in identifier order.
std::vector<std::string> SelectWaveDevices(const std::vector<TAlsaHint>& hints,
                                           TWaveDirection direction);

// The PCM hints of every card and of the configuration; empty when they cannot be read.
std::vector<TAlsaHint> ReadAlsaPcmHints();
