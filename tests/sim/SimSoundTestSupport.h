#pragma once

// Shared by the tests of the virtual sound devices: formats and their 40-byte headers,
// sample decoding, buffers, a callback log and the command-line sound tools.

#include "platform/sound/WaveDevice.h"
#include "platform/sound/WaveFormat.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

inline TWaveFormat MakeFormat(unsigned channels, std::uint32_t rate, unsigned bits,
                              unsigned validBits = 0) {
    TWaveFormat format;
    format.Channels = channels;
    format.SampleRate = rate;
    format.ContainerBits = bits;
    format.ValidBits = validBits ? validBits : bits;
    format.BlockAlign = channels * bits / 8;
    format.ChannelMask = (1u << channels) - 1;
    return format;
}

// The header the audio framework would open a device with.
inline std::array<std::uint8_t, 40> HeaderOf(const TWaveFormat& format) {
    std::array<std::uint8_t, 40> header{};
    auto put = [&](int at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            header[std::size_t(at + i)] = std::uint8_t(value >> (8 * i));
    };
    put(0, 0xFFFE, 2);
    put(2, format.Channels, 2);
    put(4, format.SampleRate, 4);
    put(8, format.SampleRate * format.BlockAlign, 4);
    put(12, format.BlockAlign, 2);
    put(14, format.ContainerBits, 2);
    put(16, 22, 2);
    put(18, format.ValidBits, 2);
    put(20, format.ChannelMask, 4);
    const std::uint8_t pcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                  0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    std::memcpy(header.data() + 24, pcm, 16);
    return header;
}

// Sample (frame, channel) as a fraction of full scale.
inline double SampleAt(const TWaveFormat& format, const std::uint8_t* data, std::size_t frame,
                       unsigned channel) {
    const unsigned bytes = format.ContainerBits / 8;
    const std::uint8_t* at = data + frame * format.BlockAlign + channel * bytes;
    std::int64_t value = 0;
    for (unsigned i = 0; i < bytes; ++i)
        value |= std::int64_t(at[i]) << (8 * i);
    if (bytes == 1)
        value -= 128;
    else if (value & (std::int64_t(1) << (format.ContainerBits - 1)))
        value -= std::int64_t(1) << format.ContainerBits;
    return double(value) / double((1ull << (format.ContainerBits - 1)) - 1);
}

// Buffers whose headers stay where they are while a device holds them.
struct TTestBuffers {
    TTestBuffers(std::size_t count, std::size_t bytes, std::uint8_t fill = 0xA5)
        : Data(count, std::vector<std::uint8_t>(bytes, fill)), Headers(count) {
        for (std::size_t i = 0; i < count; ++i) {
            Headers[i].Data = Data[i].data();
            Headers[i].BufferLength = std::uint32_t(bytes);
            Headers[i].User = reinterpret_cast<void*>(i);
        }
    }
    std::vector<std::vector<std::uint8_t>> Data;
    std::vector<TWaveHeader> Headers;
};

// Every callback a device makes, with its time.
class TCallbackLog {
public:
    struct TEntry {
        TWaveMessage Message;
        TWaveHeader* Header;
        std::uint32_t BytesRecorded;
        std::chrono::steady_clock::time_point Time;
    };

    TWaveCallback Callback() {
        return [this](TWaveMessage message, TWaveHeader* header) {
            std::lock_guard lock(FLock);
            FEntries.push_back({message, header, header ? header->BytesRecorded : 0,
                                std::chrono::steady_clock::now()});
            FChanged.notify_all();
        };
    }
    bool WaitFor(std::size_t count, int timeoutMs = 3000) {
        std::unique_lock lock(FLock);
        return FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return FEntries.size() >= count; });
    }
    std::vector<TEntry> Entries() {
        std::lock_guard lock(FLock);
        return FEntries;
    }
    std::size_t Count() {
        std::lock_guard lock(FLock);
        return FEntries.size();
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<TEntry> FEntries;
};

// A command's standard output, and whether it ended with status 0.
inline bool RunCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return false;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, got);
    return ::pclose(pipe) == 0;
}

inline bool HaveTool(const std::string& tool) {
    std::string ignored;
    return RunCommand("command -v " + tool, ignored);
}
