#pragma once

// The few facts about FLAC bytes the recorder needs to cut a file back to its last whole frame:
// where a frame starts and how many samples it holds, and the stream header's length field.
// Pure.

#include <cstddef>
#include <cstdint>

// "fLaC", the STREAMINFO block's header and the block: the start of every FLAC stream.
constexpr std::size_t FlacStreamHeadBytes = 4 + 4 + 34;

// The samples per channel of the frame whose header starts `bytes` (sync code, no reserved
// values, a matching CRC-8); 0 when they do not start with a whole frame header.
std::uint32_t FlacFrameSamples(const std::uint8_t* bytes, std::size_t size);

// In a stream's first FlacStreamHeadBytes, sets the STREAMINFO's length to `samples` per
// channel and clears its MD5 signature, which covered sound the file no longer holds (a zero
// signature means "not known"); false, changing nothing, when the bytes are not a stream head.
bool SetFlacStreamLength(std::uint8_t* head, std::uint64_t samples);
