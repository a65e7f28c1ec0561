#pragma once

// A move from one signal to another over one block, so that a change of what is played (a
// filter switched on or off, a new design) is heard without a jump. Linear in amplitude: each
// result lies between the two signals' samples, so the move cannot clip where neither does.

#include <cstddef>

// to[t] := from[t] * (1 - w) + to[t] * w with w = (t + 1) / n: the first sample has moved one
// step away from `from`, the last is `to`'s own.
void CrossfadeInPlace(const double* from, double* to, std::size_t n);
