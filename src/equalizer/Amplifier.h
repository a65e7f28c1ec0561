#pragma once

// The volume stage: multiplies every sample by one linear coefficient. A coefficient of
// exactly 1.0 passes the input's data on untouched and unshared-copied; any other value writes
// into a buffer of the amplifier's own, so other holders of the input never see the change.

#include "equalizer/CommonFilter.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Scales `samples` samples of the given container width (8, 16, 24 or 32 bits) from source to
// target (which may be the same memory), rounding to nearest with ties to even. Results out of
// range saturate; 8-bit samples are scaled around their silence value 128.
void ScaleSamples(const std::uint8_t* source, std::uint8_t* target, std::size_t samples,
                  unsigned containerBits, double coefficient);

class TAmplifier : public TCommonFilter {
public:
    TAmplifier() = default;
    ~TAmplifier() override;

    std::string ClassName() const override { return "TAmplifier"; }

    double Coefficient() const { return FCoefficient.load(); }
    // Negative values (and NaN) are stored as 0.0; takes effect with the next buffer.
    void SetCoefficient(double value);

protected:
    void ProcessBuffer(TAudioBuffer& input, TAudioBuffer& output, bool& send) override;

private:
    std::atomic<double> FCoefficient{1.0};
};
