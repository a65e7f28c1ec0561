// The MPRIS service on a private bus of its own, driven by a D-Bus client as media keys and
// playerctl drive it, with a fake host in place of the main window.
#include "desktop/MprisService.h"

#include "PrivateBus.h"
#include "WaitFor.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

class TFakeHost : public TMprisHost {
public:
    TMprisState Now;
    QStringList Calls;
    QStringList LogLines;

    TMprisState State() const override { return Now; }
    void Play() override { Calls << "Play"; }
    void Pause() override { Calls << "Pause"; }
    void PlayPause() override { Calls << "PlayPause"; }
    void Stop() override { Calls << "Stop"; }
    void Next() override { Calls << "Next"; }
    void Previous() override { Calls << "Previous"; }
    void SetVolume(double volume) override { Calls << QStringLiteral("Volume %1").arg(volume); }
    void Raise() override { Calls << "Raise"; }
    void Quit() override { Calls << "Quit"; }
    void Log(const QString& line) override { LogLines << line; }
};

// Collects the PropertiesChanged signals a client receives.
class TChangeRecorder : public QObject {
    Q_OBJECT
public:
    struct TChange {
        QString Interface;
        QVariantMap Changed;
        QStringList Invalidated;
    };
    QList<TChange> Changes;

public slots:
    void Received(const QDBusMessage& message) {
        const QList<QVariant> args = message.arguments();
        TChange change;
        change.Interface = args.value(0).toString();
        args.value(1).value<QDBusArgument>() >> change.Changed;
        change.Invalidated = args.value(2).toStringList();
        Changes << change;
    }
};

class MprisService : public TPrivateBusTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TPrivateBusTest::SetUp());
        Host.Now.Connected = true;
        Host.Now.PowerOn = true;
        Host.Now.TuneValue = 1017;
        Host.Now.StationName = QStringLiteral("Новости");
        Host.Now.Volume = 0.5;
    }
    void TearDown() override {
        Service.reset();
        TPrivateBusTest::TearDown();
    }

    void StartService() {
        Service = std::make_unique<TMprisService>(Host, Connect());
        Client = Connect();
    }

    QDBusMessage Call(const QString& interface, const QString& method,
                      const QList<QVariant>& args = {}, QString name = {}) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(name.isEmpty() ? TMprisService::BusName : name,
                                           TMprisService::ObjectPath, interface, method);
        call.setArguments(args);
        // The service answers from this thread's event loop, which the call keeps running.
        return Client.call(call, QDBus::BlockWithGui, 10000);
    }
    QVariant Get(const QString& interface, const QString& property, const QString& name = {}) {
        const QDBusMessage reply =
            Call("org.freedesktop.DBus.Properties", "Get", {interface, property}, name);
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QVariantMap GetAll(const QString& interface) {
        const QDBusMessage reply = Call("org.freedesktop.DBus.Properties", "GetAll", {interface});
        QVariantMap all;
        reply.arguments().value(0).value<QDBusArgument>() >> all;
        return all;
    }
    QDBusMessage SetVolume(double volume) {
        return Call(
            "org.freedesktop.DBus.Properties", "Set",
            {"org.mpris.MediaPlayer2.Player", "Volume", QVariant::fromValue(QDBusVariant(volume))});
    }

    TFakeHost Host;
    std::unique_ptr<TMprisService> Service;
    QDBusConnection Client{QString()};
};

const QString Root = QStringLiteral("org.mpris.MediaPlayer2");
const QString Player = QStringLiteral("org.mpris.MediaPlayer2.Player");

} // namespace

TEST_F(MprisService, AClientReadsTheRootAndPlayerProperties) {
    StartService();
    EXPECT_EQ(Service->RegisteredName(), TMprisService::BusName);
    EXPECT_TRUE(Host.LogLines.isEmpty()) << Host.LogLines.join('\n').toStdString();

    const QVariantMap root = GetAll(Root);
    EXPECT_EQ(root.value("Identity").toString(), "Orvalen");
    EXPECT_EQ(root.value("DesktopEntry").toString(), "orvalen");
    EXPECT_EQ(root.value("CanRaise"), true);
    EXPECT_EQ(root.value("CanQuit"), true);
    EXPECT_EQ(root.value("HasTrackList"), false);
    EXPECT_TRUE(root.contains("SupportedUriSchemes"));
    EXPECT_TRUE(root.contains("SupportedMimeTypes"));

    const QVariantMap player = GetAll(Player);
    EXPECT_EQ(player.value("PlaybackStatus").toString(), "Playing");
    EXPECT_EQ(player.value("Rate").toDouble(), 1.0);
    EXPECT_EQ(player.value("Volume").toDouble(), 0.5);
    EXPECT_EQ(player.value("CanSeek"), false);
    EXPECT_EQ(player.value("CanControl"), true);
    for (const char* can : {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause"})
        EXPECT_EQ(player.value(can), true) << can;

    // Metadata as playerctl reads it: the track id is an object path on the wire.
    QVariantMap metadata;
    Get(Player, "Metadata").value<QDBusArgument>() >> metadata;
    EXPECT_EQ(metadata.value("xesam:title").toString(), QStringLiteral("Новости"));
    EXPECT_EQ(metadata.value("xesam:album").toString(), "FM");
    EXPECT_EQ(metadata.value("mpris:trackid").metaType(), QMetaType::fromType<QDBusObjectPath>());
    EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/orvalen/station/1017");

    Host.Now.Muted = true;
    EXPECT_EQ(Get(Player, "PlaybackStatus").toString(), "Paused");
    Host.Now.Connected = false;
    EXPECT_EQ(Get(Player, "PlaybackStatus").toString(), "Stopped");
    EXPECT_EQ(Get(Player, "CanPlay"), false);
}

TEST_F(MprisService, ABurstOfChangesGivesOneSignalWithOnlyTheChangedProperties) {
    StartService();
    TChangeRecorder recorder;
    ASSERT_TRUE(Client.connect(TMprisService::BusName, TMprisService::ObjectPath,
                               "org.freedesktop.DBus.Properties", "PropertiesChanged", &recorder,
                               SLOT(Received(QDBusMessage))));
    // The match rule reaches the daemon before the service sends.
    Get(Root, "Identity");

    // A tuning step as the main window reports it: several notifications, two changes.
    Host.Now.TuneValue = 1042;
    Host.Now.StationName.clear();
    Service->HostChanged();
    Host.Now.RDSName = QStringLiteral("EUROPA  ");
    Service->HostChanged();
    Service->HostChanged();
    ASSERT_TRUE(WaitFor([&] { return !recorder.Changes.isEmpty(); }, 10000));
    WaitFor([] { return false; }, 300);
    ASSERT_EQ(recorder.Changes.size(), 1);
    const TChangeRecorder::TChange& change = recorder.Changes.front();
    EXPECT_EQ(change.Interface, Player);
    EXPECT_TRUE(change.Invalidated.isEmpty());
    ASSERT_EQ(change.Changed.keys(), QStringList{"Metadata"});
    QVariantMap metadata;
    change.Changed.value("Metadata").value<QDBusArgument>() >> metadata;
    EXPECT_EQ(metadata.value("xesam:title").toString(), "EUROPA");
    EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/orvalen/station/1042");

    // A notification without a change sends nothing.
    Service->HostChanged();
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(recorder.Changes.size(), 1);

    Host.Now.Muted = true;
    Host.Now.Volume = 0.25;
    Service->HostChanged();
    ASSERT_TRUE(WaitFor([&] { return recorder.Changes.size() == 2; }, 10000));
    EXPECT_EQ(recorder.Changes.back().Changed,
              (QVariantMap{{"PlaybackStatus", "Paused"}, {"Volume", 0.25}}));
}

TEST_F(MprisService, PlayerCommandsReachTheHostOnlyWhileConnected) {
    StartService();
    const QStringList commands{"Play", "Pause", "PlayPause", "Stop", "Next", "Previous"};
    for (const QString& command : commands)
        EXPECT_EQ(Call(Player, command).type(), QDBusMessage::ReplyMessage)
            << command.toStdString();
    EXPECT_EQ(Host.Calls.join(' ').toStdString(), commands.join(' ').toStdString());

    Host.Calls.clear();
    Host.Now.Connected = false;
    for (const QString& command : commands)
        EXPECT_EQ(Call(Player, command).type(), QDBusMessage::ReplyMessage)
            << command.toStdString();
    EXPECT_TRUE(Host.Calls.isEmpty()) << Host.Calls.join(',').toStdString();

    // The window can always be raised and the program ended.
    Call(Root, "Raise");
    Call(Root, "Quit");
    EXPECT_EQ(Host.Calls.join(' ').toStdString(), "Raise Quit");
}

TEST_F(MprisService, VolumeIsClampedToItsRangeAndNaNIsIgnored) {
    StartService();
    struct Case {
        double requested;
        const char* call;
    };
    for (const Case& c : {Case{0.3, "Volume 0.3"}, Case{-0.5, "Volume 0"}, Case{7.0, "Volume 1"},
                          Case{std::nan(""), nullptr}}) {
        Host.Calls.clear();
        EXPECT_EQ(SetVolume(c.requested).type(), QDBusMessage::ReplyMessage) << c.requested;
        EXPECT_EQ(Host.Calls.join(' ').toStdString(), c.call ? c.call : "") << c.requested;
    }
}

TEST_F(MprisService, RateCanBeSetAndStaysOne) {
    StartService();
    for (double rate : {1.0, 2.0, 0.5}) {
        const QDBusMessage reply = Call(
            "org.freedesktop.DBus.Properties", "Set",
            {"org.mpris.MediaPlayer2.Player", "Rate", QVariant::fromValue(QDBusVariant(rate))});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << rate << reply.errorName().toStdString();
        EXPECT_EQ(Get("org.mpris.MediaPlayer2.Player", "Rate").toDouble(), 1.0);
    }
    EXPECT_TRUE(Host.Calls.isEmpty());
}

TEST_F(MprisService, ATakenNameGivesAnInstanceNameThatClientsFind) {
    // Another program holds the name already.
    QDBusConnection other = Connect();
    ASSERT_TRUE(other.registerService(TMprisService::BusName));

    StartService();
    const QString instance = TMprisService::BusName + QStringLiteral(".instance%1").arg(getpid());
    EXPECT_EQ(Service->RegisteredName(), instance);
    ASSERT_EQ(Host.LogLines.size(), 1);
    EXPECT_TRUE(Host.LogLines.front().contains(instance)) << Host.LogLines.front().toStdString();
    EXPECT_TRUE(Client.interface()->isServiceRegistered(instance));
    EXPECT_EQ(Get(Root, "Identity", instance).toString(), "Orvalen");
}

TEST_F(MprisService, WithoutABusTheServiceIsAbsentAndSaysSoOnce) {
    const QString name = QStringLiteral("mpris-test-no-bus");
    {
        TMprisService service(
            Host, QDBusConnection::connectToBus("unix:path=/nonexistent/orvalen-bus", name));
        EXPECT_TRUE(service.RegisteredName().isEmpty());
        // Changes and calls of the host's own do nothing harmful.
        Host.Now.Muted = true;
        service.HostChanged();
        RunEvents();
    }
    QDBusConnection::disconnectFromBus(name);
    ASSERT_EQ(Host.LogLines.size(), 1);
    EXPECT_TRUE(Host.LogLines.front().contains("no session bus"))
        << Host.LogLines.front().toStdString();
}

#include "MprisServiceTest.moc"
