#include "StatusNotifierItem.h"

#include "DBusMenu.h"
#include "TrayPixmaps.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <atomic>
#include <unistd.h>

// The org.kde.StatusNotifierItem interface of ItemPath. The item never asks for attention and
// has no overlay, so those properties are fixed and empty.
class TStatusNotifierItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ Category)
    Q_PROPERTY(QString Id READ Id)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(int WindowId READ WindowId)
    Q_PROPERTY(QString IconThemePath READ NoName)
    Q_PROPERTY(QString IconName READ IconName)
    Q_PROPERTY(QList<TSniPixmap> IconPixmap READ IconPixmap)
    Q_PROPERTY(QString OverlayIconName READ NoName)
    Q_PROPERTY(QList<TSniPixmap> OverlayIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionIconName READ NoName)
    Q_PROPERTY(QList<TSniPixmap> AttentionIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ NoName)
    Q_PROPERTY(TSniToolTip ToolTip READ ToolTip)
    Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ Menu)
public:
    explicit TStatusNotifierItemAdaptor(TStatusNotifierItem* item)
        : QDBusAbstractAdaptor(item), FItem(*item) {}

    QString Category() const { return QStringLiteral("ApplicationStatus"); }
    QString Id() const { return FItem.Id(); }
    QString Title() const { return FItem.Title(); }
    QString Status() const { return QStringLiteral("Active"); }
    // A Wayland program has no window id to give.
    int WindowId() const { return 0; }
    QString NoName() const { return {}; }
    QString IconName() const { return FItem.IconName(); }
    QList<TSniPixmap> IconPixmap() const { return FItem.IconPixmap(); }
    QList<TSniPixmap> NoPixmaps() const { return {}; }
    TSniToolTip ToolTip() const { return FItem.ToolTip(); }
    // A primary click is the program's own (it shows the window); the menu is for the other.
    bool ItemIsMenu() const { return false; }
    QDBusObjectPath Menu() const { return QDBusObjectPath(TStatusNotifierItem::MenuPath); }

public slots:
    void ContextMenu(int x, int y) { emit FItem.ContextMenuRequested(x, y); }
    void Activate(int, int) { emit FItem.Activated(); }
    void SecondaryActivate(int, int) {}
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    TStatusNotifierItem& FItem;
};

namespace {

void RegisterTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<TSniPixmap>();
        qDBusRegisterMetaType<QList<TSniPixmap>>();
        qDBusRegisterMetaType<TSniToolTip>();
        return true;
    }();
    Q_UNUSED(registered);
}

const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

QDBusArgument& operator<<(QDBusArgument& arg, const TSniPixmap& pixmap) {
    arg.beginStructure();
    arg << pixmap.Width << pixmap.Height << pixmap.Bytes;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TSniPixmap& pixmap) {
    arg.beginStructure();
    arg >> pixmap.Width >> pixmap.Height >> pixmap.Bytes;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TSniToolTip& toolTip) {
    arg.beginStructure();
    arg << toolTip.IconName << toolTip.IconPixmap << toolTip.Title << toolTip.Description;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TSniToolTip& toolTip) {
    arg.beginStructure();
    arg >> toolTip.IconName >> toolTip.IconPixmap >> toolTip.Title >> toolTip.Description;
    arg.endStructure();
    return arg;
}

TStatusNotifierItem::TStatusNotifierItem(QDBusConnection bus, const QString& id, QMenu* menu,
                                         QObject* parent)
    : QObject(parent), FBus(bus), FId(id) {
    RegisterTypes();
    FAdaptor = new TStatusNotifierItemAdaptor(this);
    FMenu = new TDBusMenu(menu, this);
    if (!FBus.isConnected())
        return;
    // Hosts tell items apart by their bus name, so each item of each process has its own.
    static std::atomic<int> count{0};
    const QString name =
        QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(::getpid()).arg(++count);
    if (!FBus.registerService(name))
        return;
    if (!FBus.registerObject(ItemPath, this, QDBusConnection::ExportAdaptors)) {
        FBus.unregisterService(name);
        return;
    }
    if (!FMenu->Register(FBus, MenuPath)) {
        FBus.unregisterObject(ItemPath);
        FBus.unregisterService(name);
        return;
    }
    FServiceName = name;

    // A watcher that starts (or restarts with the panel) after the program knows nothing of
    // the item: it is told again each time one appears.
    auto* watcher = new QDBusServiceWatcher(WatcherService, FBus,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                WatcherOwnerChanged(oldOwner, newOwner);
            });
    FBus.connect(WatcherService, WatcherPath, WatcherService,
                 QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(HostRegistered()));
    FBus.connect(WatcherService, WatcherPath, WatcherService,
                 QStringLiteral("StatusNotifierHostUnregistered"), this, SLOT(HostUnregistered()));
    RegisterWithWatcher();
}

TStatusNotifierItem::~TStatusNotifierItem() {
    if (FServiceName.isEmpty())
        return;
    FBus.disconnect(WatcherService, WatcherPath, WatcherService,
                    QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(HostRegistered()));
    FBus.disconnect(WatcherService, WatcherPath, WatcherService,
                    QStringLiteral("StatusNotifierHostUnregistered"), this,
                    SLOT(HostUnregistered()));
    // The name first: the watcher drops the item when it goes. The menu leaves its path as it
    // is destroyed with this object.
    FBus.unregisterService(FServiceName);
    FBus.unregisterObject(ItemPath);
}

void TStatusNotifierItem::SetIconName(const QString& name) {
    if (name == FIconName)
        return;
    FIconName = name;
    emit FAdaptor->NewIcon();
    // The tooltip carries the icon too.
    emit FAdaptor->NewToolTip();
}

void TStatusNotifierItem::SetIcon(const QImage& picture) {
    QList<TSniPixmap> pixmaps;
    for (const QImage& image : TrayPixmaps(picture))
        pixmaps << TSniPixmap{image.width(), image.height(), SniPixelBytes(image)};
    // Hosts fetch every picture again on NewIcon; an unchanged state picture costs them nothing.
    if (pixmaps == FPixmaps)
        return;
    FPixmaps = pixmaps;
    emit FAdaptor->NewIcon();
    emit FAdaptor->NewToolTip();
}

void TStatusNotifierItem::SetToolTip(const QString& text) {
    if (text == FTitle)
        return;
    FTitle = text;
    emit FAdaptor->NewTitle();
    emit FAdaptor->NewToolTip();
}

void TStatusNotifierItem::HostRegistered() {
    FHostRegistered = true;
    Update();
}

void TStatusNotifierItem::HostUnregistered() {
    // One of several hosts may have gone; the watcher knows whether any is left.
    AskForHost();
}

void TStatusNotifierItem::WatcherOwnerChanged(const QString& oldOwner, const QString& newOwner) {
    Q_UNUSED(oldOwner);
    ++FGeneration;
    FAccepted = false;
    FHostRegistered = false;
    Update();
    if (!newOwner.isEmpty())
        RegisterWithWatcher();
}

void TStatusNotifierItem::RegisterWithWatcher() {
    // Asynchronous: a watcher that hangs must not freeze the program's window.
    QDBusMessage call = QDBusMessage::createMethodCall(
        WatcherService, WatcherPath, WatcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << FServiceName;
    auto* pending = new QDBusPendingCallWatcher(FBus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, generation = FGeneration](QDBusPendingCallWatcher* reply) {
                reply->deleteLater();
                // No watcher yet (it will be met when it appears), or it refused the item.
                if (generation != FGeneration || reply->isError())
                    return;
                FAccepted = true;
                Update();
                AskForHost();
            });
}

void TStatusNotifierItem::AskForHost() {
    QDBusMessage call = QDBusMessage::createMethodCall(WatcherService, WatcherPath,
                                                       PropertiesInterface, QStringLiteral("Get"));
    call << WatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* pending = new QDBusPendingCallWatcher(FBus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, generation = FGeneration](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *call;
                // Without an answer the host signals still tell.
                if (generation != FGeneration || reply.isError())
                    return;
                FHostRegistered = reply.value().variant().toBool();
                Update();
            });
}

void TStatusNotifierItem::Update() {
    const bool shown = FAccepted && FHostRegistered;
    if (shown == FShown)
        return;
    FShown = shown;
    emit ShownChanged(shown);
}

#include "StatusNotifierItem.moc"
