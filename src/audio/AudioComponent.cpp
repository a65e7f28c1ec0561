#include "audio/AudioComponent.h"

#include <cstdio>

std::string FormatAudioError(const std::string& text, std::uint32_t code,
                             const std::string& detail) {
    char numbers[40];
    std::snprintf(numbers, sizeof numbers, " - %u - %x", unsigned(code), unsigned(code));
    return detail.empty() ? text + numbers : text + numbers + "\n" + detail;
}

std::string DeviceDetail(const std::string& device, const std::string& reason) {
    return reason.empty() ? device : device + ": " + reason;
}

void TAudioComponent::ReportError(const std::string& text, std::uint32_t code,
                                  const std::string& detail) {
    bool handled = false;
    FErrorDetail = detail;
    if (OnError)
        OnError(this, text, code, handled);
    if (!handled)
        throw EAudioException(FormatAudioError(text, code, detail));
}

void TAudioComponent::ReportNotice(const std::string& line) {
    if (OnNotice)
        OnNotice(line);
}

void TAudioComponent::ReportDeviceLost(const std::string& text, std::uint32_t code,
                                       const std::string& device, const std::string& reason) {
    if (OnDeviceLost)
        OnDeviceLost(this, text, code, device, reason);
    else
        ReportError(text, code, DeviceDetail(device, reason));
}

void TAudioComponent::ReportWarning(const std::string& text, std::uint32_t code) {
    if (OnWarning)
        OnWarning(this, text, code);
}
