#include "stations/StationList.h"

#include <gtest/gtest.h>

using namespace Stations;

namespace {

constexpr int Next = 1;
constexpr int Previous = -1;

struct TAdjacentCase {
    const char* what;
    QStringList lines;
    int tuneValue;
    bool bandFM;
    int direction;
    int expected;
};

void Check(const TAdjacentCase& c) {
    EXPECT_EQ(AdjacentStation(c.lines, c.tuneValue, c.bandFM, c.direction), c.expected) << c.what;
}

// Unsorted on purpose: the order of the lines must not matter.
const QStringList Mixed = {"101.7=Новости", "66.3=Маяк",   "88.0=Первое",
                           "104.2=Рок",     "72.1=Юность", "95.5=Дача"};

} // namespace

TEST(AdjacentStation, GoesByFrequencyInTheCurrentBandAndWraps) {
    const TAdjacentCase cases[] = {
        {"between stations, next", Mixed, 990, true, Next, 0},
        {"between stations, previous", Mixed, 990, true, Previous, 5},
        {"on a station, next", Mixed, 1017, true, Next, 3},
        {"on a station, previous", Mixed, 1017, true, Previous, 5},
        {"past the last FM station wraps to the first", Mixed, 1042, true, Next, 2},
        {"above every station wraps to the first", Mixed, 1080, true, Next, 2},
        {"before the first FM station wraps to the last", Mixed, 880, true, Previous, 3},
        {"below every station, previous wraps to the last", Mixed, 880, true, Previous, 3},
        {"UKV band, next", Mixed, 659, false, Next, 1},
        {"UKV band, on the last wraps to the first", Mixed, 721, false, Next, 1},
        {"UKV band, previous from the first wraps to the last", Mixed, 663, false, Previous, 4},
        {"one station only, on it: itself", {"95.5=Дача"}, 955, true, Next, 0},
        {"one station only, on it, previous: itself", {"95.5=Дача"}, 955, true, Previous, 0},
    };
    for (const TAdjacentCase& c : cases)
        Check(c);
}

TEST(AdjacentStation, TakesTheOtherBandWhenTheCurrentHasNone) {
    const QStringList ukvOnly = {"72.1=Юность", "66.3=Маяк"};
    const QStringList fmOnly = {"101.7=Новости", "88.0=Первое"};
    const TAdjacentCase cases[] = {
        {"FM tuned, UKV only, next wraps to the lowest", ukvOnly, 1000, true, Next, 1},
        {"FM tuned, UKV only, previous is the highest", ukvOnly, 1000, true, Previous, 0},
        {"UKV tuned, FM only, next is the lowest", fmOnly, 700, false, Next, 1},
        {"UKV tuned, FM only, previous wraps to the highest", fmOnly, 700, false, Previous, 0},
    };
    for (const TAdjacentCase& c : cases)
        Check(c);
}

TEST(AdjacentStation, UsesWhereTuningTheLineGoes) {
    const TAdjacentCase cases[] = {
        // Both tune 88.0: the first of them in the list is taken.
        {"duplicates: the first line", {"101.7=a", "88.0=b", "88.0=c"}, 1017, true, Next, 1},
        {"equal tuning, different text: the first line",
         {"101.7=a", "80.0=pulled", "88.0=exact"},
         1017,
         true,
         Next,
         1},
        // 110.0 tunes 108.0 and 75.0 tunes 88.0 in the FM band, 60.0 tunes 65.9 in UKV.
        {"out of range above counts as 108.0", {"110.0=a", "107.0=b"}, 1075, true, Next, 0},
        {"between the bands counts as FM 88.0", {"75.0=a", "90.0=b"}, 1000, true, Next, 0},
        {"below UKV counts as UKV 65.9", {"60.0=a", "101.7=b"}, 700, false, Previous, 0},
    };
    for (const TAdjacentCase& c : cases)
        Check(c);
}

TEST(AdjacentStation, SkipsLinesThatAreNoStation) {
    const TAdjacentCase cases[] = {
        {"empty list", {}, 1000, true, Next, -1},
        {"only lines without '='", {"101.7", "Маяк"}, 1000, true, Next, -1},
        {"unreadable frequency", {"abc=x", "=empty", "0.0=zero", "-5.0=neg"}, 1000, true, Next, -1},
        {"lines without '=' are passed over",
         {"95.5", "95.5 Дача", "=Радио", "101.7=Новости"},
         900,
         true,
         Next,
         3},
        {"direction 0", Mixed, 990, true, 0, -1},
    };
    for (const TAdjacentCase& c : cases)
        Check(c);
}
