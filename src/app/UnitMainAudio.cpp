// The main window's sound path: built on the machine's ALSA devices, or, while simulating, on
// the virtual line-in and line-out in front of them.
#include "StreamAudioChain.h"
#include "UnitMain.h"
#include "platform/sound/WaveDevice.h"
#include "sim/SimWaveSystem.h"
#include "sim/SimulatedTuners.h"
#include "windows/UnitLogs.h"

#include <QFile>

void TMainForm::CreateAudioChain() {
    std::unique_ptr<TWaveDeviceSystem> system = CreateAlsaWaveSystem();
    if (TSimulatedTuners* sim = SimulatedTuners())
        system = std::make_unique<TSimWaveSystem>(
            sim->Tuner(), QFile::encodeName(FCommandLine.SimRecord).toStdString(),
            std::move(system));
    FAudio = std::make_unique<TStreamAudioChain>(std::move(system));
}

void TMainForm::LogAudioCounters() {
    const TAudioCounters counters = FAudio->Counters();
    if (counters == FLoggedCounters || !LogWanted())
        return;
    FLoggedCounters = counters;
    WriteLog(
        QStringLiteral("Sound output: %1 buffers dropped to keep the delay short, %2 underruns")
            .arg(counters.DroppedBuffers)
            .arg(counters.Underruns));
}
