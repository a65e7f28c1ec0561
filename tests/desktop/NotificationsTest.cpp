// The notifier on a private bus with a notification server of the test's own on another
// connection, as the desktop's would be: what arrives, what comes back, and that nothing
// waits for the server.
#include "desktop/Notifications.h"

#include "PrivateBus.h"
#include "WaitFor.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <gtest/gtest.h>
#include <memory>

namespace {

// One Notify call as the server received it.
struct TReceived {
    QString AppName;
    uint ReplacesId = 0;
    QString AppIcon;
    QString Summary;
    QString Body;
    QStringList Actions;
    QVariantMap Hints;
    int ExpireTimeout = 0;
};

class TTestNotificationServer;

class TTestNotificationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit TTestNotificationAdaptor(TTestNotificationServer* server);

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout, const QDBusMessage& message);

private:
    TTestNotificationServer& FServer;
};

// Records every call and answers with ids from 41 on, after DelayMs when that is set.
class TTestNotificationServer : public QObject {
    Q_OBJECT
public:
    TTestNotificationServer(QDBusConnection bus, int delayMs) : DelayMs(delayMs), Bus(bus) {
        new TTestNotificationAdaptor(this);
        Registered = Bus.registerObject(TNotifier::Path, this, QDBusConnection::ExportAdaptors) &&
                     Bus.registerService(TNotifier::Service);
    }
    ~TTestNotificationServer() override {
        Bus.unregisterService(TNotifier::Service);
        Bus.unregisterObject(TNotifier::Path);
    }

    QList<TReceived> Received;
    int DelayMs;
    bool Registered = false;
    QDBusConnection Bus;
};

TTestNotificationAdaptor::TTestNotificationAdaptor(TTestNotificationServer* server)
    : QDBusAbstractAdaptor(server), FServer(*server) {}

uint TTestNotificationAdaptor::Notify(const QString& appName, uint replacesId,
                                      const QString& appIcon, const QString& summary,
                                      const QString& body, const QStringList& actions,
                                      const QVariantMap& hints, int expireTimeout,
                                      const QDBusMessage& message) {
    FServer.Received << TReceived{appName, replacesId, appIcon, summary,
                                  body,    actions,    hints,   expireTimeout};
    const uint id = 40 + uint(FServer.Received.size());
    if (FServer.DelayMs > 0) {
        message.setDelayedReply(true);
        QTimer::singleShot(
            FServer.DelayMs, &FServer,
            [bus = FServer.Bus, reply = message.createReply(id)]() mutable { bus.send(reply); });
    }
    return id;
}

struct TOutcome {
    QString Summary;
    bool Delivered = false;
    uint Id = 0;
    QString ErrorName;
};

class Notifications : public TPrivateBusTest {
protected:
    void TearDown() override {
        Notifier.reset();
        Server.reset();
        TPrivateBusTest::TearDown();
    }

    void StartNotifier(QDBusConnection bus) {
        Notifier = std::make_unique<TNotifier>(bus);
        QObject::connect(Notifier.get(), &TNotifier::Delivered,
                         [this](const QString& summary, uint id) {
                             Outcomes << TOutcome{summary, true, id, {}};
                         });
        QObject::connect(Notifier.get(), &TNotifier::NotDelivered,
                         [this](const QString& summary, const QString& name, const QString&) {
                             Outcomes << TOutcome{summary, false, 0, name};
                         });
    }
    void StartServer(int delayMs = 0) {
        Server = std::make_unique<TTestNotificationServer>(Connect(), delayMs);
        ASSERT_TRUE(Server->Registered);
    }

    std::unique_ptr<TNotifier> Notifier;
    std::unique_ptr<TTestNotificationServer> Server;
    QList<TOutcome> Outcomes;
};

} // namespace

TEST_F(Notifications, ArriveAsTheProgramsOwnAndReportTheServersIds) {
    ASSERT_NO_FATAL_FAILURE(StartServer());
    StartNotifier(Connect());
    Notifier->Notify("Запись началась", "Rock & Roll <live> \"101.7\"");
    Notifier->Notify("Sleep timer", "The radio is off.");
    ASSERT_TRUE(WaitFor([&] { return Outcomes.size() == 2; }));

    ASSERT_EQ(Server->Received.size(), 2);
    const TReceived& first = Server->Received[0];
    EXPECT_EQ(first.AppName, "Orvalen");
    EXPECT_EQ(first.ReplacesId, 0u);
    EXPECT_EQ(first.AppIcon, "orvalen");
    EXPECT_EQ(first.Summary, "Запись началась");
    // Servers read the body as markup: the text must come through as text.
    EXPECT_EQ(first.Body, "Rock &amp; Roll &lt;live&gt; \"101.7\"");
    EXPECT_TRUE(first.Actions.isEmpty());
    EXPECT_TRUE(first.Hints.isEmpty());
    EXPECT_EQ(first.ExpireTimeout, -1);
    EXPECT_EQ(Server->Received[1].Body, "The radio is off.");

    // Each outcome names its own notification.
    EXPECT_EQ(Outcomes[0].Summary, "Запись началась");
    EXPECT_TRUE(Outcomes[0].Delivered);
    EXPECT_EQ(Outcomes[0].Id, 41u);
    EXPECT_EQ(Outcomes[1].Summary, "Sleep timer");
    EXPECT_TRUE(Outcomes[1].Delivered);
    EXPECT_EQ(Outcomes[1].Id, 42u);
}

TEST_F(Notifications, WithoutAServerAreNotDeliveredForLackOfTheService) {
    StartNotifier(Connect());
    Notifier->Notify("Sleep timer", "The radio is off.");
    ASSERT_TRUE(WaitFor([&] { return !Outcomes.isEmpty(); }));
    ASSERT_EQ(Outcomes.size(), 1);
    EXPECT_FALSE(Outcomes[0].Delivered);
    EXPECT_EQ(Outcomes[0].Summary, "Sleep timer");
    EXPECT_EQ(Outcomes[0].ErrorName, "org.freedesktop.DBus.Error.ServiceUnknown");
}

TEST_F(Notifications, WithoutABusAreNotDeliveredOnlyAfterNotifyHasReturned) {
    StartNotifier(QDBusConnection(QString()));
    Notifier->Notify("Sleep timer", "The radio is off.");
    // A caller that logs from the outcome must not find itself inside its own call.
    EXPECT_TRUE(Outcomes.isEmpty());
    RunEvents();
    ASSERT_EQ(Outcomes.size(), 1);
    EXPECT_FALSE(Outcomes[0].Delivered);
    EXPECT_EQ(Outcomes[0].ErrorName, "org.freedesktop.DBus.Error.Disconnected");
}

TEST_F(Notifications, NeverWaitForASlowServer) {
    constexpr int serverDelayMs = 500;
    ASSERT_NO_FATAL_FAILURE(StartServer(serverDelayMs));
    StartNotifier(Connect());
    QElapsedTimer clock;
    clock.start();
    Notifier->Notify("Recording started", "101.7 MHz");
    // The server (on this very thread) cannot even have read the call yet: a notifier that
    // waited for it would hang here until the call timed out.
    EXPECT_LT(clock.elapsed(), serverDelayMs / 4);
    EXPECT_TRUE(Outcomes.isEmpty());
    ASSERT_TRUE(WaitFor([&] { return !Outcomes.isEmpty(); }));
    EXPECT_TRUE(Outcomes[0].Delivered);
    EXPECT_GE(clock.elapsed(), serverDelayMs - 50);
}

TEST_F(Notifications, AnAnswerAfterTheNotifierIsGoneIsDropped) {
    ASSERT_NO_FATAL_FAILURE(StartServer(100));
    StartNotifier(Connect());
    Notifier->Notify("Sleep timer", "The radio is off.");
    ASSERT_TRUE(WaitFor([&] { return !Server->Received.isEmpty(); }));
    Notifier.reset();
    WaitFor([] { return false; }, 300);
    EXPECT_TRUE(Outcomes.isEmpty());
}

#include "NotificationsTest.moc"
