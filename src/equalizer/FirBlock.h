#pragma once

// The equalizer's block FIR: the same filter as n calls of SignalPrimitives::FirOne, computed
// several output samples at a time. Each output's sum is formed exactly as FirOne forms it
// (start at 0.0, add taps[k] * x[t - k] for k = 0, 1, ...; each product rounded on its own,
// never fused), so every output is bit-equal to FirOne's; afterwards the state's delay line and
// position are what FirOne would have left.

#include "equalizer/SignalPrimitives.h"

#include <vector>

// samples: n inputs, replaced by their outputs. work: scratch space, grown as needed.
void FirBlockInPlace(SignalPrimitives::TFirState& state, double* samples, int n,
                     std::vector<double>& work);
