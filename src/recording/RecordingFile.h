#pragma once

// The file a recording is written to: FLAC through libsndfile, at the stream's rate and
// channels, with the sample size of RecordingSamples.h. Errors are sentences for the user.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct TRecordingFormat {
    unsigned Channels = 2;
    unsigned SampleRate = 44100;
    unsigned ContainerBits = 16; // of the stream's samples
    bool operator==(const TRecordingFormat&) const = default;
};

// Where the writer puts the frames; one thread at a time.
class IRecordingFile {
public:
    virtual ~IRecordingFile() = default;
    // frames x channels samples in the file's own range (ConvertToFlacSamples); "" or the
    // reason the file cannot take them.
    virtual std::string Write(const std::int32_t* samples, std::size_t frames) = 0;
    // Completes the file; "" or the reason it is not complete.
    virtual std::string Close() = 0;
    // The sound frames the file holds once Close has completed it; a file left with none is
    // removed.
    virtual std::uint64_t Frames() const = 0;
};

// Creates the folder and its parents: "" when it is there to write in, else why not.
std::string PrepareRecordingFolder(const std::string& folder);

// A new FLAC file (an existing one is replaced); nullptr with error set when it cannot be made.
// A write the disk refuses (a full disk, a file-size limit) ends it at its last whole frame,
// still a valid FLAC file, and the error names the system's reason.
std::unique_ptr<IRecordingFile> CreateFlacFile(const std::string& path,
                                               const TRecordingFormat& format, std::string& error);
