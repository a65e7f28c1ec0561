#pragma once

// Worker threads of the pipeline carry their component's name plus their class
// (".TFilterThread", ".TWaveThread", ".TNotifyThread") so that a debugger or `top -H` shows
// whose thread it is; the kernel keeps the first 15 characters.

#include <atomic>
#include <pthread.h>
#include <string>
#include <thread>

class TAudioComponent;

enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// The name a component's thread of the given class gets.
std::string ThreadNameFor(const TAudioComponent* component, const std::string& threadClass);

class TNamedThread {
public:
    TNamedThread(std::string name, TThreadPriority priority);
    virtual ~TNamedThread();
    TNamedThread(const TNamedThread&) = delete;
    TNamedThread& operator=(const TNamedThread&) = delete;

    void Start();
    // Asks the loop to end; derived classes wake their loop in Terminate.
    virtual void Terminate() { FTerminated.store(true); }
    bool Terminated() const { return FTerminated.load(); }
    void WaitFor();

    const std::string& Name() const { return FName; }
    TThreadPriority Priority() const { return FPriority.load(); }
    // Applied at once to a running thread; best effort (raising needs privileges).
    void SetPriority(TThreadPriority priority);
    // The kernel's thread id once running, else 0.
    int ThreadId() const { return FThreadId.load(); }

protected:
    virtual void Execute() = 0;

private:
    void Run();
    void ApplyPriority();

    std::string FName;
    std::atomic<TThreadPriority> FPriority;
    std::atomic<bool> FTerminated{false};
    std::atomic<int> FThreadId{0};
    std::atomic<pthread_t> FHandle{};
    std::thread FThread;
};
