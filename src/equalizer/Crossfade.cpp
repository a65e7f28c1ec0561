#include "equalizer/Crossfade.h"

void CrossfadeInPlace(const double* from, double* to, std::size_t n) {
    for (std::size_t t = 0; t < n; ++t) {
        const double w = double(t + 1) / double(n);
        to[t] = from[t] * (1.0 - w) + to[t] * w;
    }
}
