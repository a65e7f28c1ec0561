// TSimpleTray: the program's icon in the notification area. A left press asks the main
// window to show or hide itself (a posted WM_SHOWHIDEMAIN event); the right button opens the
// tray menu. The icon is kept visible whether or not a tray host runs: Qt registers a visible
// icon by itself whenever a host appears or restarts (never a hidden one), so the icon comes
// when the host starts after the program, and comes back after a host restart. GUI thread
// only.
#pragma once

#include <QEvent>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

class QMenu;
class QWidget;

// Toggles the main window between shown and hidden in the tray; posted without parameters.
inline constexpr QEvent::Type WM_SHOWHIDEMAIN = static_cast<QEvent::Type>(1034);

// The tip as the tray receives it: at most 127 characters (never half a surrogate pair).
QString TrayTip(const QString& hint);

class TSimpleTray : public QObject {
    Q_OBJECT
public:
    TSimpleTray(QWidget* target, QMenu* popupMenu, const QString& hint);
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

    // The underlying tray icon (its activation is how mouse presses arrive).
    QSystemTrayIcon* TrayIcon() { return &FTrayIcon; }

private:
    void Activated(QSystemTrayIcon::ActivationReason reason);

    QPointer<QWidget> FTarget;
    QIcon FIcon;
    QString FHint;
    QSystemTrayIcon FTrayIcon;
};
