#include "controls/SimpleTray.h"

#include <QCoreApplication>
#include <QGuiApplication>
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
}

bool TSimpleTray::IconShown() const {
    return FTrayIcon.isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TSimpleTray::SetHint(const QString& value) {
    FHint = value;
    // Once shown, the icon keeps the present tip even while no host shows it: a host that
    // comes later takes the icon as it is then.
    if (FTrayIcon.isVisible())
        UpdateIcon();
}

void TSimpleTray::ShowIcon() {
    UpdateIcon();
    // On Wayland only a StatusNotifierItem host can show the icon; without one Qt would fall
    // back to the X11 tray protocol, which cannot work there and warns.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
        !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    // Shown whatever the tray host's state: Qt hands a host that appears or restarts only the
    // icons that are visible at that time.
    FTrayIcon.show();
}

void TSimpleTray::UpdateIcon() {
    FTrayIcon.setIcon(FIcon);
    FTrayIcon.setToolTip(TrayTip(FHint));
}

void TSimpleTray::Activated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger && FTarget)
        QCoreApplication::postEvent(FTarget, new QEvent(WM_SHOWHIDEMAIN));
}
