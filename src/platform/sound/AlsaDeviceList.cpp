#include "platform/sound/AlsaDeviceList.h"

#include <alsa/asoundlib.h>
#include <cstdlib>
#include <memory>

namespace {

// snd_device_name_get_hint hands out malloc'ed strings.
std::optional<std::string> TakeHint(const void* hint, const char* id) {
    std::unique_ptr<char, decltype(&std::free)> value(snd_device_name_get_hint(hint, id),
                                                      &std::free);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value.get());
}

} // namespace

std::vector<std::string> SelectWaveDevices(const std::vector<TAlsaHint>& hints,
                                           TWaveDirection direction) {
    const char* own = direction == TWaveDirection::Input ? "Input" : "Output";
    std::vector<std::string> names{AlsaDefaultPcm};
    for (const TAlsaHint& hint : hints) {
        if (hint.Name.empty() || hint.Name == AlsaDefaultPcm || hint.Name == "null")
            continue;
        if (hint.IoId && *hint.IoId != own)
            continue;
        names.push_back(hint.Name);
    }
    return names;
}

std::vector<TAlsaHint> ReadAlsaPcmHints() {
    std::vector<TAlsaHint> result;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr)
        return result;
    for (void** hint = hints; *hint != nullptr; ++hint) {
        auto name = TakeHint(*hint, "NAME");
        if (name)
            result.push_back({std::move(*name), TakeHint(*hint, "IOID")});
    }
    snd_device_name_free_hint(hints);
    return result;
}
