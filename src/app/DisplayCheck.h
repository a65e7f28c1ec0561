#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Without a graphical display the toolkit ends the process with a fatal message and an abort.
// The program says so in one line instead and ends with code 1.
inline constexpr int NoDisplayExitCode = 1;

// "" when a display can be tried: a platform chosen by QT_QPA_PLATFORM other than X11 or
// Wayland (offscreen, for example), or DISPLAY or WAYLAND_DISPLAY set; else why not.
QString MissingDisplayReason();

// The line printed when there is no display.
QString NoDisplayLine(const QString& reason);

// The line for a display the toolkit could not open, from the messages it gave on the way and
// the environment: a Wayland session whose platform plugin is not installed is told as such,
// anything else is NoDisplayLine.
QString DisplayFailureLine(const QStringList& messages, const QByteArray& platform,
                           const QByteArray& display, const QByteArray& waylandDisplay);

// Holds back the toolkit's messages while the application object connects to the display: a
// fatal one (no display could be opened) becomes NoDisplayLine and exit code 1; the others are
// passed on when the guard ends.
class TDisplayConnectGuard {
public:
    TDisplayConnectGuard();
    ~TDisplayConnectGuard();
    TDisplayConnectGuard(const TDisplayConnectGuard&) = delete;
    TDisplayConnectGuard& operator=(const TDisplayConnectGuard&) = delete;
};
