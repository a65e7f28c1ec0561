#include "StreamAudioChain.h"

#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "equalizer/Amplifier.h"
#include "equalizer/GraphicEqualizer.h"
#include "equalizer/VUMeter.h"
#include "platform/sound/WaveDevice.h"
#include "recording/RecordingSink.h"

namespace {

QStringList NamesOf(TAudioDevice& device) {
    std::vector<std::string> names;
    device.GetDeviceNames(names);
    QStringList list;
    for (const std::string& name : names)
        list << QString::fromStdString(name);
    return list;
}

} // namespace

TStreamAudioChain::TStreamAudioChain(std::unique_ptr<TWaveDeviceSystem> system)
    : FSystem(std::move(system)), FAudioIn(std::make_unique<TAudioIn>(*FSystem)),
      FAmplifier(std::make_unique<TAmplifier>()), FMeter(std::make_unique<TVUMeter>()),
      FAudioOut(std::make_unique<TAudioOut>(*FSystem)),
      FRecorder(std::make_unique<TRecordingSink>()) {
    FAudioIn->SetName("AudioIn1");
    FAmplifier->SetName("Amplifier1");
    FMeter->SetName("VUMeter1");
    FMeter->OnValueChange = [this](TAudioComponent*, int channel, double value, double minimum,
                                   double maximum) {
        if (OnMeterValue)
            OnMeterValue(channel, value, minimum, maximum);
    };
    FAudioOut->SetName("AudioOut1");
    FAudioIn->OutputPin().Connect(FAmplifier->InputPin());
    FAudioIn->OutputPin().Connect(FMeter->InputPin());
    FAmplifier->OutputPin().Connect(GraphicEqualizer1().InputPin());
    GraphicEqualizer1().OutputPin().Connect(FAudioOut->InputPin());
    // The recorder gets what the output gets: after the volume and the equalizer.
    FRecorder->SetName("Recorder1");
    GraphicEqualizer1().OutputPin().Connect(FRecorder->InputPin());
}

TStreamAudioChain::~TStreamAudioChain() {
    // The stream ends at its source first, while every component is whole; then the graph
    // comes apart from the source on, so no stop travels into a component that is gone.
    try {
        FAudioIn->SetEnabled(false);
    } catch (const std::exception&) {
        // The program is ending: a device that cannot be stopped is closed with its component.
    }
    FAudioIn->OutputPin().DisconnectAll();
    FAmplifier->OutputPin().DisconnectAll();
    // The equalizer outlives this part of the chain: it must hold no pin of a component that
    // goes now.
    GraphicEqualizer1().OutputPin().DisconnectAll();
    FAudioIn.reset();
    FAmplifier.reset();
    FMeter.reset();
    FAudioOut.reset();
    FRecorder.reset();
}

QStringList TStreamAudioChain::InDeviceNames() const {
    return NamesOf(FAudioIn->Device());
}

QStringList TStreamAudioChain::OutDeviceNames() const {
    return NamesOf(FAudioOut->Device());
}

void TStreamAudioChain::SetInDeviceName(const QString& name) {
    FAudioIn->Device().SetDeviceName(name.toStdString());
}

void TStreamAudioChain::SetOutDeviceName(const QString& name) {
    FAudioOut->Device().SetDeviceName(name.toStdString());
}

void TStreamAudioChain::SetCaptureFormat(int bits, int sampleRate) {
    FAudioIn->AudioFormat().SetBits(unsigned(bits));
    FAudioIn->AudioFormat().SetSampleRate(std::uint32_t(sampleRate));
}

int TStreamAudioChain::CaptureBits() const {
    return int(FAudioIn->AudioFormat().Bits());
}

int TStreamAudioChain::CaptureSampleRate() const {
    return int(FAudioIn->AudioFormat().SampleRate());
}

void TStreamAudioChain::SetInEnabled(bool enabled) {
    FAudioIn->SetEnabled(enabled);
}

void TStreamAudioChain::SetOutEnabled(bool enabled) {
    FAudioOut->SetEnabled(enabled);
}

void TStreamAudioChain::SetAmplifierCoefficient(double coefficient) {
    FAmplifier->SetCoefficient(coefficient);
}

TAudioCounters TStreamAudioChain::Counters() const {
    return {FAudioOut->DroppedBuffers(), FAudioOut->Underruns()};
}
