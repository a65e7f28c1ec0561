// The equalizer's tap design: one windowed-sinc prototype per band, scaled by the band's gain
// and summed. A sampled signal has nothing above half the sample rate: a band reaching past it
// would fold back onto the bands below (a flat setting would lift the sound by up to 11 dB at
// low capture rates), so such a band ends there, and a band or high-pass that starts there or
// above is left out. Bands below it are designed exactly as at any other rate.

#include "equalizer/GraphicEqualizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace {

using namespace SignalPrimitives;

constexpr int Taps = TGraphicEqualizer::TapCount;
constexpr int Centre = Taps / 2;
constexpr double Pi = std::numbers::pi;

using TPrototype = std::vector<double>;

void ApplyWindow(TPrototype& h, TWindowType window, double alpha) {
    switch (window) {
    case TWindowType::wtRect:
        break;
    case TWindowType::wtBartlett:
        WinBartlettInPlace(h.data(), Taps);
        break;
    case TWindowType::wtBlackman:
        WinBlackmanInPlace(h.data(), Taps, alpha);
        break;
    case TWindowType::wtHamming:
        WinHammingInPlace(h.data(), Taps);
        break;
    case TWindowType::wtHanning:
        WinHannInPlace(h.data(), Taps);
        break;
    case TWindowType::wtKaiser:
        WinKaiserInPlace(h.data(), Taps, float(alpha));
        break;
    }
}

// A symmetric prototype: h[Centre] = centre, h[Centre +- k] = side(k) for k = 1..Centre.
template <typename Side> TPrototype Symmetric(double centre, Side side) {
    TPrototype h(Taps);
    h[Centre] = centre;
    for (int k = 1; k <= Centre; ++k)
        h[Centre + k] = h[Centre - k] = side(double(k));
    return h;
}

TPrototype LowPass(double cutoff, double fs) {
    const double a = 2.0 * cutoff / fs;
    return Symmetric(a, [a](double k) { return std::sin(Pi * k * a) / (Pi * k); });
}

TPrototype BandPass(double lo, double hi, double fs) {
    const double a = 2.0 * hi / fs;
    const double b = 2.0 * lo / fs;
    return Symmetric(a - b, [a, b](double k) {
        return 2.0 * std::sin(Pi * k * (a - b) / 2.0) * std::cos(Pi * k * (a + b) / 2.0) / (Pi * k);
    });
}

// The windowed low-pass turned into a high-pass of unit gain magnitude at half the sample rate.
TPrototype HighPass(double cutoff, double fs, TWindowType window, double alpha) {
    TPrototype h = LowPass(cutoff, fs);
    ApplyWindow(h, window, alpha);
    MulConstInPlace(-1.0, h.data(), Taps);
    double even = 0.0;
    double odd = 0.0;
    for (int i = 0; i < Taps; i += 2)
        even += h[std::size_t(i)];
    for (int i = 1; i < Taps; i += 2)
        odd += h[std::size_t(i)];
    double s = even - odd;
    h[Centre] += 1.0;
    s += 1.0;
    DivConstInPlace(std::fabs(s), h.data(), Taps);
    return h;
}

// c = low + (high - low) / 3, each step in single precision.
double EdgeCutoff(double low, double high) {
    const float l = float(low);
    const float h = float(high);
    const float difference = h - l;
    const float third = difference / 3.0f;
    const float cutoff = l + third;
    return double(cutoff);
}

// w = d1 * d2 / (d1 + d2) with d1, d2 the distances to the neighbours, in single precision.
double HalfWidth(double previous, double centre, double next) {
    const float p = float(previous);
    const float c = float(centre);
    const float n = float(next);
    const float d1 = c - p;
    const float d2 = n - c;
    const float product = d1 * d2;
    const float sum = d1 + d2;
    const float width = product / sum;
    return double(width);
}

void AddScaled(TPrototype h, double gain, TPrototype& result) {
    MulConstInPlace(gain, h.data(), Taps);
    AddInPlace(h.data(), result.data(), Taps);
}

} // namespace

std::vector<double> DesignResponse(std::vector<TEqualizerBand> bands, double fs, TWindowType window,
                                   double alpha) {
    const std::size_t n = bands.size();
    std::vector<double> result(Taps, 0.0);
    if (n < 2)
        return result;
    // The exchange sort keeps the design independent of the order the bands were listed in.
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (bands[j].Frequency < bands[i].Frequency)
                std::swap(bands[i], bands[j]);

    const double nyquist = fs / 2.0;
    const double lowCutoff = EdgeCutoff(bands[0].Frequency, bands[1].Frequency);
    TPrototype low = LowPass(std::min(lowCutoff, nyquist), fs);
    ApplyWindow(low, window, alpha);
    MulConstInPlace(bands[0].Coefficient, low.data(), Taps);
    CopyDoubles(low.data(), result.data(), Taps);

    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double f = bands[i].Frequency;
        const double w = HalfWidth(bands[i - 1].Frequency, f, bands[i + 1].Frequency);
        if (f - w >= nyquist)
            continue;
        TPrototype band = BandPass(f - w, std::min(f + w, nyquist), fs);
        ApplyWindow(band, window, alpha);
        AddScaled(std::move(band), bands[i].Coefficient, result);
    }

    const double high = EdgeCutoff(bands[n - 2].Frequency, bands[n - 1].Frequency);
    if (high < nyquist)
        AddScaled(HighPass(high, fs, window, alpha), bands[n - 1].Coefficient, result);
    return result;
}
