#include "SignalWatcher.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Write ends by signal number; read only by the handler.
volatile sig_atomic_t gWriteEnd[65];

void HandleSignal(int number) {
    if (number > 0 && number < 65 && gWriteEnd[number] > 0) {
        const unsigned char byte = static_cast<unsigned char>(number);
        [[maybe_unused]] const ssize_t n = ::write(gWriteEnd[number], &byte, 1);
    }
}

} // namespace

TSignalWatcher::TSignalWatcher(int signalNumber, QObject* parent)
    : QObject(parent), FSignal(signalNumber) {
    if (FSignal <= 0 || FSignal >= 65 || ::pipe2(FPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    gWriteEnd[FSignal] = FPipe[1];
    FNotifier = std::make_unique<QSocketNotifier>(FPipe[0], QSocketNotifier::Read);
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, this, [this] {
        // One call per signal that arrived, so two quick signals still unplug and re-plug.
        unsigned char bytes[64];
        ssize_t n;
        while ((n = ::read(FPipe[0], bytes, sizeof bytes)) > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                if (OnSignal)
                    OnSignal();
            }
        }
    });
    struct sigaction action = {};
    action.sa_handler = HandleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(FSignal, &action, nullptr);
}

TSignalWatcher::~TSignalWatcher() {
    if (FPipe[0] < 0)
        return;
    ::signal(FSignal, SIG_DFL);
    gWriteEnd[FSignal] = 0;
    FNotifier.reset();
    ::close(FPipe[0]);
    ::close(FPipe[1]);
}
