#include "audio/SmartBufferManager.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <bit>
#include <cstdlib>

TSmartBufferManager& TSmartBufferManager::Instance() {
    // Never destroyed: buffers may still be released by threads that outlive static
    // destruction order, and the free blocks stay reachable rather than leaked.
    static TSmartBufferManager* instance = new TSmartBufferManager;
    return *instance;
}

std::size_t TSmartBufferManager::BlockSize(std::size_t request) {
    if (request > (std::size_t(1) << MaxShift))
        throw EOutOfMemory();
    return std::max<std::size_t>(std::bit_ceil(request), std::size_t(1) << MinShift);
}

unsigned TSmartBufferManager::ShiftOf(std::size_t blockSize) {
    return unsigned(std::countr_zero(blockSize));
}

void* TSmartBufferManager::Allocate(std::size_t size) {
    const std::size_t blockSize = BlockSize(size);
    {
        std::lock_guard guard(FLock);
        TSmartBufferList& list = FLists[ShiftOf(blockSize)];
        const int freeBefore = int(list.FFree.size());
        if (!list.FActive) {
            list.FActive = true;
        }
        list.FCountDown = freeBefore + KeepTicks;
        if (freeBefore > 0) {
            void* block = list.FFree.back();
            list.FFree.pop_back();
            return block;
        }
        ++FSystemAllocations;
    }
    EnsureTimer();
    // Blocks of 16 bytes and more are 16-aligned, enough for any sample type.
    void* block = std::aligned_alloc(std::min<std::size_t>(blockSize, 16), blockSize);
    if (!block)
        throw EOutOfMemory();
    return block;
}

void TSmartBufferManager::Release(void* block, std::size_t size) {
    if (!block)
        return;
    const std::size_t blockSize = BlockSize(size);
    std::lock_guard guard(FLock);
    TSmartBufferList& list = FLists[ShiftOf(blockSize)];
    list.FActive = true;
    try {
        list.FFree.push_back(block);
    } catch (const std::bad_alloc&) {
        std::free(block);
        return;
    }
    list.FCountDown = int(list.FFree.size()) + KeepTicks;
}

void TSmartBufferManager::Trim() {
    std::lock_guard guard(FLock);
    for (TSmartBufferList& list : FLists) {
        if (!list.FActive)
            continue;
        if (list.FCountDown > 0) {
            --list.FCountDown;
            while (int(list.FFree.size()) > list.FCountDown) {
                std::free(list.FFree.back());
                list.FFree.pop_back();
            }
        }
        if (list.FCountDown == 0) {
            for (void* block : list.FFree)
                std::free(block);
            list.FFree = {};
            list.FActive = false;
        }
    }
}

std::uint64_t TSmartBufferManager::SystemAllocations() const {
    std::lock_guard guard(FLock);
    return FSystemAllocations;
}

std::size_t TSmartBufferManager::FreeBlocks(std::size_t blockSize) const {
    std::lock_guard guard(FLock);
    return FLists[ShiftOf(BlockSize(blockSize))].FFree.size();
}

int TSmartBufferManager::CountDown(std::size_t blockSize) const {
    std::lock_guard guard(FLock);
    return FLists[ShiftOf(BlockSize(blockSize))].FCountDown;
}

bool TSmartBufferManager::HasList(std::size_t blockSize) const {
    std::lock_guard guard(FLock);
    return FLists[ShiftOf(BlockSize(blockSize))].FActive;
}

void TSmartBufferManager::Clear() {
    std::lock_guard guard(FLock);
    for (TSmartBufferList& list : FLists) {
        for (void* block : list.FFree)
            std::free(block);
        list.FFree = {};
        list.FCountDown = 0;
        list.FActive = false;
    }
}

// The timer lives on the GUI thread (the application's thread); a request from another thread
// is queued there. Without an application nothing trims, which only keeps blocks longer.
void TSmartBufferManager::EnsureTimer() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    {
        std::lock_guard guard(FLock);
        if (FTimerRequested)
            return;
        FTimerRequested = true;
    }
    auto start = [this, app] {
        auto* timer = new QTimer(app);
        QObject::connect(timer, &QTimer::timeout, [this] { Trim(); });
        timer->start(TrimIntervalMs);
    };
    if (QThread::currentThread() == app->thread())
        start();
    else
        QMetaObject::invokeMethod(app, start, Qt::QueuedConnection);
}
