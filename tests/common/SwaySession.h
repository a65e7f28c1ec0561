#pragma once

#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <sys/types.h>

// A private Wayland desktop for tests that run the real program: sway on its headless backend
// (it offers xdg-activation and a virtual pointer, and a panel can sit on it), with a session
// bus of its own. sway refuses to run as root, so where the tests run as root the desktop's
// own programs (the compositor, a panel) run as the unprivileged user "nobody", as a desktop
// runs as its user; the program under test still reaches both. Everything ends with the
// object.
class TSwaySession {
public:
    TSwaySession();
    ~TSwaySession();
    TSwaySession(const TSwaySession&) = delete;
    TSwaySession& operator=(const TSwaySession&) = delete;

    // Layout size of the one headless output.
    static constexpr int Width = 1280;
    static constexpr int Height = 800;

    bool Running() const { return !FIpcSocket.isEmpty() && !FBusAddress.isEmpty(); }
    const QString& BusAddress() const { return FBusAddress; }

    // The environment for the program under test: this compositor (WAYLAND_DISPLAY as a path),
    // this bus, a runtime folder of its own, Qt's wayland platform, no X display.
    QProcessEnvironment Environment() const;

    // Writes a file the desktop's programs can read (a panel's configuration); its path.
    QString DesktopFile(const QString& name, const QByteArray& text) const;
    // Starts a program of the desktop itself (a panel, a terminal) as the desktop's user.
    bool StartDesktopProgram(QProcess& process, const QString& program,
                             const QStringList& arguments) const;

    // A client's window in the compositor's tree, found by its application ID.
    struct TWindow {
        bool Found = false;
        bool Focused = false;
        QRect Content; // on the layout
    };
    TWindow Window(const QString& appId) const;
    // The application ID of the focused window; "" when no window has the focus.
    QString FocusedAppId() const;

    // Presses and releases a virtual pointer's left button at a point of the layout.
    bool Click(QPoint at) const;
    // A fresh activation token from the compositor, as a launcher gets one; "" on failure.
    QString ActivationToken() const;

private:
    QProcessEnvironment DesktopEnvironment() const;
    QString Run(const QString& program, const QStringList& arguments,
                const QProcessEnvironment& environment) const;
    QString Tree() const;

    QTemporaryDir FRoot;
    QString FDesktopRuntime; // the compositor's XDG_RUNTIME_DIR
    QString FClientRuntime;  // the program's
    QString FHome;
    QString FWaylandDisplay; // the socket's path
    QString FIpcSocket;
    QString FBusAddress;
    QStringList FAsDesktopUser; // the command prefix that runs a program as the desktop's user
    QProcess FBus;
    QProcess FSway;
};
