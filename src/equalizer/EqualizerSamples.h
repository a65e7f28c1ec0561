#pragma once

// How the equalizer reads its samples into doubles and stores its results back: 8-bit
// containers centred on 127, signed 16-, 24- and 32-bit little-endian otherwise; results are
// clamped (the negative limit one above the type's minimum, so the range is symmetric) and
// rounded to the nearest integer, ties to even.

#include <cstddef>
#include <cstdint>

// The 8-bit sample value that the equalizer treats as silence.
inline constexpr std::uint8_t EqualizerSilence8 = 127;

struct TSampleLayout {
    unsigned Bytes = 0; // 0: a container size the equalizer does not filter
    double Offset = 0.0;
    double Low = 0.0;
    double High = 0.0;
};

// The layout for a container of that many bits: 1..8, 9..16, 24 and 32 are filtered.
TSampleLayout SampleLayoutFor(unsigned containerBits);

// n samples, `step` bytes apart, from source into doubles.
void ReadSamples(const TSampleLayout& layout, const std::uint8_t* source, std::size_t step,
                 double* target, std::size_t n);
// n results stored as samples `step` bytes apart; a NaN result is stored as silence.
void WriteSamples(const TSampleLayout& layout, const double* source, std::uint8_t* target,
                  std::size_t step, std::size_t n);
