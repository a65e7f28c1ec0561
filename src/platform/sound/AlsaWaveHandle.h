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

#include "platform/sound/AlsaPcm.h"
#include "platform/sound/AlsaWaveQueue.h"
#include "platform/sound/WaveDevice.h"
#include "platform/sound/WaveFormat.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <poll.h>
#include <thread>
#include <vector>

class TAlsaWaveHandle final : public TWaveHandle {
public:
    // Takes over an opened, configured PCM (closing it on failure) and starts its driver.
    static std::uint32_t Create(TWaveDirection direction, const TWaveFormat& format,
                                const TAlsaPcm& pcm, TWaveCallback callback,
                                std::unique_ptr<TWaveHandle>& handle);
    ~TAlsaWaveHandle() override;
    TAlsaWaveHandle(const TAlsaWaveHandle&) = delete;
    TAlsaWaveHandle& operator=(const TAlsaWaveHandle&) = delete;

    std::uint32_t AddBuffer(TWaveHeader* header) override;
    std::uint32_t Start() override;
    std::uint32_t Pause() override;
    std::uint32_t Reset() override;
    std::uint32_t Close() override;

private:
    enum class TCommand { None, Start, Pause, Reset, Close };
    // What the driver does after moving what it could.
    enum class TStep {
        Progress,   // look again at once
        WaitDevice, // wait for the device or a wake-up
        Idle,       // wait for a wake-up only (nothing to move, or holding)
        Failed      // the device failed for good
    };

    TAlsaWaveHandle(TWaveDirection direction, const TWaveFormat& format, const TAlsaPcm& pcm,
                    TWaveCallback callback, int wakeFd);

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
    std::uint32_t CommandError(int error);
    std::uint32_t Fail(int error);
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
    std::thread FDriver;

    std::mutex FMutex; // guards the queue, the command slot and FDriverEnded
    std::condition_variable FAnswered;
    TWaveQueue FQueue;
    TCommand FCommand = TCommand::None; // set by the controller, taken by the driver
    bool FCommandPending = false;       // until the driver has answered
    std::uint32_t FCommandResult = WaveNoError;
    bool FDriverEnded = false;

    // Controlling thread.
    bool FClosed = false;

    // Driver thread.
    std::uint32_t FOffset = 0; // bytes of the first queued buffer already moved
    bool FActive;              // capture: started; output: playing, not held
    bool FWritten = false;     // output: frames written since the PCM was last prepared
    unsigned FRecoveries = 0;  // recoveries in a row without a frame moved
    std::uint32_t FFailure = WaveNoError;
};
