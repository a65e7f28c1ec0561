#pragma once

// One open ALSA PCM behind the wave-handle model.
//
// Threads: the handle runs one driver thread that alone touches the PCM while it runs. It
// waits in poll() on the PCM's descriptors and on an eventfd; the controlling thread queues
// buffers under a short mutex and hands Start, Pause, Reset and Close to the driver thread as
// a command, waking it through the eventfd and waiting for its answer. Buffers come back
// through the callback on the driver thread: a capture buffer once readi has filled it whole,
// an output buffer once writei has taken all its frames into the ring. After the driver thread
// has ended (Close, or a device that failed for good) the controlling thread owns everything.
//
// The driver thread never allocates: the buffer queue grows only when a buffer is added.
//
// Waiting: the driver sleeps in poll() until a period can move (avail_min), reads what woke it
// through snd_pcm_poll_descriptors_revents, and on every wake-up either moves frames or looks at
// the stream's state. Some plugins keep their descriptors ready while nothing can move; after
// a few such wake-ups in a row the driver stops trusting them and sleeps until a period can
// move, so that no device can make it spin. A capture that delivers faster than real time (a null
// or file PCM) is paced to its rate.
//
// A device that hangs (a plugin blocked in a write) must not hang the window: the controlling
// thread waits DeviceTimeLimit for an answer and then gives the device up; the driver thread
// is left to end on its own, holding the handle's state alive, with its callback cut off.

#include "platform/sound/AlsaPcm.h"
#include "platform/sound/AlsaWaveQueue.h"
#include "platform/sound/WaveDevice.h"
#include "platform/sound/WaveFormat.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>

class TAlsaWaveHandle final : public TWaveHandle {
public:
    // Takes over an opened, configured PCM (closing it on failure) and starts its driver.
    static std::uint32_t Create(TWaveDirection direction, const TWaveFormat& format,
                                const TAlsaPcm& pcm, TWaveCallback callback,
                                std::unique_ptr<TWaveHandle>& handle);
    TAlsaWaveHandle(TWaveDirection direction, const TWaveFormat& format, const TAlsaPcm& pcm,
                    TWaveCallback callback, int wakeFd);
    ~TAlsaWaveHandle() override;
    TAlsaWaveHandle(const TAlsaWaveHandle&) = delete;
    TAlsaWaveHandle& operator=(const TAlsaWaveHandle&) = delete;

    std::uint32_t AddBuffer(TWaveHeader* header) override;
    std::uint32_t Start() override;
    std::uint32_t Pause() override;
    std::uint32_t Reset() override;
    std::uint32_t Close() override;
    std::uint32_t RingFrames() const override { return std::uint32_t(FPcm.BufferSize); }
    std::string FailureReason() const override { return FFailureReason; }
    std::string CommandDetail();

private:
    enum class TCommand { None, Start, Pause, Reset, Close };
    // What the driver does after moving what it could.
    enum class TStep {
        Progress,   // look again at once
        WaitDevice, // wait for the device or a wake-up
        Idle,       // wait for a wake-up only (nothing to move, or holding)
        Failed      // the device failed for good
    };

    // Controlling thread.
    std::uint32_t Command(TCommand command);
    std::uint32_t AfterDriverEnded(TCommand command);
    void Wake();
    void JoinDriver();

    // Driver thread (or the controlling thread once the driver has ended).
    void Run();
    std::uint32_t Execute(TCommand command);
    std::uint32_t StartCapture();
    std::uint32_t StartOutput();
    std::uint32_t PauseOutput();
    std::uint32_t ResetDevice();
    TStep TransferOutput();
    TStep TransferCapture();
    bool Resume();
    bool Recover(int error);
    std::uint32_t CommandError(int error, const char* step);
    std::uint32_t Fail(int error, const char* step);
    bool PacedAhead();
    void WaitForWork(TStep step);
    void Finish(TWaveMessage message);
    void HandBack();
    void Notify(TWaveMessage message, TWaveHeader* header);
    TWaveHeader* Head();

    const TWaveDirection FDirection;
    const TWaveFormat FFormat;
    const TWaveCallback FCallback;
    const TAlsaPcm FPcm;
    const int FWakeFd;
    std::vector<pollfd> FPollFds; // the eventfd first, then the PCM's descriptors
    std::thread FDriver; // holds a reference: a driver given up as hung outlives the handle

    std::mutex FMutex; // guards the queue, the command slot and FDriverEnded
    std::condition_variable FAnswered;
    TWaveQueue FQueue;
    TCommand FCommand = TCommand::None; // set by the controller, taken by the driver
    bool FCommandPending = false;       // until the driver has answered
    std::uint32_t FCommandResult = WaveNoError;
    std::string FCommandDetail;
    bool FDriverEnded = false;
    bool FCallbackOff = false; // a hung driver's callback is never called again
    std::mutex FNotifyMutex;   // held while the callback runs

    // Controlling thread.
    bool FClosed = false;
    bool FHung = false; // the driver did not answer in time: given up

    // Driver thread.
    std::uint32_t FOffset = 0;     // bytes of the first queued buffer already moved
    bool FActive;                  // capture: started; output: playing, not held
    bool FWritten = false;         // output: frames written since the PCM was last prepared
    unsigned FRecoveries = 0;      // recoveries in a row without a frame moved
    unsigned FEmptyWakes = 0;      // device wake-ups in a row that moved nothing
    bool FTrustDescriptors = true; // false once they woke the driver for nothing, repeatedly
    int FWaitMs = -1;              // how long the next wait may last (-1: until woken)
    std::uint32_t FFailure = WaveNoError;
    std::string FFailureReason; // written before Failed is sent, read after it
    std::string FDetail;        // why the last command failed
    // Capture: the frames read since the stream (re)started, against the clock.
    std::chrono::steady_clock::time_point FPaceStart;
    std::uint64_t FPaceFrames = 0;
};
