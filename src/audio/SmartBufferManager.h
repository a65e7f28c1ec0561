#pragma once

// The process-wide pool for sample memory. Blocks are powers of two (4 bytes .. 1 GiB), one
// free list per size under one list lock. A steady stream takes back the blocks it has just
// released, so once warm it allocates nothing from the system heap.
//
// Trimming: every allocation and release sets its list's count-down to the number of free
// blocks (before an allocation, after a release) plus 8. A 200 ms timer on the GUI thread
// visits every list, decrements a positive count-down and frees blocks from the end until no
// more than the count-down remain; a list whose count-down reaches 0 goes with its blocks.
// So a size no longer requested keeps its blocks for 8 ticks, then gives back one per tick.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

class EOutOfMemory : public std::runtime_error {
public:
    EOutOfMemory() : std::runtime_error("Out of memory") {}
};

class TSmartBufferList {
public:
    std::vector<void*> FFree;
    int FCountDown = 0;
    bool FActive = false;
};

class TSmartBufferManager {
public:
    static constexpr unsigned MinShift = 2;
    static constexpr unsigned MaxShift = 30;
    static constexpr int KeepTicks = 8;
    static constexpr int TrimIntervalMs = 200;

    static TSmartBufferManager& Instance();

    // The block size that serves a request; throws EOutOfMemory above 1 GiB.
    static std::size_t BlockSize(std::size_t request);

    // Returns a block of at least size bytes (BlockSize(size) really).
    void* Allocate(std::size_t size);
    void Release(void* block, std::size_t size);

    // One visit of the trimming timer; public so that tests can tick without waiting.
    void Trim();

    // Figures for tests and benchmarks.
    std::uint64_t SystemAllocations() const;
    std::size_t FreeBlocks(std::size_t blockSize) const;
    int CountDown(std::size_t blockSize) const;
    bool HasList(std::size_t blockSize) const;
    // Frees every free block and forgets every list (tests start from a known state).
    void Clear();

private:
    TSmartBufferManager() = default;
    static unsigned ShiftOf(std::size_t blockSize);
    void EnsureTimer();

    mutable std::mutex FLock;
    TSmartBufferList FLists[MaxShift + 1];
    std::uint64_t FSystemAllocations = 0;
    bool FTimerRequested = false;
};
