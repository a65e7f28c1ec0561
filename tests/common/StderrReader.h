#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>

// Standard error of a program under test, read as it comes.
class TStderr {
public:
    explicit TStderr(QProcess& process) : FProcess(process) {}

    // Waits for text to appear after the last match; true when it did.
    bool WaitFor(const QByteArray& text, int timeoutMs = 15000) {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            FAll += FProcess.readAllStandardError();
            const qsizetype at = FAll.indexOf(text, FPos);
            if (at >= 0) {
                FPos = at + text.size();
                return true;
            }
            if (timer.elapsed() > timeoutMs)
                return false;
            FProcess.waitForReadyRead(100);
        }
    }
    // Collects what arrives within ms and gives what came after the last match.
    QByteArray Since(int ms) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms)
            FProcess.waitForReadyRead(50);
        FAll += FProcess.readAllStandardError();
        return FAll.mid(FPos);
    }
    // Everything read so far, after reading what is there now.
    const QByteArray& All() {
        FAll += FProcess.readAllStandardError();
        return FAll;
    }

private:
    QProcess& FProcess;
    QByteArray FAll;
    qsizetype FPos = 0;
};
