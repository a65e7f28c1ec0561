#pragma once

// Turns a POSIX signal into a call on the GUI thread: the handler only writes the signal
// number into a pipe whose read end sits on a QSocketNotifier, so nothing unsafe runs in
// signal context. One watcher per signal; used by the simulation's SIGUSR1 re-plug.

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

class TSignalWatcher : public QObject {
public:
    explicit TSignalWatcher(int signalNumber, QObject* parent = nullptr);
    ~TSignalWatcher() override;

    std::function<void()> OnSignal;

private:
    int FSignal;
    int FPipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> FNotifier;
};
