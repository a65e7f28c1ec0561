#include "audio/Pins.h"

#include "audio/AudioComponent.h"

#include <algorithm>
#include <cstring>

const TStreamType AudioBufferStreamType{"Audio buffer", "{02AE44FE-20AF-4E17-A15E-E30121F01E75}"};
const TStreamType BoolStreamType{"Boolean", ""};
const TStreamType ClockStreamType{"Clock", ""};
const TStreamType RealRangedStreamType{"Real ranged", ""};

namespace {
bool SameType(const TStreamType& a, const TStreamType& b) {
    return &a == &b || (std::strcmp(a.Name, b.Name) == 0 && std::strcmp(a.Guid, b.Guid) == 0);
}

// Releases the sending component's locks for the length of a delivery. The processing lock
// goes first and comes back last, so that the component lock is always taken before it.
class TSenderUnlock {
public:
    explicit TSenderUnlock(TAudioComponent* owner)
        : FProcessing(owner ? owner->ProcessingLock() : nullptr),
          FComponent(owner ? &owner->Lock() : nullptr) {}

private:
    TUnlockSection FProcessing;
    TUnlockSection FComponent;
};

class TNestingCount {
public:
    explicit TNestingCount(std::atomic<int>& count) : FCount(count) {
        if (FCount.fetch_add(1) > MaxPinNesting) {
            FCount.fetch_sub(1);
            throw EPinException(PinDependsOnItselfMessage);
        }
    }
    ~TNestingCount() { FCount.fetch_sub(1); }

private:
    std::atomic<int>& FCount;
};
} // namespace

// ---- sink pins ----

TBasicSinkPin::TBasicSinkPin(TAudioComponent* owner, const TStreamType& type)
    : FOwner(owner), FType(type) {}

TBasicSinkPin::~TBasicSinkPin() {
    FDestroying.store(true);
    if (TSourcePin* source = FSource.load())
        source->RemoveConnection(*this);
}

void TBasicSinkPin::SetSourcePin(TSourcePin* source) {
    TSourcePin* current = FSource.load();
    if (current == source)
        return;
    if (current)
        current->Disconnect(*this);
    if (source)
        source->Connect(*this);
}

bool TBasicSinkPin::Notify(const TOperationPtr& operation) {
    TSourcePin* source = FSource.load();
    if (!source || !source->OnUpstream)
        return false;
    TSenderUnlock unlock(FOwner);
    return source->OnUpstream(operation);
}

bool TBasicSinkPin::Handle(const TOperationPtr& operation) {
    return OnOperation ? OnOperation(operation) : false;
}

// ---- source pins ----

TSourcePin::TSourcePin(TAudioComponent* owner, const TStreamType& type)
    : FOwner(owner), FType(type) {}

TSourcePin::~TSourcePin() {
    std::lock_guard guard(FListLock);
    for (const TConnection& connection : FConnections)
        connection.Sink->FSource.store(nullptr);
    FConnections.clear();
}

void TSourcePin::Connect(TBasicSinkPin& sink) {
    if (!SameType(FType, sink.StreamType()))
        throw EPinException(std::string("Can't connect a pin of type \"") + FType.Name +
                            "\" to a pin of type \"" + sink.StreamType().Name + "\".");
    if (TSourcePin* previous = sink.SourcePin()) {
        if (previous == this)
            return;
        previous->Disconnect(sink);
    }
    TOperationPtr start;
    {
        std::lock_guard guard(FListLock);
        FConnections.push_back({&sink, 0});
        sink.FSource.store(this);
        start = FStartMemory;
    }
    // A sink that joins a running stream first learns its format.
    if (start)
        NotifySink(start, sink);
}

void TSourcePin::Disconnect(TBasicSinkPin& sink) {
    {
        std::lock_guard guard(FListLock);
        const bool connected = std::any_of(FConnections.begin(), FConnections.end(),
                                           [&](const TConnection& c) { return c.Sink == &sink; });
        if (!connected)
            return;
        FDisconnecting = true;
    }
    try {
        NotifySink(std::make_shared<TStopOperation>(), sink);
    } catch (...) {
        RemoveConnection(sink);
        throw;
    }
    RemoveConnection(sink);
}

void TSourcePin::RemoveConnection(TBasicSinkPin& sink) {
    std::lock_guard guard(FListLock);
    std::erase_if(FConnections, [&](const TConnection& c) { return c.Sink == &sink; });
    if (sink.FSource.load() == this)
        sink.FSource.store(nullptr);
    FDisconnecting = false;
}

void TSourcePin::DisconnectAll() {
    for (TBasicSinkPin* sink : SinkPins())
        Disconnect(*sink);
}

std::vector<TBasicSinkPin*> TSourcePin::SinkPins() const {
    std::lock_guard guard(FListLock);
    std::vector<TBasicSinkPin*> sinks;
    sinks.reserve(FConnections.size());
    for (const TConnection& connection : FConnections)
        sinks.push_back(connection.Sink);
    return sinks;
}

std::vector<TSourcePin::TConnection> TSourcePin::Connections() const {
    std::lock_guard guard(FListLock);
    return FConnections;
}

std::size_t TSourcePin::SinkCount() const {
    std::lock_guard guard(FListLock);
    return FConnections.size();
}

bool TSourcePin::Notify(const TOperationPtr& operation) {
    return Deliver(operation, nullptr, false);
}

bool TSourcePin::NotifyIsolated(const TOperationPtr& operation) {
    return Deliver(operation, nullptr, true);
}

bool TSourcePin::NotifySink(const TOperationPtr& operation, TBasicSinkPin& sink) {
    return Deliver(operation, &sink, false);
}

void TSourcePin::SendStop() {
    Notify(std::make_shared<TStopOperation>());
}
void TSourcePin::SendEndStop() {
    Notify(std::make_shared<TEndStopOperation>());
}

bool TSourcePin::Deliver(const TOperationPtr& operation, TBasicSinkPin* only, bool isolate) {
    if (!operation)
        return false;
    TSenderUnlock unlock(FOwner);

    std::vector<TBasicSinkPin*> snapshot;
    {
        std::lock_guard guard(FListLock);
        if (only) {
            if (std::none_of(FConnections.begin(), FConnections.end(),
                             [&](const TConnection& c) { return c.Sink == only; }))
                return false;
            snapshot.push_back(only);
        } else {
            snapshot.reserve(FConnections.size());
            for (const TConnection& connection : FConnections)
                snapshot.push_back(connection.Sink);
            if (FRemembersStart) {
                if (operation->Is<TStartOperation>())
                    FStartMemory = operation;
                else if (operation->Is<TStopOperation>())
                    FStartMemory.reset();
            }
        }
    }

    TNestingCount nesting(FNesting);
    bool any = false;
    for (TBasicSinkPin* sink : snapshot) {
        if (sink->Destroying())
            continue;
        bool handled = false;
        if (isolate) {
            try {
                handled = sink->Handle(operation);
            } catch (...) {
                // One failing consumer must not starve the others of this buffer.
            }
        } else {
            handled = sink->Handle(operation);
        }
        if (!handled)
            continue;
        any = true;
        std::lock_guard guard(FListLock);
        for (TConnection& connection : FConnections)
            if (connection.Sink == sink && connection.Weight < MaxConnectionWeight)
                connection.Weight += 4;
    }
    Resort();
    return any;
}

void TSourcePin::Resort() {
    std::lock_guard guard(FListLock);
    if (FDisconnecting)
        return;
    for (TConnection& connection : FConnections)
        if (connection.Weight > 0)
            --connection.Weight;
    std::stable_sort(
        FConnections.begin(), FConnections.end(),
        [](const TConnection& a, const TConnection& b) { return a.Weight < b.Weight; });
    // A sink that depends on another sink of this pin is served after it.
    for (std::size_t i = 0; i < FConnections.size(); ++i) {
        TBasicSinkPin* dependency = FConnections[i].Sink->DependsOn();
        if (!dependency)
            continue;
        for (std::size_t j = i + 1; j < FConnections.size(); ++j) {
            if (FConnections[j].Sink == dependency) {
                const TConnection moved = FConnections[i];
                FConnections.erase(FConnections.begin() + std::ptrdiff_t(i));
                FConnections.insert(FConnections.begin() + std::ptrdiff_t(j), moved);
                --i;
                break;
            }
        }
    }
}

// ---- audio pins ----

TAudioSourcePin::TAudioSourcePin(TAudioComponent* owner)
    : TStreamSourcePin(owner, AudioBufferStreamType) {
    SetRemembersStart(true);
}

void TAudioSourcePin::SendBuffer(const TAudioBuffer& buffer) {
    try {
        NotifyIsolated(std::make_shared<TSuppliedBufferOperation>(buffer));
    } catch (...) {
        // A consumer's failure is its own; the producer goes on with its next buffer.
    }
}

TAudioSinkPin::TAudioSinkPin(TAudioComponent* owner)
    : TStreamSinkPin(owner, AudioBufferStreamType) {}

// ---- value pins ----

TBoolStatePin::TBoolStatePin(TAudioComponent* owner) : TSourcePin(owner, BoolStreamType) {}

void TBoolStatePin::SetValue(bool value) {
    if (FValue.exchange(value) != value)
        Notify(std::make_shared<TBoolStateOperation>(value));
}

TBoolSinkPin::TBoolSinkPin(TAudioComponent* owner) : TBasicSinkPin(owner, BoolStreamType) {}

bool TBoolSinkPin::Handle(const TOperationPtr& operation) {
    if (const auto* state = operation->As<TBoolStateOperation>()) {
        if (OnValue)
            OnValue(state->Value());
        return true;
    }
    return TBasicSinkPin::Handle(operation);
}

TClockSourcePin::TClockSourcePin(TAudioComponent* owner) : TSourcePin(owner, ClockStreamType) {}

TRealRangedSourcePin::TRealRangedSourcePin(TAudioComponent* owner)
    : TSourcePin(owner, RealRangedStreamType) {}

double TRealRangedSourcePin::Value() const {
    std::lock_guard guard(FValueLock);
    return FValue;
}
double TRealRangedSourcePin::Minimum() const {
    std::lock_guard guard(FValueLock);
    return FMinimum;
}
double TRealRangedSourcePin::Maximum() const {
    std::lock_guard guard(FValueLock);
    return FMaximum;
}

void TRealRangedSourcePin::SetValue(double value, double minimum, double maximum) {
    {
        std::lock_guard guard(FValueLock);
        FValue = value;
        FMinimum = minimum;
        FMaximum = maximum;
    }
    Notify(std::make_shared<TRealRangedOperation>(value, minimum, maximum));
}
