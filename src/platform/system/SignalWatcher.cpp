#include "SignalWatcher.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Signal dispositions are process-wide, so the pipe and the handlers are too.
int signalPipe[2] = {-1, -1};
std::array<std::function<void(int)>, 65> handlers;

void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = saved;
}

void Drain() {
    unsigned char byte = 0;
    while (read(signalPipe[0], &byte, 1) == 1)
        if (byte < handlers.size() && handlers[byte])
            handlers[byte](byte);
}

} // namespace

TSignalWatcher::TSignalWatcher(std::initializer_list<int> numbers, std::function<void(int)> handler,
                               QObject* parent)
    : QObject(parent), FSignals(numbers) {
    if (signalPipe[0] < 0 && pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    FNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [] { Drain(); });
    for (int number : FSignals) {
        if (number <= 0 || number >= static_cast<int>(handlers.size()))
            continue;
        handlers[number] = handler;
        struct sigaction action = {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(number, &action, nullptr);
    }
}

TSignalWatcher::~TSignalWatcher() {
    for (int number : FSignals) {
        if (number <= 0 || number >= static_cast<int>(handlers.size()))
            continue;
        signal(number, SIG_DFL);
        handlers[number] = nullptr;
    }
}
