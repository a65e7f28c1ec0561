#pragma once

// Stand-ins around a device component: a sink that records what a capture sends and a source
// that feeds an output as the equalizer would.

#include "audio/AudioComponent.h"
#include "audio/Pins.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

class TStreamRecorder : public TAudioComponent {
public:
    struct TEntry {
        std::string Kind; // pump, start, stop, endstop, buffer, other
        TWaveFormatExtensible Format{};
        TAudioBuffer Buffer;
    };

    TStreamRecorder() {
        Input.OnOperation = [this](const TOperationPtr& operation) { return Record(operation); };
    }
    ~TStreamRecorder() override { Input.SetSourcePin(nullptr); }

    TAudioSinkPin Input{this};

    std::vector<std::string> Kinds() const {
        std::lock_guard guard(FLock);
        std::vector<std::string> kinds;
        for (const TEntry& entry : FEntries)
            kinds.push_back(entry.Kind);
        return kinds;
    }
    std::size_t Count(const std::string& kind) const {
        std::lock_guard guard(FLock);
        std::size_t count = 0;
        for (const TEntry& entry : FEntries)
            count += entry.Kind == kind;
        return count;
    }
    // A copy of entry i's format and a shared view of its buffer.
    TEntry Entry(std::size_t i) const {
        std::lock_guard guard(FLock);
        const TEntry& entry = FEntries.at(i);
        return {entry.Kind, entry.Format, entry.Buffer.CreateShared()};
    }
    std::size_t Size() const {
        std::lock_guard guard(FLock);
        return FEntries.size();
    }

private:
    bool Record(const TOperationPtr& operation) {
        TEntry entry{"other"};
        if (const auto* start = operation->As<TStartWaveOperation>()) {
            entry.Kind = "start";
            entry.Format = start->Format();
        } else if (operation->Is<TEndStopOperation>()) {
            entry.Kind = "endstop";
        } else if (operation->Is<TStopOperation>()) {
            entry.Kind = "stop";
        } else if (const auto* supplied = operation->As<TSuppliedBufferOperation>()) {
            entry.Kind = "buffer";
            entry.Buffer = supplied->Buffer().CreateShared();
        } else if (operation->Is<TPumpRequestOperation>()) {
            entry.Kind = "pump";
        }
        std::lock_guard guard(FLock);
        FEntries.push_back(std::move(entry));
        return false;
    }

    mutable std::mutex FLock;
    std::vector<TEntry> FEntries;
};

class TStreamFeeder : public TAudioComponent {
public:
    ~TStreamFeeder() override { Output.DisconnectAll(); }
    TAudioSourcePin Output{this};

    void StartWave(const TWaveFormatExtensible& format) {
        Output.Notify(std::make_shared<TStartWaveOperation>(format));
    }
    void Stop() { Output.SendEndStop(); }
    // A 16-bit buffer whose samples all hold `first` (so the device's record names it).
    void Send(std::int16_t first, std::uint32_t frames = 1024, std::uint32_t rate = 48000) {
        TAudioBuffer buffer = TAudioBuffer::Create(rate, 0, frames, 2, 16);
        std::uint8_t* data = buffer.OverwriteData();
        for (std::uint32_t i = 0; i < frames * 2; ++i)
            std::memcpy(data + i * 2, &first, 2);
        Output.SendBuffer(buffer);
    }
};
