// For the start-up benchmark: with ORVALEN_REPORT_FIRST_PAINT set, a program reports the
// wall-clock time of its main window's first paint and its peak resident memory on standard
// error, then ends. Header-only, so that the benchmark's bare Qt program reports the same way
// without linking any of this program's libraries.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>

class TFirstPaintReporter : public QObject {
public:
    // Watches window when the variable is set; does nothing otherwise.
    explicit TFirstPaintReporter(QWidget* window) {
        if (qEnvironmentVariableIsSet("ORVALEN_REPORT_FIRST_PAINT"))
            window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !FDone) {
            FDone = true;
            // Once the paint has reached the window system.
            QTimer::singleShot(0, [] { Report(); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static void Report() {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        QByteArray peak;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("VmHWM:"))
                    peak = line.mid(6).trimmed();
        std::fprintf(stderr, "first-paint-ns %lld\npeak-rss %s\n",
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                     peak.constData());
        QCoreApplication::exit(0);
    }

    bool FDone = false;
};
