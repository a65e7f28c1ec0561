#pragma once

// Stream samples as the FLAC file takes them. FLAC holds signed integers of up to 24 bits:
// 8-bit containers (unsigned, 128 = silence) become signed 8-bit samples, 16 and 24 stay as
// they are, and 32-bit containers keep their upper 24 bits (the lowest byte is dropped, rounding
// towards minus infinity, so that full scale never overflows). Pure.

#include <cstddef>
#include <cstdint>

// The bits per sample of the file for a stream's container bits (8, 16, 24, 24); 0 for a
// container the file cannot take.
unsigned FlacBitsFor(unsigned containerBits);

// count samples of the container size from source into target, each as the file's sample
// value (in the range of FlacBitsFor bits).
void ConvertToFlacSamples(const std::uint8_t* source, std::size_t count, unsigned containerBits,
                          std::int32_t* target);
