#include "audio/AudioDevice.h"

#include "audio/SetHelpers.h"

#include <cctype>

bool IsDefaultDeviceName(const std::string& name) {
    static const std::string upper = "DEFAULT";
    if (name.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != upper[i])
            return false;
    return true;
}

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
    return WaveMapper;
}
