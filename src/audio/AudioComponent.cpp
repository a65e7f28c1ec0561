#include "audio/AudioComponent.h"

#include <cstdio>

std::string FormatAudioError(const std::string& text, std::uint32_t code) {
    char numbers[40];
    std::snprintf(numbers, sizeof numbers, " - %u - %x", unsigned(code), unsigned(code));
    return text + numbers;
}

void TAudioComponent::ReportError(const std::string& text, std::uint32_t code) {
    bool handled = false;
    if (OnError)
        OnError(this, text, code, handled);
    if (!handled)
        throw EAudioException(FormatAudioError(text, code));
}

void TAudioComponent::ReportWarning(const std::string& text, std::uint32_t code) {
    if (OnWarning)
        OnWarning(this, text, code);
}
