#include "SleepWatcher.h"

#include <QDBusConnection>

TSleepWatcher::TSleepWatcher(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected()) {
        bus.connect(QStringLiteral("org.freedesktop.login1"),
                    QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"),
                    QStringLiteral("PrepareForSleep"), this, SLOT(PrepareForSleep(bool)));
    }
}

void TSleepWatcher::PrepareForSleep(bool start) {
    if (!start && OnResume)
        OnResume();
}
