#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <sys/types.h>

class QProcess;

// A private X server for tests that run the real program: Xvfb picks a free display number
// itself (-displayfd), so parallel tests never collide. The server ends with the object.
class TXvfbSession {
public:
    explicit TXvfbSession(const QString& screen = QStringLiteral("1024x768x24"));
    ~TXvfbSession();
    TXvfbSession(const TXvfbSession&) = delete;
    TXvfbSession& operator=(const TXvfbSession&) = delete;

    bool Running() const { return !FDisplay.isEmpty(); }
    const QString& Display() const { return FDisplay; } // ":N"

    // The environment for programs on this display (DISPLAY set, QT_QPA_PLATFORM xcb).
    QProcessEnvironment Environment() const;

    // Runs a command on this display and gives its standard output; "" after a failure or
    // when it takes longer than timeoutMs.
    QString Run(const QString& program, const QStringList& arguments, int timeoutMs = 10000) const;

    // Waits until a window with this title is mapped; its id, or "" after timeoutMs.
    QString FindWindow(const QString& title, int timeoutMs = 60000) const;

    // Starts a program on this display; false when it did not start.
    bool Start(QProcess& process, const QString& program, const QStringList& arguments) const;

    // The windows a process made (by their _NET_WM_PID), wherever they sit in the tree, also
    // inside another program's window.
    QList<quint64> WindowsOf(qint64 pid) const;
    // The window's parent; 0 for the root window or a window that is gone.
    quint64 ParentOf(quint64 window) const;
    // true when the window and all its ancestors are mapped.
    bool IsViewable(quint64 window) const;

private:
    pid_t FPid = -1;
    QString FDisplay;
};
