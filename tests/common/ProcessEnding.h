#pragma once

#include <QProcess>

// Ends a process that is still running: asked first (SIGTERM), killed after 10 s.
inline void EndProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
}

// Ends the process with the object, so that no program or server outlives a failed test.
struct TEnding {
    QProcess& Process;
    ~TEnding() { EndProcess(Process); }
};
