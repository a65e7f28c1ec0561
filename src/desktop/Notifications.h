#pragma once

// Desktop notifications ("the recording has started", "the sleep timer switched the radio
// off") through the desktop's notification server on the session bus. Sending never waits:
// the call goes out and its answer arrives later as Delivered or NotDelivered, so a server
// that is slow, hung or missing never freezes the window. GUI thread only.

#include <QDBusConnection>
#include <QObject>
#include <QString>

// The body as the server shows it: servers may read the body as markup, so the plain text's
// "&", "<" and ">" are written as entities and a name like "Rock & Roll" stays whole.
QString NotificationBody(const QString& plainText);

class TNotifier : public QObject {
    Q_OBJECT
public:
    static inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString Path = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString Interface = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString AppName = QStringLiteral("Orvalen");
    static inline const QString IconName = QStringLiteral("orvalen");

    explicit TNotifier(QDBusConnection bus = QDBusConnection::sessionBus(),
                       QObject* parent = nullptr);

    // Asks the server to show a notification; summary and body are plain text. Returns at
    // once; the outcome follows as a signal, never before this returns. Answers still on
    // their way when the notifier is destroyed are dropped.
    void Notify(const QString& summary, const QString& body);

signals:
    // The server took the notification and gave it this id.
    void Delivered(const QString& summary, uint id);
    // Not shown: no bus, no server (org.freedesktop.DBus.Error.ServiceUnknown), no answer in
    // time, or the server's refusal; errorName is the D-Bus error's name.
    void NotDelivered(const QString& summary, const QString& errorName,
                      const QString& errorMessage);

private:
    QDBusConnection FBus;
};
