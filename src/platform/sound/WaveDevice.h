#pragma once

// The wave-device layer: the model the capture and output components are written against.
// A device is opened with a 40-byte format header; the caller hands it buffers (to fill, or to
// play) and gets each one back through the device's callback, once, on the device's own
// driver thread; capture starts with Start, output plays unless paused; Reset hands every
// buffer still held back and stops; Close ends the device. Real devices are ALSA PCMs; the
// program's simulation adds virtual ones.
//
// An output opens playing: it starts as soon as frames are in its ring, so a caller that
// wants to prefill pauses it first.
//
// Threads: a device system and the handles it opens are used from one controlling thread at a
// time (the GUI thread, or for an output the thread that delivers its buffers, under the
// component's own locks). The callback runs on the device's driver thread and must only
// queue: it may not call back into the handle. Reset and Close wait for the driver thread, so
// they must never be called from the callback.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Result codes, numbered like the Windows multimedia results the documented error messages
// carry. 0 is success.
enum : std::uint32_t {
    WaveNoError = 0,
    WaveErrorGeneric = 1,       // MMSYSERR_ERROR
    WaveErrorBadDeviceId = 2,   // MMSYSERR_BADDEVICEID
    WaveErrorAllocated = 4,     // MMSYSERR_ALLOCATED: the device is busy
    WaveErrorInvalidHandle = 5, // MMSYSERR_INVALHANDLE
    WaveErrorNoDriver = 6,      // MMSYSERR_NODRIVER: the device is gone
    WaveErrorNoMemory = 7,      // MMSYSERR_NOMEM
    WaveErrorNotSupported = 8,  // MMSYSERR_NOTSUPPORTED
    WaveErrorInvalidParam = 11, // MMSYSERR_INVALPARAM
    WaveErrorBadFormat = 32,    // WAVERR_BADFORMAT: the device refuses the format
};

inline constexpr int WaveMapper = -1; // the default device

// True when name is "DEFAULT" in any letter case: the name of the default device.
bool IsDefaultDeviceName(const std::string& name);

// One buffer handed to a device (the WAVEHDR of the Windows model).
struct TWaveHeader {
    std::uint8_t* Data = nullptr;
    std::uint32_t BufferLength = 0;  // bytes, whole frames
    std::uint32_t BytesRecorded = 0; // capture: bytes filled when the buffer comes back
    void* User = nullptr;            // the caller's own
};

enum class TWaveMessage {
    Data,     // capture: a buffer was filled (or handed back by Reset with what it holds)
    Done,     // output: a buffer was taken in whole (or handed back by Reset)
    Underrun, // output: the device ran dry; it now waits, held, for Start (header: none)
    Failed    // the device failed for good (unplugged): code in BytesRecorded of a
              // header made for the message; the driver thread ends, buffers stay held.
              // Afterwards AddBuffer, Start and Pause answer WaveErrorNoDriver; Reset still
              // hands the held buffers back (on the calling thread) and returns 0; Close works
};

// Called on the driver thread. header: the buffer concerned (for Failed, a temporary whose
// BytesRecorded holds the result code).
using TWaveCallback = std::function<void(TWaveMessage message, TWaveHeader* header)>;

class TWaveHandle {
public:
    virtual ~TWaveHandle() = default; // closes, as Close
    // Capture: queue an empty buffer to be filled. Output: queue a buffer to be played, in
    // order; the call does not wait for room at the device.
    virtual std::uint32_t AddBuffer(TWaveHeader* header) = 0;
    // Capture: begin filling the queued buffers. Output: play (again) after Pause or an
    // underrun.
    virtual std::uint32_t Start() = 0;
    // Output: hold playback; queued buffers wait, none is taken in until Start (which fills
    // the ring and plays at once). Capture: not supported.
    virtual std::uint32_t Pause() = 0;
    // Stops, and hands every buffer still held back through the callback before it returns
    // (capture: with what was filled so far). The device stays open, stopped (output:
    // paused).
    virtual std::uint32_t Reset() = 0;
    // Ends the driver thread and closes the device; buffers still held are never touched
    // again. A closed handle answers every call with WaveErrorInvalidHandle.
    virtual std::uint32_t Close() = 0;
    // Output: frames the device keeps between a buffer reported Done and what is heard (its
    // ring); part of the delay the caller cannot see in its own queue.
    virtual std::uint32_t RingFrames() const { return 0; }
    // Why the device failed for good, in words ("" when it did not, or cannot tell); read by
    // the controlling thread after the Failed message.
    virtual std::string FailureReason() const { return {}; }
};

// Why the last failing call of the wave layer on this thread failed, in words: the device and
// what the system said ("" when it had nothing to add). Set by each failing Open, Start, Pause
// and Reset, read right after it on the same thread.
const std::string& WaveErrorDetail();
void SetWaveErrorDetail(std::string detail);

enum class TWaveDirection { Input, Output };

class TWaveDeviceSystem {
public:
    virtual ~TWaveDeviceSystem() = default;
    // The devices of one direction, in identifier order (0 .. count - 1).
    virtual int DeviceCount(TWaveDirection direction) = 0;
    // A device's name; a non-zero result when its description cannot be read.
    virtual std::uint32_t DeviceName(TWaveDirection direction, int id, std::string& name) = 0;
    // Opens device id (or WaveMapper) with the 40-byte format header. The device calls
    // callback for every buffer it hands back, on its driver thread, until it is closed.
    virtual std::uint32_t Open(TWaveDirection direction, int id, const std::uint8_t* header,
                               TWaveCallback callback, std::unique_ptr<TWaveHandle>& handle) = 0;
};

// The system the program uses: ALSA's PCMs.
std::unique_ptr<TWaveDeviceSystem> CreateAlsaWaveSystem();
