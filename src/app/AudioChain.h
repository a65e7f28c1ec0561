#pragma once

#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

class TGraphicEqualizer;
class TRecordingSink;

// What the output had to mend so far: whole buffers dropped to keep the delay bounded, and
// times the device ran dry.
struct TAudioCounters {
    std::uint64_t DroppedBuffers = 0;
    std::uint64_t Underruns = 0;
    bool operator==(const TAudioCounters&) const = default;
};

// What the main window drives of the sound path: capture → amplifier (+ level meter) →
// equalizer → output. The main window owns one; the stream components plug in behind it.
// The equalizer exists in every chain, so that the equalizer window always has its bands to
// set, whether or not sound flows through it.
class TAudioChain {
public:
    TAudioChain();
    virtual ~TAudioChain();
    TAudioChain(const TAudioChain&) = delete;
    TAudioChain& operator=(const TAudioChain&) = delete;

    TGraphicEqualizer& GraphicEqualizer1() const { return *FGraphicEqualizer1; }

    virtual QStringList InDeviceNames() const = 0;
    virtual QStringList OutDeviceNames() const = 0;
    virtual void SetInDeviceName(const QString& name) = 0;       // AudioIn1.Device.DeviceName
    virtual void SetOutDeviceName(const QString& name) = 0;      // AudioOut1.Device.DeviceName
    virtual void SetCaptureFormat(int bits, int sampleRate) = 0; // AudioIn1.AudioFormat
    virtual int CaptureBits() const = 0;
    virtual int CaptureSampleRate() const = 0;
    virtual void SetInEnabled(bool enabled) = 0;                  // AudioIn1.Enabled
    virtual void SetOutEnabled(bool enabled) = 0;                 // AudioOut1.Enabled
    virtual void SetAmplifierCoefficient(double coefficient) = 0; // Amplifier1.Coefficient
    virtual void SetEqualizerEnabled(bool enabled);               // GraphicEqualizer1.Enabled
    virtual TAudioCounters Counters() const { return {}; }
    // What records the stream the output plays, where the chain carries sound.
    virtual TRecordingSink* Recorder() const { return nullptr; }

    // The level meter's values (VUMeter1.OnValueChange), on the GUI thread: channel 0 is the
    // left channel; value is the RMS level between minimum and maximum (the full scale).
    std::function<void(int channel, double value, double minimum, double maximum)> OnMeterValue;

private:
    std::unique_ptr<TGraphicEqualizer> FGraphicEqualizer1;
};

// The chain while no sound components are present: it keeps what it is told and offers no
// devices besides "Default".
class TIdleAudioChain : public TAudioChain {
public:
    QStringList InDeviceNames() const override { return {}; }
    QStringList OutDeviceNames() const override { return {}; }
    void SetInDeviceName(const QString& name) override { FInDeviceName = name; }
    void SetOutDeviceName(const QString& name) override { FOutDeviceName = name; }
    void SetCaptureFormat(int bits, int sampleRate) override {
        FBits = bits;
        FSampleRate = sampleRate;
    }
    int CaptureBits() const override { return FBits; }
    int CaptureSampleRate() const override { return FSampleRate; }
    void SetInEnabled(bool enabled) override { FInEnabled = enabled; }
    void SetOutEnabled(bool enabled) override { FOutEnabled = enabled; }
    void SetAmplifierCoefficient(double coefficient) override { FCoefficient = coefficient; }
    void SetEqualizerEnabled(bool enabled) override {
        FEqualizerEnabled = enabled;
        TAudioChain::SetEqualizerEnabled(enabled);
    }

    QString FInDeviceName, FOutDeviceName;
    int FBits = 16, FSampleRate = 44100;
    bool FInEnabled = false, FOutEnabled = false, FEqualizerEnabled = false;
    double FCoefficient = 1.0;
};
