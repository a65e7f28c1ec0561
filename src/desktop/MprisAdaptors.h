#pragma once

// The two MPRIS interfaces of /org/mpris/MediaPlayer2. QtDBus exports their properties,
// methods and signals and answers org.freedesktop.DBus.Properties Get, GetAll and Set from
// them; everything goes to the service.

#include "MprisService.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

class TMprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit TMprisRootAdaptor(TMprisService* service)
        : QDBusAbstractAdaptor(service), FService(*service) {}

    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Orvalen"); }
    QString DesktopEntry() const { return QStringLiteral("orvalen"); }
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

public slots:
    void Raise() { FService.Host().Raise(); }
    void Quit() { FService.Host().Quit(); }

private:
    TMprisService& FService;
};

class TMprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanUse)
    Q_PROPERTY(bool CanGoPrevious READ CanUse)
    Q_PROPERTY(bool CanPlay READ CanUse)
    Q_PROPERTY(bool CanPause READ CanUse)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    explicit TMprisPlayerAdaptor(TMprisService* service)
        : QDBusAbstractAdaptor(service), FService(*service) {}

    QString PlaybackStatus() const { return Mpris::PlaybackStatus(FService.State()); }
    double Rate() const { return 1.0; }
    // The rate is read/write on this interface; a radio plays at 1.0 only, so a client's other
    // wishes are accepted and ignored.
    void SetRate(double) {}
    QVariantMap Metadata() const { return Mpris::Metadata(FService.State()); }
    double Volume() const { return FService.State().Volume; }
    void SetVolume(double volume) { FService.SetVolume(volume); }
    // A radio has no place in a track.
    qlonglong Position() const { return 0; }
    bool CanUse() const { return FService.State().Connected; }
    bool CanSeek() const { return false; }
    bool CanControl() const { return true; }

public slots:
    void Next() { FService.Command(&TMprisHost::Next); }
    void Previous() { FService.Command(&TMprisHost::Previous); }
    void Pause() { FService.Command(&TMprisHost::Pause); }
    void PlayPause() { FService.Command(&TMprisHost::PlayPause); }
    void Stop() { FService.Command(&TMprisHost::Stop); }
    void Play() { FService.Command(&TMprisHost::Play); }
    // CanSeek is false and there are no tracks to open: these do nothing.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

signals:
    void Seeked(qlonglong Position);

private:
    TMprisService& FService;
};
