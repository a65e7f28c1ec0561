#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

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

// Test suites that share one private bus. Each test opens its connections with Connect, and
// they close after it; a fixture that overrides TearDown first drops what uses them.
class TPrivateBusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { FBus = new TPrivateBus; }
    static void TearDownTestSuite() {
        delete FBus;
        FBus = nullptr;
    }
    void SetUp() override { ASSERT_FALSE(FBus->Address.isEmpty()) << "dbus-daemon did not start"; }
    void TearDown() override {
        for (const QString& name : FConnections)
            QDBusConnection::disconnectFromBus(name);
        FConnections.clear();
    }

    QDBusConnection Connect() {
        const QString name = QStringLiteral("private-bus-test-%1").arg(++FCount);
        FConnections << name;
        return QDBusConnection::connectToBus(FBus->Address, name);
    }

private:
    inline static TPrivateBus* FBus = nullptr;
    QStringList FConnections;
    int FCount = 0;
};
