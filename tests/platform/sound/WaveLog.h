#pragma once

// Records what a wave device hands back through its callback, and the buffers given to it.

#include "platform/sound/WaveDevice.h"

#include <QByteArray>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

struct TWaveEvent {
    TWaveMessage Message;
    TWaveHeader* Header;
    std::uint32_t BytesRecorded; // as the header said at the callback
    std::thread::id Thread;
};

class TWaveLog {
public:
    TWaveCallback Callback() {
        return [this](TWaveMessage message, TWaveHeader* header) {
            std::lock_guard lock(FMutex);
            FEvents.push_back({message, header, header != nullptr ? header->BytesRecorded : 0,
                               std::this_thread::get_id()});
            FChanged.notify_all();
        };
    }

    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        std::unique_lock lock(FMutex);
        return FChanged.wait_for(lock, timeout, [&] { return FEvents.size() >= count; });
    }

    std::vector<TWaveEvent> Events() const {
        std::lock_guard lock(FMutex);
        return FEvents;
    }

    std::size_t Count() const {
        std::lock_guard lock(FMutex);
        return FEvents.size();
    }

private:
    mutable std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<TWaveEvent> FEvents;
};

// Buffers of the given byte sizes, zeroed, whose headers stay put (a deque never moves them).
class TWaveBuffers {
public:
    TWaveHeader* Add(int bytes) {
        FStorage.emplace_back(bytes, '\0');
        TWaveHeader& header = FHeaders.emplace_back();
        header.Data = reinterpret_cast<std::uint8_t*>(FStorage.back().data());
        header.BufferLength = std::uint32_t(bytes);
        return &header;
    }
    TWaveHeader* Add(const QByteArray& bytes) {
        TWaveHeader* header = Add(int(bytes.size()));
        FStorage.back() = bytes;
        header->Data = reinterpret_cast<std::uint8_t*>(FStorage.back().data());
        return header;
    }
    QByteArray Bytes(const TWaveHeader* header) const {
        return QByteArray(reinterpret_cast<const char*>(header->Data), int(header->BufferLength));
    }

private:
    std::deque<QByteArray> FStorage;
    std::deque<TWaveHeader> FHeaders;
};
