#pragma once

#include <QProcess>
#include <QString>

// A D-Bus daemon of the test's own, so nothing reaches the desktop's session bus and parallel
// tests never meet; it ends with the object.
class TPrivateBus {
public:
    TPrivateBus() {
        FDaemon.start(QStringLiteral("dbus-daemon"),
                      {"--session", "--nofork", "--nopidfile", "--print-address=1"});
        if (!FDaemon.waitForStarted(10000))
            return;
        while (!FDaemon.canReadLine() && FDaemon.waitForReadyRead(10000)) {
        }
        Address = QString::fromUtf8(FDaemon.readLine()).trimmed();
    }
    ~TPrivateBus() {
        FDaemon.terminate();
        FDaemon.waitForFinished(10000);
    }
    TPrivateBus(const TPrivateBus&) = delete;
    TPrivateBus& operator=(const TPrivateBus&) = delete;

    // The bus's address for DBUS_SESSION_BUS_ADDRESS; "" when the daemon did not start.
    QString Address;
    // The daemon's process, for tests that stop it to see a bus that does not answer.
    qint64 Pid() const { return FDaemon.processId(); }

private:
    QProcess FDaemon;
};
