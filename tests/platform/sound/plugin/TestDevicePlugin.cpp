// An ALSA external PCM (ioplug) for the tests; see TestDevicePlugin.h.

#include "TestDevicePlugin.h"

#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <cerrno>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

struct TState {
    std::mutex Mutex;
    std::string Events;
    bool Running = false;
    bool Vanished = false;
    snd_pcm_uframes_t Granted = 0;
    snd_pcm_uframes_t Hardware = 0; // frames the device moved since prepare
    snd_pcm_uframes_t Moved = 0;    // frames the program moved since prepare
    bool AlwaysReady = false;
    unsigned long PointerCalls = 0;
    int WakeFd = -1;
};

TState& State() {
    static TState state;
    return state;
}

struct TDevice {
    snd_pcm_ioplug_t Io{};
    int WakeFd = -1;
};

void Log(const char* event) {
    std::lock_guard lock(State().Mutex);
    State().Events += event;
    State().Events += ' ';
}

int Start(snd_pcm_ioplug_t*) {
    Log("start");
    std::lock_guard lock(State().Mutex);
    State().Running = true;
    return 0;
}

int Stop(snd_pcm_ioplug_t*) {
    Log("stop");
    std::lock_guard lock(State().Mutex);
    State().Running = false;
    return 0;
}

int Pause(snd_pcm_ioplug_t*, int enable) {
    Log(enable ? "pause" : "resume");
    std::lock_guard lock(State().Mutex);
    State().Running = !enable;
    return 0;
}

int Prepare(snd_pcm_ioplug_t*) {
    Log("prepare");
    std::lock_guard lock(State().Mutex);
    State().Hardware = State().Moved = 0;
    State().Running = false;
    return 0;
}

snd_pcm_sframes_t Pointer(snd_pcm_ioplug_t* io) {
    std::lock_guard lock(State().Mutex);
    TState& s = State();
    ++s.PointerCalls;
    if (s.Vanished) {
        snd_pcm_ioplug_set_state(io, SND_PCM_STATE_DISCONNECTED);
        return snd_pcm_sframes_t(s.Hardware % io->buffer_size);
    }
    if (s.Running && s.Granted > 0) {
        s.Hardware += s.Granted;
        s.Granted = 0;
        const bool playback = io->stream == SND_PCM_STREAM_PLAYBACK;
        if (playback ? s.Hardware > s.Moved : s.Hardware > s.Moved + io->buffer_size)
            return -EPIPE;
    }
    return snd_pcm_sframes_t(s.Hardware % io->buffer_size);
}

snd_pcm_sframes_t Transfer(snd_pcm_ioplug_t* io, const snd_pcm_channel_area_t* areas,
                           snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
    std::lock_guard lock(State().Mutex);
    if (State().Vanished)
        return -ENODEV;
    if (io->stream == SND_PCM_STREAM_CAPTURE)
        snd_pcm_areas_silence(areas, offset, io->channels, size, io->format);
    State().Moved += size;
    return snd_pcm_sframes_t(size);
}

int PollRevents(snd_pcm_ioplug_t* io, struct pollfd* fds, unsigned int, unsigned short* revents) {
    *revents = 0;
    std::lock_guard lock(State().Mutex);
    if (State().Vanished) {
        *revents = POLLERR; // as a dead device: the descriptor stays ready
        return 0;
    }
    if (fds[0].revents & POLLIN) {
        if (!State().AlwaysReady) {
            std::uint64_t value;
            [[maybe_unused]] const ssize_t drained = ::read(fds[0].fd, &value, sizeof value);
        }
        *revents = io->stream == SND_PCM_STREAM_PLAYBACK ? POLLOUT : POLLIN;
    }
    return 0;
}

int Close(snd_pcm_ioplug_t* io) {
    auto* device = static_cast<TDevice*>(io->private_data);
    ::close(device->WakeFd);
    delete device;
    std::lock_guard lock(State().Mutex);
    State().WakeFd = -1;
    return 0;
}

const snd_pcm_ioplug_callback_t Callbacks = [] {
    snd_pcm_ioplug_callback_t callbacks{};
    callbacks.start = Start;
    callbacks.stop = Stop;
    callbacks.pointer = Pointer;
    callbacks.transfer = Transfer;
    callbacks.close = Close;
    callbacks.prepare = Prepare;
    callbacks.pause = Pause;
    callbacks.poll_revents = PollRevents;
    return callbacks;
}();

int SetConstraints(snd_pcm_ioplug_t* io) {
    const unsigned access[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    const unsigned formats[] = {SND_PCM_FORMAT_S16_LE};
    int error = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 1, access);
    if (error >= 0)
        error = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 1, formats);
    if (error >= 0)
        error = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 2, 2);
    if (error >= 0)
        error = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_RATE, 44100, 44100);
    if (error >= 0)
        error = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 64, 1 << 20);
    if (error >= 0)
        error = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
    return error;
}

} // namespace

extern "C" {

void TestDeviceClear() {
    std::lock_guard lock(State().Mutex);
    TState& s = State();
    s.Events.clear();
    s.Running = s.Vanished = s.AlwaysReady = false;
    s.Granted = s.Hardware = s.Moved = 0;
    s.PointerCalls = 0;
}

void TestDeviceAlwaysReady() {
    {
        std::lock_guard lock(State().Mutex);
        State().AlwaysReady = true;
    }
    TestDeviceGrant(0); // makes the descriptor readable
}

unsigned long TestDevicePointerCalls() {
    std::lock_guard lock(State().Mutex);
    return State().PointerCalls;
}

void TestDeviceGrant(unsigned frames) {
    int fd;
    {
        std::lock_guard lock(State().Mutex);
        State().Granted += frames;
        fd = State().WakeFd;
    }
    if (fd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
    }
}

void TestDeviceVanish() {
    {
        std::lock_guard lock(State().Mutex);
        State().Vanished = true;
    }
    TestDeviceGrant(0);
}

SND_PCM_PLUGIN_DEFINE_FUNC(testdev) {
    (void)root;
    (void)conf;
    auto* device = new TDevice;
    device->WakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    device->Io.version = SND_PCM_IOPLUG_VERSION;
    device->Io.name = "testdev";
    device->Io.callback = &Callbacks;
    device->Io.private_data = device;
    device->Io.poll_fd = device->WakeFd;
    device->Io.poll_events = POLLIN;
    int error = snd_pcm_ioplug_create(&device->Io, name, stream, mode);
    if (error < 0) {
        ::close(device->WakeFd);
        delete device;
        return error;
    }
    {
        std::lock_guard lock(State().Mutex);
        State().WakeFd = device->WakeFd;
    }
    if ((error = SetConstraints(&device->Io)) < 0) {
        snd_pcm_ioplug_delete(&device->Io);
        return error;
    }
    *pcmp = device->Io.pcm;
    return 0;
}
SND_PCM_PLUGIN_SYMBOL(testdev);

} // extern "C"

std::string TestDeviceEvents() {
    std::lock_guard lock(State().Mutex);
    return State().Events;
}
