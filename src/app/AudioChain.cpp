#include "AudioChain.h"

#include "equalizer/GraphicEqualizer.h"

TAudioChain::TAudioChain() : FGraphicEqualizer1(std::make_unique<TGraphicEqualizer>()) {
    // The main window's equalizer as it is stored with the window: threaded, ten bands an
    // octave apart from 31.25 Hz with unit gains, a Bartlett window. The equalizer window sets
    // its own frequencies and the preset's gains when it is made.
    TGraphicEqualizer& equalizer = *FGraphicEqualizer1;
    equalizer.SetName("GraphicEqualizer1");
    equalizer.Threading().SetEnabled(true);
    for (int band = 0; band < 10; ++band)
        equalizer.Channels().Add();
    equalizer.SetWindowType(TWindowType::wtBartlett);
    equalizer.SetAlpha(1.0);
}

TAudioChain::~TAudioChain() = default;

void TAudioChain::SetEqualizerEnabled(bool enabled) {
    FGraphicEqualizer1->SetEnabled(enabled);
}
