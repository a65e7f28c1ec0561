#pragma once

// The sound path of the main window on real components: the capture, the amplifier, the
// equalizer, the level meter and the output, joined as the stream graph says
// (capture → amplifier and meter; amplifier → equalizer → output and recorder), on one
// wave-device system (ALSA, or the simulation's virtual devices in front of ALSA's).
//
// A device lost while it plays is opened again by the chain itself (TSoundRecovery); the main
// window only says whether sound should flow.
//
// Threads: everything here is called on the GUI thread; the components run their own.

#include "AudioChain.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class TAudioDevice;
class TAudioIn;
class TSoundRecovery;
class TAmplifier;
class TAudioOut;
class TRecordingSink;
class TWaveDeviceSystem;
class TVUMeter;

class TStreamAudioChain : public TAudioChain {
public:
    explicit TStreamAudioChain(std::unique_ptr<TWaveDeviceSystem> system);
    ~TStreamAudioChain() override;

    QStringList InDeviceNames() const override;
    QStringList OutDeviceNames() const override;
    void SetInDeviceName(const QString& name) override;
    void SetOutDeviceName(const QString& name) override;
    void SetCaptureFormat(int bits, int sampleRate) override;
    int CaptureBits() const override;
    int CaptureSampleRate() const override;
    void SetInEnabled(bool enabled) override;
    void SetOutEnabled(bool enabled) override;
    void SetAmplifierCoefficient(double coefficient) override;
    TAudioCounters Counters() const override;
    TRecordingSink* Recorder() const override { return FRecorder.get(); }

    TAudioIn& AudioIn1() const { return *FAudioIn; }
    TAudioOut& AudioOut1() const { return *FAudioOut; }
    bool Recovering() const;

private:
    // The names last listed, as shown and as the device system spells them.
    using TKnownNames = std::vector<std::pair<QString, std::string>>;
    QStringList NamesOf(TAudioDevice& device, TKnownNames& known) const;
    static std::string NameBytes(const QString& name, const TKnownNames& known);

    std::unique_ptr<TWaveDeviceSystem> FSystem;
    mutable TKnownNames FKnownIn, FKnownOut;
    std::unique_ptr<TAudioIn> FAudioIn;
    std::unique_ptr<TAmplifier> FAmplifier;
    std::unique_ptr<TVUMeter> FMeter;
    std::unique_ptr<TAudioOut> FAudioOut;
    std::unique_ptr<TRecordingSink> FRecorder;
    std::unique_ptr<TSoundRecovery> FRecovery;
    bool FWantIn = false, FWantOut = false; // what the main window asked for
};
