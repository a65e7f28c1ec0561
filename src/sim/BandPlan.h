#pragma once

// The stations the virtual tuner receives. Frequencies are tune values (tenths of a
// megahertz); the sound of each station belongs to the virtual line-in.

#include <array>
#include <span>

struct TSimStation {
    int TuneValue;   // 880 = 88.0 MHz
    const char* RDS; // eight characters
    int Level;       // 0..15
    bool Stereo;
    bool UKV;
};

// FM and UKV stations, each band in ascending order. The first is the test station.
std::span<const TSimStation> SimBandPlan();
const TSimStation* SimStationAt(int tuneValue);
