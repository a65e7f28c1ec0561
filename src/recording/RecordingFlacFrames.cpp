#include "recording/RecordingFlacFrames.h"

#include <algorithm>
#include <cstring>

namespace {

// CRC-8 of frame headers: polynomial x^8 + x^2 + x + 1, starting at 0.
std::uint8_t Crc8(const std::uint8_t* bytes, std::size_t size) {
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = std::uint8_t((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

// Bytes of the frame or sample number, coded like UTF-8 (up to 7 bytes); 0 when invalid.
std::size_t CodedNumberBytes(std::uint8_t first) {
    if ((first & 0x80) == 0)
        return 1;
    if (first == 0xFE)
        return 7;
    std::size_t count = 0;
    while (first & (0x80 >> count))
        ++count;
    return count >= 2 && count <= 6 ? count : 0;
}

} // namespace

std::uint32_t FlacFrameSamples(const std::uint8_t* bytes, std::size_t size) {
    if (size < 6 || bytes[0] != 0xFF || (bytes[1] & 0xFE) != 0xF8)
        return 0;
    const unsigned blockCode = bytes[2] >> 4;
    const unsigned rateCode = bytes[2] & 0x0F;
    const unsigned channels = bytes[3] >> 4;
    const unsigned sampleSize = (bytes[3] >> 1) & 0x07;
    if (blockCode == 0 || rateCode == 0x0F || channels > 10 || sampleSize == 3 ||
        (bytes[3] & 1) != 0)
        return 0;
    std::size_t at = 4;
    const std::size_t coded = CodedNumberBytes(bytes[at]);
    if (coded == 0 || at + coded > size)
        return 0;
    for (std::size_t i = 1; i < coded; ++i)
        if ((bytes[at + i] & 0xC0) != 0x80)
            return 0;
    at += coded;
    const std::size_t blockBytes = blockCode == 6 ? 1 : blockCode == 7 ? 2 : 0;
    const std::size_t rateBytes = rateCode == 12 ? 1 : rateCode >= 13 ? 2 : 0;
    if (at + blockBytes + rateBytes + 1 > size)
        return 0;
    std::uint32_t samples;
    if (blockCode == 1)
        samples = 192;
    else if (blockCode <= 5)
        samples = 576u << (blockCode - 2);
    else if (blockCode == 6)
        samples = bytes[at] + 1u;
    else if (blockCode == 7)
        samples = ((std::uint32_t(bytes[at]) << 8) | bytes[at + 1]) + 1u;
    else
        samples = 256u << (blockCode - 8);
    at += blockBytes + rateBytes;
    return Crc8(bytes, at) == bytes[at] ? samples : 0;
}

bool SetFlacStreamLength(std::uint8_t* head, std::uint64_t samples) {
    // The STREAMINFO block comes first: type 0, 34 bytes long.
    if (std::memcmp(head, "fLaC", 4) != 0 || (head[4] & 0x7F) != 0 || head[5] != 0 ||
        head[6] != 0 || head[7] != 34)
        return false;
    std::uint8_t* info = head + 8;
    // 36 bits from the low half of byte 13 on; the MD5 signature is bytes 18 to 33.
    info[13] = std::uint8_t((info[13] & 0xF0) | ((samples >> 32) & 0x0F));
    for (int i = 0; i < 4; ++i)
        info[14 + i] = std::uint8_t(samples >> (24 - 8 * i));
    std::fill(info + 18, info + 34, std::uint8_t(0));
    return true;
}
