#include "audio/AudioBuffer.h"

#include "audio/SmartBufferManager.h"

#include <cstring>
#include <new>

TSmartAudioBuffer* TSmartAudioBuffer::Create(std::size_t size) {
    TSmartBufferManager& pool = TSmartBufferManager::Instance();
    auto* block = static_cast<std::uint8_t*>(pool.Allocate(size));
    void* place;
    try {
        place = pool.Allocate(sizeof(TSmartAudioBuffer));
    } catch (...) {
        pool.Release(block, size);
        throw;
    }
    return new (place) TSmartAudioBuffer(block, size);
}

void TSmartAudioBuffer::AddRef() {
    FRefCount.fetch_add(1, std::memory_order_relaxed);
}

void TSmartAudioBuffer::ReleaseRef() {
    if (FRefCount.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    TSmartBufferManager& pool = TSmartBufferManager::Instance();
    pool.Release(FBlock, FSize);
    this->~TSmartAudioBuffer();
    pool.Release(this, sizeof(TSmartAudioBuffer));
}

TSmartAudioBuffer::TStamp TSmartAudioBuffer::Stamp() const {
    std::lock_guard guard(FStampLock);
    return FStamp;
}

void TSmartAudioBuffer::SetStamp(const TStamp& stamp) {
    std::lock_guard guard(FStampLock);
    FStamp = stamp;
}

bool TTimeStamp::Valid() const {
    return FContainer && FContainer->Stamp().Valid;
}
std::int64_t TTimeStamp::Start() const {
    return FContainer ? FContainer->Stamp().Start : 0;
}
std::int64_t TTimeStamp::End() const {
    return FContainer ? FContainer->Stamp().End : 0;
}

void TTimeStamp::Set(std::int64_t start, std::int64_t end) {
    if (FContainer)
        FContainer->SetStamp({true, start, end});
}

void TTimeStamp::Invalidate() {
    if (FContainer)
        FContainer->SetStamp({});
}

TAudioBuffer TAudioBuffer::Create(std::uint32_t sampleRate, std::uint32_t channelMask,
                                  std::uint32_t frames, unsigned channels, unsigned bits) {
    const TWaveFormatExtensible header =
        MakeWaveFormat(channels, bits, sampleRate, ReduceChannelMask(channelMask, channels));
    const std::size_t size = std::size_t(frames) * header.nBlockAlign + WaveHeaderSize;
    TSmartAudioBuffer* container = TSmartAudioBuffer::Create(size);
    std::memcpy(container->Block(), &header, WaveHeaderSize);
    return TAudioBuffer(container);
}

TAudioBuffer::~TAudioBuffer() {
    Clear();
}

TAudioBuffer::TAudioBuffer(TAudioBuffer&& other) noexcept : FContainer(other.FContainer) {
    other.FContainer = nullptr;
}

TAudioBuffer& TAudioBuffer::operator=(TAudioBuffer&& other) noexcept {
    if (this != &other) {
        Clear();
        FContainer = other.FContainer;
        other.FContainer = nullptr;
    }
    return *this;
}

void TAudioBuffer::Clear() {
    if (FContainer)
        FContainer->ReleaseRef();
    FContainer = nullptr;
}

TAudioBuffer TAudioBuffer::CreateShared() const {
    if (FContainer)
        FContainer->AddRef();
    return TAudioBuffer(FContainer);
}

void TAudioBuffer::Assign(const TAudioBuffer& other) {
    if (other.FContainer == FContainer)
        return;
    if (other.FContainer)
        other.FContainer->AddRef();
    Clear();
    FContainer = other.FContainer;
}

const std::uint8_t* TAudioBuffer::RawData() const {
    return FContainer ? FContainer->Block() + WaveHeaderSize : nullptr;
}

std::uint8_t* TAudioBuffer::Detach(bool copySamples) {
    if (!FContainer)
        return nullptr;
    if (FContainer->RefCount() > 1) {
        const std::size_t size = FContainer->Size();
        TSmartAudioBuffer* copy = TSmartAudioBuffer::Create(size);
        std::memcpy(copy->Block(), FContainer->Block(), copySamples ? size : WaveHeaderSize);
        copy->SetStamp(FContainer->Stamp());
        FContainer->ReleaseRef();
        FContainer = copy;
    }
    return FContainer->Block() + WaveHeaderSize;
}

std::uint8_t* TAudioBuffer::WritableData() {
    return Detach(true);
}
std::uint8_t* TAudioBuffer::OverwriteData() {
    return Detach(false);
}

const TWaveFormatExtensible& TAudioBuffer::Format() const {
    static const TWaveFormatExtensible none{};
    if (!FContainer)
        return none;
    return *reinterpret_cast<const TWaveFormatExtensible*>(FContainer->Block());
}

std::size_t TAudioBuffer::BlockSize() const {
    return FContainer ? FContainer->Size() : 0;
}

std::size_t TAudioBuffer::DataSize() const {
    return FContainer ? FContainer->Size() - WaveHeaderSize : 0;
}

std::uint32_t TAudioBuffer::FrameCount() const {
    const unsigned align = BlockAlign();
    return align ? std::uint32_t(DataSize() / align) : 0;
}
