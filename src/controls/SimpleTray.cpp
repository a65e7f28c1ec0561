#include "controls/SimpleTray.h"

#include <QCoreApplication>
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

TSimpleTray::TSimpleTray(QWidget* target, QMenu* popupMenu, const QString& hint)
    : FTarget(target), FHint(hint) {
    // The right button opens this menu at the pointer; Qt places it there.
    if (popupMenu)
        FTrayIcon.setContextMenu(popupMenu);
    connect(&FTrayIcon, &QSystemTrayIcon::activated, this, &TSimpleTray::Activated);
}

TSimpleTray::~TSimpleTray() {
    FTrayIcon.hide();
    FIconShown = false;
}

void TSimpleTray::SetHint(const QString& value) {
    FHint = value;
    if (FIconShown)
        UpdateIcon();
}

void TSimpleTray::ShowIcon() {
    FTrayIcon.setIcon(FIcon);
    FTrayIcon.setToolTip(TrayTip(FHint));
    // Without a tray host there is nowhere to add the icon: the add fails.
    FIconShown = QSystemTrayIcon::isSystemTrayAvailable();
    if (FIconShown)
        FTrayIcon.show();
}

void TSimpleTray::UpdateIcon() {
    FTrayIcon.setIcon(FIcon);
    FTrayIcon.setToolTip(TrayTip(FHint));
    // A modify succeeds only for an icon that was added.
    FIconShown = QSystemTrayIcon::isSystemTrayAvailable() && FTrayIcon.isVisible();
}

void TSimpleTray::Activated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger && FTarget)
        QCoreApplication::postEvent(FTarget, new QEvent(WM_SHOWHIDEMAIN));
}
