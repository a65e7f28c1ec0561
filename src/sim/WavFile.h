#pragma once

// The virtual line-out's recording: a RIFF/WAVE file of what it played, in the stream's own
// format (plain PCM for up to 16 bits and two channels, otherwise the extensible format with
// the stream's channel mask). The samples are stored as they were played; a stream with fewer
// valid bits than its container has the bits below them zero, and the file calls the whole
// container valid, which reads back the same values and which every reader accepts.
//
// Policy: the first stream decides the file's format; a later stream in the same format is
// appended to what is there; a stream in another format starts the file again, since one WAV
// file holds one format. The header's sizes are brought up to date after every write, so the
// file can be read while it is being written, and the file is complete after every stream's
// end. A write that fails is remembered, and nothing more is written to the file: the
// recording stops, the sound goes on. A file cannot hold more than 4 GiB; the recording stops
// there the same way.
//
// Threads: every call takes the file's own lock; one stream writes at a time.

#include "platform/sound/WaveFormat.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// The header for a format and a data size, up to the data chunk's first byte.
std::vector<std::uint8_t> WavHeader(const TWaveFormat& format, std::uint32_t dataBytes);

// Creates the file or empties it: "" when it can be written, else a sentence for the user.
std::string PrepareWavFile(const std::string& path);

inline constexpr std::uint64_t WavMaxDataBytes = 0xFFFFFFFFull - 80; // RIFF sizes are 32-bit

class TWavFile {
public:
    explicit TWavFile(std::string path, std::uint64_t maxDataBytes = WavMaxDataBytes);
    ~TWavFile();
    TWavFile(const TWavFile&) = delete;
    TWavFile& operator=(const TWavFile&) = delete;

    void BeginStream(const TWaveFormat& format);
    void Write(const std::uint8_t* data, std::size_t bytes);
    void EndStream(); // the header is final; the file is closed

    std::string Error() const; // why the recording stopped, "" while it goes on

private:
    bool OpenFile(bool restart);
    bool UpdateSizes();
    void Fail(const std::string& what);
    void CloseFile();

    const std::string FPath;
    const std::uint64_t FMaxDataBytes;
    mutable std::mutex FLock;
    int FFile = -1;
    bool FHasFormat = false;
    TWaveFormat FFormat;
    std::size_t FHeaderBytes = 0;
    std::uint64_t FDataBytes = 0;
    std::string FError;
};
