#include "controls/SimpleTray.h"

#include "controls/WindowSystem.h"
#include "desktop/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QMenu>
#include <QWidget>

QString TrayTip(const QString& hint) {
    constexpr qsizetype limit = 127;
    if (hint.size() <= limit)
        return hint;
    qsizetype cut = limit;
    if (hint.at(cut - 1).isHighSurrogate())
        --cut;
    return hint.left(cut);
}

namespace {

bool WatcherOnBus(const QDBusConnection& bus) {
    const QDBusConnectionInterface* daemon = bus.isConnected() ? bus.interface() : nullptr;
    return daemon && daemon->isServiceRegistered(TStatusNotifierItem::WatcherService).value();
}

} // namespace

// The watcher is looked for before Qt's icon is made, since Qt decides then, and for good,
// whether its icon talks to that watcher or to an XEmbed tray.
TSimpleTray::TSimpleTray(QWidget* target, QMenu* popupMenu, const QString& hint,
                         QDBusConnection bus)
    : FTarget(target), FMenu(popupMenu), FHint(hint), FXEmbed(!OnWayland() && !WatcherOnBus(bus)) {
    if (bus.isConnected()) {
        FItem = std::make_unique<TStatusNotifierItem>(bus, QStringLiteral("orvalen"), popupMenu);
        FItem->SetIconName(QStringLiteral("orvalen"));
        connect(FItem.get(), &TStatusNotifierItem::ShownChanged, this, &TSimpleTray::ChooseHost);
        connect(FItem.get(), &TStatusNotifierItem::Activated, this,
                [this] { Activated(QSystemTrayIcon::Trigger); });
        connect(FItem.get(), &TStatusNotifierItem::ContextMenuRequested, this,
                [this](int x, int y) {
                    if (FMenu)
                        FMenu->popup(QPoint(x, y));
                });
    }
    // The right button opens this menu at the pointer; Qt places it there.
    if (popupMenu)
        FTrayIcon.setContextMenu(popupMenu);
    connect(&FTrayIcon, &QSystemTrayIcon::activated, this, &TSimpleTray::Activated);
}

TSimpleTray::~TSimpleTray() {
    FTrayIcon.hide();
}

bool TSimpleTray::IconShown() const {
    return (FItem && FItem->Shown()) ||
           (FTrayIcon.isVisible() && QSystemTrayIcon::isSystemTrayAvailable());
}

void TSimpleTray::SetHint(const QString& value) {
    FHint = value;
    // Once shown, the icon keeps the present tip even while no host shows it: a host that
    // comes later takes the icon as it is then.
    if (FWanted)
        UpdateIcon();
}

void TSimpleTray::ShowIcon() {
    UpdateIcon();
    FWanted = true;
    ChooseHost();
}

void TSimpleTray::ChooseHost() {
    // Shown whatever the XEmbed host's state: Qt hands a host that appears or restarts only
    // the icons that are visible at that time.
    FTrayIcon.setVisible(FWanted && FXEmbed && !(FItem && FItem->Shown()));
}

void TSimpleTray::UpdateIcon() {
    FTrayIcon.setIcon(FIcon);
    FTrayIcon.setToolTip(TrayTip(FHint));
    if (FItem) {
        FItem->SetIcon(FIcon.pixmap(16).toImage());
        FItem->SetToolTip(TrayTip(FHint));
    }
}

void TSimpleTray::Activated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger && FTarget)
        QCoreApplication::postEvent(FTarget, new QEvent(WM_SHOWHIDEMAIN));
}
