#pragma once

// What a media player client sees of the radio, computed from a snapshot of the main
// window's state. Pure functions: the service compares two snapshots to tell clients only
// what changed.

#include <QString>
#include <QVariantMap>
#include <optional>

struct TMprisState {
    bool Connected = false;
    bool PowerOn = false;
    bool Muted = false;
    bool BandFM = true;
    // The tuned frequency in tenths of a megahertz (1017 = 101.7 MHz).
    int TuneValue = 880;
    // The name the station list gives the frequency, and the station's RDS name; "" when none.
    QString StationName;
    QString RDSName;
    // The volume slider's place between its ends, 0..1.
    double Volume = 0;

    bool operator==(const TMprisState&) const = default;
};

namespace Mpris {

// "Playing" while connected, powered and not muted; "Paused" while muted; "Stopped" otherwise.
QString PlaybackStatus(const TMprisState& state);
// The station name, else the RDS name, else the frequency ("101.7 MHz").
QString Title(const TMprisState& state);
// The band as the band button shows it: "FM" or "УКВ".
QString Album(const TMprisState& state);
// An object path that names the tuned frequency: /org/orvalen/station/1017.
QString TrackId(const TMprisState& state);
// mpris:trackid (an object path), xesam:title, xesam:album.
QVariantMap Metadata(const TMprisState& state);

// The player's properties that follow the state, by name.
QVariantMap PlayerProperties(const TMprisState& state);
// The properties whose values differ between two snapshots, with their new values.
QVariantMap ChangedPlayerProperties(const TMprisState& before, const TMprisState& after);

// A volume a client asks for: NaN is refused, the rest is clamped to 0..1.
std::optional<double> AcceptedVolume(double requested);

} // namespace Mpris
