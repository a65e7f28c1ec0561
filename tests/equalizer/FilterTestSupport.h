#pragma once

// Stand-ins for the components around a filter: a source that sends like a capture component
// and a sink that records like an output, plus a filter whose processing is visible.

#include "audio/AudioComponent.h"
#include "audio/Pins.h"
#include "equalizer/CommonFilter.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TTestSource : public TAudioComponent {
public:
    TAudioSourcePin Output{this};
    ~TTestSource() override { Output.DisconnectAll(); }

    void Start(std::uint32_t rate = 44100, unsigned channels = 2, unsigned bits = 16) {
        Output.Notify(
            std::make_shared<TStartWaveOperation>(MakeWaveFormat(channels, bits, rate, 0)));
    }
};

// 16-bit samples first, first + 1, ... (wrapping).
inline TAudioBuffer MakeBuffer(std::uint32_t frames, std::int16_t first = 1,
                               std::uint32_t rate = 44100, unsigned channels = 2) {
    TAudioBuffer buffer = TAudioBuffer::Create(rate, 0, frames, channels, 16);
    std::uint8_t* data = buffer.OverwriteData();
    for (std::uint32_t i = 0; i < frames * channels; ++i) {
        const std::int16_t value = std::int16_t(first + std::int16_t(i));
        std::memcpy(data + i * 2, &value, 2);
    }
    return buffer;
}

inline std::int16_t Sample16(const TAudioBuffer& buffer, std::size_t index) {
    std::int16_t value;
    std::memcpy(&value, buffer.RawData() + index * 2, 2);
    return value;
}

class TTestSink : public TAudioComponent {
public:
    TAudioSinkPin Input{this};

    struct TEntry {
        std::string Kind;
        TAudioBuffer Buffer;
        std::thread::id Thread;
    };

    TTestSink() {
        Input.OnOperation = [this](const TOperationPtr& operation) { return Record(operation); };
    }
    ~TTestSink() override {
        Open();
        Input.SetSourcePin(nullptr);
    }

    // While closed, the first buffer that arrives blocks its thread until Open().
    void Close() {
        std::lock_guard guard(FLock);
        FClosed = true;
    }
    void Open() {
        std::lock_guard guard(FLock);
        FClosed = false;
        FChanged.notify_all();
    }
    void WaitUntilBlocked() {
        std::unique_lock guard(FLock);
        FChanged.wait(guard, [this] { return FBlocked; });
    }
    bool WaitForEntries(std::size_t count, int timeoutMs = 5000) {
        std::unique_lock guard(FLock);
        return FChanged.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                 [&] { return FEntries.size() >= count; });
    }
    std::vector<std::string> Kinds() const {
        std::lock_guard guard(FLock);
        std::vector<std::string> kinds;
        for (const TEntry& entry : FEntries)
            kinds.push_back(entry.Kind);
        return kinds;
    }
    std::size_t Count() const {
        std::lock_guard guard(FLock);
        return FEntries.size();
    }
    // The entries themselves; read only once the stream is quiet.
    const std::vector<TEntry>& Entries() const { return FEntries; }
    std::vector<const TAudioBuffer*> Buffers() const {
        std::vector<const TAudioBuffer*> buffers;
        for (const TEntry& entry : FEntries)
            if (!entry.Buffer.Empty())
                buffers.push_back(&entry.Buffer);
        return buffers;
    }

private:
    bool Record(const TOperationPtr& operation) {
        std::unique_lock guard(FLock);
        TEntry entry{"other", {}, std::this_thread::get_id()};
        if (operation->Is<TStartWaveOperation>())
            entry.Kind = "start";
        else if (operation->Is<TStopOperation>())
            entry.Kind = "stop";
        else if (const auto* supplied = operation->As<TSuppliedBufferOperation>()) {
            entry.Kind = "buffer";
            entry.Buffer = supplied->Buffer().CreateShared();
        } else if (operation->Is<TPumpRequestOperation>())
            entry.Kind = "pump";
        FEntries.push_back(std::move(entry));
        FChanged.notify_all();
        if (FClosed && FEntries.back().Kind == "buffer") {
            FBlocked = true;
            FChanged.notify_all();
            FChanged.wait(guard, [this] { return !FClosed; });
            FBlocked = false;
        }
        return true;
    }

    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<TEntry> FEntries;
    bool FClosed = false;
    bool FBlocked = false;
};

// Negates every sample, so that processed buffers are told apart from passed ones.
class TNegatingFilter : public TCommonFilter {
public:
    ~TNegatingFilter() override { Shutdown(); }
    std::atomic<int> Calls{0};
    std::atomic<int> Starts{0};
    std::atomic<int> Stops{0};

protected:
    void StartWave(const TStartWaveOperation& start) override {
        TCommonFilter::StartWave(start);
        ++Starts;
    }
    void StopProcessing() override {
        TCommonFilter::StopProcessing();
        ++Stops;
    }
    void ProcessBuffer(TAudioBuffer& input, TAudioBuffer& output, bool& send) override {
        ++Calls;
        auto* data = input.WritableData();
        const std::size_t samples = std::size_t(input.FrameCount()) * input.Channels();
        for (std::size_t i = 0; i < samples; ++i) {
            std::int16_t value;
            std::memcpy(&value, data + i * 2, 2);
            value = std::int16_t(-value);
            std::memcpy(data + i * 2, &value, 2);
        }
        output.Assign(input);
        (void)send;
    }
};
