#include "SimulatedTuners.h"

#include "platform/system/SignalWatcher.h"

#include <csignal>

TSimulatedTuners::TSimulatedTuners(const QString& model)
    : FOwned(std::make_unique<TSimHidBackend>()), FBackend(FOwned.get()) {
    const TSimChip chip = model.compare(QLatin1String("tea5767"), Qt::CaseInsensitive) == 0
                              ? TSimChip::TEA5767
                              : TSimChip::RDA5807M;
    FTuner = std::make_shared<TVirtualTuner>(chip);
    FDevice = FBackend->AddDevice(TVirtualTuner::DeviceSpec(chip), FTuner);
    FBackend->Plug(FDevice);
    FSignal = std::make_unique<TSignalWatcher>(std::initializer_list<int>{SIGUSR1},
                                               [this](int) { TogglePlug(); });
}

TSimulatedTuners::~TSimulatedTuners() = default;

std::unique_ptr<THidBackend> TSimulatedTuners::TakeBackend() {
    return std::move(FOwned);
}

void TSimulatedTuners::TogglePlug() {
    if (FBackend->IsPlugged(FDevice))
        FBackend->Unplug(FDevice);
    else
        FBackend->Plug(FDevice);
}
