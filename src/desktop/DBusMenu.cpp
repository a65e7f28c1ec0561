#include "DBusMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QBuffer>
#include <QDBusAbstractAdaptor>
#include <QDBusError>
#include <QDBusMetaType>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

// The com.canonical.dbusmenu interface of the exported object; everything goes to the menu.
class TDBusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ Version)
    Q_PROPERTY(QString TextDirection READ TextDirection)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(QStringList IconThemePath READ IconThemePath)
public:
    explicit TDBusMenuAdaptor(TDBusMenu* menu) : QDBusAbstractAdaptor(menu), FMenu(*menu) {}

    uint Version() const { return 3; }
    QString TextDirection() const {
        return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl")
                                                                     : QStringLiteral("ltr");
    }
    QString Status() const { return QStringLiteral("normal"); }
    // Icons travel as PNG bytes, so the host needs no theme folders of ours.
    QStringList IconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   TDBusMenuLayoutItem& layout) {
        if (const auto item = FMenu.Layout(parentId, recursionDepth, propertyNames))
            layout = *item;
        else
            InvalidId(parentId);
        return FMenu.Revision();
    }

    QList<TDBusMenuItemProperties> GetGroupProperties(const QList<int>& ids,
                                                      const QStringList& propertyNames) {
        QList<TDBusMenuItemProperties> found;
        if (ids.isEmpty()) {
            // No ids asks for every item.
            if (const auto root = FMenu.Layout(0, -1, propertyNames))
                Flatten(*root, found);
            return found;
        }
        // Ids the host still holds from an older layout are left out, as the protocol wants.
        for (int id : ids)
            if (const auto properties = FMenu.Properties(id, propertyNames))
                found << TDBusMenuItemProperties{id, *properties};
        return found;
    }

    QDBusVariant GetProperty(int id, const QString& name) {
        const auto properties = FMenu.Properties(id, {name});
        if (!properties) {
            InvalidId(id);
            return QDBusVariant(QVariant(0));
        }
        if (!properties->contains(name)) {
            if (FMenu.calledFromDBus())
                FMenu.sendErrorReply(
                    QDBusError::InvalidArgs,
                    QStringLiteral("menu item %1 has no property %2").arg(id).arg(name));
            return QDBusVariant(QVariant(0));
        }
        return QDBusVariant(properties->value(name));
    }

    // An unknown id is an item that has gone since the host read the layout: nothing happens.
    void Event(int id, const QString& eventId, const QDBusVariant&, uint) {
        FMenu.Event(id, eventId);
    }

    QList<int> EventGroup(const QList<TDBusMenuEvent>& events) {
        QList<int> notFound;
        for (const TDBusMenuEvent& event : events)
            if (!FMenu.Event(event.Id, event.EventId))
                notFound << event.Id;
        return notFound;
    }

    bool AboutToShow(int id) {
        const auto changed = FMenu.AboutToShow(id);
        if (!changed)
            InvalidId(id);
        return changed.value_or(false);
    }

    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
        QList<int> updatesNeeded;
        for (int id : ids) {
            const auto changed = FMenu.AboutToShow(id);
            if (!changed)
                idErrors << id;
            else if (*changed)
                updatesNeeded << id;
        }
        return updatesNeeded;
    }

signals:
    void ItemsPropertiesUpdated(const QList<TDBusMenuItemProperties>& updatedProps,
                                const QList<TDBusMenuRemovedProperties>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    void InvalidId(int id) {
        if (FMenu.calledFromDBus())
            FMenu.sendErrorReply(QDBusError::InvalidArgs,
                                 QStringLiteral("no menu item %1").arg(id));
    }
    static void Flatten(const TDBusMenuLayoutItem& item, QList<TDBusMenuItemProperties>& into) {
        into << TDBusMenuItemProperties{item.Id, item.Properties};
        for (const TDBusMenuLayoutItem& child : item.Children)
            Flatten(child, into);
    }

    TDBusMenu& FMenu;
};

namespace {

void RegisterTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<TDBusMenuLayoutItem>();
        qDBusRegisterMetaType<TDBusMenuItemProperties>();
        qDBusRegisterMetaType<QList<TDBusMenuItemProperties>>();
        qDBusRegisterMetaType<TDBusMenuRemovedProperties>();
        qDBusRegisterMetaType<QList<TDBusMenuRemovedProperties>>();
        qDBusRegisterMetaType<TDBusMenuEvent>();
        qDBusRegisterMetaType<QList<TDBusMenuEvent>>();
        return true;
    }();
    Q_UNUSED(registered);
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuLayoutItem& item) {
    arg.beginStructure();
    arg << item.Id << item.Properties;
    // The children are variants even though each holds the same struct: a D-Bus signature
    // cannot name itself, so the recursion goes through "v".
    arg.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const TDBusMenuLayoutItem& child : item.Children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuLayoutItem& item) {
    item = {};
    arg.beginStructure();
    arg >> item.Id >> item.Properties;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant wrapped;
        arg >> wrapped;
        const QVariant child = wrapped.variant();
        TDBusMenuLayoutItem childItem;
        // From the wire the child is still marshalled; within the process it may be the struct.
        if (child.metaType() == QMetaType::fromType<QDBusArgument>())
            child.value<QDBusArgument>() >> childItem;
        else if (child.metaType() == QMetaType::fromType<TDBusMenuLayoutItem>())
            childItem = child.value<TDBusMenuLayoutItem>();
        item.Children << childItem;
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuItemProperties& item) {
    arg.beginStructure();
    arg << item.Id << item.Properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuItemProperties& item) {
    arg.beginStructure();
    arg >> item.Id >> item.Properties;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuRemovedProperties& item) {
    arg.beginStructure();
    arg << item.Id << item.Names;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuRemovedProperties& item) {
    arg.beginStructure();
    arg >> item.Id >> item.Names;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TDBusMenuEvent& event) {
    arg.beginStructure();
    arg << event.Id << event.EventId << event.Data << event.Timestamp;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TDBusMenuEvent& event) {
    arg.beginStructure();
    arg >> event.Id >> event.EventId >> event.Data >> event.Timestamp;
    arg.endStructure();
    return arg;
}

QString DBusMenuLabel(const QString& qtText) {
    QString label;
    label.reserve(qtText.size());
    for (qsizetype i = 0; i < qtText.size(); ++i) {
        const QChar c = qtText.at(i);
        if (c == u'&') {
            if (i + 1 < qtText.size() && qtText.at(i + 1) == u'&') {
                label += u'&';
                ++i;
            } else if (i + 1 < qtText.size()) {
                label += u'_';
            }
            // A lone '&' at the end marks nothing and is dropped, as Qt draws it.
        } else if (c == u'_') {
            // A plain underscore (a station called "RADIO_1") must not become a mnemonic.
            label += QStringLiteral("__");
        } else {
            label += c;
        }
    }
    return label;
}

TDBusMenu::TDBusMenu(QMenu* menu, QObject* parent)
    : QObject(parent), FMenu(menu), FAdaptor(nullptr) {
    RegisterTypes();
    FAdaptor = new TDBusMenuAdaptor(this);
    QSet<QMenu*> seen;
    WatchMenus(menu, seen);
}

TDBusMenu::~TDBusMenu() {
    if (!FPath.isEmpty())
        FBus.unregisterObject(FPath);
}

bool TDBusMenu::Register(QDBusConnection bus, const QString& path) {
    if (!bus.isConnected())
        return false;
    if (!FPath.isEmpty()) {
        FBus.unregisterObject(FPath);
        FPath.clear();
    }
    if (!bus.registerObject(path, this, QDBusConnection::ExportAdaptors))
        return false;
    FBus = bus;
    FPath = path;
    return true;
}

std::optional<TDBusMenuLayoutItem> TDBusMenu::Layout(int parentId, int depth,
                                                     const QStringList& names) {
    // Submenus added since the last change notice are watched from now on.
    QSet<QMenu*> seen;
    WatchMenus(FMenu, seen);
    QList<QMenu*> path;
    if (parentId == 0)
        return Item(0, nullptr, FMenu, depth, names, path);
    QAction* action = ActionOf(parentId);
    if (!action)
        return std::nullopt;
    return Item(parentId, action, action->menu(), depth, names, path);
}

std::optional<QVariantMap> TDBusMenu::Properties(int id, const QStringList& names) {
    const auto item = Layout(id, 0, names);
    if (!item)
        return std::nullopt;
    return item->Properties;
}

bool TDBusMenu::Event(int id, const QString& eventId) {
    if (id == 0)
        return true;
    QAction* action = ActionOf(id);
    if (!action)
        return false;
    if (eventId == QLatin1String("clicked") && !action->isSeparator() && !action->menu()) {
        // The host waits for the answer to its call; the action may open a dialog or end the
        // program, so it runs only once the answer has gone out. A hidden item (the host's
        // layout is older than the menu) is not one the user could have meant.
        QTimer::singleShot(0, action, [action] {
            if (action->isVisible())
                action->trigger();
        });
    }
    return true;
}

std::optional<bool> TDBusMenu::AboutToShow(int id) {
    QMenu* menu = FMenu;
    if (id != 0) {
        QAction* action = ActionOf(id);
        if (!action)
            return std::nullopt;
        menu = action->menu();
    }
    if (!menu)
        return false;
    // Code that fills or ticks the menu just before it pops up runs for the host's menu too;
    // any change it makes bumps the revision at once.
    const uint before = FRevision;
    emit menu->aboutToShow();
    return FRevision != before;
}

bool TDBusMenu::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ActionAdded:
    case QEvent::ActionRemoved:
    // A menu hears of every change to its actions (text, check, icon, enabled, visible).
    case QEvent::ActionChanged:
        MenuChanged();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

int TDBusMenu::IdOf(QAction* action) {
    if (const auto found = FIds.constFind(action); found != FIds.cend())
        return *found;
    const int id = FNextId++;
    FIds.insert(action, id);
    FActions.insert(id, action);
    // The pointer is only a key here: the action is already gone when this runs.
    connect(action, &QObject::destroyed, this,
            [this, action] { FActions.remove(FIds.take(action)); });
    return id;
}

QAction* TDBusMenu::ActionOf(int id) const {
    return id > 0 ? FActions.value(id).data() : nullptr;
}

QVariantMap TDBusMenu::ActionProperties(QAction* action) const {
    QVariantMap properties;
    properties.insert(QStringLiteral("visible"), action->isVisible());
    if (action->isSeparator()) {
        properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
        return properties;
    }
    properties.insert(QStringLiteral("label"), DBusMenuLabel(action->text()));
    properties.insert(QStringLiteral("enabled"), action->isEnabled());
    if (action->isCheckable()) {
        const QActionGroup* group = action->actionGroup();
        const bool radio = group && group->exclusionPolicy() != QActionGroup::ExclusionPolicy::None;
        properties.insert(QStringLiteral("toggle-type"),
                          radio ? QStringLiteral("radio") : QStringLiteral("checkmark"));
        properties.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
    }
    if (action->menu())
        properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    if (!action->icon().isNull() && action->isIconVisibleInMenu()) {
        const QPixmap pixmap = action->icon().pixmap(QSize(16, 16));
        QByteArray png;
        QBuffer buffer(&png);
        if (!pixmap.isNull() && buffer.open(QIODevice::WriteOnly) && pixmap.save(&buffer, "PNG"))
            properties.insert(QStringLiteral("icon-data"), png);
    }
    return properties;
}

TDBusMenuLayoutItem TDBusMenu::Item(int id, QAction* action, QMenu* submenu, int depth,
                                    const QStringList& names, QList<QMenu*>& path) {
    TDBusMenuLayoutItem item;
    item.Id = id;
    item.Properties =
        action ? ActionProperties(action)
               : QVariantMap{{QStringLiteral("children-display"), QStringLiteral("submenu")}};
    if (!names.isEmpty())
        for (auto it = item.Properties.begin(); it != item.Properties.end();)
            it = names.contains(it.key()) ? std::next(it) : item.Properties.erase(it);
    // A menu that contains itself further down is shown once, not followed for ever.
    if (!submenu || depth == 0 || path.contains(submenu))
        return item;
    path << submenu;
    for (QAction* child : submenu->actions())
        item.Children << Item(IdOf(child), child, child->menu(), depth < 0 ? -1 : depth - 1, names,
                              path);
    path.removeLast();
    return item;
}

void TDBusMenu::WatchMenus(QMenu* menu, QSet<QMenu*>& seen) {
    if (!menu || seen.contains(menu))
        return;
    seen.insert(menu);
    if (!FWatched.contains(menu)) {
        FWatched.insert(menu);
        menu->installEventFilter(this);
        connect(menu, &QObject::destroyed, this, [this, menu] { FWatched.remove(menu); });
    }
    for (QAction* action : menu->actions()) {
        // Ids are handed out as soon as an item is known, so they follow the menu's order.
        IdOf(action);
        WatchMenus(action->menu(), seen);
    }
}

void TDBusMenu::MenuChanged() {
    ++FRevision;
    if (FUpdatePending)
        return;
    // A menu being built sends one event per action; the host hears of them once.
    FUpdatePending = true;
    QTimer::singleShot(0, this, &TDBusMenu::SendLayoutUpdated);
}

void TDBusMenu::SendLayoutUpdated() {
    FUpdatePending = false;
    QSet<QMenu*> seen;
    WatchMenus(FMenu, seen);
    emit FAdaptor->LayoutUpdated(FRevision, 0);
}

#include "DBusMenu.moc"
