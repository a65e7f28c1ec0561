#include "equalizer/SignalPrimitives.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace SignalPrimitives {

namespace {

constexpr double Pi = std::numbers::pi;

template <typename Factor> void ApplyWindow(double* taps, int n, Factor factor) {
    if (n < 3)
        return;
    const double n1 = double(n - 1);
    for (int i = 0; i < n; ++i)
        taps[i] *= factor(double(i), n1);
}

} // namespace

void WinBartlettInPlace(double* taps, int n) {
    ApplyWindow(taps, n, [](double i, double n1) {
        return 2.0 * i <= n1 ? 2.0 * i / n1 : 2.0 - 2.0 * i / n1;
    });
}

void WinBlackmanInPlace(double* taps, int n, double alpha) {
    ApplyWindow(taps, n, [alpha](double i, double n1) {
        return (alpha + 1.0) / 2.0 - 0.5 * std::cos(2.0 * Pi * i / n1) -
               (alpha / 2.0) * std::cos(4.0 * Pi * i / n1);
    });
}

void WinHammingInPlace(double* taps, int n) {
    ApplyWindow(taps, n,
                [](double i, double n1) { return 0.54 - 0.46 * std::cos(2.0 * Pi * i / n1); });
}

void WinHannInPlace(double* taps, int n) {
    ApplyWindow(taps, n,
                [](double i, double n1) { return 0.5 - 0.5 * std::cos(2.0 * Pi * i / n1); });
}

double BesselI0(double x) {
    // The power series sum of ((x/2)^k / k!)^2 has only positive terms, so it loses nothing
    // to cancellation; it ends when a term no longer changes the sum.
    const double quarterSquare = x * x / 4.0;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k < 2000; ++k) {
        term *= quarterSquare / (double(k) * double(k));
        const double next = sum + term;
        if (next == sum)
            break;
        sum = next;
    }
    return sum;
}

void WinKaiserInPlace(double* taps, int n, float alpha) {
    const double a = double(alpha);
    if (n < 3 || std::fabs(a) * double(n - 1) / 2.0 > 308.0)
        return;
    const double denominator = BesselI0(a * double(n - 1) / 2.0);
    ApplyWindow(taps, n, [a, denominator](double i, double n1) {
        return BesselI0(a * std::sqrt(i * (n1 - i))) / denominator;
    });
}

void MulConstInPlace(double value, double* v, int n) {
    for (int i = 0; i < n; ++i)
        v[i] *= value;
}

bool DivConstInPlace(double value, double* v, int n) {
    if (value == 0.0)
        return false;
    MulConstInPlace(1.0 / value, v, n);
    return true;
}

void AddInPlace(const double* src, double* dst, int n) {
    for (int i = 0; i < n; ++i)
        dst[i] += src[i];
}

void CopyDoubles(const double* src, double* dst, int n) {
    for (int i = 0; i < n; ++i)
        dst[i] = src[i];
}

TFirState* FirInitAlloc(const double* taps, int n, const double* delay) {
    if (n < 1)
        return nullptr;
    auto* state = new TFirState;
    state->Taps.assign(taps, taps + n);
    state->Delay.assign(std::size_t(n), 0.0);
    // The ring holds x[t - 1] ... x[t - n + 1] once the next input is stored at Position 0.
    if (delay)
        for (int k = 0; k < n - 1; ++k)
            state->Delay[std::size_t(k + 1)] = delay[k];
    return state;
}

void FirOne(double x, double& y, TFirState& state) {
    const std::size_t n = state.Taps.size();
    state.Delay[state.Position] = x;
    double sum = 0.0;
    std::size_t index = state.Position;
    for (std::size_t k = 0; k < n; ++k) {
        sum += state.Taps[k] * state.Delay[index];
        index = index == 0 ? n - 1 : index - 1;
    }
    y = sum;
    state.Position = state.Position + 1 == n ? 0 : state.Position + 1;
}

void FirFree(TFirState* state) {
    delete state;
}

TIirState* IirInitAlloc(const float taps[6]) {
    const float a0 = taps[3];
    if (a0 == 0.0f)
        return nullptr;
    auto* state = new TIirState;
    state->B0 = taps[0] / a0;
    state->B1 = taps[1] / a0;
    state->B2 = taps[2] / a0;
    state->A1 = taps[4] / a0;
    state->A2 = taps[5] / a0;
    return state;
}

void IirInPlace(float* block, int n, TIirState& s) {
    for (int i = 0; i < n; ++i) {
        const float x = block[i];
        const float y = s.B0 * x + s.B1 * s.X1 + s.B2 * s.X2 - s.A1 * s.Y1 - s.A2 * s.Y2;
        s.X2 = s.X1;
        s.X1 = x;
        s.Y2 = s.Y1;
        s.Y1 = y;
        block[i] = y;
    }
}

void IirFree(TIirState* state) {
    delete state;
}

void SqrInPlace(float* block, int n) {
    for (int i = 0; i < n; ++i)
        block[i] *= block[i];
}

float SumFloats(const float* block, int n) {
    float sum = 0.0f;
    for (int i = 0; i < n; ++i)
        sum += block[i];
    return sum;
}

void ConvertU8ToFloat(const std::uint8_t* source, int sourceStep, float* target, int n) {
    for (int i = 0; i < n; ++i)
        target[i] = float(source[std::size_t(i) * std::size_t(sourceStep)]);
}

void ConvertS16ToFloat(const std::uint8_t* source, int sourceStep, float* target, int n) {
    for (int i = 0; i < n; ++i) {
        std::int16_t value;
        std::memcpy(&value, source + std::size_t(i) * std::size_t(sourceStep), sizeof value);
        target[i] = float(value);
    }
}

} // namespace SignalPrimitives
