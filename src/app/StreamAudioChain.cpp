#include "StreamAudioChain.h"

#include "Application.h"
#include "SoundRecovery.h"
#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "equalizer/Amplifier.h"
#include "equalizer/GraphicEqualizer.h"
#include "equalizer/VUMeter.h"
#include "platform/sound/WaveDevice.h"
#include "platform/system/CodePage.h"
#include "recording/RecordingSink.h"

namespace {

// Device names are bytes to ALSA: shown as the station file's text is (UTF-8 when valid, else
// the single-byte code page), so that every name, however odd, reads back to its own bytes.
QString NameText(const std::string& name) {
    return CodePage::DecodeSystemText(QByteArray::fromStdString(name));
}

} // namespace

QStringList TStreamAudioChain::NamesOf(TAudioDevice& device, TKnownNames& known) const {
    std::vector<std::string> names;
    device.GetDeviceNames(names);
    known.clear();
    QStringList list;
    for (const std::string& name : names) {
        // The main window lists "Default" first itself: ALSA's own default is that device.
        if (IsDefaultDeviceName(name))
            continue;
        list << NameText(name);
        known.emplace_back(list.back(), name);
    }
    return list;
}

std::string TStreamAudioChain::NameBytes(const QString& name, const TKnownNames& known) {
    for (const auto& [text, bytes] : known)
        if (text == name)
            return bytes;
    // Not listed (yet): as the settings file would store it.
    return CodePage::EncodeSystemText(name).toStdString();
}

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

    FRecovery = std::make_unique<TSoundRecovery>(
        [this] {
            FAudioIn->SetEnabled(false);
            FAudioOut->SetEnabled(false);
            FAudioIn->SetEnabled(FWantIn);
            FAudioOut->SetEnabled(FWantOut);
        },
        [this] {
            return (!FWantIn || FAudioIn->DeviceOpen()) && (!FWantOut || FAudioOut->DeviceOpen());
        });
    FRecovery->OnNotice = [](const QString& line) { TApplication::Notice(line); };
    FRecovery->OnError = [](const QString& text) { TApplication::ShowException(text); };
    for (TAudioComponent* component : {static_cast<TAudioComponent*>(FAudioIn.get()),
                                       static_cast<TAudioComponent*>(FAudioOut.get())}) {
        component->OnNotice = [this](const std::string& line) {
            if (!FRecovery->Quiet())
                TApplication::Notice(QString::fromStdString(line));
        };
        component->OnDeviceLost = [this](TAudioComponent* sender, const std::string& text,
                                         std::uint32_t code, const std::string& device,
                                         const std::string& reason) {
            // Nothing is captured any more: the level columns must not stay lit as if it were.
            if (sender == FAudioIn.get() && OnMeterValue)
                for (int channel : {0, 1})
                    OnMeterValue(channel, 0.0, 0.0, 1.0);
            FRecovery->Lost(
                QString::fromStdString(device), QString::fromStdString(reason),
                QString::fromStdString(FormatAudioError(text, code, DeviceDetail(device, reason))));
        };
        // While the chain comes back, a device that fails again is part of the same loss.
        component->OnError = [this, component](TAudioComponent*, const std::string& text,
                                               std::uint32_t code, bool& handled) {
            if (!FRecovery->Recovering())
                return;
            handled = true;
            FRecovery->Failed(
                QString::fromStdString(FormatAudioError(text, code, component->ErrorDetail())));
        };
    }
}

bool TStreamAudioChain::Recovering() const {
    return FRecovery->Recovering();
}

TStreamAudioChain::~TStreamAudioChain() {
    FRecovery->Forget();
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
    return NamesOf(FAudioIn->Device(), FKnownIn);
}

QStringList TStreamAudioChain::OutDeviceNames() const {
    return NamesOf(FAudioOut->Device(), FKnownOut);
}

void TStreamAudioChain::SetInDeviceName(const QString& name) {
    FAudioIn->Device().SetDeviceName(NameBytes(name, FKnownIn));
}

void TStreamAudioChain::SetOutDeviceName(const QString& name) {
    FAudioOut->Device().SetDeviceName(NameBytes(name, FKnownOut));
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
    FWantIn = enabled;
    if (!enabled)
        FRecovery->Forget();
    FAudioIn->SetEnabled(enabled);
}

void TStreamAudioChain::SetOutEnabled(bool enabled) {
    FWantOut = enabled;
    if (!enabled)
        FRecovery->Forget();
    FAudioOut->SetEnabled(enabled);
}

void TStreamAudioChain::SetAmplifierCoefficient(double coefficient) {
    FAmplifier->SetCoefficient(coefficient);
}

TAudioCounters TStreamAudioChain::Counters() const {
    return {FAudioOut->DroppedBuffers(), FAudioOut->Underruns()};
}
