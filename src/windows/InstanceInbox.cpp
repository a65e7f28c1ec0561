#include "InstanceInbox.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

TInstanceInbox::TInstanceInbox(TInstanceSocket& socket, bool active, std::function<void()> post)
    : FSocket(socket), FPost(std::move(post)), FActive(active),
      FWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    FThread = std::thread([this] { Run(); });
}

TInstanceInbox::~TInstanceInbox() {
    FStopping = true;
    Wake();
    FThread.join();
    if (FWake >= 0)
        close(FWake);
}

void TInstanceInbox::StartAnswering() {
    FAnswering = true;
    Wake();
}

std::deque<TInstanceMessage> TInstanceInbox::Take() {
    std::lock_guard lock(FLock);
    FPosted = false;
    return std::exchange(FWaiting, {});
}

void TInstanceInbox::Wake() {
    const std::uint64_t one = 1;
    if (FWake >= 0 && write(FWake, &one, sizeof one) < 0) {
        // The counter is full: the thread is awake already.
    }
}

void TInstanceInbox::Run() {
    while (!FStopping) {
        pollfd wait[2] = {{FSocket.Fd(), POLLIN, 0}, {FWake, POLLIN, 0}};
        // Without a wake-up descriptor the thread looks at the flags now and then.
        if (poll(wait, FWake >= 0 ? 2 : 1, FWake >= 0 ? -1 : 100) < 0 && errno != EINTR)
            break;
        if (wait[1].revents & POLLIN) {
            std::uint64_t count = 0;
            if (read(FWake, &count, sizeof count) < 0) {
                // Another wake-up took it: nothing is lost.
            }
        }
        if (FAnswering)
            for (const std::string& address : std::exchange(FQuestions, {}))
                FSocket.Reply(address, {TInstanceMessageKind::ActiveState, FActive ? 1 : 0, {}});
        while (!FStopping) {
            auto received = FSocket.Receive();
            if (!received)
                break;
            Handle(*std::move(received));
        }
    }
}

void TInstanceInbox::Handle(TInstanceSocket::TReceived received) {
    switch (received.Message.Kind) {
    case TInstanceMessageKind::QueryActive:
        if (FAnswering)
            FSocket.Reply(received.ReplyAddress,
                          {TInstanceMessageKind::ActiveState, FActive ? 1 : 0, {}});
        else if (FQuestions.size() < QueryLimit)
            FQuestions.push_back(std::move(received.ReplyAddress));
        return;
    case TInstanceMessageKind::ActiveState:
        // Answers to this instance's own questions come back on the question's socket; one
        // arriving here was asked by nobody and would let anyone switch the check off.
        return;
    default:
        break;
    }
    bool post = false;
    {
        std::lock_guard lock(FLock);
        if (FWaiting.size() >= MessageLimit)
            return;
        FWaiting.push_back(std::move(received.Message));
        post = !std::exchange(FPosted, true);
    }
    if (post)
        FPost();
}
