#pragma once

// Brings the sound back when a device or the sound server goes away while it plays: the chain
// is opened anew every RetryInterval, quietly, with one log line when the device goes and one
// when it is back; only a device still away after GiveUpNotice gets one message box (the
// documented "Can't …" text with the device and the reason). A loss of capture and output
// together is one loss.
//
// Threads: the GUI thread only (the components hand their losses over to it).

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>

class TSoundRecovery {
public:
    static constexpr std::chrono::milliseconds RetryInterval{2000};
    static constexpr std::chrono::milliseconds GiveUpNotice{30000};

    // restart: stops and starts the chain; throws (an exception with the error's text) when a
    // device cannot be opened. running: whether the chain runs now as wanted.
    TSoundRecovery(std::function<void()> restart, std::function<bool()> running,
                   std::chrono::milliseconds retry = RetryInterval,
                   std::chrono::milliseconds giveUp = GiveUpNotice);

    // A device lost while running. device: "Output device "NAME"", reason: the system's words,
    // box: the message the user gets if it does not come back.
    void Lost(const QString& device, const QString& reason, const QString& box);
    // A device failed again while coming back (box: the message it would give).
    void Failed(const QString& box);
    // The chain was switched off by the user: nothing is being waited for any more.
    void Forget();
    bool Recovering() const { return FLost; }

    // Where the lines and the box go (the log, a message box).
    std::function<void(const QString& line)> OnNotice;
    std::function<void(const QString& text)> OnError;
    // While a device is away, the components' own failure lines are not wanted (each retry
    // would repeat them; the loss has its own lines).
    bool Quiet() const { return FLost; }

private:
    void Retry();

    std::function<void()> FRestart;
    std::function<bool()> FRunning;
    QTimer FTimer;
    QElapsedTimer FSince;
    const std::chrono::milliseconds FGiveUp;
    bool FLost = false;
    bool FReopened = false; // the last retry opened everything; it holds if nothing fails
    bool FBoxShown = false;
    QString FDevice;
    QString FBox;
};
