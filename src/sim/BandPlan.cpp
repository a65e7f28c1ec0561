#include "BandPlan.h"

namespace {

constexpr std::array<TSimStation, 9> kStations = {{
    {880, "ORVALEN ", 12, true, false},
    {912, "RETRO   ", 7, true, false},
    {955, "JAZZ    ", 4, false, false},
    {1017, "NOVOSTI ", 14, true, false},
    {1042, "EUROPA  ", 10, true, false},
    {1079, "ROCK    ", 2, false, false},
    {663, "MAYAK   ", 9, false, true},
    {698, "RADIO 1 ", 5, false, true},
    {721, "UKV 72  ", 3, false, true},
}};

} // namespace

std::span<const TSimStation> SimBandPlan() {
    return kStations;
}

const TSimStation* SimStationAt(int tuneValue) {
    for (const TSimStation& station : kStations) {
        if (station.TuneValue == tuneValue)
            return &station;
    }
    return nullptr;
}
