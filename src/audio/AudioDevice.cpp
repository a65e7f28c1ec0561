#include "audio/AudioDevice.h"

#include "audio/SetHelpers.h"

#include <cctype>

TAudioDevice::TAudioDevice(TAudioComponent& owner, TWaveDeviceSystem& system,
                           TWaveDirection direction)
    : FOwner(owner), FSystem(system), FDirection(direction) {}

void TAudioDevice::SetDeviceName(const std::string& value) {
    TStringSetHelper::Set(FOwner.Lock(), FDeviceName, value);
}

void TAudioDevice::GetDeviceNames(std::vector<std::string>& list) {
    const int count = FSystem.DeviceCount(FDirection);
    for (int id = 0; id < count; ++id) {
        std::string name;
        if (const std::uint32_t result = FSystem.DeviceName(FDirection, id, name)) {
            FOwner.ReportWarning(CantGetDeviceCapsText, result);
            return;
        }
        list.push_back(name);
    }
}

int TAudioDevice::FindDevice(const std::string& name) {
    const int count = FSystem.DeviceCount(FDirection);
    for (int id = 0; id < count; ++id) {
        std::string candidate;
        if (const std::uint32_t result = FSystem.DeviceName(FDirection, id, candidate)) {
            FOwner.ReportWarning(CantGetDeviceCapsText, result);
            return 0;
        }
        if (candidate == name)
            return id;
    }
    return NotFound;
}

int TAudioDevice::ResolveDevice() {
    if (IsDefaultDeviceName(FDeviceName))
        return WaveMapper;
    if (const int id = FindDevice(FDeviceName); id != NotFound)
        return id;
    for (const std::string& alternative : FAlternativeDevices) {
        if (IsDefaultDeviceName(alternative))
            return WaveMapper;
        if (const int id = FindDevice(alternative); id != NotFound)
            return id;
    }
    if (FToldMissing != FDeviceName) {
        FToldMissing = FDeviceName;
        FOwner.ReportNotice(
            std::string(FDirection == TWaveDirection::Input ? "Sound input" : "Sound output") +
            " device \"" + FDeviceName + "\" is not there; using Default");
    }
    return WaveMapper;
}

std::string TAudioDevice::NameOf(int id) {
    std::string name;
    if (id == WaveMapper || FSystem.DeviceName(FDirection, id, name) != WaveNoError)
        return "Default";
    return name;
}

std::string TAudioDevice::Label(int id) {
    return std::string(FDirection == TWaveDirection::Input ? "Input" : "Output") + " device \"" +
           NameOf(id) + "\"";
}

std::string TAudioDevice::Describe(int id, const std::string& reason) {
    return DeviceDetail(Label(id), reason);
}

std::string TAudioDevice::TellFailure(int id, const std::string& text, std::uint32_t code,
                                      const std::string& reason) {
    const std::string detail = Describe(id, reason);
    std::string line = "Sound " + detail + " (" + FormatAudioError(text, code) + ")";
    line[6] = char(std::tolower(static_cast<unsigned char>(line[6])));
    FOwner.ReportNotice(line);
    return detail;
}
