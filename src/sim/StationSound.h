#pragma once

// The sound the virtual tuner receives, as samples in any format a capture opens. The test
// station (88.0) is independent white noise on every channel at an RMS of 0.1 of full scale;
// every other station of the band plan sounds a chord of its own, alike on every channel;
// between stations, muted or powered off there is the format's silence.
//
// Each sample depends only on its frame's place in the stream, so a chord continues without
// a step from one buffer to the next, and Skip keeps it in time across sound nobody took.

#include "VirtualTuner.h"
#include "platform/sound/WaveFormat.h"

#include <array>
#include <cstddef>
#include <cstdint>

// A station's chord: whole hertz, so that every tone repeats exactly once per second.
using TStationChord = std::array<std::uint32_t, 3>;
TStationChord StationChord(int tuneValue);

inline constexpr double StationNoiseRms = 0.1;
inline constexpr double StationChordPeak = 0.3; // all tones together

class TStationSound {
public:
    explicit TStationSound(const TWaveFormat& format) : FFormat(format) {}

    // Writes frames frames of what the tuner plays now at data (frames × BlockAlign bytes).
    void Fill(const TVirtualTunerSound& tuner, std::uint8_t* data, std::size_t frames);
    // Moves the stream on by frames without writing them.
    void Skip(std::uint64_t frames) { FFrame += frames; }

private:
    double NextNoise();

    TWaveFormat FFormat;
    std::uint64_t FFrame = 0;
    std::uint64_t FNoise = 0x9E3779B97F4A7C15ull; // xorshift state, never 0
};

// One sample in [-1, 1] written in the format's encoding (unsigned 8-bit around 128, signed
// little-endian 16, 24 or 32 bits; the bits below ValidBits cleared).
void WriteSample(const TWaveFormat& format, double value, std::uint8_t* to);
