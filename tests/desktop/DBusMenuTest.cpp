// The tray menu as a host reads and clicks it over D-Bus: a private bus, the menu exported on
// one connection and a client on another, as a panel would talk to the program.
#include "desktop/DBusMenu.h"

#include "PrivateBus.h"
#include "WaitFor.h"

#include <QAction>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString Path = QStringLiteral("/MenuBar");

// Collects the LayoutUpdated signals a client receives.
class TLayoutRecorder : public QObject {
    Q_OBJECT
public:
    QList<uint> Revisions;
    QList<int> Parents;

public slots:
    void Received(uint revision, int parent) {
        Revisions << revision;
        Parents << parent;
    }
};

class DBusMenu : public TPrivateBusTest {
protected:
    // A menu like the program's tray menu.
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(TPrivateBusTest::SetUp());
        Show = Menu.addAction(QStringLiteral("Развернуть"));
        Menu.addSeparator();
        QPixmap red(16, 16);
        red.fill(Qt::red);
        Quit = Menu.addAction(QIcon(red), QStringLiteral("&Выход"));
        Mute = Menu.addAction(QStringLiteral("Без з&вука"));
        Mute->setCheckable(true);
        Mute->setChecked(true);
        Stations = Menu.addMenu(QStringLiteral("&Станции"));
        Station = Stations->addAction(QStringLiteral("Радио_1 && 2"));
        for (QAction* action : {Show, Quit, Mute, Station})
            QObject::connect(action, &QAction::triggered, [this, action] { Triggered << action; });

        Export = std::make_unique<TDBusMenu>(&Menu);
        Server = Connect();
        ASSERT_TRUE(Export->Register(Server, Path));
        Client = Connect();
    }
    void TearDown() override {
        Export.reset();
        TPrivateBusTest::TearDown();
    }

    QDBusMessage Call(const QString& method, const QList<QVariant>& args = {},
                      const QString& interface = TDBusMenu::Interface) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(Server.baseService(), Path, interface, method);
        call.setArguments(args);
        // The menu answers from this thread's event loop, which the call keeps running.
        return Client.call(call, QDBus::BlockWithGui, 10000);
    }

    // GetLayout's answer as a host decodes it.
    std::pair<uint, TDBusMenuLayoutItem> GetLayout(int parent = 0, int depth = -1,
                                                   const QStringList& names = {}) {
        const QDBusMessage reply = Call("GetLayout", {parent, depth, names});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.signature(), "u(ia{sv}av)");
        TDBusMenuLayoutItem layout;
        reply.arguments().value(1).value<QDBusArgument>() >> layout;
        return {reply.arguments().value(0).toUInt(), layout};
    }

    QDBusMessage Event(int id, const QString& eventId) {
        return Call("Event", {id, eventId, QVariant::fromValue(QDBusVariant(QVariant(0))), 0u});
    }

    // The id the host knows an action by.
    int IdOf(QAction* action) {
        const auto [revision, root] = GetLayout();
        std::function<int(const TDBusMenuLayoutItem&)> find = [&](const TDBusMenuLayoutItem& item) {
            for (const TDBusMenuLayoutItem& child : item.Children) {
                if (child.Properties.value("label").toString() == DBusMenuLabel(action->text()))
                    return child.Id;
                if (const int id = find(child))
                    return id;
            }
            return 0;
        };
        return find(root);
    }

    QMenu Menu;
    QAction* Show = nullptr;
    QAction* Quit = nullptr;
    QAction* Mute = nullptr;
    QMenu* Stations = nullptr;
    QAction* Station = nullptr;
    QList<QAction*> Triggered;
    std::unique_ptr<TDBusMenu> Export;
    QDBusConnection Server{QString()};
    QDBusConnection Client{QString()};
};

} // namespace

TEST(DBusMenuLabel, QtMnemonicsBecomeUnderscoresAndUnderscoresAreEscaped) {
    const std::pair<const char*, const char*> cases[] = {
        {"&Выход", "_Выход"},
        {"Без з&вука", "Без з_вука"},
        {"Tom && Jerry", "Tom & Jerry"},
        {"RADIO_1", "RADIO__1"},
        {"a&&&b", "a&_b"},
        {"end&", "end"},
        {"", ""},
    };
    for (const auto& [qt, expected] : cases)
        EXPECT_EQ(DBusMenuLabel(QString::fromUtf8(qt)), QString::fromUtf8(expected)) << qt;
}

TEST_F(DBusMenu, TheLayoutHoldsEveryItemInOrderWithItsProperties) {
    const auto [revision, root] = GetLayout();
    EXPECT_EQ(revision, Export->Revision());
    EXPECT_EQ(root.Id, 0);
    EXPECT_EQ(root.Properties.value("children-display").toString(), "submenu");
    ASSERT_EQ(root.Children.size(), 5);

    const TDBusMenuLayoutItem& show = root.Children[0];
    EXPECT_EQ(show.Properties.value("label").toString(), QStringLiteral("Развернуть"));
    EXPECT_EQ(show.Properties.value("enabled"), true);
    EXPECT_EQ(show.Properties.value("visible"), true);
    EXPECT_FALSE(show.Properties.contains("toggle-type"));
    EXPECT_FALSE(show.Properties.contains("icon-data"));

    EXPECT_EQ(root.Children[1].Properties.value("type").toString(), "separator");
    EXPECT_FALSE(root.Children[1].Properties.contains("label"));

    const TDBusMenuLayoutItem& quit = root.Children[2];
    EXPECT_EQ(quit.Properties.value("label").toString(), QStringLiteral("_Выход"));
    const QByteArray png = quit.Properties.value("icon-data").toByteArray();
    ASSERT_TRUE(png.startsWith("\x89PNG")) << png.left(8).toHex().toStdString();
    const QImage icon = QImage::fromData(png, "PNG");
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixelColor(icon.width() / 2, icon.height() / 2), QColor(Qt::red));

    const TDBusMenuLayoutItem& mute = root.Children[3];
    EXPECT_EQ(mute.Properties.value("label").toString(), QStringLiteral("Без з_вука"));
    EXPECT_EQ(mute.Properties.value("toggle-type").toString(), "checkmark");
    // An int on the wire, not a boolean.
    EXPECT_EQ(mute.Properties.value("toggle-state").metaType(), QMetaType::fromType<int>());
    EXPECT_EQ(mute.Properties.value("toggle-state").toInt(), 1);

    const TDBusMenuLayoutItem& stations = root.Children[4];
    EXPECT_EQ(stations.Properties.value("label").toString(), QStringLiteral("_Станции"));
    EXPECT_EQ(stations.Properties.value("children-display").toString(), "submenu");
    ASSERT_EQ(stations.Children.size(), 1);
    EXPECT_EQ(stations.Children[0].Properties.value("label").toString(),
              QStringLiteral("Радио__1 & 2"));

    // Every item has an id of its own, the menu's being 0.
    QSet<int> ids;
    for (const TDBusMenuLayoutItem& item : root.Children)
        ids << item.Id;
    ids << stations.Children[0].Id;
    EXPECT_EQ(ids.size(), 6);
    EXPECT_FALSE(ids.contains(0));

    // A part of the tree, to a depth, with only some properties.
    const TDBusMenuLayoutItem part = GetLayout(stations.Id, 0, {"label"}).second;
    EXPECT_EQ(part.Id, stations.Id);
    EXPECT_TRUE(part.Children.isEmpty());
    EXPECT_EQ(part.Properties.keys(), QStringList{"label"});
    const TDBusMenuLayoutItem top = GetLayout(0, 1).second;
    ASSERT_EQ(top.Children.size(), 5);
    EXPECT_TRUE(top.Children[4].Children.isEmpty());

    // The same ids a second time, and an unknown parent is an error, not a crash.
    EXPECT_EQ(GetLayout().second.Children[2].Id, quit.Id);
    EXPECT_EQ(Call("GetLayout", {4242, -1, QStringList()}).type(), QDBusMessage::ErrorMessage);
}

TEST_F(DBusMenu, PropertiesOfTheMenuAndItemsReadOverTheBus) {
    const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
    auto get = [&](const char* name) {
        const QDBusMessage reply = Call("Get", {TDBusMenu::Interface, name}, properties);
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    };
    EXPECT_EQ(get("Version").metaType(), QMetaType::fromType<uint>());
    EXPECT_EQ(get("Version").toUInt(), 3u);
    EXPECT_EQ(get("TextDirection").toString(), "ltr");
    EXPECT_EQ(get("Status").toString(), "normal");
    EXPECT_TRUE(get("IconThemePath").toStringList().isEmpty());

    const int mute = IdOf(Mute);
    const int quit = IdOf(Quit);
    const QDBusMessage label = Call("GetProperty", {mute, QStringLiteral("label")});
    ASSERT_EQ(label.type(), QDBusMessage::ReplyMessage) << label.errorMessage().toStdString();
    EXPECT_EQ(label.arguments().value(0).value<QDBusVariant>().variant().toString(),
              QStringLiteral("Без з_вука"));
    EXPECT_EQ(Call("GetProperty", {4242, QStringLiteral("label")}).type(),
              QDBusMessage::ErrorMessage);

    const QDBusMessage group =
        Call("GetGroupProperties", {QVariant::fromValue(QList<int>{quit, 4242, mute}),
                                    QStringList{"label", "toggle-state"}});
    ASSERT_EQ(group.type(), QDBusMessage::ReplyMessage) << group.errorMessage().toStdString();
    QList<TDBusMenuItemProperties> items;
    group.arguments().value(0).value<QDBusArgument>() >> items;
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].Id, quit);
    EXPECT_EQ(items[0].Properties, (QVariantMap{{"label", QStringLiteral("_Выход")}}));
    EXPECT_EQ(items[1].Id, mute);
    EXPECT_EQ(items[1].Properties.value("toggle-state").toInt(), 1);
}

TEST_F(DBusMenu, AClickTriggersItsActionAfterTheAnswerAndUnknownIdsAreHarmless) {
    const int quit = IdOf(Quit);
    const int mute = IdOf(Mute);
    const int station = IdOf(Station);

    // The action runs once the current call is answered, not inside it.
    EXPECT_TRUE(Export->Event(quit, "clicked"));
    EXPECT_TRUE(Triggered.isEmpty());
    RunEvents();
    EXPECT_EQ(Triggered, QList<QAction*>{Quit});

    Triggered.clear();
    EXPECT_EQ(Event(station, "clicked").type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(WaitFor([&] { return !Triggered.isEmpty(); }));
    EXPECT_EQ(Triggered, QList<QAction*>{Station});
    // A checkable item toggles as a click in Qt's own menu would.
    Triggered.clear();
    EXPECT_EQ(Event(mute, "clicked").type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(WaitFor([&] { return !Triggered.isEmpty(); }));
    EXPECT_FALSE(Mute->isChecked());

    // Events other than clicks, clicks on what cannot act, and ids the menu never had.
    Triggered.clear();
    Show->setEnabled(false);
    Station->setVisible(false);
    EXPECT_EQ(Event(IdOf(Show), "clicked").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Event(station, "clicked").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Event(quit, "hovered").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Event(0, "clicked").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Event(4242, "clicked").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Event(-1, "clicked").type(), QDBusMessage::ReplyMessage);
    WaitFor([] { return false; }, 100);
    EXPECT_TRUE(Triggered.isEmpty());

    // A group reports the ids it did not find and still acts on the others.
    const QList<TDBusMenuEvent> events{{4242, "clicked", QDBusVariant(0), 0},
                                       {quit, "clicked", QDBusVariant(0), 0},
                                       {-7, "clicked", QDBusVariant(0), 0}};
    const QDBusMessage reply = Call("EventGroup", {QVariant::fromValue(events)});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(qdbus_cast<QList<int>>(reply.arguments().value(0)), (QList<int>{4242, -7}));
    ASSERT_TRUE(WaitFor([&] { return !Triggered.isEmpty(); }));
    EXPECT_EQ(Triggered, QList<QAction*>{Quit});

    // An action deleted under the host's feet is an unknown id from then on.
    Triggered.clear();
    delete Quit;
    Quit = nullptr;
    EXPECT_EQ(Event(quit, "clicked").type(), QDBusMessage::ReplyMessage);
    const QDBusMessage gone =
        Call("EventGroup",
             {QVariant::fromValue(QList<TDBusMenuEvent>{{quit, "clicked", QDBusVariant(0), 0}})});
    EXPECT_EQ(qdbus_cast<QList<int>>(gone.arguments().value(0)), QList<int>{quit});
    RunEvents();
    EXPECT_TRUE(Triggered.isEmpty());
}

TEST_F(DBusMenu, ChangesSendOneLayoutUpdatedAndTheNextLayoutShowsThem) {
    TLayoutRecorder recorder;
    ASSERT_TRUE(Client.connect(Server.baseService(), Path, TDBusMenu::Interface, "LayoutUpdated",
                               &recorder, SLOT(Received(uint, int))));
    const auto [before, first] = GetLayout();
    const int show = first.Children[0].Id;
    const int mute = first.Children[3].Id;

    // Several changes in one go: one notice.
    Show->setText(QStringLiteral("&Свернуть"));
    Mute->setChecked(false);
    Quit->setEnabled(false);
    ASSERT_TRUE(WaitFor([&] { return !recorder.Revisions.isEmpty(); }));
    WaitFor([] { return false; }, 200);
    ASSERT_EQ(recorder.Revisions.size(), 1);
    EXPECT_GT(recorder.Revisions[0], before);
    EXPECT_EQ(recorder.Parents[0], 0);

    const auto [after, second] = GetLayout();
    EXPECT_EQ(after, recorder.Revisions[0]);
    EXPECT_EQ(second.Children[0].Id, show);
    EXPECT_EQ(second.Children[0].Properties.value("label").toString(), QStringLiteral("_Свернуть"));
    EXPECT_EQ(second.Children[3].Id, mute);
    EXPECT_EQ(second.Children[3].Properties.value("toggle-state").toInt(), 0);
    EXPECT_EQ(second.Children[2].Properties.value("enabled"), false);

    // Items added to a submenu and removed from the menu; the others keep their ids.
    Stations->addAction(QStringLiteral("Маяк"));
    ASSERT_TRUE(WaitFor([&] { return recorder.Revisions.size() == 2; }));
    EXPECT_EQ(GetLayout().second.Children[4].Children.size(), 2);
    Menu.removeAction(Show);
    ASSERT_TRUE(WaitFor([&] { return recorder.Revisions.size() == 3; }));
    EXPECT_GT(recorder.Revisions[2], recorder.Revisions[1]);
    const auto [last, third] = GetLayout();
    ASSERT_EQ(third.Children.size(), 4);
    EXPECT_EQ(third.Children[2].Id, mute);
    EXPECT_EQ(third.Children[0].Properties.value("type").toString(), "separator");
}

TEST_F(DBusMenu, AboutToShowLetsTheMenuUpdateItselfFirst) {
    // The program ticks the mute item just before its menu opens.
    bool muted = false;
    QObject::connect(&Menu, &QMenu::aboutToShow, [&] { Mute->setChecked(muted); });
    const int mute = IdOf(Mute);
    const int stations = IdOf(Stations->menuAction());

    QDBusMessage reply = Call("AboutToShow", {0});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.arguments().value(0), true);
    EXPECT_EQ(GetLayout().second.Children[3].Properties.value("toggle-state").toInt(), 0);
    // Nothing changed this time; a plain item has nothing to show; an unknown one is an error.
    EXPECT_EQ(Call("AboutToShow", {0}).arguments().value(0), false);
    EXPECT_EQ(Call("AboutToShow", {stations}).arguments().value(0), false);
    EXPECT_EQ(Call("AboutToShow", {mute}).arguments().value(0), false);
    EXPECT_EQ(Call("AboutToShow", {4242}).type(), QDBusMessage::ErrorMessage);

    muted = true;
    reply = Call("AboutToShowGroup", {QVariant::fromValue(QList<int>{stations, 0, 4242})});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(qdbus_cast<QList<int>>(reply.arguments().value(0)), QList<int>{0});
    EXPECT_EQ(qdbus_cast<QList<int>>(reply.arguments().value(1)), QList<int>{4242});
}

TEST_F(DBusMenu, AMenuDestroyedFirstLeavesAnEmptyMenu) {
    auto menu = std::make_unique<QMenu>();
    menu->addAction(QStringLiteral("Развернуть"));
    TDBusMenu orphan(menu.get());
    QDBusConnection server = Connect();
    ASSERT_TRUE(orphan.Register(server, "/Orphan"));
    // A second object on a taken path is refused.
    TDBusMenu second(menu.get());
    EXPECT_FALSE(second.Register(server, "/Orphan"));
    menu.reset();
    RunEvents();

    QDBusMessage call = QDBusMessage::createMethodCall(server.baseService(), "/Orphan",
                                                       TDBusMenu::Interface, "GetLayout");
    call.setArguments({0, -1, QStringList()});
    const QDBusMessage reply = Client.call(call, QDBus::BlockWithGui, 10000);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    TDBusMenuLayoutItem root;
    reply.arguments().value(1).value<QDBusArgument>() >> root;
    EXPECT_TRUE(root.Children.isEmpty());
}

#include "DBusMenuTest.moc"
