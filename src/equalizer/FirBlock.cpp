#include "equalizer/FirBlock.h"

#include "equalizer/CpuFeatures.h"

#include <cstddef>
#include <cstring>

namespace {

// Four doubles processed by one instruction where the target has them (two where it has only
// 128-bit registers); plain IEEE lane-wise arithmetic either way.
typedef double TLanes __attribute__((vector_size(32)));
constexpr int LaneCount = 4;
constexpr int BlockLanes = 4; // independent sums in flight, to hide the adder's latency
constexpr int BlockSize = LaneCount * BlockLanes;

// y[t] = sum over k of taps[k] * x[m - 1 + t - k], x holding m - 1 earlier inputs first.
// The product and the sum are separate statements so that no compiler contracts them into a
// fused multiply-add (no target this is built for enables one anyway).
[[gnu::always_inline]] inline void Convolve(const double* taps, int m, const double* x, double* y,
                                            int n) {
    int t = 0;
    for (; t + BlockSize <= n; t += BlockSize) {
        TLanes sums[BlockLanes];
        for (TLanes& sum : sums)
            sum = TLanes{0.0, 0.0, 0.0, 0.0};
        const double* base = x + (m - 1) + t;
        for (int k = 0; k < m; ++k) {
            const double tap = taps[k];
            const double* in = base - k;
            for (int lane = 0; lane < BlockLanes; ++lane) {
                TLanes values;
                std::memcpy(&values, in + lane * LaneCount, sizeof values);
                const TLanes products = values * tap;
                sums[lane] = sums[lane] + products;
            }
        }
        std::memcpy(y + t, sums, sizeof sums);
    }
    for (; t < n; ++t) {
        const double* in = x + (m - 1) + t;
        double sum = 0.0;
        for (int k = 0; k < m; ++k) {
            const double product = taps[k] * in[-k];
            sum += product;
        }
        y[t] = sum;
    }
}

void ConvolvePlain(const double* taps, int m, const double* x, double* y, int n) {
    Convolve(taps, m, x, y, n);
}

#if defined(__x86_64__) || defined(__i386__)
// AVX gives 256-bit registers; "fma" is deliberately not enabled, so products stay rounded.
__attribute__((target("avx"))) void ConvolveAvx(const double* taps, int m, const double* x,
                                                double* y, int n) {
    Convolve(taps, m, x, y, n);
}
#endif

void ConvolveBest(const double* taps, int m, const double* x, double* y, int n) {
#if defined(__x86_64__) || defined(__i386__)
    if (CpuHasAvx()) {
        ConvolveAvx(taps, m, x, y, n);
        return;
    }
#endif
    ConvolvePlain(taps, m, x, y, n);
}

} // namespace

void FirBlockInPlace(SignalPrimitives::TFirState& state, double* samples, int n,
                     std::vector<double>& work) {
    const int m = int(state.Taps.size());
    if (m == 0 || n <= 0)
        return;
    const std::size_t ring = std::size_t(m);
    const std::size_t earlier = ring - 1;
    if (work.size() < earlier + std::size_t(n))
        work.resize(earlier + std::size_t(n));
    double* x = work.data();

    // The ring's last m - 1 inputs, oldest first, then the new inputs.
    for (std::size_t k = 1; k <= earlier; ++k)
        x[earlier - k] = state.Delay[(state.Position + ring - k) % ring];
    std::memcpy(x + earlier, samples, std::size_t(n) * sizeof(double));

    ConvolveBest(state.Taps.data(), m, x, samples, n);

    // Leave the ring as FirOne would: input i went to (Position + i) mod m.
    const std::size_t count = std::size_t(n);
    const std::size_t first = count > ring ? count - ring : 0;
    for (std::size_t i = first; i < count; ++i)
        state.Delay[(state.Position + i) % ring] = x[earlier + i];
    state.Position = (state.Position + count) % ring;
}
