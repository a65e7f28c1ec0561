#pragma once

// Audio buffers: small buffer objects pointing into reference-counted data containers.
//
// A container (TSmartAudioBuffer) is one pool block laid out as the 40-byte format header
// followed by the interleaved samples; the container object itself also comes from the pool.
// The buffer objects pointing at a container are counted; a container that one object alone
// points to is written in place, otherwise WritableData/OverwriteData first move the writer to
// a private copy. So a buffer once sent is never changed under another holder.
//
// A buffer object belongs to one thread at a time; different objects on one container may be
// used from different threads (the count and the time stamps are guarded in the container).

#include "audio/AudioFormat.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

inline constexpr std::size_t WaveHeaderSize = sizeof(TWaveFormatExtensible);

class TSmartAudioBuffer {
public:
    // size: header + sample bytes. Throws EOutOfMemory.
    static TSmartAudioBuffer* Create(std::size_t size);
    void AddRef();
    void ReleaseRef();
    int RefCount() const { return FRefCount.load(std::memory_order_acquire); }

    std::uint8_t* Block() { return FBlock; }
    const std::uint8_t* Block() const { return FBlock; }
    std::size_t Size() const { return FSize; }

    struct TStamp {
        bool Valid = false;
        std::int64_t Start = 0;
        std::int64_t End = 0;
    };
    TStamp Stamp() const;
    void SetStamp(const TStamp& stamp);

private:
    explicit TSmartAudioBuffer(std::uint8_t* block, std::size_t size)
        : FBlock(block), FSize(size) {}

    std::atomic<int> FRefCount{1};
    std::uint8_t* FBlock;
    std::size_t FSize;
    mutable std::mutex FStampLock;
    TStamp FStamp;
};

class TAudioBuffer;

// Start and end in units of 100 ns; shared by every buffer object on one container.
class TTimeStamp {
public:
    explicit TTimeStamp(TSmartAudioBuffer* container) : FContainer(container) {}
    bool Valid() const;
    std::int64_t Start() const;
    std::int64_t End() const;
    void Set(std::int64_t start, std::int64_t end); // marks it valid
    void Invalidate();

private:
    TSmartAudioBuffer* FContainer;
};

class TAudioBuffer {
public:
    TAudioBuffer() = default;
    // frames x channels x container bytes of samples; see ReduceChannelMask for the mask.
    static TAudioBuffer Create(std::uint32_t sampleRate, std::uint32_t channelMask,
                               std::uint32_t frames, unsigned channels, unsigned bits);
    ~TAudioBuffer();
    TAudioBuffer(TAudioBuffer&& other) noexcept;
    TAudioBuffer& operator=(TAudioBuffer&& other) noexcept;
    // Copies are explicit (CreateShared), so that sharing a container is always visible.
    TAudioBuffer(const TAudioBuffer&) = delete;
    TAudioBuffer& operator=(const TAudioBuffer&) = delete;

    bool Empty() const { return FContainer == nullptr; }
    TAudioBuffer CreateShared() const;
    void Assign(const TAudioBuffer& other);
    void Clear();

    // The first sample; no copy, no check.
    const std::uint8_t* RawData() const;
    // Private samples: copies header and samples first when the container is shared.
    std::uint8_t* WritableData();
    // As WritableData, but copies only the header: the caller overwrites every sample.
    std::uint8_t* OverwriteData();

    const TWaveFormatExtensible& Format() const;
    unsigned Channels() const { return Format().nChannels; }
    unsigned ValidBits() const { return Format().wValidBitsPerSample; }
    unsigned ContainerBits() const { return Format().wBitsPerSample; }
    unsigned BlockAlign() const { return Format().nBlockAlign; }
    std::uint32_t ChannelMask() const { return Format().dwChannelMask; }
    std::uint32_t SampleRate() const { return Format().nSamplesPerSec; }
    std::size_t BlockSize() const; // header + samples
    std::size_t DataSize() const;
    std::uint32_t FrameCount() const;

    TTimeStamp TimeStamp() const { return TTimeStamp(FContainer); }

    // For tests and diagnostics.
    bool SharesDataWith(const TAudioBuffer& other) const {
        return FContainer && FContainer == other.FContainer;
    }
    int ShareCount() const { return FContainer ? FContainer->RefCount() : 0; }

private:
    explicit TAudioBuffer(TSmartAudioBuffer* container) : FContainer(container) {}
    std::uint8_t* Detach(bool copySamples);

    TSmartAudioBuffer* FContainer = nullptr;
};
