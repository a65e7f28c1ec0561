#include "platform/sound/WaveDevice.h"

#include <cctype>

namespace {
// Per thread, so that a device failing on one thread never explains a failure on another.
thread_local std::string LastDetail;
} // namespace

const std::string& WaveErrorDetail() {
    return LastDetail;
}

void SetWaveErrorDetail(std::string detail) {
    LastDetail = std::move(detail);
}

bool IsDefaultDeviceName(const std::string& name) {
    static const std::string upper = "DEFAULT";
    if (name.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != upper[i])
            return false;
    return true;
}
