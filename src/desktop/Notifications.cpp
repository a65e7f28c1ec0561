#include "Notifications.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

QString NotificationBody(const QString& plainText) {
    QString body;
    body.reserve(plainText.size());
    for (const QChar c : plainText) {
        if (c == u'&')
            body += QStringLiteral("&amp;");
        else if (c == u'<')
            body += QStringLiteral("&lt;");
        else if (c == u'>')
            body += QStringLiteral("&gt;");
        else
            body += c;
    }
    return body;
}

TNotifier::TNotifier(QDBusConnection bus, QObject* parent) : QObject(parent), FBus(bus) {}

void TNotifier::Notify(const QString& summary, const QString& body) {
    if (!FBus.isConnected()) {
        const QDBusError reason = FBus.lastError();
        const QString name =
            reason.isValid() ? reason.name() : QDBusError::errorString(QDBusError::Disconnected);
        const QString message =
            reason.isValid() ? reason.message() : QStringLiteral("not connected to the bus");
        // Queued, so a caller that reacts to the outcome never finds itself inside Notify.
        QMetaObject::invokeMethod(
            this, [this, summary, name, message] { emit NotDelivered(summary, name, message); },
            Qt::QueuedConnection);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    // replaces_id 0: a new notification; no actions, no hints; expire_timeout -1: the
    // server's own default.
    call << AppName << 0u << IconName << summary << NotificationBody(body) << QStringList()
         << QVariantMap() << -1;
    // No check that the server is there first: that would be a call to wait for, and a missing
    // server already answers this one with ServiceUnknown.
    auto* pending = new QDBusPendingCallWatcher(FBus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, summary](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isError())
                    emit NotDelivered(summary, reply.error().name(), reply.error().message());
                else
                    emit Delivered(summary, reply.value());
            });
}
