#include "SoundRecovery.h"

#include <exception>

namespace {
QString Sentence(const QString& device) {
    // "Output device …" reads "Sound output device …" in the log.
    return QStringLiteral("Sound ") + device.left(1).toLower() + device.mid(1);
}
} // namespace

TSoundRecovery::TSoundRecovery(std::function<void()> restart, std::function<bool()> running,
                               std::chrono::milliseconds retry, std::chrono::milliseconds giveUp)
    : FRestart(std::move(restart)), FRunning(std::move(running)), FGiveUp(giveUp) {
    FTimer.setInterval(retry);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Retry(); });
}

void TSoundRecovery::Lost(const QString& device, const QString& reason, const QString& box) {
    FReopened = false;
    FBox = box;
    if (!FLost) {
        FLost = true;
        FBoxShown = false;
        FDevice = device;
        FSince.start();
        if (OnNotice)
            OnNotice(Sentence(device) + QStringLiteral(" lost (") + reason +
                     QStringLiteral("); trying again every %1 s")
                         .arg(double(FTimer.interval()) / 1000.0));
    }
    FTimer.start();
}

void TSoundRecovery::Failed(const QString& box) {
    FReopened = false;
    FBox = box;
}

void TSoundRecovery::Forget() {
    FLost = false;
    FReopened = false;
    FTimer.stop();
}

void TSoundRecovery::Retry() {
    if (!FLost) {
        FTimer.stop();
        return;
    }
    // A reopen that lived through a whole interval without a new loss has brought it back.
    if (FReopened && FRunning()) {
        FLost = false;
        FReopened = false;
        FTimer.stop();
        if (OnNotice)
            OnNotice(Sentence(FDevice) + QStringLiteral(" is back"));
        return;
    }
    try {
        FRestart();
        FReopened = FRunning();
    } catch (const std::exception& error) {
        FReopened = false;
        FBox = QString::fromUtf8(error.what());
    }
    if (!FReopened && !FBoxShown && FSince.elapsed() >= FGiveUp.count()) {
        FBoxShown = true;
        // After this turn: a modal box must not run the next retry inside this one.
        if (OnError)
            QTimer::singleShot(0, [onError = OnError, box = FBox] { onError(box); });
    }
}
