#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>

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

    // The rest of the line that starts with prefix, once it has come whole; "" when it does
    // not come within timeoutMs.
    QString RestOfLine(const QByteArray& prefix, int timeoutMs = 30000) {
        if (!WaitFor(prefix, timeoutMs))
            return {};
        const qsizetype start = FPos;
        if (!WaitFor("\n", 5000))
            return {};
        return QString::fromUtf8(FAll.mid(start, FPos - 1 - start));
    }

private:
    QProcess& FProcess;
    QByteArray FAll;
    qsizetype FPos = 0;
};
