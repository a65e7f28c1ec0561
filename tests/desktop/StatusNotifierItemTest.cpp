// The tray item on a private bus with a watcher of the test's own standing in for the panel's:
// registration whenever a watcher appears, Shown following the watcher and its hosts, and the
// properties and calls a host uses, all from other connections as a panel would.
#include "desktop/StatusNotifierItem.h"

#include "PrivateBus.h"
#include "WaitFor.h"
#include "desktop/DBusMenu.h"
#include "desktop/TrayPixmaps.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QMenu>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

class TTestWatcher;

// The watcher interface as panels implement it, reduced to what an item uses.
class TTestWatcherAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)
public:
    explicit TTestWatcherAdaptor(TTestWatcher* watcher);
    QStringList RegisteredStatusNotifierItems() const;
    bool IsStatusNotifierHostRegistered() const;
    int ProtocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message);
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    TTestWatcher& FWatcher;
};

class TTestWatcher : public QObject {
    Q_OBJECT
public:
    // answers = false: registrations are taken in and never answered, as by a hung panel.
    TTestWatcher(QDBusConnection bus, bool host, bool answers = true)
        : Host(host), Answers(answers), FBus(bus), FAdaptor(new TTestWatcherAdaptor(this)) {
        Registered = FBus.registerObject(TStatusNotifierItem::WatcherPath, this,
                                         QDBusConnection::ExportAdaptors) &&
                     FBus.registerService(TStatusNotifierItem::WatcherService);
    }
    // The watcher's name leaves the bus, as when the panel ends.
    ~TTestWatcher() override {
        FBus.unregisterService(TStatusNotifierItem::WatcherService);
        FBus.unregisterObject(TStatusNotifierItem::WatcherPath);
    }

    void SetHost(bool host) {
        Host = host;
        if (host)
            emit FAdaptor->StatusNotifierHostRegistered();
        else
            emit FAdaptor->StatusNotifierHostUnregistered();
    }

    QStringList Items;
    bool Host;
    bool Answers;
    bool Registered = false;

private:
    QDBusConnection FBus;
    TTestWatcherAdaptor* FAdaptor;
};

TTestWatcherAdaptor::TTestWatcherAdaptor(TTestWatcher* watcher)
    : QDBusAbstractAdaptor(watcher), FWatcher(*watcher) {}
QStringList TTestWatcherAdaptor::RegisteredStatusNotifierItems() const {
    return FWatcher.Items;
}
bool TTestWatcherAdaptor::IsStatusNotifierHostRegistered() const {
    return FWatcher.Host;
}
void TTestWatcherAdaptor::RegisterStatusNotifierItem(const QString& service,
                                                     const QDBusMessage& message) {
    FWatcher.Items << service;
    if (!FWatcher.Answers) {
        message.setDelayedReply(true);
        return;
    }
    emit StatusNotifierItemRegistered(service);
}

// Counts the item's change signals a host receives.
class TSignalRecorder : public QObject {
    Q_OBJECT
public:
    QStringList Names;

public slots:
    void Received(const QDBusMessage& message) { Names << message.member(); }
};

class StatusNotifierItem : public TPrivateBusTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TPrivateBusTest::SetUp());
        Menu.addAction(QStringLiteral("Развернуть"));
        Menu.addSeparator();
        Menu.addAction(QStringLiteral("&Выход"));
        Client = Connect();
    }
    void TearDown() override {
        Item.reset();
        Watcher.reset();
        TPrivateBusTest::TearDown();
    }

    void StartItem() {
        ItemBus = Connect();
        Item = std::make_unique<TStatusNotifierItem>(ItemBus, "orvalen", &Menu);
        QObject::connect(Item.get(), &TStatusNotifierItem::ShownChanged,
                         [this](bool shown) { ShownHistory << shown; });
    }
    void StartWatcher(bool host = true, bool answers = true) {
        Watcher = std::make_unique<TTestWatcher>(Connect(), host, answers);
        ASSERT_TRUE(Watcher->Registered);
    }
    bool OnBus(const QString& name) {
        return Client.interface()->isServiceRegistered(name).value();
    }

    QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                      const QList<QVariant>& args = {}) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(Item->ServiceName(), path, interface, method);
        call.setArguments(args);
        // The item answers from this thread's event loop, which the call keeps running.
        return Client.call(call, QDBus::BlockWithGui, 10000);
    }
    // A property as a host reads it, still marshalled where it is a struct or an array of them.
    QVariant Get(const char* property) {
        const QDBusMessage reply =
            Call(TStatusNotifierItem::ItemPath, "org.freedesktop.DBus.Properties", "Get",
                 {TStatusNotifierItem::ItemInterface, property});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << property << ": " << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    QMenu Menu;
    std::unique_ptr<TStatusNotifierItem> Item;
    std::unique_ptr<TTestWatcher> Watcher;
    QList<bool> ShownHistory;
    QDBusConnection Client{QString()};
    QDBusConnection ItemBus{QString()};
};

QImage StatePicture(QColor colour) {
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int i = 0; i < 16; ++i)
        picture.setPixel(i, i, colour.rgba());
    return picture;
}

} // namespace

TEST_F(StatusNotifierItem, RegistersWithAWatcherThatStartsLaterAndAgainWhenItReturns) {
    StartItem();
    const QRegularExpression form(
        QStringLiteral("^org\\.kde\\.StatusNotifierItem-%1-\\d+$").arg(::getpid()));
    EXPECT_TRUE(form.match(Item->ServiceName()).hasMatch()) << Item->ServiceName().toStdString();
    EXPECT_TRUE(OnBus(Item->ServiceName()));
    WaitFor([] { return false; }, 200);
    EXPECT_FALSE(Item->Shown());

    // The panel starts after the program.
    StartWatcher();
    ASSERT_TRUE(WaitFor([&] { return Item->Shown(); }));
    EXPECT_EQ(Watcher->Items, QStringList{Item->ServiceName()});

    // The last host goes and comes back while the watcher stays.
    Watcher->SetHost(false);
    ASSERT_TRUE(WaitFor([&] { return !Item->Shown(); }));
    Watcher->SetHost(true);
    ASSERT_TRUE(WaitFor([&] { return Item->Shown(); }));

    // The panel restarts: a new watcher knows nothing of the item until told again.
    Watcher.reset();
    ASSERT_TRUE(WaitFor([&] { return !Item->Shown(); }));
    StartWatcher();
    ASSERT_TRUE(WaitFor([&] { return Item->Shown(); }));
    EXPECT_EQ(Watcher->Items, QStringList{Item->ServiceName()});
    EXPECT_EQ(ShownHistory, (QList<bool>{true, false, true, false, true}));

    // The item leaves the bus with its object.
    const QString name = Item->ServiceName();
    Item.reset();
    EXPECT_TRUE(WaitFor([&] { return !OnBus(name); }));
}

TEST_F(StatusNotifierItem, ShownWaitsForAHostAndForTheWatchersAnswer) {
    struct Case {
        const char* what;
        bool host;
        bool answers;
    };
    for (const Case& c : {Case{"no host yet", false, true}, Case{"a hung watcher", true, false}}) {
        SCOPED_TRACE(c.what);
        StartWatcher(c.host, c.answers);
        // A watcher that never answers must not hold up the program.
        QElapsedTimer timer;
        timer.start();
        StartItem();
        EXPECT_LT(timer.elapsed(), 2000);
        ASSERT_TRUE(WaitFor([&] { return Watcher->Items.size() == 1; }));
        WaitFor([] { return false; }, 200);
        EXPECT_FALSE(Item->Shown());
        // A host that appears counts only once the watcher has accepted the item.
        Watcher->SetHost(true);
        WaitFor([] { return false; }, 200);
        EXPECT_EQ(Item->Shown(), c.answers);
        Item.reset();
        Watcher.reset();
    }
}

TEST_F(StatusNotifierItem, AHostReadsTheItemsPropertiesAndMenu) {
    StartItem();
    const QImage picture = StatePicture(QColor(0, 160, 60));
    Item->SetIconName("orvalen");
    Item->SetIcon(picture);
    Item->SetToolTip(QStringLiteral("Радио 101.7"));

    EXPECT_EQ(Get("Category").toString(), "ApplicationStatus");
    EXPECT_EQ(Get("Id").toString(), "orvalen");
    EXPECT_EQ(Get("Title").toString(), QStringLiteral("Радио 101.7"));
    EXPECT_EQ(Get("Status").toString(), "Active");
    EXPECT_EQ(Get("WindowId").metaType(), QMetaType::fromType<int>());
    EXPECT_EQ(Get("IconName").toString(), "orvalen");
    EXPECT_EQ(Get("ItemIsMenu"), false);
    EXPECT_EQ(Get("Menu").value<QDBusObjectPath>().path(), "/MenuBar");
    for (const char* name :
         {"IconThemePath", "OverlayIconName", "AttentionIconName", "AttentionMovieName"})
        EXPECT_EQ(Get(name), QString()) << name;

    // Every size, each the bytes of that size's picture.
    const QList<QImage> expected = TrayPixmaps(picture);
    QList<TSniPixmap> pixmaps;
    Get("IconPixmap").value<QDBusArgument>() >> pixmaps;
    ASSERT_EQ(pixmaps.size(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pixmaps[i].Width, TrayPixmapSizes[i]);
        EXPECT_EQ(pixmaps[i].Height, TrayPixmapSizes[i]);
        EXPECT_EQ(pixmaps[i].Bytes, SniPixelBytes(expected[i])) << TrayPixmapSizes[i];
    }
    // Empty picture lists still say what they would hold.
    for (const char* name : {"OverlayIconPixmap", "AttentionIconPixmap"}) {
        const QDBusArgument empty = Get(name).value<QDBusArgument>();
        EXPECT_EQ(empty.currentSignature(), "a(iiay)") << name;
        QList<TSniPixmap> none;
        empty >> none;
        EXPECT_TRUE(none.isEmpty()) << name;
    }

    const QDBusArgument toolTipArg = Get("ToolTip").value<QDBusArgument>();
    EXPECT_EQ(toolTipArg.currentSignature(), "(sa(iiay)ss)");
    TSniToolTip toolTip;
    toolTipArg >> toolTip;
    EXPECT_EQ(toolTip.Title, QStringLiteral("Радио 101.7"));
    EXPECT_EQ(toolTip.IconName, "orvalen");
    EXPECT_EQ(toolTip.IconPixmap.size(), 6);
    EXPECT_EQ(toolTip.Description, QString());

    // The menu the Menu property points to, under the item's own name.
    const QDBusMessage layout =
        Call("/MenuBar", TDBusMenu::Interface, "GetLayout", {0, -1, QStringList()});
    ASSERT_EQ(layout.type(), QDBusMessage::ReplyMessage) << layout.errorMessage().toStdString();
    TDBusMenuLayoutItem root;
    layout.arguments().value(1).value<QDBusArgument>() >> root;
    ASSERT_EQ(root.Children.size(), 3);
    EXPECT_EQ(root.Children[2].Properties.value("label").toString(), QStringLiteral("_Выход"));
}

TEST_F(StatusNotifierItem, ChangesAreSignalledOnlyWhenSomethingChanged) {
    StartItem();
    TSignalRecorder recorder;
    for (const char* name : {"NewIcon", "NewTitle", "NewToolTip"})
        ASSERT_TRUE(Client.connect(Item->ServiceName(), TStatusNotifierItem::ItemPath,
                                   TStatusNotifierItem::ItemInterface, name, &recorder,
                                   SLOT(Received(QDBusMessage))));
    // The match rules reach the daemon before the item sends.
    Get("Id");

    Item->SetIcon(StatePicture(Qt::red));
    Item->SetToolTip(QStringLiteral("Выключено"));
    ASSERT_TRUE(WaitFor([&] { return recorder.Names.size() == 4; }));
    EXPECT_EQ(recorder.Names, (QStringList{"NewIcon", "NewToolTip", "NewTitle", "NewToolTip"}));

    // The same state again costs the host nothing; a new picture is a new icon.
    recorder.Names.clear();
    Item->SetIcon(StatePicture(Qt::red));
    Item->SetToolTip(QStringLiteral("Выключено"));
    Item->SetIcon(StatePicture(Qt::green));
    ASSERT_TRUE(WaitFor([&] { return recorder.Names.size() == 2; }));
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(recorder.Names, (QStringList{"NewIcon", "NewToolTip"}));
    QList<TSniPixmap> pixmaps;
    Get("IconPixmap").value<QDBusArgument>() >> pixmaps;
    ASSERT_EQ(pixmaps.size(), 6);
    EXPECT_EQ(pixmaps[0].Bytes, SniPixelBytes(StatePicture(Qt::green)));
}

TEST_F(StatusNotifierItem, AHostsClicksReachTheProgram) {
    StartItem();
    int activated = 0;
    QList<QPoint> menus;
    QObject::connect(Item.get(), &TStatusNotifierItem::Activated, [&] { ++activated; });
    QObject::connect(Item.get(), &TStatusNotifierItem::ContextMenuRequested,
                     [&](int x, int y) { menus << QPoint(x, y); });

    const QString item = TStatusNotifierItem::ItemInterface;
    for (const auto& [method, args] :
         {std::pair<const char*, QList<QVariant>>{"Activate", {10, 20}},
          {"ContextMenu", {30, 40}},
          {"SecondaryActivate", {1, 2}},
          {"Scroll", {120, QStringLiteral("vertical")}}}) {
        const QDBusMessage reply = Call(TStatusNotifierItem::ItemPath, item, method, args);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << method << ": " << reply.errorMessage().toStdString();
    }
    EXPECT_EQ(activated, 1);
    EXPECT_EQ(menus, QList<QPoint>{QPoint(30, 40)});
}

TEST_F(StatusNotifierItem, WithoutAConnectionNothingHappens) {
    TStatusNotifierItem item(QDBusConnection(QStringLiteral("no-such-connection")), "orvalen",
                             &Menu);
    item.SetIconName("orvalen");
    item.SetIcon(StatePicture(Qt::red));
    item.SetToolTip("Orvalen");
    RunEvents();
    EXPECT_FALSE(item.Shown());
    EXPECT_TRUE(item.ServiceName().isEmpty());

    // A second item on a connection whose paths are taken stays off the bus as well.
    StartItem();
    StartWatcher();
    ASSERT_TRUE(WaitFor([&] { return Item->Shown(); }));
    const QString first = Item->ServiceName();
    {
        TStatusNotifierItem second(ItemBus, "orvalen", &Menu);
        EXPECT_TRUE(second.ServiceName().isEmpty());
        WaitFor([] { return false; }, 100);
        EXPECT_FALSE(second.Shown());
    }
    EXPECT_EQ(Watcher->Items, QStringList{first});
    // The first item keeps its name and objects.
    EXPECT_TRUE(OnBus(first));
    EXPECT_EQ(Get("Id").toString(), "orvalen");
    EXPECT_EQ(Call("/MenuBar", TDBusMenu::Interface, "GetLayout", {0, -1, QStringList()}).type(),
              QDBusMessage::ReplyMessage);
}

#include "StatusNotifierItemTest.moc"
