#pragma once

// The receiving side of an instance's socket, on a thread of its own. A start that asks
// whether this instance runs is answered at once, even while the GUI thread is still busy with
// the start-up or a long piece of work, so that only an instance that cannot answer at all
// (stopped, or gone) is taken for stale. Until the instance knows that it is the one that runs,
// the questions wait unanswered: a start must not hand over to another start that may end.
// Every other message waits, a bounded number of them, for the GUI thread.

#include "platform/system/InstanceRegistry.h"

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TInstanceInbox {
public:
    // Messages beyond these are dropped: a flood of them costs neither memory nor time.
    static constexpr std::size_t MessageLimit = 64;
    static constexpr std::size_t QueryLimit = 64;

    // `socket` stays open until Stop; `post` runs on the receiving thread when messages begin
    // to wait, and must have Take called on the GUI thread.
    TInstanceInbox(TInstanceSocket& socket, bool active, std::function<void()> post);
    ~TInstanceInbox();
    TInstanceInbox(const TInstanceInbox&) = delete;
    TInstanceInbox& operator=(const TInstanceInbox&) = delete;

    // This instance runs: the questions are answered from now on, the waiting ones too.
    void StartAnswering();
    void SetActive(bool value) { FActive = value; }
    // The messages that waited, oldest first.
    std::deque<TInstanceMessage> Take();

private:
    void Run();
    void Handle(TInstanceSocket::TReceived received);
    void Wake();

    TInstanceSocket& FSocket;
    std::function<void()> FPost;
    std::atomic<bool> FActive;
    std::atomic<bool> FAnswering{false};
    std::atomic<bool> FStopping{false};
    int FWake = -1;

    std::mutex FLock;
    std::deque<TInstanceMessage> FWaiting; // under FLock
    bool FPosted = false;                  // under FLock
    std::vector<std::string> FQuestions;   // the receiving thread's own

    std::thread FThread;
};
