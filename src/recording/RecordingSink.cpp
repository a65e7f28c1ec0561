#include "recording/RecordingSink.h"

#include "recording/RecordingSamples.h"

#include <algorithm>

namespace {

TRecordingFormat RecordingFormatOf(const TWaveFormatExtensible& header) {
    return {header.nChannels, header.nSamplesPerSec, header.wBitsPerSample};
}

} // namespace

TRecordingSink::TRecordingSink() : FInputPin(this), FEndNotify([this] { EndReported(); }) {
    FInputPin.OnOperation = [this](const TOperationPtr& operation) { return Handle(operation); };
}

TRecordingSink::~TRecordingSink() {
    // The disconnect stop ends a running recording like any stop; Stop covers a sink that was
    // never connected.
    FInputPin.SetSourcePin(nullptr);
    Stop();
}

bool TRecordingSink::Handle(const TOperationPtr& operation) {
    std::unique_ptr<TRecordingWriter> ended;
    std::uint64_t generation = 0;
    {
        TWriteLockSection section(Lock());
        if (!section)
            return false;
        if (const auto* supplied = operation->As<TSuppliedBufferOperation>()) {
            if (FWriter) {
                const TAudioBuffer& buffer = supplied->Buffer();
                FWriter->Push(buffer.RawData(), buffer.DataSize());
            }
            return false;
        }
        if (const auto* start = operation->As<TStartWaveOperation>()) {
            if (FWriter && FFormat && !(start->Format() == *FFormat))
                ended = std::move(FWriter);
            FFormat = start->Format();
        } else if (operation->Is<TStopOperation>()) {
            FFormat.reset();
            ended = std::move(FWriter);
        }
        generation = FGeneration;
    }
    if (ended)
        ReportEnd(generation, Complete(std::move(ended)));
    return false;
}

bool TRecordingSink::HasStream() {
    TReadLockSection section(Lock());
    return section && FFormat.has_value();
}

bool TRecordingSink::Recording() {
    TReadLockSection section(Lock());
    return section && FWriter != nullptr;
}

std::uint64_t TRecordingSink::Dropped() {
    TReadLockSection section(Lock());
    return section && FWriter ? FWriter->Dropped() : 0;
}

std::string TRecordingSink::Start(const std::string& path, TRecordingWriter::TLimits limits) {
    const std::string noSound = "No sound is playing.";
    TWaveFormatExtensible header;
    {
        TReadLockSection section(Lock());
        if (!section || !FFormat)
            return noSound;
        if (FWriter)
            return {};
        header = *FFormat;
    }
    std::string error;
    std::unique_ptr<IRecordingFile> file = CreateFlacFile(path, RecordingFormatOf(header), error);
    if (!file)
        return error;
    auto writer =
        std::make_unique<TRecordingWriter>(std::move(file), RecordingFormatOf(header), limits);
    {
        TWriteLockSection section(Lock());
        // The stream may have ended or changed while the file was being made.
        if (section && FFormat && *FFormat == header && !FWriter) {
            const std::uint64_t generation = ++FGeneration;
            writer->OnError = [this, generation](const std::string& text) {
                ReportEnd(generation, {text, 0});
            };
            FWriter = std::move(writer);
            return {};
        }
    }
    writer->Finish();
    return noSound;
}

TRecordingResult TRecordingSink::Stop() {
    std::unique_ptr<TRecordingWriter> writer;
    std::uint64_t generation;
    {
        // A stop section: it never fails, and a buffer arriving meanwhile gives up at once.
        TStopLockSection section(Lock());
        writer = std::move(FWriter);
        generation = FGeneration;
    }
    if (!writer)
        return {};
    const TRecordingResult result = Complete(std::move(writer));
    // The caller has the result: an error the writer reported before is not told again.
    std::lock_guard lock(FEndLock);
    if (FEnd && FEnd->first == generation)
        FEnd.reset();
    return result;
}

TRecordingResult TRecordingSink::Complete(std::unique_ptr<TRecordingWriter> writer) {
    TRecordingResult result;
    result.Error = writer->Finish();
    result.Dropped = writer->Dropped();
    result.Frames = writer->Frames();
    if (result.Frames == 0 && result.Error.empty())
        result.Error = "No sound reached the recording.";
    return result;
}

void TRecordingSink::ReportEnd(std::uint64_t generation, const TRecordingResult& result) {
    {
        std::lock_guard lock(FEndLock);
        // A write error is reported before the recording is completed; its completion keeps
        // the error and adds the count.
        if (FEnd && FEnd->first == generation && !FEnd->second.Error.empty() &&
            result.Error.empty())
            FEnd->second.Dropped = result.Dropped;
        else
            FEnd.emplace(generation, result);
    }
    // Always through the event loop: the report must not run inside the pin delivery or the
    // writer thread.
    FEndNotify.Signal(true);
}

void TRecordingSink::EndReported() {
    std::optional<std::pair<std::uint64_t, TRecordingResult>> end;
    {
        std::lock_guard lock(FEndLock);
        end.swap(FEnd);
    }
    if (!end)
        return;
    TRecordingResult result = end->second;
    {
        TReadLockSection section(Lock());
        if (!section || end->first != FGeneration)
            return; // a recording the user has stopped and replaced since
    }
    // A recording whose file failed is still running here: complete its file now.
    const TRecordingResult completed = Stop();
    result.Dropped = std::max(result.Dropped, completed.Dropped);
    result.Frames = std::max(result.Frames, completed.Frames);
    if (result.Error.empty())
        result.Error = completed.Error;
    if (OnEnded)
        OnEnded(result);
}
