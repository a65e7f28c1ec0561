#include "MprisState.h"

#include <QCoreApplication>
#include <QDBusObjectPath>
#include <algorithm>
#include <cmath>

namespace Mpris {

QString PlaybackStatus(const TMprisState& state) {
    if (!state.Connected || !state.PowerOn)
        return QStringLiteral("Stopped");
    return state.Muted ? QStringLiteral("Paused") : QStringLiteral("Playing");
}

QString Title(const TMprisState& state) {
    if (!state.StationName.trimmed().isEmpty())
        return state.StationName.trimmed();
    if (!state.RDSName.trimmed().isEmpty())
        return state.RDSName.trimmed();
    return QStringLiteral("%1 MHz").arg(state.TuneValue / 10.0, 0, 'f', 1);
}

QString Album(const TMprisState& state) {
    return state.BandFM ? QStringLiteral("FM") : QCoreApplication::translate("TMainForm", "УКВ");
}

QString TrackId(const TMprisState& state) {
    // Object path elements take only [A-Za-z0-9_]: a negative value must not produce a '-'.
    return QStringLiteral("/org/orvalen/station/%1").arg(std::max(state.TuneValue, 0));
}

QVariantMap Metadata(const TMprisState& state) {
    return {
        {QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId(state)))},
        {QStringLiteral("xesam:title"), Title(state)},
        {QStringLiteral("xesam:album"), Album(state)},
    };
}

QVariantMap PlayerProperties(const TMprisState& state) {
    const bool connected = state.Connected;
    return {
        {QStringLiteral("PlaybackStatus"), PlaybackStatus(state)},
        {QStringLiteral("Metadata"), Metadata(state)},
        {QStringLiteral("Volume"), state.Volume},
        {QStringLiteral("CanGoNext"), connected},
        {QStringLiteral("CanGoPrevious"), connected},
        {QStringLiteral("CanPlay"), connected},
        {QStringLiteral("CanPause"), connected},
    };
}

QVariantMap ChangedPlayerProperties(const TMprisState& before, const TMprisState& after) {
    const QVariantMap old = PlayerProperties(before);
    QVariantMap changed = PlayerProperties(after);
    for (auto it = changed.begin(); it != changed.end();) {
        if (old.value(it.key()) == it.value())
            it = changed.erase(it);
        else
            ++it;
    }
    return changed;
}

std::optional<double> AcceptedVolume(double requested) {
    if (std::isnan(requested))
        return std::nullopt;
    return std::clamp(requested, 0.0, 1.0);
}

} // namespace Mpris
