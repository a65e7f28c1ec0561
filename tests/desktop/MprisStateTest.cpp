// What a client sees of the radio's state, and which properties a change touches.
#include "desktop/MprisState.h"

#include <QDBusObjectPath>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

TMprisState Playing() {
    TMprisState state;
    state.Connected = true;
    state.PowerOn = true;
    state.TuneValue = 1017;
    state.Volume = 0.5;
    return state;
}

} // namespace

TEST(MprisState, PlaybackStatusFollowsConnectionPowerAndMute) {
    struct Case {
        bool connected, power, muted;
        const char* status;
    };
    for (const Case& c :
         {Case{true, true, false, "Playing"}, Case{true, true, true, "Paused"},
          Case{true, false, false, "Stopped"}, Case{true, false, true, "Stopped"},
          Case{false, true, false, "Stopped"}, Case{false, true, true, "Stopped"}}) {
        TMprisState state;
        state.Connected = c.connected;
        state.PowerOn = c.power;
        state.Muted = c.muted;
        EXPECT_EQ(Mpris::PlaybackStatus(state), c.status) << c.connected << c.power << c.muted;
    }
}

TEST(MprisState, TitleIsTheStationNameElseTheRdsNameElseTheFrequency) {
    struct Case {
        const char* station;
        const char* rds;
        int tuneValue;
        const char* title;
    };
    for (const Case& c :
         {Case{"Новости", "NOVOSTI ", 1017, "Новости"}, Case{"", "NOVOSTI ", 1017, "NOVOSTI"},
          Case{"", "        ", 1017, "101.7 MHz"}, Case{"", "", 880, "88.0 MHz"},
          Case{"  ", "", 1080, "108.0 MHz"}, Case{"", "", 659, "65.9 MHz"}}) {
        TMprisState state;
        state.StationName = QString::fromUtf8(c.station);
        state.RDSName = QString::fromUtf8(c.rds);
        state.TuneValue = c.tuneValue;
        EXPECT_EQ(Mpris::Title(state), QString::fromUtf8(c.title)) << c.station << "|" << c.rds;
    }
}

TEST(MprisState, MetadataNamesTheFrequencyByAnObjectPathAndTheBandAsAlbum) {
    TMprisState state = Playing();
    state.StationName = QStringLiteral("Новости");
    QVariantMap metadata = Mpris::Metadata(state);
    ASSERT_EQ(metadata.value("mpris:trackid").metaType(), QMetaType::fromType<QDBusObjectPath>());
    EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/orvalen/station/1017");
    EXPECT_EQ(metadata.value("xesam:title").toString(), QStringLiteral("Новости"));
    EXPECT_EQ(metadata.value("xesam:album").toString(), "FM");

    state.BandFM = false;
    state.TuneValue = 663;
    metadata = Mpris::Metadata(state);
    EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/orvalen/station/663");
    EXPECT_EQ(metadata.value("xesam:album").toString(), QStringLiteral("УКВ"));
}

TEST(MprisState, OnlyThePropertiesThatChangedAreReported) {
    const TMprisState before = Playing();
    EXPECT_TRUE(Mpris::ChangedPlayerProperties(before, before).isEmpty());

    TMprisState muted = before;
    muted.Muted = true;
    EXPECT_EQ(Mpris::ChangedPlayerProperties(before, muted),
              (QVariantMap{{"PlaybackStatus", "Paused"}}));

    TMprisState louder = before;
    louder.Volume = 0.75;
    EXPECT_EQ(Mpris::ChangedPlayerProperties(before, louder), (QVariantMap{{"Volume", 0.75}}));

    TMprisState named = before;
    named.RDSName = QStringLiteral("NOVOSTI ");
    const QVariantMap metadataOnly = Mpris::ChangedPlayerProperties(before, named);
    EXPECT_EQ(metadataOnly.keys(), QStringList{"Metadata"});
    EXPECT_EQ(metadataOnly.value("Metadata").toMap().value("xesam:title").toString(), "NOVOSTI");

    // The same title from the station list instead of RDS is no change for a client.
    TMprisState listed = named;
    listed.RDSName.clear();
    listed.StationName = QStringLiteral("NOVOSTI");
    EXPECT_TRUE(Mpris::ChangedPlayerProperties(named, listed).isEmpty());

    TMprisState unplugged = before;
    unplugged.Connected = false;
    EXPECT_EQ(Mpris::ChangedPlayerProperties(before, unplugged).keys(),
              (QStringList{"CanGoNext", "CanGoPrevious", "CanPause", "CanPlay", "PlaybackStatus"}));
}

TEST(MprisState, VolumeRequestsAreClampedAndNaNIsRefused) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double requested;
        std::optional<double> accepted;
    };
    for (const Case& c :
         {Case{0.5, 0.5}, Case{0.0, 0.0}, Case{1.0, 1.0}, Case{-0.1, 0.0}, Case{-inf, 0.0},
          Case{1.5, 1.0}, Case{inf, 1.0}, Case{std::nan(""), std::nullopt}}) {
        EXPECT_EQ(Mpris::AcceptedVolume(c.requested), c.accepted) << c.requested;
    }
}
