#include "audio/NamedThread.h"

#include "audio/AudioComponent.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

std::string ThreadNameFor(const TAudioComponent* component, const std::string& threadClass) {
    std::string owner = component ? component->Name() : std::string();
    if (owner.empty() && component)
        owner = component->ClassName();
    return owner + "." + threadClass;
}

TNamedThread::TNamedThread(std::string name, TThreadPriority priority)
    : FName(std::move(name)), FPriority(priority) {}

TNamedThread::~TNamedThread() {
    // Derived destructors stop their loop first; this only guards against a forgotten join.
    if (FThread.joinable()) {
        Terminate();
        FThread.join();
    }
}

void TNamedThread::Start() {
    if (!FThread.joinable())
        FThread = std::thread([this] { Run(); });
}

void TNamedThread::WaitFor() {
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id())
        FThread.join();
}

void TNamedThread::SetPriority(TThreadPriority priority) {
    FPriority.store(priority);
    if (FThreadId.load() != 0)
        ApplyPriority();
}

// Higher than normal first asks for round-robin real-time scheduling (needs rights the desktop
// may grant through rtkit or limits); otherwise, and for the lower priorities, the thread's nice
// value is set. Failures leave the thread as it is.
void TNamedThread::ApplyPriority() {
    static constexpr int nice[] = {19, 10, 5, 0, -5, -10, -15};
    static constexpr int realtime[] = {0, 0, 0, 0, 0, 5, 10};
    const int tid = FThreadId.load();
    if (tid == 0)
        return;
    const auto handle = FHandle.load();
    const TThreadPriority priority = FPriority.load();
    sched_param param{};
    if (realtime[int(priority)] > 0) {
        param.sched_priority = sched_get_priority_min(SCHED_RR) + realtime[int(priority)];
        if (pthread_setschedparam(handle, SCHED_RR, &param) == 0)
            return;
    } else {
        param.sched_priority = 0;
        pthread_setschedparam(handle, SCHED_OTHER, &param);
    }
    setpriority(PRIO_PROCESS, id_t(tid), nice[int(priority)]);
}

void TNamedThread::Run() {
    pthread_setname_np(pthread_self(), FName.substr(0, 15).c_str());
    FHandle.store(pthread_self());
    FThreadId.store(int(gettid()));
    if (FPriority.load() != TThreadPriority::tpNormal)
        ApplyPriority();
    Execute();
}
