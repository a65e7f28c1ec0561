#include "platform/sound/AlsaWaveHandle.h"

#include "platform/sound/AlsaErrors.h"

#include <algorithm>
#include <cerrno>
#include <pthread.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace {

// A device that keeps failing right after each recovery is broken, not busy.
constexpr unsigned MaxRecoveriesInARow = 8;
// Device wake-ups in a row that move nothing before the driver stops trusting the descriptors.
constexpr unsigned TrustedEmptyWakes = 2;
// How far a capture may run ahead of the clock, beyond its ring, before it is held back: a
// real device cannot deliver sound before it was recorded, a server may hand over a burst.
constexpr std::chrono::milliseconds CaptureLead{250};

// What the program holds: the shared driver state, closed when the program lets go of it.
class TAlsaWaveHandleRef final : public TWaveHandle {
public:
    explicit TAlsaWaveHandleRef(std::shared_ptr<TAlsaWaveHandle> handle)
        : FHandle(std::move(handle)) {}
    ~TAlsaWaveHandleRef() override { FHandle->Close(); }
    // Called for every buffer: its refusals need no words.
    std::uint32_t AddBuffer(TWaveHeader* header) override { return FHandle->AddBuffer(header); }
    std::uint32_t Start() override { return Relay(FHandle->Start()); }
    std::uint32_t Pause() override { return Relay(FHandle->Pause()); }
    std::uint32_t Reset() override { return Relay(FHandle->Reset()); }
    std::uint32_t Close() override { return FHandle->Close(); }
    std::uint32_t RingFrames() const override { return FHandle->RingFrames(); }
    std::string FailureReason() const override { return FHandle->FailureReason(); }

private:
    // The reason of a failed command is told on the calling thread.
    std::uint32_t Relay(std::uint32_t result) {
        SetWaveErrorDetail(result == WaveNoError ? std::string() : FHandle->CommandDetail());
        return result;
    }

    std::shared_ptr<TAlsaWaveHandle> FHandle;
};

// What a stream in this state answers, as the error its calls would give: 0 for a state that
// moves sound or can start.
int StateError(snd_pcm_state_t state) {
    switch (state) {
    case SND_PCM_STATE_XRUN:
        return -EPIPE;
    case SND_PCM_STATE_SUSPENDED:
        return -ESTRPIPE;
    case SND_PCM_STATE_SETUP:
        return -EBADFD;
    case SND_PCM_STATE_DISCONNECTED:
        return -ENODEV;
    default:
        return 0;
    }
}

} // namespace

std::uint32_t TAlsaWaveHandle::Create(TWaveDirection direction, const TWaveFormat& format,
                                      const TAlsaPcm& pcm, TWaveCallback callback,
                                      std::unique_ptr<TWaveHandle>& handle) {
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        snd_pcm_close(pcm.Pcm);
        return WaveErrorNoMemory;
    }
    auto result =
        std::make_shared<TAlsaWaveHandle>(direction, format, pcm, std::move(callback), wakeFd);
    const int count = snd_pcm_poll_descriptors_count(pcm.Pcm);
    if (count > 0) {
        result->FPollFds.resize(std::size_t(count) + 1);
        if (snd_pcm_poll_descriptors(pcm.Pcm, &result->FPollFds[1], unsigned(count)) != count)
            result->FPollFds.resize(1);
    }
    try {
        result->FDriver = std::thread([self = result] { self->Run(); });
    } catch (const std::system_error&) {
        return WaveErrorNoMemory; // the destructor closes the PCM
    }
    handle = std::make_unique<TAlsaWaveHandleRef>(std::move(result));
    return WaveNoError;
}

TAlsaWaveHandle::TAlsaWaveHandle(TWaveDirection direction, const TWaveFormat& format,
                                 const TAlsaPcm& pcm, TWaveCallback callback, int wakeFd)
    : FDirection(direction), FFormat(format), FCallback(std::move(callback)), FPcm(pcm),
      FWakeFd(wakeFd), FPollFds(1),
      // An output plays what it is given unless it is held; a capture waits for Start.
      FActive(direction == TWaveDirection::Output) {
    FPollFds[0] = {wakeFd, POLLIN, 0};
}

TAlsaWaveHandle::~TAlsaWaveHandle() {
    Close();
}

std::uint32_t TAlsaWaveHandle::AddBuffer(TWaveHeader* header) {
    if (FClosed)
        return WaveErrorInvalidHandle;
    if (header == nullptr || header->Data == nullptr || header->BufferLength == 0 ||
        header->BufferLength % FFormat.BlockAlign != 0)
        return WaveErrorInvalidParam;
    if (FDirection == TWaveDirection::Input)
        header->BytesRecorded = 0;
    bool first;
    {
        std::lock_guard lock(FMutex);
        if (FDriverEnded || FHung)
            return WaveErrorNoDriver;
        first = FQueue.Empty();
        FQueue.Push(header);
    }
    // A driver with buffers in hand is waiting for the device and sees this one when it moves;
    // only one that ran out of buffers needs waking.
    if (first)
        Wake();
    return WaveNoError;
}

std::uint32_t TAlsaWaveHandle::Start() {
    return FClosed ? WaveErrorInvalidHandle : Command(TCommand::Start);
}

std::uint32_t TAlsaWaveHandle::Pause() {
    if (FClosed)
        return WaveErrorInvalidHandle;
    if (FDirection == TWaveDirection::Input)
        return WaveErrorNotSupported;
    return Command(TCommand::Pause);
}

std::uint32_t TAlsaWaveHandle::Reset() {
    return FClosed ? WaveErrorInvalidHandle : Command(TCommand::Reset);
}

std::uint32_t TAlsaWaveHandle::Close() {
    if (FClosed)
        return WaveErrorInvalidHandle;
    FClosed = true;
    if (FDriver.joinable() && !FHung)
        Command(TCommand::Close);
    if (FHung) {
        // The driver is stuck inside the device: cut its callback off (it holds no buffer of the
        // caller's afterwards) and leave it; it ends, closing nothing, when the device lets go.
        {
            std::lock_guard notify(FNotifyMutex);
            FCallbackOff = true;
        }
        if (FDriver.joinable())
            FDriver.detach();
        return WaveNoError;
    }
    JoinDriver();
    // The driver has ended: this thread alone touches the PCM now.
    snd_pcm_drop(FPcm.Pcm);
    snd_pcm_close(FPcm.Pcm);
    ::close(FWakeFd);
    return WaveNoError;
}

std::string TAlsaWaveHandle::CommandDetail() {
    std::lock_guard lock(FMutex);
    return FCommandDetail;
}

std::uint32_t TAlsaWaveHandle::Command(TCommand command) {
    if (FHung) {
        std::lock_guard lock(FMutex);
        FCommandDetail = "the device stopped answering";
        return WaveErrorNoDriver;
    }
    {
        std::unique_lock lock(FMutex);
        if (!FDriverEnded) {
            FCommand = command;
            FCommandPending = true;
            Wake();
            if (!FAnswered.wait_for(lock, DeviceTimeLimit,
                                    [this] { return !FCommandPending || FDriverEnded; })) {
                FHung = true;
                FCommandDetail =
                    "no answer within " + std::to_string(DeviceTimeLimit.count()) + " ms";
                return WaveErrorNoDriver;
            }
            if (!FCommandPending)
                return FCommandResult;
            // The driver ended (its device failed) before it took the command.
            FCommand = TCommand::None;
            FCommandPending = false;
        }
    }
    JoinDriver();
    return AfterDriverEnded(command);
}

// The device failed for good and its driver has gone: a reset still hands back what is held
// (on this thread, the only one left), everything else has nothing to act on.
std::uint32_t TAlsaWaveHandle::AfterDriverEnded(TCommand command) {
    switch (command) {
    case TCommand::Reset:
        HandBack();
        return WaveNoError;
    case TCommand::Close:
    case TCommand::None:
        return WaveNoError;
    default: {
        std::lock_guard lock(FMutex);
        FCommandDetail = FFailureReason;
        return FFailure != WaveNoError ? FFailure : WaveErrorNoDriver;
    }
    }
}

void TAlsaWaveHandle::Wake() {
    const std::uint64_t one = 1;
    // Only fails when the counter is about to overflow, and then the driver is awake anyway.
    [[maybe_unused]] const ssize_t written = ::write(FWakeFd, &one, sizeof one);
}

void TAlsaWaveHandle::JoinDriver() {
    if (FDriver.joinable())
        FDriver.join();
}

void TAlsaWaveHandle::Run() {
    pthread_setname_np(pthread_self(),
                       FDirection == TWaveDirection::Input ? "WaveIn.Alsa" : "WaveOut.Alsa");
    for (;;) {
        TCommand command;
        {
            std::lock_guard lock(FMutex);
            command = FCommand;
            FCommand = TCommand::None;
        }
        if (command != TCommand::None) {
            FDetail.clear();
            const std::uint32_t result = Execute(command);
            {
                std::lock_guard lock(FMutex);
                FCommandResult = result;
                FCommandDetail = FDetail;
                FCommandPending = false;
            }
            FAnswered.notify_all();
            if (command == TCommand::Close || FFailure != WaveNoError)
                break;
        }
        const TStep step =
            FDirection == TWaveDirection::Output ? TransferOutput() : TransferCapture();
        if (step == TStep::Failed)
            break;
        if (step == TStep::Progress)
            FEmptyWakes = 0;
        else
            WaitForWork(step);
    }
    if (FFailure != WaveNoError) {
        TWaveHeader message;
        message.BytesRecorded = FFailure;
        Notify(TWaveMessage::Failed, &message);
    }
    {
        std::lock_guard lock(FMutex);
        FDriverEnded = true;
    }
    FAnswered.notify_all();
}

std::uint32_t TAlsaWaveHandle::Execute(TCommand command) {
    switch (command) {
    case TCommand::Start:
        return FDirection == TWaveDirection::Output ? StartOutput() : StartCapture();
    case TCommand::Pause:
        return PauseOutput();
    case TCommand::Reset:
        return ResetDevice();
    default:
        return WaveNoError;
    }
}

std::uint32_t TAlsaWaveHandle::StartCapture() {
    if (FActive)
        return WaveNoError;
    const snd_pcm_state_t state = snd_pcm_state(FPcm.Pcm);
    int error = 0;
    if (state != SND_PCM_STATE_PREPARED)
        error = snd_pcm_prepare(FPcm.Pcm);
    if (error >= 0)
        error = snd_pcm_start(FPcm.Pcm);
    if (error < 0)
        return CommandError(error, "starting");
    FActive = true;
    FPaceStart = std::chrono::steady_clock::now();
    FPaceFrames = 0;
    return WaveNoError;
}

std::uint32_t TAlsaWaveHandle::StartOutput() {
    // A ring that ran dry while held is no underrun of the stream: prepare it quietly.
    if (!FActive && snd_pcm_state(FPcm.Pcm) == SND_PCM_STATE_XRUN) {
        const int error = snd_pcm_prepare(FPcm.Pcm);
        if (error < 0)
            return CommandError(error, "preparing");
        FWritten = false;
    }
    FActive = true;
    // The ring is filled and the stream set going in one step, so that it starts full.
    if (TransferOutput() != TStep::Failed)
        return WaveNoError;
    FDetail = FFailureReason;
    return FFailure;
}

// Holding stops the feeding; a device that can pause also stops playing what its ring holds,
// one that cannot plays it out and runs dry quietly.
std::uint32_t TAlsaWaveHandle::PauseOutput() {
    FActive = false;
    if (FPcm.CanPause && snd_pcm_state(FPcm.Pcm) == SND_PCM_STATE_RUNNING) {
        const int error = snd_pcm_pause(FPcm.Pcm, 1);
        if (error < 0 && AlsaDeviceGone(error))
            return CommandError(error, "pausing");
    }
    return WaveNoError;
}

std::uint32_t TAlsaWaveHandle::ResetDevice() {
    int error = snd_pcm_drop(FPcm.Pcm);
    if (error >= 0 || !AlsaDeviceGone(error))
        error = snd_pcm_prepare(FPcm.Pcm);
    FActive = false;
    FWritten = false;
    FRecoveries = 0;
    HandBack();
    return error < 0 ? CommandError(error, "stopping") : WaveNoError;
}

// Output while playing: set the stream going once frames are in its ring (writes never start
// it), or let a paused one go on.
bool TAlsaWaveHandle::Resume() {
    const snd_pcm_state_t state = snd_pcm_state(FPcm.Pcm);
    int error = StateError(state);
    if (state == SND_PCM_STATE_PAUSED)
        error = snd_pcm_pause(FPcm.Pcm, 0);
    else if (state == SND_PCM_STATE_PREPARED && FWritten)
        error = snd_pcm_start(FPcm.Pcm);
    return error >= 0 || Recover(error);
}

// Mends what the stream can live through: an xrun or a suspend (snd_pcm_recover), a stream in
// the wrong state (prepared again). Output that ran dry while playing reports the underrun
// and holds until Start; capture starts again at once. Anything else fails the device.
bool TAlsaWaveHandle::Recover(int error) {
    if (++FRecoveries > MaxRecoveriesInARow) {
        Fail(error, "recovering the stream");
        return false;
    }
    int result;
    if (error == -EPIPE || error == -ESTRPIPE)
        result = snd_pcm_recover(FPcm.Pcm, error, 1);
    else if (error == -EBADFD)
        result = snd_pcm_prepare(FPcm.Pcm);
    else
        result = error;
    if (result < 0) {
        Fail(result, FDirection == TWaveDirection::Output ? "playing" : "recording");
        return false;
    }
    FWritten = false;
    if (FDirection == TWaveDirection::Output) {
        if (FActive && error != -EBADFD) {
            FActive = false;
            Notify(TWaveMessage::Underrun, nullptr);
        }
    } else if (FActive) {
        if ((result = snd_pcm_start(FPcm.Pcm)) < 0) {
            Fail(result, "starting again");
            return false;
        }
        FPaceStart = std::chrono::steady_clock::now();
        FPaceFrames = 0;
    }
    return true;
}

// A command that ALSA refused answers with the error; only a vanished device ends the driver.
std::uint32_t TAlsaWaveHandle::CommandError(int error, const char* step) {
    if (AlsaDeviceGone(error))
        return Fail(error, step);
    FDetail = AlsaReason(step, error);
    return WaveResultFromAlsa(error);
}

std::uint32_t TAlsaWaveHandle::Fail(int error, const char* step) {
    const std::uint32_t code = WaveResultFromAlsa(error);
    FFailure = code != WaveNoError ? code : WaveErrorGeneric;
    FFailureReason = AlsaReason(step, error);
    FDetail = FFailureReason;
    return FFailure;
}

TAlsaWaveHandle::TStep TAlsaWaveHandle::TransferOutput() {
    FWaitMs = -1;
    // Held: nothing goes to the device, not even into its ring. Sound servers (the pulse
    // plugin) play whatever they are given whether or not the stream was started, so a prefill
    // written early would be heard at once and then break off until the start.
    if (!FActive)
        return TStep::Idle;
    bool moved = false;
    while (TWaveHeader* head = Head()) {
        const snd_pcm_sframes_t avail = snd_pcm_avail_update(FPcm.Pcm);
        if (avail < 0) {
            if (!Recover(int(avail)))
                return TStep::Failed;
            continue;
        }
        if (avail == 0)
            break;
        const snd_pcm_uframes_t frames = std::min<snd_pcm_uframes_t>(
            (head->BufferLength - FOffset) / FFormat.BlockAlign, snd_pcm_uframes_t(avail));
        const snd_pcm_sframes_t written = snd_pcm_writei(FPcm.Pcm, head->Data + FOffset, frames);
        if (written == -EAGAIN || written == 0)
            break;
        if (written < 0) {
            if (!Recover(int(written)))
                return TStep::Failed;
            continue;
        }
        FWritten = true;
        FRecoveries = 0;
        moved = true;
        FOffset += std::uint32_t(written) * FFormat.BlockAlign;
        if (FOffset >= head->BufferLength) {
            FOffset = 0;
            Finish(TWaveMessage::Done);
        }
    }
    // An underrun met while writing holds the stream until Start.
    if (!FActive)
        return TStep::Idle;
    if (!Resume())
        return TStep::Failed;
    if (Head() != nullptr)
        return moved ? TStep::Progress : TStep::WaitDevice; // the ring is full
    if (snd_pcm_state(FPcm.Pcm) != SND_PCM_STATE_RUNNING)
        return moved ? TStep::Progress : TStep::Idle;
    // Nothing left to write: notice the ring running dry when it happens, not when the next
    // buffer comes, so that the underrun is reported and the prefill starts again.
    const snd_pcm_sframes_t avail = snd_pcm_avail_update(FPcm.Pcm);
    if (avail < 0)
        return Recover(int(avail)) ? TStep::Progress : TStep::Failed;
    // Look again when the ring should have run dry (at least once a period, for devices whose
    // clock is not the one of the wall).
    const snd_pcm_uframes_t left =
        snd_pcm_uframes_t(avail) < FPcm.BufferSize ? FPcm.BufferSize - snd_pcm_uframes_t(avail) : 0;
    FWaitMs = int(std::max(left, FPcm.PeriodSize) * 1000 / FFormat.SampleRate) + 1;
    return moved ? TStep::Progress : TStep::Idle;
}

TAlsaWaveHandle::TStep TAlsaWaveHandle::TransferCapture() {
    FWaitMs = -1;
    if (!FActive)
        return TStep::Idle;
    bool moved = false;
    // Without buffers the ring overruns; the first read after one comes recovers it.
    while (TWaveHeader* head = Head()) {
        if (PacedAhead())
            return TStep::Idle;
        const snd_pcm_sframes_t avail = snd_pcm_avail_update(FPcm.Pcm);
        if (avail < 0) {
            if (!Recover(int(avail)))
                return TStep::Failed;
            continue;
        }
        if (avail == 0) {
            // Nothing to read: the stream's state says whether anything will come.
            const snd_pcm_state_t state = snd_pcm_state(FPcm.Pcm);
            const int error =
                state == SND_PCM_STATE_PREPARED ? snd_pcm_start(FPcm.Pcm) : StateError(state);
            if (error < 0) {
                if (!Recover(error))
                    return TStep::Failed;
                continue;
            }
            return moved ? TStep::Progress : TStep::WaitDevice;
        }
        const snd_pcm_uframes_t frames = std::min<snd_pcm_uframes_t>(
            (head->BufferLength - FOffset) / FFormat.BlockAlign, snd_pcm_uframes_t(avail));
        const snd_pcm_sframes_t read = snd_pcm_readi(FPcm.Pcm, head->Data + FOffset, frames);
        if (read == -EAGAIN || read == 0)
            return moved ? TStep::Progress : TStep::WaitDevice;
        if (read < 0) {
            if (!Recover(int(read)))
                return TStep::Failed;
            continue;
        }
        FRecoveries = 0;
        moved = true;
        FPaceFrames += std::uint64_t(read);
        FOffset += std::uint32_t(read) * FFormat.BlockAlign;
        if (FOffset >= head->BufferLength) {
            head->BytesRecorded = head->BufferLength;
            FOffset = 0;
            Finish(TWaveMessage::Data);
        }
    }
    return moved ? TStep::Progress : TStep::Idle;
}

// A capture that has delivered more than the clock allows is not a sound card: hold it back
// until real time catches up, so that a null or file PCM cannot spin the program.
bool TAlsaWaveHandle::PacedAhead() {
    using namespace std::chrono;
    const auto lead = CaptureLead + milliseconds(FPcm.BufferSize * 1000 / FFormat.SampleRate);
    const auto due = FPaceStart + microseconds(FPaceFrames * 1000000 / FFormat.SampleRate);
    const auto now = steady_clock::now();
    if (due <= now + lead)
        return false;
    FWaitMs = int(duration_cast<milliseconds>(due - lead - now).count()) + 1;
    return true;
}

void TAlsaWaveHandle::WaitForWork(TStep step) {
    bool device = step == TStep::WaitDevice && FPollFds.size() > 1;
    int timeout = FWaitMs;
    if (step == TStep::WaitDevice && !FTrustDescriptors) {
        // The plugin's descriptors say ready when nothing can move (the pipewire plugin keeps
        // its eventfd readable while the ring is full): sleep until a period can move instead.
        device = false;
        const snd_pcm_sframes_t avail = snd_pcm_avail_update(FPcm.Pcm);
        const snd_pcm_uframes_t need = avail >= 0 && snd_pcm_uframes_t(avail) < FPcm.PeriodSize
                                           ? FPcm.PeriodSize - snd_pcm_uframes_t(avail)
                                           : 0;
        timeout = int(need * 1000 / FFormat.SampleRate) + 1;
    }
    const nfds_t count = device ? FPollFds.size() : 1;
    const int ready = ::poll(FPollFds.data(), count, timeout);
    if (ready <= 0)
        return;
    if (FPollFds[0].revents & POLLIN) {
        std::uint64_t value;
        [[maybe_unused]] const ssize_t read = ::read(FWakeFd, &value, sizeof value);
    }
    if (device) {
        // Plugins do their bookkeeping here (some clear their descriptor); what it says is
        // seen by the next transfer.
        unsigned short revents = 0;
        snd_pcm_poll_descriptors_revents(FPcm.Pcm, &FPollFds[1], unsigned(count - 1), &revents);
        // A wake-up by the device that moves nothing, again and again, means the descriptors
        // cannot be trusted; Run counts them through FEmptyWakes.
        if (!(FPollFds[0].revents & POLLIN) && ++FEmptyWakes > TrustedEmptyWakes)
            FTrustDescriptors = false;
    }
}

TWaveHeader* TAlsaWaveHandle::Head() {
    std::lock_guard lock(FMutex);
    return FQueue.Front();
}

void TAlsaWaveHandle::Finish(TWaveMessage message) {
    TWaveHeader* header;
    {
        std::lock_guard lock(FMutex);
        header = FQueue.Pop();
    }
    Notify(message, header);
}

// Every held buffer back in order: capture with what was filled so far (only the first can
// hold anything), output as done.
void TAlsaWaveHandle::HandBack() {
    std::uint32_t filled = FOffset;
    FOffset = 0;
    for (;;) {
        TWaveHeader* header;
        {
            std::lock_guard lock(FMutex);
            header = FQueue.Pop();
        }
        if (header == nullptr)
            break;
        if (FDirection == TWaveDirection::Input) {
            header->BytesRecorded = filled;
            Notify(TWaveMessage::Data, header);
        } else {
            Notify(TWaveMessage::Done, header);
        }
        filled = 0;
    }
}

// The callback only queues; an exception from it must still not end the driver thread.
void TAlsaWaveHandle::Notify(TWaveMessage message, TWaveHeader* header) {
    std::lock_guard notify(FNotifyMutex);
    if (FCallbackOff)
        return;
    try {
        FCallback(message, header);
    } catch (...) {
    }
}
