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

// "%s - %u - %x": text, code in decimal, code in hexadecimal.
std::string FormatAudioError(const std::string& text, std::uint32_t code);

using TErrorEvent = std::function<void(TAudioComponent* sender, const std::string& errorText,
                                       std::uint32_t errorCode, bool& handled)>;
using TWarningEvent = std::function<void(TAudioComponent* sender, const std::string& errorText,
                                         std::uint32_t errorCode)>;

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
    void ReportError(const std::string& text, std::uint32_t code);
    void ReportWarning(const std::string& text, std::uint32_t code);

private:
    std::string FName;
    TComponentLock FLock;
};
