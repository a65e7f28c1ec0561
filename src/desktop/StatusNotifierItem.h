#pragma once

// The program's tray icon as a StatusNotifierItem on the session bus, with its menu exported
// beside it, done here rather than through QSystemTrayIcon for two reasons: Qt looks for the
// panel's StatusNotifierWatcher once per process and never again, so a program started before
// the panel (at login, or when the panel restarts) would stay without an icon; and Qt offers the
// host a single 16-px picture and no icon name, which panels then blur to their own size.
// Here the item registers with every watcher that appears, offers its picture at each common
// size and its theme icon name, and lets the host draw the menu. GUI thread only.

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

class QMenu;
class TDBusMenu;
class TStatusNotifierItemAdaptor;

// One picture: (iiay), the bytes as SniPixelBytes gives them.
struct TSniPixmap {
    int Width = 0;
    int Height = 0;
    QByteArray Bytes;

    friend bool operator==(const TSniPixmap&, const TSniPixmap&) = default;
};

// (sa(iiay)ss): icon name, pictures, title, description.
struct TSniToolTip {
    QString IconName;
    QList<TSniPixmap> IconPixmap;
    QString Title;
    QString Description;
};

Q_DECLARE_METATYPE(TSniPixmap)
Q_DECLARE_METATYPE(TSniToolTip)

QDBusArgument& operator<<(QDBusArgument& arg, const TSniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& arg, TSniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& arg, const TSniToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& arg, TSniToolTip& toolTip);

class TStatusNotifierItem : public QObject {
    Q_OBJECT
public:
    static inline const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
    static inline const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
    static inline const QString ItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
    static inline const QString ItemPath = QStringLiteral("/StatusNotifierItem");
    static inline const QString MenuPath = QStringLiteral("/MenuBar");

    // Exports the item at ItemPath and the menu at MenuPath under the name
    // "org.kde.StatusNotifierItem-<pid>-<n>" on `bus`, and registers with the watcher now and
    // every time a watcher (re)appears. `id` is the item's Id. Without a connection (or when
    // the paths are taken on it) the item stays off the bus and everything is a no-op.
    TStatusNotifierItem(QDBusConnection bus, const QString& id, QMenu* menu,
                        QObject* parent = nullptr);
    // Leaves the bus: the watcher drops the item as its name goes.
    ~TStatusNotifierItem() override;

    // The theme icon a host prefers to the pictures when it finds it.
    void SetIconName(const QString& name);
    // The pictures, made from `picture` by TrayPixmaps.
    void SetIcon(const QImage& picture);
    // The item's title and the tooltip's title.
    void SetToolTip(const QString& text);

    // True while a watcher has accepted the item and says a host (a panel that draws items)
    // is registered with it.
    bool Shown() const { return FShown; }
    // The name the item holds on the bus; "" when it is off the bus.
    const QString& ServiceName() const { return FServiceName; }

    // For the adaptor.
    const QString& Id() const { return FId; }
    const QString& Title() const { return FTitle; }
    const QString& IconName() const { return FIconName; }
    const QList<TSniPixmap>& IconPixmap() const { return FPixmaps; }
    TSniToolTip ToolTip() const { return {FIconName, FPixmaps, FTitle, QString()}; }

signals:
    void ShownChanged(bool shown);
    // The host's Activate: a primary click on the icon.
    void Activated();
    // The host's ContextMenu at screen position (x, y); hosts that draw the exported menu
    // themselves do not ask.
    void ContextMenuRequested(int x, int y);

private slots:
    void HostRegistered();
    void HostUnregistered();

private:
    void WatcherOwnerChanged(const QString& oldOwner, const QString& newOwner);
    void RegisterWithWatcher();
    void AskForHost();
    void Update();

    QDBusConnection FBus;
    QString FId;
    QString FServiceName;
    QString FIconName;
    QString FTitle;
    QList<TSniPixmap> FPixmaps;
    TStatusNotifierItemAdaptor* FAdaptor;
    TDBusMenu* FMenu;
    // Answers that belong to a watcher that has since gone are dropped by this count.
    quint64 FGeneration = 0;
    bool FAccepted = false;
    bool FHostRegistered = false;
    bool FShown = false;
};
