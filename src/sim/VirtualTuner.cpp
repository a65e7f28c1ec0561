#include "VirtualTuner.h"

#include "BandPlan.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kReportLength = 65; // report ID + 64 bytes

int BandBase(bool bandFM) {
    return bandFM ? 880 : 659;
}

int BandMax(bool bandFM) {
    return bandFM ? 200 : 81;
}

QByteArray EmptyReport() {
    return QByteArray(kReportLength, '\0');
}

} // namespace

int SimPllForHertz(long long hertz) {
    // f = PLL * 32768 / 4 - 225000, solved for the nearest PLL word.
    return int((4 * (hertz + 225000) + 16384) / 32768);
}

TSimDeviceDescription TVirtualTuner::DeviceSpec(TSimChip chip) {
    TSimDeviceDescription description;
    description.VendorID = 0x1980;
    description.ProductID = chip == TSimChip::TEA5767 ? 0x1F01 : 0x1F02;
    description.Product = chip == TSimChip::TEA5767 ? QStringLiteral("Orvalen USB FM (TEA5767)")
                                                    : QStringLiteral("Orvalen USB FM (RDA5807M)");
    description.InputReportByteLength = kReportLength;
    description.OutputReportByteLength = kReportLength;
    return description;
}

TVirtualTunerState TVirtualTuner::State() const {
    std::lock_guard lock(FLock);
    return FState;
}

int TVirtualTuner::TuneValue() const {
    std::lock_guard lock(FLock);
    return BandBase(FState.BandFM) + FState.Position;
}

const TSimStation* TVirtualTuner::Station() const {
    return SimStationAt(TuneValue());
}

TVirtualTunerSound TVirtualTuner::Sound() const {
    std::lock_guard lock(FLock);
    return {FState.Power, FState.Muted, SimStationAt(BandBase(FState.BandFM) + FState.Position)};
}

void TVirtualTuner::Tune(bool bandFM, int position) {
    // The TEA5767 cannot receive the UKV band.
    if (!bandFM && FChip == TSimChip::TEA5767)
        return;
    FState.BandFM = bandFM;
    FState.Position = std::clamp(position, 0, BandMax(bandFM));
}

void TVirtualTuner::Seek(bool up) {
    const int current = BandBase(FState.BandFM) + FState.Position;
    std::vector<int> band;
    for (const TSimStation& station : SimBandPlan()) {
        if (station.UKV != !FState.BandFM)
            continue;
        band.push_back(station.TuneValue);
    }
    if (band.empty())
        return;
    std::sort(band.begin(), band.end());
    int target;
    if (up) {
        auto next = std::upper_bound(band.begin(), band.end(), current);
        target = next != band.end() ? *next : band.front();
    } else {
        auto next = std::lower_bound(band.begin(), band.end(), current);
        target = next != band.begin() ? *(next - 1) : band.back();
    }
    FState.Position = target - BandBase(FState.BandFM);
}

std::vector<QByteArray> TVirtualTuner::HandleOutput(const QByteArray& report) {
    if (report.size() < 2)
        return {};
    const auto byte = [&](int i) { return i < report.size() ? std::uint8_t(report[i]) : 0; };
    std::lock_guard lock(FLock);
    switch (byte(1)) {
    case 'P':
        FState.Power = byte(2) != 0;
        break;
    case 'M':
        FState.Muted = byte(2) != 0;
        break;
    case 's':
        FState.StereoAllowed = byte(2) != 0;
        break;
    case 'b':
        FState.Bass = byte(2) != 0;
        break;
    case 'r':
        FState.RDS = byte(2) != 0;
        break;
    case 'v':
        FState.Volume = std::clamp(int(byte(2)) - 1, 0, 15);
        break;
    case 'F':
        Tune(true, byte(2));
        break;
    case 'U':
        Tune(false, byte(2));
        break;
    case 'S':
        Seek(byte(2) != 0);
        break;
    case 'I': {
        const std::uint8_t flags = byte(3);
        FState.Power = flags & 0x01;
        FState.Muted = flags & 0x02;
        FState.StereoAllowed = flags & 0x04;
        FState.Bass = flags & 0x80;
        FState.Volume = byte(4) & 0x0F;
        FState.RDS = byte(4) & 0x10;
        Tune((flags & 0x08) == 0 || FChip == TSimChip::TEA5767, byte(2));
        break;
    }
    case 'g':
        return StatusReports();
    default:
        break;
    }
    return {};
}

std::vector<QByteArray> TVirtualTuner::StatusReports() const {
    const int tuneValue = BandBase(FState.BandFM) + FState.Position;
    const TSimStation* station = FState.Power ? SimStationAt(tuneValue) : nullptr;
    const int level = station ? station->Level : 0;
    const bool stereo = station && station->Stereo && FState.StereoAllowed;

    if (FChip == TSimChip::TEA5767) {
        QByteArray status = EmptyReport();
        const int pll = SimPllForHertz(static_cast<long long>(tuneValue) * 100000);
        status[1] = char(0x05);
        status[2] = char((pll >> 8) & 0x3F);
        status[3] = char(pll & 0xFF);
        // The level's upper nibble shares bit 7 with the stereo indicator.
        status[4] = char((level << 4) | (stereo ? 0x80 : 0));
        return {status};
    }

    const int channel = tuneValue - (FState.BandFM ? 870 : 650);
    QByteArray channelReport = EmptyReport();
    channelReport[1] = char(0x08);
    channelReport[2] = char((channel >> 2) & 0xFF);
    channelReport[3] = char((channel & 0x03) << 6);

    QByteArray status = EmptyReport();
    const bool rds = station && FState.RDS;
    status[1] = 'r';
    status[2] = char((stereo ? 0x04 : 0) | (rds ? 0x10 : 0));
    status[4] = char(level << 4);
    if (rds)
        std::memcpy(status.data() + 16, station->RDS, 8);
    return {channelReport, status};
}
