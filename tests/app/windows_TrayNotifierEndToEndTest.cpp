// The real program's tray icon on a real StatusNotifierItem host: waybar's tray (which is also
// the session's watcher) on sway, headless. The panel starts after the program, as it often
// does at login, and is restarted later; the item must register with it each time, offer the
// theme icon name and its picture at several sizes, and its exported menu must work the way
// the panel uses it.
#include "ProcessEnding.h"
#include "SwaySession.h"
#include "WaitFor.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const QString Watcher = QStringLiteral("org.kde.StatusNotifierWatcher");

QVariant Property(const QDBusConnection& bus, const QString& service, const QString& path,
                  const QString& interface, const QString& name) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << interface << name;
    const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, 5000);
    return reply.isValid() ? reply.value().variant() : QVariant();
}

// The items the watcher knows, as "service/path" or "service".
QStringList RegisteredItems(const QDBusConnection& bus) {
    return Property(bus, Watcher, QStringLiteral("/StatusNotifierWatcher"), Watcher,
                    QStringLiteral("RegisteredStatusNotifierItems"))
        .toStringList();
}

// The sizes of the pictures in an a(iiay) value.
QList<QSize> PixmapSizes(const QVariant& value) {
    QList<QSize> sizes;
    const QDBusArgument array = value.value<QDBusArgument>();
    array.beginArray();
    while (!array.atEnd()) {
        int width = 0, height = 0;
        QByteArray bytes;
        array.beginStructure();
        array >> width >> height >> bytes;
        array.endStructure();
        if (bytes.size() == qsizetype(width) * height * 4)
            sizes << QSize(width, height);
    }
    array.endArray();
    return sizes;
}

// The id of the menu item labelled `label` in a (ia{sv}av) layout; -1 when there is none.
int ItemLabelled(const QDBusArgument& item, const QString& label) {
    int id = -1, found = -1;
    QVariantMap properties;
    item.beginStructure();
    item >> id >> properties;
    if (properties.value(QStringLiteral("label")).toString() == label)
        found = id;
    item.beginArray();
    while (!item.atEnd()) {
        QDBusVariant child;
        item >> child;
        const int inChild = ItemLabelled(child.variant().value<QDBusArgument>(), label);
        if (found < 0)
            found = inChild;
    }
    item.endArray();
    item.endStructure();
    return found;
}

} // namespace

TEST(TrayNotifierEndToEnd, ItemRegistersWithAPanelStartedLateAndRestartedAndItsMenuEndsTheProgram) {
    TSwaySession sway;
    ASSERT_TRUE(sway.Running());
    QDBusConnection bus = QDBusConnection::connectToBus(sway.BusAddress(), "tray-test");
    ASSERT_TRUE(bus.isConnected());
    const QString panelConfig = sway.DesktopFile(
        "waybar.json", R"({"layer": "top", "modules-right": ["tray"], "tray": {"icon-size": 24}})");
    ASSERT_FALSE(panelConfig.isEmpty());

    QTemporaryDir config;
    QProcess program;
    const TEnding endProgram{program};
    program.setProcessEnvironment(sway.Environment());
    program.start(ORVALEN_BINARY_DIR "/orvalen", {"--simulate", "--config-dir", config.path()});
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return sway.Window("orvalen").Found; }, 30000));
    QThread::msleep(2000);

    QString service;
    for (const bool restarted : {false, true}) {
        SCOPED_TRACE(restarted ? "panel restarted" : "panel started after the program");
        QProcess panel;
        const TEnding endPanel{panel};
        ASSERT_TRUE(sway.StartDesktopProgram(panel, "waybar", {"-c", panelConfig}));
        ASSERT_TRUE(
            WaitFor([&] { return bus.interface()->isServiceRegistered(Watcher).value(); }, 20000));
        QElapsedTimer sinceWatcher;
        sinceWatcher.start();
        ASSERT_TRUE(WaitFor([&] { return !RegisteredItems(bus).isEmpty(); }, 10000));
        EXPECT_LE(sinceWatcher.elapsed(), 2000);
        service = RegisteredItems(bus).first().section('/', 0, 0);
        if (!restarted) {
            panel.terminate();
            ASSERT_TRUE(panel.waitForFinished(10000));
            ASSERT_TRUE(WaitFor(
                [&] { return !bus.interface()->isServiceRegistered(Watcher).value(); }, 10000));
            continue;
        }

        const QString item = QStringLiteral("org.kde.StatusNotifierItem");
        EXPECT_EQ(Property(bus, service, "/StatusNotifierItem", item, "IconName").toString(),
                  "orvalen");
        const QList<QSize> sizes =
            PixmapSizes(Property(bus, service, "/StatusNotifierItem", item, "IconPixmap"));
        for (const int size : {16, 22, 24, 32, 48, 64})
            EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
        const QString menu = Property(bus, service, "/StatusNotifierItem", item, "Menu")
                                 .value<QDBusObjectPath>()
                                 .path();
        ASSERT_FALSE(menu.isEmpty());

        // The panel's way through the menu: the layout, then a click on "Выход".
        QDBusMessage layout =
            QDBusMessage::createMethodCall(service, menu, "com.canonical.dbusmenu", "GetLayout");
        layout << 0 << -1 << QStringList();
        const QDBusMessage reply = bus.call(layout, QDBus::Block, 5000);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        ASSERT_EQ(reply.arguments().size(), 2);
        const int quit = ItemLabelled(reply.arguments().at(1).value<QDBusArgument>(), "Выход");
        ASSERT_GT(quit, 0);
        QDBusMessage click =
            QDBusMessage::createMethodCall(service, menu, "com.canonical.dbusmenu", "Event");
        click << quit << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u;
        bus.call(click, QDBus::Block, 5000);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_EQ(program.readAllStandardError(), QByteArray());
    }
}
