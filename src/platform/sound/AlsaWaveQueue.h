#pragma once

// The buffers a device holds, in the order they were handed to it. A ring that grows only when
// a buffer is added (on the controlling thread), so that taking buffers off on the driver
// thread never allocates or frees. Not locked itself: its owner guards it.

#include "platform/sound/WaveDevice.h"

#include <cstddef>
#include <vector>

class TWaveQueue {
public:
    TWaveQueue() : FSlots(64) {}

    bool Empty() const { return FCount == 0; }
    std::size_t Count() const { return FCount; }
    TWaveHeader* Front() const { return FCount == 0 ? nullptr : FSlots[FHead]; }

    void Push(TWaveHeader* header) {
        if (FCount == FSlots.size())
            Grow();
        FSlots[(FHead + FCount) % FSlots.size()] = header;
        ++FCount;
    }

    TWaveHeader* Pop() {
        if (FCount == 0)
            return nullptr;
        TWaveHeader* header = FSlots[FHead];
        FHead = (FHead + 1) % FSlots.size();
        --FCount;
        return header;
    }

private:
    void Grow() {
        std::vector<TWaveHeader*> slots(FSlots.size() * 2);
        for (std::size_t i = 0; i < FCount; ++i)
            slots[i] = FSlots[(FHead + i) % FSlots.size()];
        FSlots.swap(slots);
        FHead = 0;
    }

    std::vector<TWaveHeader*> FSlots;
    std::size_t FHead = 0;
    std::size_t FCount = 0;
};
