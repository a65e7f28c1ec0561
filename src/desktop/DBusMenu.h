#pragma once

// A QMenu exported over D-Bus (com.canonical.dbusmenu), so that a tray host draws the menu in
// its own style and place instead of the program popping up a window of its own. The host reads
// the whole tree with GetLayout and sends clicks back with Event; the menu stays the one source
// of truth: labels, checks, icons and submenus are read from its actions on every request, and
// any change to them tells the host to read the layout again. GUI thread only.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

class QAction;
class QMenu;
class TDBusMenuAdaptor;

// One item with its properties and, for a submenu, its children: (ia{sv}av) on the wire, each
// child a variant holding another such struct.
struct TDBusMenuLayoutItem {
    int Id = 0;
    QVariantMap Properties;
    QList<TDBusMenuLayoutItem> Children;
};

// (ia{sv}): an item's properties, as GetGroupProperties and ItemsPropertiesUpdated carry them.
struct TDBusMenuItemProperties {
    int Id = 0;
    QVariantMap Properties;
};

// (ias): properties an item no longer has.
struct TDBusMenuRemovedProperties {
    int Id = 0;
    QStringList Names;
};

// (isvu): one event of EventGroup.
struct TDBusMenuEvent {
    int Id = 0;
    QString EventId;
    QDBusVariant Data;
    uint Timestamp = 0;
};

Q_DECLARE_METATYPE(TDBusMenuLayoutItem)
Q_DECLARE_METATYPE(TDBusMenuItemProperties)
Q_DECLARE_METATYPE(TDBusMenuRemovedProperties)
Q_DECLARE_METATYPE(TDBusMenuEvent)

QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuRemovedProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuRemovedProperties& item);
QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuEvent& event);

// The menu item text as dbusmenu shows it: Qt marks the mnemonic with '&' ("&&" for an
// ampersand), dbusmenu with '_' ("__" for an underscore).
QString DBusMenuLabel(const QString& qtText);

// QtDBus gives the context of a call to an adaptor to the adaptor's parent, so this is the
// object that knows the call and can answer it with an error.
class TDBusMenu : public QObject, protected QDBusContext {
    Q_OBJECT
    friend class TDBusMenuAdaptor;

public:
    static inline const QString Interface = QStringLiteral("com.canonical.dbusmenu");

    // The menu may be destroyed before this object; the export is an empty menu then.
    explicit TDBusMenu(QMenu* menu, QObject* parent = nullptr);
    ~TDBusMenu() override;

    // Registers the object (with its adaptor) on the connection at `path`; false when that
    // fails. The destructor leaves the path again.
    bool Register(QDBusConnection bus, const QString& path);

    // Grows with every change of the menu; hosts compare it to the one they hold.
    uint Revision() const { return FRevision; }

    // For the adaptor. Ids that name no item give nullopt (or false).
    // The item `parentId` (0: the menu itself) with its children `depth` levels down (-1: all);
    // only the properties in `names`, or all when it is empty.
    std::optional<TDBusMenuLayoutItem> Layout(int parentId, int depth, const QStringList& names);
    std::optional<QVariantMap> Properties(int id, const QStringList& names);
    // "clicked" triggers the item's action once the current D-Bus call has been answered.
    bool Event(int id, const QString& eventId);
    // Lets the menu (or submenu) `id` update itself as it would before popping up; the value
    // says whether its layout changed meanwhile.
    std::optional<bool> AboutToShow(int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int IdOf(QAction* action);
    QAction* ActionOf(int id) const;
    QVariantMap ActionProperties(QAction* action) const;
    TDBusMenuLayoutItem Item(int id, QAction* action, QMenu* submenu, int depth,
                             const QStringList& names, QList<QMenu*>& path);
    void WatchMenus(QMenu* menu, QSet<QMenu*>& seen);
    void MenuChanged();
    void SendLayoutUpdated();

    QPointer<QMenu> FMenu;
    TDBusMenuAdaptor* FAdaptor;
    QDBusConnection FBus{QString()};
    QString FPath;
    QHash<QAction*, int> FIds;
    QHash<int, QPointer<QAction>> FActions;
    QSet<QMenu*> FWatched;
    int FNextId = 1;
    uint FRevision = 1;
    bool FUpdatePending = false;
};
