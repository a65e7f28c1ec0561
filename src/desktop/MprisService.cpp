#include "MprisService.h"

#include "MprisAdaptors.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>
#include <unistd.h>

TMprisService::TMprisService(TMprisHost& host, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), FHost(host), FBus(bus), FSent(host.State()) {
    new TMprisRootAdaptor(this);
    new TMprisPlayerAdaptor(this);
    if (!FBus.isConnected()) {
        FHost.Log(QStringLiteral("MPRIS: no session bus (%1); media keys and playerctl cannot "
                                 "reach the program")
                      .arg(FBus.lastError().message()));
        return;
    }
    if (!FBus.registerObject(ObjectPath, this, QDBusConnection::ExportAdaptors)) {
        FHost.Log(QStringLiteral("MPRIS: %1 is already in use on the session bus").arg(ObjectPath));
        return;
    }
    if (FBus.registerService(BusName)) {
        FName = BusName;
        return;
    }
    // Another copy of the program (from another folder, so not caught by the single-instance
    // check) holds the name: the MPRIS rules allow a per-instance name beside it.
    const QString instance = BusName + QStringLiteral(".instance%1").arg(::getpid());
    if (FBus.registerService(instance)) {
        FName = instance;
        FHost.Log(QStringLiteral("MPRIS: %1 is taken by another program; registered as %2")
                      .arg(BusName, instance));
        return;
    }
    FBus.unregisterObject(ObjectPath);
    FHost.Log(QStringLiteral("MPRIS: neither %1 nor %2 could be registered: %3")
                  .arg(BusName, instance, FBus.lastError().message()));
}

TMprisService::~TMprisService() {
    if (FName.isEmpty())
        return;
    FBus.unregisterService(FName);
    FBus.unregisterObject(ObjectPath);
}

void TMprisService::HostChanged() {
    if (FComparePending)
        return;
    FComparePending = true;
    QTimer::singleShot(0, this, &TMprisService::Compare);
}

void TMprisService::Compare() {
    FComparePending = false;
    const TMprisState now = FHost.State();
    const QVariantMap changed = Mpris::ChangedPlayerProperties(FSent, now);
    FSent = now;
    if (changed.isEmpty() || FName.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(ObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    FBus.send(signal);
}

void TMprisService::Command(void (TMprisHost::*command)()) {
    if (FHost.State().Connected)
        (FHost.*command)();
}

void TMprisService::SetVolume(double volume) {
    if (const auto accepted = Mpris::AcceptedVolume(volume))
        FHost.SetVolume(*accepted);
}
