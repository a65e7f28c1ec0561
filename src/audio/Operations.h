#pragma once

// Everything that happens on a stream travels between pins as an operation object. Receivers
// test the class with inheritance (Is<TStopOperation>() also matches an end-stop), never a tag.
// Operations are shared: one object reaches every sink of a delivery, and a filter may queue it.

#include "audio/AudioBuffer.h"
#include "audio/AudioFormat.h"

#include <cstdint>
#include <memory>

class TAudioComponent;

class TNotifyOperation : public std::enable_shared_from_this<TNotifyOperation> {
public:
    virtual ~TNotifyOperation() = default;
    template <typename T> bool Is() const { return dynamic_cast<const T*>(this) != nullptr; }
    template <typename T> T* As() { return dynamic_cast<T*>(this); }
    template <typename T> const T* As() const { return dynamic_cast<const T*>(this); }
};

using TOperationPtr = std::shared_ptr<TNotifyOperation>;

class TStartOperation : public TNotifyOperation {};

class TStartRateOperation : public TStartOperation {
public:
    explicit TStartRateOperation(float rate = 0.0f) : FRate(rate) {}
    float Rate() const { return FRate; }

private:
    float FRate;
};

class TStartSampleRateOperation : public TStartRateOperation {
public:
    explicit TStartSampleRateOperation(double sampleRate = 0.0)
        : TStartRateOperation(float(sampleRate)), FSampleRate(sampleRate) {}
    double SampleRate() const { return FSampleRate; }

private:
    double FSampleRate;
};

class TStartWaveOperation : public TStartSampleRateOperation {
public:
    explicit TStartWaveOperation(const TWaveFormatExtensible& format, std::uint8_t flags = 0)
        : TStartSampleRateOperation(format.nSamplesPerSec), FFormat(format), FFlags(flags) {}
    const TWaveFormatExtensible& Format() const { return FFormat; }
    std::uint8_t Flags() const { return FFlags; }

private:
    TWaveFormatExtensible FFormat;
    std::uint8_t FFlags;
};

class TStopOperation : public TNotifyOperation {};
class TEndStopOperation : public TStopOperation {};

class TClockOperation : public TNotifyOperation {};
class TSuppliedOperation : public TClockOperation {};

class TSuppliedBufferOperation : public TSuppliedOperation {
public:
    // Holds a buffer object of its own on the sender's data.
    explicit TSuppliedBufferOperation(const TAudioBuffer& buffer)
        : FBuffer(buffer.CreateShared()) {}
    explicit TSuppliedBufferOperation(TAudioBuffer&& buffer) : FBuffer(std::move(buffer)) {}
    const TAudioBuffer& Buffer() const { return FBuffer; }

private:
    TAudioBuffer FBuffer;
};

class TPumpRequestOperation : public TNotifyOperation {
public:
    TPumpRequestOperation(TAudioComponent* pump, float desiredRate, int pumpPriority,
                          std::uint8_t pumpType = 3)
        : FPump(pump), FDesiredRate(desiredRate), FPumpPriority(pumpPriority), FPumpType(pumpType) {
    }
    TAudioComponent* Pump() const { return FPump; }
    // A pacing sink that wins the request names itself here.
    void SetPump(TAudioComponent* pump) { FPump = pump; }
    float DesiredRate() const { return FDesiredRate; }
    int PumpPriority() const { return FPumpPriority; }
    std::uint8_t PumpType() const { return FPumpType; }

private:
    TAudioComponent* FPump;
    float FDesiredRate;
    int FPumpPriority;
    std::uint8_t FPumpType;
};

class TMasterPumpOperation : public TNotifyOperation {
public:
    explicit TMasterPumpOperation(TAudioComponent* pump) : FPump(pump) {}
    TAudioComponent* Pump() const { return FPump; }

private:
    TAudioComponent* FPump;
};

// Value operations of the Boolean and real-valued pins.
class TBoolStateOperation : public TNotifyOperation {
public:
    explicit TBoolStateOperation(bool value) : FValue(value) {}
    bool Value() const { return FValue; }

private:
    bool FValue;
};

class TRealRangedOperation : public TNotifyOperation {
public:
    TRealRangedOperation(double value, double minimum, double maximum)
        : FValue(value), FMinimum(minimum), FMaximum(maximum) {}
    double Value() const { return FValue; }
    double Minimum() const { return FMinimum; }
    double Maximum() const { return FMaximum; }

private:
    double FValue, FMinimum, FMaximum;
};
