#pragma once

#include <QObject>
#include <functional>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

// Turns POSIX signals into calls on the GUI thread: the handler only writes the signal number
// to a pipe, and a socket notifier reads it in the event loop, where anything may be done.
// Several watchers may exist, each for its own signals.
class TSignalWatcher : public QObject {
public:
    TSignalWatcher(std::initializer_list<int> numbers, std::function<void(int)> handler,
                   QObject* parent = nullptr);
    ~TSignalWatcher() override;

private:
    std::vector<int> FSignals;
    QSocketNotifier* FNotifier = nullptr;
};
