#pragma once

// The device a capture or output component opens, chosen by name. "Default" (in any letter
// case) is the system's default device; any other name must match a device's name exactly, or
// one of the alternative names does; a name that matches nothing quietly falls back to the
// default device, so a device that has disappeared never stops the program.
//
// Names and alternatives are set on the GUI thread; resolution runs where the owner opens its
// device (under the owner's component lock).

#include "audio/AudioComponent.h"
#include "platform/sound/WaveDevice.h"

#include <string>
#include <vector>

// The device components' messages.
inline const char* const CantGetDeviceCapsText = "Can't get device capabilities.";
inline const char* const CantOpenDeviceText = "Can't open audio device.";
inline const char* const CantStartDeviceText = "Can't start audio device.";
inline const char* const CantRestartDeviceText = "Can't restart audio device.";
inline const char* const CantPauseDeviceText = "Can't pause audio device.";

class TAudioDevice {
public:
    TAudioDevice(TAudioComponent& owner, TWaveDeviceSystem& system, TWaveDirection direction);
    virtual ~TAudioDevice() = default;
    TAudioDevice(const TAudioDevice&) = delete;
    TAudioDevice& operator=(const TAudioDevice&) = delete;

    const std::string& DeviceName() const { return FDeviceName; }
    // Only stores the name; it takes effect at the next open.
    void SetDeviceName(const std::string& value);
    std::vector<std::string>& AlternativeDevices() { return FAlternativeDevices; }

    // Appends every device's name in device order. A device whose name cannot be read ends the
    // list with the warning "Can't get device capabilities.".
    void GetDeviceNames(std::vector<std::string>& list);
    // The identifier to open for the current name (WaveMapper for the default device). A
    // configured name that matches no device is told once (OnNotice) before the default stands
    // in for it.
    int ResolveDevice();
    // The name of device id as the user knows it ("Default" for WaveMapper).
    std::string NameOf(int id);
    // "Output device "NAME"" for device id.
    std::string Label(int id);
    // "Output device "NAME": reason" for a failure of device id. reason: what the system said
    // ("" when nothing).
    std::string Describe(int id, const std::string& reason);
    // The same, after telling the log with the documented text and code.
    std::string TellFailure(int id, const std::string& text, std::uint32_t code,
                            const std::string& reason);

    TWaveDeviceSystem& System() { return FSystem; }
    TWaveDirection Direction() const { return FDirection; }

private:
    // The identifier of the device named exactly `name`, or -2 when none is. A device whose
    // name cannot be read ends the search with a warning and identifier 0.
    static constexpr int NotFound = -2;
    int FindDevice(const std::string& name);

    TAudioComponent& FOwner;
    TWaveDeviceSystem& FSystem;
    TWaveDirection FDirection;
    std::string FDeviceName = "Default";
    std::vector<std::string> FAlternativeDevices;
    std::string FToldMissing; // the name last told as missing
};

class TAudioCaptureDevice : public TAudioDevice {
public:
    TAudioCaptureDevice(TAudioComponent& owner, TWaveDeviceSystem& system)
        : TAudioDevice(owner, system, TWaveDirection::Input) {}
};

class TAudioOutDevice : public TAudioDevice {
public:
    TAudioOutDevice(TAudioComponent& owner, TWaveDeviceSystem& system)
        : TAudioDevice(owner, system, TWaveDirection::Output) {}
};
