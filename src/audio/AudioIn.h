#pragma once

// TAudioIn records from a wave input device and is the source of the audio stream: a pump
// request and the format first, then one buffer per filled device buffer, and an end-stop when
// it stops.
//
// Threads and locks:
// - The GUI thread starts and stops (Enabled) under the component lock; a stop takes the stop
//   section.
// - The capture thread (a TWaveThread living as long as the component) runs one cycle per
//   filled buffer under the list lock: send the buffer downstream (the amplifier and the meter
//   work inside that call), free the device buffer, hand the device a new one. A stop clears the
//   opened flag under the same lock, so it waits for a running cycle, and a cycle that comes
//   later does nothing.
// - The device handle is used by the GUI thread, and by the capture thread only under the list
//   lock while the opened flag is set; the stop clears that flag before it resets the device.
// - A device that fails for good (unplugged) is stopped on the GUI thread, where its error is
//   reported; the capture thread never raises an error.
//
// The component is built disabled (as the main window's form leaves it); nothing runs until
// Enabled is set.

#include "audio/AudioComponent.h"
#include "audio/AudioDevice.h"
#include "audio/AudioFormat.h"
#include "audio/MainThreadNotify.h"
#include "audio/Pins.h"
#include "audio/WaveThread.h"

#include <atomic>
#include <cstdint>
#include <memory>

class TAudioIn : public TAudioComponent {
public:
    // Device buffers kept at the driver while recording.
    static constexpr unsigned DeviceBufferCount = 40;

    explicit TAudioIn(TWaveDeviceSystem& system);
    ~TAudioIn() override;

    std::string ClassName() const override { return "TAudioIn"; }

    bool Enabled() const { return FEnabled.load(); }
    // True starts recording, False stops it; the value it already has does nothing. Device
    // errors raise EAudioException here unless OnError handles them.
    void SetEnabled(bool value);
    int PumpPriority() const { return FPumpPriority.load(); }
    void SetPumpPriority(int value) { FPumpPriority.store(value); }

    TAudioCaptureDevice& Device() { return FDevice; }
    TAudioFormat& AudioFormat() { return FAudioFormat; }
    TAudioSourcePin& OutputPin() { return FOutputPin; }
    TBoolStatePin& EnablePin() { return FEnablePin; }

    // For tests and diagnostics.
    TWaveThread& CaptureThread() { return *FThread; }
    bool DeviceOpen() const { return FDeviceOpen.load(); }

private:
    void StartCapture();
    // quiet: device results are not reported (destruction, a device that failed).
    void StopCapture(bool quiet);
    // Opens and starts the device; DeviceOpen() tells whether it worked.
    void OpenDevice();
    // Resets, frees the buffers and closes; false (after reporting) when a reset failed.
    bool CloseDevice(bool quiet);
    // Under the list lock: a new empty buffer for the device.
    void QueueBuffer();
    void DeviceMessage(const TWaveThreadMessage& message);
    void DeviceFailed(); // GUI thread

    TWaveDeviceSystem& FSystem;
    TAudioCaptureDevice FDevice;
    TAudioFormat FAudioFormat;
    TAudioSourcePin FOutputPin;
    TBoolStatePin FEnablePin;
    std::atomic<bool> FEnabled{false};
    std::atomic<int> FPumpPriority{0};

    TAudioParams FParams;
    std::unique_ptr<TWaveHandle> FHandle; // set and cleared under the list lock
    TWaveFormatExtensible FOpenFormat{};  // the recording's format and buffer size (list lock)
    unsigned FOpenFrames = 0;
    int FOpenId = WaveMapper; // the device of the recording, for messages
    std::atomic<bool> FDeviceOpen{false};
    std::unique_ptr<TWaveThread> FThread;

    // A failure the device reported, for the GUI thread: its code and generation.
    std::atomic<std::uint32_t> FFailedCode{0};
    std::atomic<std::uint64_t> FFailedGeneration{0};
    TMainThreadNotify FFailureNotify;
};
