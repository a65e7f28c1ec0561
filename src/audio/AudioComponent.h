#pragma once

// The base of every audio component: a name and the component lock that its pins, setters,
// starts and stops share. Filters add a processing lock, which deliveries also release.

#include "audio/ComponentLock.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

class TAudioComponent;

class EAudioException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "%s - %u - %x": text, code in decimal, code in hexadecimal; the detail (which device, and
// why), when there is one, on a line of its own after it.
std::string FormatAudioError(const std::string& text, std::uint32_t code,
                             const std::string& detail = {});
// "Output device "NAME": reason", or the device alone when there is no reason.
std::string DeviceDetail(const std::string& device, const std::string& reason);

using TErrorEvent = std::function<void(TAudioComponent* sender, const std::string& errorText,
                                       std::uint32_t errorCode, bool& handled)>;
using TWarningEvent = std::function<void(TAudioComponent* sender, const std::string& errorText,
                                         std::uint32_t errorCode)>;
// A device that failed for good while running (its component has closed it): the documented
// text and code, the device ("Output device "NAME"") and the system's reason.
using TDeviceLostEvent = std::function<void(TAudioComponent* sender, const std::string& errorText,
                                            std::uint32_t errorCode, const std::string& device,
                                            const std::string& reason)>;

class TAudioComponent {
public:
    TAudioComponent() = default;
    virtual ~TAudioComponent() = default;
    TAudioComponent(const TAudioComponent&) = delete;
    TAudioComponent& operator=(const TAudioComponent&) = delete;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& name) { FName = name; }
    virtual std::string ClassName() const { return "TAudioComponent"; }

    IComponentLock& Lock() { return FLock; }
    // A second lock that a delivery from this component also releases (filters).
    virtual IComponentLock* ProcessingLock() { return nullptr; }

    // Device components report through these: OnError may handle an error, otherwise it
    // becomes an EAudioException; OnWarning only informs.
    TErrorEvent OnError;
    TWarningEvent OnWarning;
    // A line for the program's log (GUI thread): what happened to a device, in words.
    std::function<void(const std::string& line)> OnNotice;
    // When set, a device lost while running is handed here instead of becoming an error.
    TDeviceLostEvent OnDeviceLost;
    // detail: the device and the system's reason, added to the exception's text.
    void ReportError(const std::string& text, std::uint32_t code, const std::string& detail = {});
    // The detail of the error being reported (for an OnError handler).
    const std::string& ErrorDetail() const { return FErrorDetail; }
    void ReportWarning(const std::string& text, std::uint32_t code);
    void ReportNotice(const std::string& line);
    void ReportDeviceLost(const std::string& text, std::uint32_t code, const std::string& device,
                          const std::string& reason);

private:
    std::string FName;
    std::string FErrorDetail;
    TComponentLock FLock;
};
