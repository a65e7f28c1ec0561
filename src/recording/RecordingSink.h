#pragma once

// The recorder's place in the stream: a sink fed with what the output plays (after the volume
// and the equalizer). While a recording runs, every buffer that arrives goes to a
// TRecordingWriter, which writes it to a FLAC file on its own thread.
//
// A recording belongs to one stream: the stream's stop, or a start in another format, ends
// the file, and the next stream does not start a new one by itself (the user starts it again);
// so one file always holds one format, and a file is complete when its stream ends.
//
// Threads: Start, Stop and the end report run on the GUI thread; buffers arrive on the
// equalizer's thread, start and stop operations on the GUI thread. The stream format and the
// writer are guarded by the component lock, which a buffer holds only for the copy into a
// writer slot; opening and completing files happen outside it.

#include "audio/AudioComponent.h"
#include "audio/MainThreadNotify.h"
#include "audio/Pins.h"
#include "recording/RecordingWriter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

struct TRecordingResult {
    // Why the file is incomplete, the recording ended early or no file is left; "" if fine.
    std::string Error;
    std::uint64_t Dropped = 0; // buffers the disk could not keep up with
    // Sound frames the file holds; 0 when the recording never started: no sound reached the
    // file before it ended, or the disk took none (Error says which), and no file is left.
    std::uint64_t Frames = 0;
};

class TRecordingSink : public TAudioComponent {
public:
    TRecordingSink();
    ~TRecordingSink() override;

    std::string ClassName() const override { return "TRecordingSink"; }
    TAudioSinkPin& InputPin() { return FInputPin; }

    // A stream is running (it started and has not stopped).
    bool HasStream();
    // Starts a recording of the running stream into a new FLAC file at path: "" on success,
    // else the reason. limits: the writer's queue (tests make it small).
    std::string Start(const std::string& path,
                      TRecordingWriter::TLimits limits = TRecordingWriter::TLimits{});
    // Ends the recording and completes its file; nothing to do gives an empty result.
    TRecordingResult Stop();
    bool Recording();
    // Buffers dropped so far in the running recording.
    std::uint64_t Dropped();

    // On the GUI thread, after a recording ended without Stop: its stream ended or changed
    // format (no error), or its file could not be written (the error).
    std::function<void(const TRecordingResult& result)> OnEnded;

private:
    bool Handle(const TOperationPtr& operation);
    TRecordingResult Complete(std::unique_ptr<TRecordingWriter> writer);
    void ReportEnd(std::uint64_t generation, const TRecordingResult& result);
    void EndReported();

    TAudioSinkPin FInputPin;
    std::optional<TWaveFormatExtensible> FFormat; // the running stream's; under the lock
    std::unique_ptr<TRecordingWriter> FWriter;    // under the lock
    std::uint64_t FGeneration = 0;                // counts recordings; under the lock

    // An end waiting for the GUI thread: the recording it belongs to and its result.
    std::mutex FEndLock;
    std::optional<std::pair<std::uint64_t, TRecordingResult>> FEnd;
    TMainThreadNotify FEndNotify;
};
