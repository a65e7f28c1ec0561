#pragma once

// Pins join components. A source pin delivers every operation to its sinks by a direct call on
// the calling thread; nothing is queued by the pins themselves.
//
// Threads and locks:
// - A source pin's connection list has a small lock of its own; a delivery works on a snapshot
//   of it, so sinks connected or removed during a delivery do not change that delivery.
// - While a pin delivers, the sending thread holds none of its component's locks (they are
//   released for the delivery and taken back afterwards), so a downstream component may call
//   back upstream without lock-order inversion.
// - Disconnect the pins of a component (DisconnectAll / SetSourcePin(nullptr)) while the
//   component is whole: that is when the disconnect stop is delivered. A pin destroyed while
//   still connected only drops its connections.

#include "audio/AudioBuffer.h"
#include "audio/Operations.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

class TAudioComponent;
class TSourcePin;

class EPinException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A pin's stream type; pins join only pins of the same type.
struct TStreamType {
    const char* Name;
    const char* Guid;
};

extern const TStreamType AudioBufferStreamType; // "Audio buffer"
extern const TStreamType BoolStreamType;
extern const TStreamType ClockStreamType;
extern const TStreamType RealRangedStreamType;

inline constexpr int MaxPinNesting = 200;
inline constexpr int MaxConnectionWeight = 10000;
inline const char* const PinDependsOnItselfMessage =
    "The pin depends on itself. Please protect with functional dependency.";

using TPinHandler = std::function<bool(const TOperationPtr& operation)>;

class TBasicSinkPin {
public:
    TBasicSinkPin(TAudioComponent* owner, const TStreamType& type);
    virtual ~TBasicSinkPin();
    TBasicSinkPin(const TBasicSinkPin&) = delete;
    TBasicSinkPin& operator=(const TBasicSinkPin&) = delete;

    TAudioComponent* Owner() const { return FOwner; }
    const TStreamType& StreamType() const { return FType; }

    TSourcePin* SourcePin() const { return FSource.load(); }
    // Connects to source (leaving any previous one), or disconnects with nullptr.
    void SetSourcePin(TSourcePin* source);

    // The component's handler for operations arriving here.
    TPinHandler OnOperation;
    // Sends an operation upstream to the connected source pin's handler.
    bool Notify(const TOperationPtr& operation);

    // A sink that must be served after another sink of the same source.
    void SetDependsOn(TBasicSinkPin* other) { FDependsOn.store(other); }
    TBasicSinkPin* DependsOn() const { return FDependsOn.load(); }

    bool Destroying() const { return FDestroying.load(); }

protected:
    virtual bool Handle(const TOperationPtr& operation);

private:
    friend class TSourcePin;
    TAudioComponent* FOwner;
    const TStreamType& FType;
    std::atomic<TSourcePin*> FSource{nullptr};
    std::atomic<TBasicSinkPin*> FDependsOn{nullptr};
    std::atomic<bool> FDestroying{false};
};

class TSourcePin {
public:
    struct TConnection {
        TBasicSinkPin* Sink;
        int Weight;
    };

    TSourcePin(TAudioComponent* owner, const TStreamType& type);
    virtual ~TSourcePin();
    TSourcePin(const TSourcePin&) = delete;
    TSourcePin& operator=(const TSourcePin&) = delete;

    TAudioComponent* Owner() const { return FOwner; }
    const TStreamType& StreamType() const { return FType; }

    // Throws EPinException when the stream types differ.
    void Connect(TBasicSinkPin& sink);
    // Delivers a stop to that sink alone, then removes the connection.
    void Disconnect(TBasicSinkPin& sink);
    void DisconnectAll();

    std::vector<TBasicSinkPin*> SinkPins() const;
    std::vector<TConnection> Connections() const;
    std::size_t SinkCount() const;
    bool HasSinks() const { return SinkCount() > 0; }

    // Delivers to every connected sink; true when any handler returned true.
    bool Notify(const TOperationPtr& operation);
    // Delivers to one connected sink only.
    bool NotifySink(const TOperationPtr& operation, TBasicSinkPin& sink);
    void SendStop();
    void SendEndStop();

    // The component's handler for operations coming upstream from a sink.
    TPinHandler OnUpstream;

protected:
    // Audio pins remember the last start they delivered, to replay it to a late sink.
    void SetRemembersStart(bool value) { FRemembersStart = value; }
    // As Notify, but an exception in one sink is discarded and the other sinks are still
    // served.
    bool NotifyIsolated(const TOperationPtr& operation);

private:
    friend class TBasicSinkPin;
    bool Deliver(const TOperationPtr& operation, TBasicSinkPin* only, bool isolate);
    void Resort();
    void RemoveConnection(TBasicSinkPin& sink);

    TAudioComponent* FOwner;
    const TStreamType& FType;
    mutable std::mutex FListLock;
    std::vector<TConnection> FConnections;
    TOperationPtr FStartMemory;
    bool FRemembersStart = false;
    bool FDisconnecting = false;
    std::atomic<int> FNesting{0};
};

class TStreamSourcePin : public TSourcePin {
public:
    using TSourcePin::TSourcePin;
};

class TStreamSinkPin : public TBasicSinkPin {
public:
    using TBasicSinkPin::TBasicSinkPin;
};

class TAudioSourcePin : public TStreamSourcePin {
public:
    explicit TAudioSourcePin(TAudioComponent* owner);
    // Sends one buffer (the sinks get a buffer object of their own on its data). Exceptions
    // from the sinks are swallowed: a failing consumer must not stop the producer.
    void SendBuffer(const TAudioBuffer& buffer);
};

class TAudioSinkPin : public TStreamSinkPin {
public:
    explicit TAudioSinkPin(TAudioComponent* owner);
};

// A Boolean source that carries a state (a device component's Enabled).
class TBoolStatePin : public TSourcePin {
public:
    explicit TBoolStatePin(TAudioComponent* owner);
    bool Value() const { return FValue.load(); }
    void SetValue(bool value);

private:
    std::atomic<bool> FValue{false};
};

// A Boolean sink; the component learns new values through OnValue.
class TBoolSinkPin : public TBasicSinkPin {
public:
    explicit TBoolSinkPin(TAudioComponent* owner);
    std::function<void(bool value)> OnValue;

protected:
    bool Handle(const TOperationPtr& operation) override;
};

class TClockSourcePin : public TSourcePin {
public:
    explicit TClockSourcePin(TAudioComponent* owner);
};

class TRealRangedSourcePin : public TSourcePin {
public:
    explicit TRealRangedSourcePin(TAudioComponent* owner);
    double Value() const;
    double Minimum() const;
    double Maximum() const;
    void SetValue(double value, double minimum, double maximum);

private:
    mutable std::mutex FValueLock;
    double FValue = 0.0, FMinimum = 0.0, FMaximum = 0.0;
};
