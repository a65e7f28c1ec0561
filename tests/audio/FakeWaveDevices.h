#pragma once

// A scripted wave-device system for the device components' tests. It records every call
// (with the calling thread), can fail any call with a chosen code, lists named devices, and
// lets the test play the driver: buffers come back, an underrun or a failure is reported, each
// on the handle's own driver thread as a real device would.

#include "audio/AudioFormat.h"
#include "platform/sound/WaveDevice.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TFakeCall {
    std::string Name; // open, add, start, pause, reset, close
    std::thread::id Thread;
    int Id = 0;                     // open: the device identifier
    TWaveFormatExtensible Format{}; // open: the header
    std::int16_t First = 0;         // add: the first 16-bit sample of the buffer
};

class TFakeWaveSystem;

class TFakeWaveHandle : public TWaveHandle {
public:
    TFakeWaveHandle(TFakeWaveSystem& system, TWaveCallback callback, bool capture);
    ~TFakeWaveHandle() override;

    std::uint32_t AddBuffer(TWaveHeader* header) override;
    std::uint32_t Start() override;
    std::uint32_t Pause() override;
    std::uint32_t Reset() override;
    std::uint32_t Close() override;

    // Driver side. Hands back the oldest `count` buffers held (capture: each byte i of a buffer
    // set to fill(i), and BytesRecorded whole, or half when whole is false). Waits until the
    // callbacks have been made.
    void Complete(std::size_t count, const std::function<std::uint8_t(std::size_t)>& fill = {},
                  bool whole = true);
    void Underrun();
    // The device fails for good: the message carries code, the driver thread ends.
    void Fail(std::uint32_t code);
    std::size_t Held() const;

private:
    void RunOnDriver(std::function<void()> job);
    void DriverLoop();
    void HandBack(std::size_t count, const std::function<std::uint8_t(std::size_t)>& fill,
                  bool whole);

    TFakeWaveSystem& FSystem;
    TWaveCallback FCallback;
    bool FCapture;
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<TWaveHeader*> FHeld;
    std::deque<std::function<void()>> FJobs;
    unsigned FJobsDone = 0, FJobsPosted = 0;
    bool FEnd = false, FDead = false, FClosed = false;
    std::thread FDriver;
};

class TFakeWaveSystem : public TWaveDeviceSystem {
public:
    std::vector<std::string> InputNames{"USB Audio", "Line In", "Tuner"};
    std::vector<std::string> OutputNames{"Speakers", "Headphones"};
    // Devices whose names cannot be read, and the code they answer.
    std::map<int, std::uint32_t> NameFailures;
    // Reset hands back capture buffers whole (a driver that had filled them) instead of half.
    bool ResetReturnsWhole = false;

    // Fails every later call of that name ("open", "add", "start", "pause", "reset", "close")
    // with code; 0 lets them succeed again.
    void Fail(const std::string& call, std::uint32_t code) {
        std::lock_guard guard(FLock);
        FFailures[call] = code;
    }

    std::vector<TFakeCall> Calls() const {
        std::lock_guard guard(FLock);
        return FCalls;
    }
    std::vector<std::string> CallNames() const {
        std::vector<std::string> names;
        for (const TFakeCall& call : Calls())
            names.push_back(call.Name);
        return names;
    }
    int Count(const std::string& name) const {
        const auto names = CallNames();
        return int(std::count(names.begin(), names.end(), name));
    }
    std::vector<std::int16_t> Added() const {
        std::vector<std::int16_t> firsts;
        for (const TFakeCall& call : Calls())
            if (call.Name == "add")
                firsts.push_back(call.First);
        return firsts;
    }
    void ClearCalls() {
        std::lock_guard guard(FLock);
        FCalls.clear();
    }
    // The handle opened last, while it exists.
    TFakeWaveHandle* Handle() const {
        std::lock_guard guard(FLock);
        return FHandles.empty() ? nullptr : FHandles.back();
    }

    int DeviceCount(TWaveDirection direction) override { return int(Names(direction).size()); }
    std::uint32_t DeviceName(TWaveDirection direction, int id, std::string& name) override {
        if (auto it = NameFailures.find(id); it != NameFailures.end())
            return it->second;
        const auto& names = Names(direction);
        if (id < 0 || id >= int(names.size()))
            return WaveErrorBadDeviceId;
        name = names[std::size_t(id)];
        return WaveNoError;
    }
    std::uint32_t Open(TWaveDirection direction, int id, const std::uint8_t* header,
                       TWaveCallback callback, std::unique_ptr<TWaveHandle>& handle) override {
        TFakeCall call{"open", std::this_thread::get_id(), id, {}, 0};
        std::memcpy(&call.Format, header, sizeof call.Format);
        if (const std::uint32_t code = Record(call))
            return code;
        handle = std::make_unique<TFakeWaveHandle>(*this, std::move(callback),
                                                   direction == TWaveDirection::Input);
        return WaveNoError;
    }

    // For the handles.
    std::uint32_t Record(const TFakeCall& call) {
        std::lock_guard guard(FLock);
        FCalls.push_back(call);
        auto it = FFailures.find(call.Name);
        if (it == FFailures.end() || it->second == WaveNoError)
            return WaveNoError;
        // As a real system, it says why, on the calling thread.
        SetWaveErrorDetail("the test refuses " + call.Name);
        return it->second;
    }
    std::uint32_t Record(const std::string& name) {
        return Record(TFakeCall{name, std::this_thread::get_id()});
    }
    void Register(TFakeWaveHandle* handle) {
        std::lock_guard guard(FLock);
        FHandles.push_back(handle);
    }
    void Unregister(TFakeWaveHandle* handle) {
        std::lock_guard guard(FLock);
        std::erase(FHandles, handle);
    }

private:
    const std::vector<std::string>& Names(TWaveDirection direction) const {
        return direction == TWaveDirection::Input ? InputNames : OutputNames;
    }

    mutable std::mutex FLock;
    std::vector<TFakeCall> FCalls;
    std::map<std::string, std::uint32_t> FFailures;
    std::vector<TFakeWaveHandle*> FHandles;
};

inline TFakeWaveHandle::TFakeWaveHandle(TFakeWaveSystem& system, TWaveCallback callback,
                                        bool capture)
    : FSystem(system), FCallback(std::move(callback)), FCapture(capture) {
    FDriver = std::thread([this] { DriverLoop(); });
    FSystem.Register(this);
}

inline TFakeWaveHandle::~TFakeWaveHandle() {
    FSystem.Unregister(this);
    {
        std::lock_guard guard(FLock);
        FEnd = true;
        FChanged.notify_all();
    }
    if (FDriver.joinable())
        FDriver.join();
}

inline std::uint32_t TFakeWaveHandle::AddBuffer(TWaveHeader* header) {
    TFakeCall call{"add", std::this_thread::get_id()};
    if (header->BufferLength >= 2)
        std::memcpy(&call.First, header->Data, 2);
    if (const std::uint32_t code = FSystem.Record(call))
        return code;
    std::lock_guard guard(FLock);
    if (FClosed)
        return WaveErrorInvalidHandle;
    FHeld.push_back(header);
    return WaveNoError;
}

inline std::uint32_t TFakeWaveHandle::Start() {
    return FSystem.Record("start");
}

inline std::uint32_t TFakeWaveHandle::Pause() {
    return FSystem.Record("pause");
}

inline std::uint32_t TFakeWaveHandle::Reset() {
    if (const std::uint32_t code = FSystem.Record("reset"))
        return code;
    {
        std::lock_guard guard(FLock);
        if (FDead)
            return WaveErrorNoDriver;
    }
    const bool whole = FSystem.ResetReturnsWhole;
    RunOnDriver([this, whole] { HandBack(std::size_t(-1), {}, whole); });
    return WaveNoError;
}

inline std::uint32_t TFakeWaveHandle::Close() {
    const std::uint32_t code = FSystem.Record("close");
    std::lock_guard guard(FLock);
    FClosed = true;
    FEnd = true;
    FChanged.notify_all();
    return code;
}

inline void TFakeWaveHandle::Complete(std::size_t count,
                                      const std::function<std::uint8_t(std::size_t)>& fill,
                                      bool whole) {
    RunOnDriver([this, count, fill, whole] { HandBack(count, fill, whole); });
}

inline void TFakeWaveHandle::Underrun() {
    RunOnDriver([this] { FCallback(TWaveMessage::Underrun, nullptr); });
}

inline void TFakeWaveHandle::Fail(std::uint32_t code) {
    RunOnDriver([this, code] {
        TWaveHeader failure;
        failure.BytesRecorded = code;
        FCallback(TWaveMessage::Failed, &failure);
        std::lock_guard guard(FLock);
        FDead = true;
    });
}

inline std::size_t TFakeWaveHandle::Held() const {
    std::lock_guard guard(FLock);
    return FHeld.size();
}

inline void TFakeWaveHandle::HandBack(std::size_t count,
                                      const std::function<std::uint8_t(std::size_t)>& fill,
                                      bool whole) {
    for (std::size_t i = 0; i < count; ++i) {
        TWaveHeader* header;
        {
            std::lock_guard guard(FLock);
            if (FHeld.empty() || FDead)
                return;
            header = FHeld.front();
            FHeld.pop_front();
        }
        if (FCapture) {
            if (fill)
                for (std::size_t b = 0; b < header->BufferLength; ++b)
                    header->Data[b] = fill(b);
            header->BytesRecorded = whole ? header->BufferLength : header->BufferLength / 2;
        }
        FCallback(FCapture ? TWaveMessage::Data : TWaveMessage::Done, header);
    }
}

inline void TFakeWaveHandle::RunOnDriver(std::function<void()> job) {
    std::unique_lock guard(FLock);
    if (FEnd)
        return;
    FJobs.push_back(std::move(job));
    const unsigned ticket = ++FJobsPosted;
    FChanged.notify_all();
    FChanged.wait(guard, [&] { return FJobsDone >= ticket || FEnd; });
}

inline void TFakeWaveHandle::DriverLoop() {
    std::unique_lock guard(FLock);
    for (;;) {
        FChanged.wait(guard, [this] { return FEnd || !FJobs.empty(); });
        if (FJobs.empty())
            return;
        auto job = std::move(FJobs.front());
        FJobs.pop_front();
        guard.unlock();
        job();
        guard.lock();
        ++FJobsDone;
        FChanged.notify_all();
    }
}
