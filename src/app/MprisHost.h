#pragma once

// The main window as a media player on the session bus: media keys, desktop sound applets
// and playerctl see its power, mute, station and volume and press its buttons.

#include "desktop/MprisService.h"

#include <QDBusConnection>
#include <memory>

class TMainForm;

// State from the main window's fields and display; commands do what its buttons do, so
// nothing reaches the tuner while sending is disabled or a button is disabled.
class TMainFormMprisHost : public TMprisHost {
public:
    explicit TMainFormMprisHost(TMainForm& form) : FForm(form) {}

    TMprisState State() const override;
    void Play() override;
    void Pause() override;
    void PlayPause() override;
    void Stop() override;
    void Next() override;
    void Previous() override;
    void SetVolume(double volume) override;
    void Raise() override;
    void Quit() override;
    void Log(const QString& line) override;

private:
    bool Playing() const;
    TMainForm& FForm;
};

// The host and its service, following the main window's state changes. Ends before the
// main window does.
class TMprisPlayer {
public:
    TMprisPlayer(TMainForm& form, const QDBusConnection& bus);
    const TMprisService& Service() const { return FService; }

private:
    TMainFormMprisHost FHost;
    TMprisService FService;
};

// The player on the session bus; without one it is absent and the log says so.
std::unique_ptr<TMprisPlayer> StartMpris(TMainForm& form);
