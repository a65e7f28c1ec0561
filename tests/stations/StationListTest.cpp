#include "stations/StationList.h"

#include <gtest/gtest.h>

using namespace Stations;

namespace {
const QString Marker = QString(FavouriteMarker);
} // namespace

TEST(StationLine, SplitsAtTheFirstEquals) {
    struct Case {
        QString line, freq, name;
    } cases[] = {
        {"101.7=Новости", "101.7", "Новости"},
        {"88.0=a=b", "88.0", "a=b"},
        {"88.0=", "88.0", ""},
        {"=name", "", "name"},
        // Never written by the program: the whole text is the name, the frequency is empty.
        {"no equals sign", "", "no equals sign"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FrequencyTextOf(c.line), c.freq) << c.line.toStdString();
        EXPECT_EQ(NameOf(c.line), c.name) << c.line.toStdString();
    }
}

TEST(StationLine, FavouriteMarkerIsNeverShown) {
    EXPECT_TRUE(IsFavouriteName(Marker + "Маяк"));
    EXPECT_FALSE(IsFavouriteName("Маяк" + Marker));
    EXPECT_EQ(DisplayName(Marker + "Маяк"), "Маяк");
    EXPECT_EQ(DisplayName(Marker + Marker + "x"), Marker + "x");
    EXPECT_EQ(DisplayName("Маяк"), "Маяк");
}

TEST(StationLine, ToggleFavouriteTwiceGivesTheLineBack) {
    for (const QString line : {"101.7=Новости", "88.0=", "65.9=a=b"}) {
        const QString marked = ToggleFavourite(line);
        EXPECT_EQ(marked, FrequencyTextOf(line) + "=" + Marker + NameOf(line));
        EXPECT_EQ(ToggleFavourite(marked), line);
    }
    EXPECT_EQ(ToggleFavourite("88.0=" + Marker), "88.0=");
}

TEST(FrequencyText, InsertsTheDotBeforeTheLastDigit) {
    EXPECT_EQ(FrequencyText(1017), "101.7");
    EXPECT_EQ(FrequencyText(880), "88.0");
    EXPECT_EQ(FrequencyText(659), "65.9");
    EXPECT_EQ(FrequencyText(1080), "108.0");
}

TEST(FindStation, FirstLineWithEqualsAndMatchingTextIgnoringCase) {
    const QStringList lines = {"abc",       "101.7",     "88.0=first",  "ABC.0=upper",
                               "101.7=one", "101.7=two", "088.0=padded"};
    EXPECT_EQ(FindStation(lines, "88.0"), 2);
    EXPECT_EQ(FindStation(lines, "101.7"), 4) << "a line without '=' is never found";
    EXPECT_EQ(FindStation(lines, "abc.0"), 3);
    EXPECT_EQ(FindStation(lines, "99.0"), -1);
    EXPECT_EQ(FindStation(lines, ""), -1) << "a line without '=' is never found";
    EXPECT_EQ(FindStation({"=empty"}, ""), 0);
}

TEST(SortKey, DotsRemovedAndReadAsDecimal) {
    struct Case {
        QString freq;
        int key;
    } cases[] = {
        {"101.7", 1017}, {"88.0", 880}, {"65.9", 659},      {"088.0", 880}, {"1.0.1", 101}, {"", 0},
        {"abc.0", 0},    {"-5.0", -50}, {"99999999999", 0}, {"+7.5", 75},   {"1 0.1", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SortKey(c.freq), c.key) << c.freq.toStdString();
}

TEST(SortStations, AscendingByKeyWithOddLinesFirst) {
    QStringList lines = {"101.7=a", "88.0=b", "65.9=c", "104.2=d"};
    SortStations(lines);
    EXPECT_EQ(lines, QStringList({"65.9=c", "88.0=b", "101.7=a", "104.2=d"}));

    QStringList odd = {"104.2=d", "no equals", "72.1=u", "abc.0=x", "91.2=f"};
    SortStations(odd);
    EXPECT_EQ(odd.mid(2), QStringList({"72.1=u", "91.2=f", "104.2=d"}));
    EXPECT_TRUE(QStringList(odd.mid(0, 2)).contains("no equals"));
    EXPECT_TRUE(QStringList(odd.mid(0, 2)).contains("abc.0=x"));
}

TEST(SortStations, EqualKeysKeepTheirOrder) {
    // The same station twice (or lines without a frequency) stay as the user had them.
    QStringList lines = {"90.0=a", "90.0=b", "80.0=c", "no equals", "90.0=d", "junk"};
    SortStations(lines);
    EXPECT_EQ(lines, QStringList({"no equals", "junk", "80.0=c", "90.0=a", "90.0=b", "90.0=d"}));
}

TEST(NormaliseFrequency, AsDocumented) {
    struct Case {
        QString entered, freq;
    } cases[] = {
        {"99", "99.0"},        {"101,75", "101.7"},     {"101.7", "101.7"}, {"abc", "abc.0"},
        {"  88.0 \t", "88.0"}, {"\x01 72.1\n", "72.1"}, {"101.", "101."},   {"", ".0"},
        {"1,2,3", "1.2"},      {"88.05.1", "88.0"},     {"9 9", "9 9.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormaliseFrequency(c.entered), c.freq) << c.entered.toStdString();
}

TEST(StationTuneTarget, ClampsAndPicksTheBand) {
    struct Case {
        QString freq;
        TStationTune tune;
    } cases[] = {
        {"101.7", {true, 137}}, {"88.0", {true, 0}},  {"108.0", {true, 200}},
        {"110.0", {true, 200}}, {"75.0", {true, 0}},  {"74.1", {true, 0}},
        {"74.0", {false, 81}},  {"65.9", {false, 0}}, {"60.0", {false, 0}},
        {"72.1", {false, 62}},  {"", {true, 0}},      {"abc.0", {true, 0}},
        {"-5.0", {false, 0}},   {"088.0", {true, 0}},
    };
    for (const Case& c : cases) {
        const TStationTune t = StationTuneTarget(c.freq);
        EXPECT_EQ(t.BandFM, c.tune.BandFM) << c.freq.toStdString();
        EXPECT_EQ(t.Position, c.tune.Position) << c.freq.toStdString();
    }
}

TEST(BandMark, WholeMegahertzFromSeventyFiveIsFM) {
    struct Case {
        QString freq;
        bool fm;
    } cases[] = {
        {"74.0", false}, {"74.9", false}, {"75.0", true},  {"101.7", true}, {"65.9", false},
        {"99", true},    {"", true},      {"abc.0", true}, {".5", true},    {"074.0", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasFMBandMark(c.freq), c.fm) << c.freq.toStdString();
}
