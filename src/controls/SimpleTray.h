// TSimpleTray: the program's icon in the notification area. A left press asks the main
// window to show or hide itself (a posted WM_SHOWHIDEMAIN event); the right button opens the
// tray menu. Qt's tray icon registers again by itself when the tray host restarts. GUI thread
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
    // true after the tray accepted the last add or modify request.
    bool IconShown() const { return FIconShown; }

    // Adds the icon to the notification area.
    void ShowIcon();
    // Gives the shown icon the present picture and tip.
    void UpdateIcon();

    // The underlying tray icon (its activation is how mouse presses arrive).
    QSystemTrayIcon* TrayIcon() { return &FTrayIcon; }

private:
    void Activated(QSystemTrayIcon::ActivationReason reason);

    QPointer<QWidget> FTarget;
    QIcon FIcon;
    QString FHint;
    bool FIconShown = false;
    QSystemTrayIcon FTrayIcon;
};
