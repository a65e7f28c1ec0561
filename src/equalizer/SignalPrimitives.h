#pragma once

// The named signal-processing primitives of the equalizer and the level meter. Each keeps one
// fixed definition, order of arithmetic included, so that results are reproducible bit for bit
// (the equalizer's fast path is checked against these). Pure functions apart from the filter
// states, which belong to one thread at a time.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace SignalPrimitives {

// Window functions, in place over n taps; with n < 3 the taps stay unchanged.
void WinBartlettInPlace(double* taps, int n);
void WinBlackmanInPlace(double* taps, int n, double alpha);
void WinHammingInPlace(double* taps, int n);
void WinHannInPlace(double* taps, int n);
// Leaves the taps unchanged when |alpha| * (n - 1) / 2 > 308 (the window is not representable).
void WinKaiserInPlace(double* taps, int n, float alpha);
// The modified Bessel function of the first kind, order 0 (exact to a few ulps for |x| <= 700).
double BesselI0(double x);

void MulConstInPlace(double value, double* v, int n);
// v[i] *= 1 / value, the reciprocal computed once; a zero value leaves v unchanged (false).
bool DivConstInPlace(double value, double* v, int n);
void AddInPlace(const double* src, double* dst, int n);
void CopyDoubles(const double* src, double* dst, int n);

// A direct-form FIR filter: taps plus a delay line of the last n - 1 inputs.
struct TFirState {
    std::vector<double> Taps;
    // Ring of the last Taps.size() inputs; Position is where the next input goes.
    std::vector<double> Delay;
    std::size_t Position = 0;
};

// delay: n - 1 earlier inputs, oldest first; null for all zeros.
TFirState* FirInitAlloc(const double* taps, int n, const double* delay);
// y = sum over k = 0..n-1 of taps[k] * x[t - k], added in the order k = 0, 1, ..., n-1.
void FirOne(double x, double& y, TFirState& state);
void FirFree(TFirState* state);

// A second-order recursive filter in single precision:
// y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2] (taps divided by a0).
struct TIirState {
    float B0 = 0, B1 = 0, B2 = 0, A1 = 0, A2 = 0;
    float X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;
};

// taps: b0, b1, b2, a0, a1, a2; the history starts at zero. Null when a0 is zero.
TIirState* IirInitAlloc(const float taps[6]);
void IirInPlace(float* block, int n, TIirState& state);
void IirFree(TIirState* state);

void SqrInPlace(float* block, int n);
// The single-precision sum, added in index order.
float SumFloats(const float* block, int n);

// One channel of n samples: the source steps by sourceStep bytes, the target by one float.
void ConvertU8ToFloat(const std::uint8_t* source, int sourceStep, float* target, int n);
void ConvertS16ToFloat(const std::uint8_t* source, int sourceStep, float* target, int n);

} // namespace SignalPrimitives
