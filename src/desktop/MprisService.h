#pragma once

// The radio as an MPRIS 2 media player on a D-Bus connection: media keys, desktop sound
// applets and playerctl read its state and drive it through a host. The service never reads
// the state on its own: the host tells it when something may have changed, and clients get
// one PropertiesChanged with just the properties that did change. GUI thread only.

#include "MprisState.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

// What the service drives. Commands are asked only while a client may use them (the play
// and track commands only while connected); the host applies them as its controls would.
class TMprisHost {
public:
    virtual ~TMprisHost() = default;
    virtual TMprisState State() const = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void PlayPause() = 0;
    virtual void Stop() = 0;
    virtual void Next() = 0;
    virtual void Previous() = 0;
    // volume: 0..1.
    virtual void SetVolume(double volume) = 0;
    virtual void Raise() = 0;
    virtual void Quit() = 0;
    // A line for the program's log.
    virtual void Log(const QString& line) = 0;
};

class TMprisService : public QObject {
    Q_OBJECT
public:
    static inline const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString BusName = QStringLiteral("org.mpris.MediaPlayer2.orvalen");

    // Registers on the connection, under BusName or, when another program holds that, under
    // BusName + ".instance<pid>"; without a connection the service stays absent and says so
    // in the log.
    TMprisService(TMprisHost& host, const QDBusConnection& bus, QObject* parent = nullptr);
    ~TMprisService() override;

    // The name the service holds, or "" when it is absent.
    const QString& RegisteredName() const { return FName; }

    // The host's state may have changed; the comparison runs once the current event is done,
    // so a burst of changes becomes one signal.
    void HostChanged();

    // For the adaptors.
    TMprisHost& Host() { return FHost; }
    TMprisState State() const { return FHost.State(); }
    // The play and track commands reach the host only while it is connected.
    void Command(void (TMprisHost::*command)());
    void SetVolume(double volume);

private:
    void Compare();

    TMprisHost& FHost;
    QDBusConnection FBus;
    QString FName;
    TMprisState FSent;
    bool FComparePending = false;
};
