// TSimpleTray: the program's icon in the notification area. A left press asks the main
// window to show or hide itself (a posted WM_SHOWHIDEMAIN event); the right button opens the
// tray menu. Two kinds of host show it, and either may start after the program or restart:
// - a StatusNotifierItem host (today's panels, and the only kind on Wayland): the item on the
//   session bus registers with every watcher that appears (desktop/StatusNotifierItem.h);
// - an XEmbed tray on X11: Qt's icon, kept visible whether or not a host runs, since Qt
//   registers a visible icon by itself whenever a host appears or restarts (never a hidden
//   one). It steps back while a StatusNotifierItem host shows the item, so no panel shows
//   the icon twice.
// GUI thread only.
#pragma once

#include <QDBusConnection>
#include <QEvent>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <memory>

class QMenu;
class QWidget;
class TStatusNotifierItem;

// Toggles the main window between shown and hidden in the tray; posted without parameters.
inline constexpr QEvent::Type WM_SHOWHIDEMAIN = static_cast<QEvent::Type>(1034);

// The tip as the tray receives it: at most 127 characters (never half a surrogate pair).
QString TrayTip(const QString& hint);

class TSimpleTray : public QObject {
    Q_OBJECT
public:
    TSimpleTray(QWidget* target, QMenu* popupMenu, const QString& hint,
                QDBusConnection bus = QDBusConnection::sessionBus());
    ~TSimpleTray() override;

    // The picture shown; load another into it, then call UpdateIcon.
    QIcon& Icon() { return FIcon; }
    const QString& Hint() const { return FHint; }
    // Refreshes the shown icon's tip; before the icon is shown it only stores the text.
    void SetHint(const QString& value);
    // true while a tray host shows the icon (asked anew on every call).
    bool IconShown() const;

    // Puts the icon into the notification area, now or when a tray host comes.
    void ShowIcon();
    // Gives the icon the present picture and tip.
    void UpdateIcon();

    // The underlying XEmbed tray icon (its activation is how mouse presses arrive).
    QSystemTrayIcon* TrayIcon() { return &FTrayIcon; }
    // The StatusNotifierItem; null without a session bus.
    TStatusNotifierItem* Item() { return FItem.get(); }

private:
    void Activated(QSystemTrayIcon::ActivationReason reason);
    // Shows Qt's icon when it is wanted and no StatusNotifierItem host shows the item.
    void ChooseHost();

    QPointer<QWidget> FTarget;
    QPointer<QMenu> FMenu;
    QIcon FIcon;
    QString FHint;
    bool FWanted = false; // ShowIcon was called
    // Whether Qt's icon can reach an XEmbed tray: X11, and no StatusNotifierItem watcher when
    // the icon was made (Qt then binds its icon to that watcher for good).
    bool FXEmbed = false;
    std::unique_ptr<TStatusNotifierItem> FItem;
    QSystemTrayIcon FTrayIcon;
};
