#pragma once

// Station lines are "frequency text=name"; the list control holds them and these functions
// read and change single lines or the whole list, so that every rule is testable without a
// window.

#include <QString>
#include <QStringList>

namespace Stations {

// Marks a favourite when it is the first character of the name; never shown.
inline constexpr QChar FavouriteMarker = QChar(0x1F);

// Everything before the first "=", empty when the line has none.
QString FrequencyTextOf(const QString& line);

// Everything after the first "=". A line without "=" is never written by the program; its
// whole text is treated as the name so that the user sees it and can repair it by editing.
QString NameOf(const QString& line);

bool IsFavouriteName(const QString& name);
// The name as shown: without a leading favourite marker.
QString DisplayName(const QString& name);

// Tune value in tenths of a MHz with "." before its last digit: 1017 -> "101.7".
QString FrequencyText(int tuneValue);

// Index of the first line that holds an "=" and whose frequency text equals `freqText`,
// letter case ignored; -1 when there is none.
int FindStation(const QStringList& lines, const QString& freqText);

// Decimal integer with an optional sign; `fallback` for anything else (empty text included,
// and values that do not fit in 32 bits).
int ParseDecimal(const QString& text, int fallback);

// The frequency text without its dots read as a decimal integer; 0 when it is not one.
int SortKey(const QString& freqText);

// Ascending by sort key with the exchange sort the list has always used; lines with equal
// keys keep whatever order its exchanges leave them in, as users have always seen it.
void SortStations(QStringList& lines);

// What the user typed into the frequency edit turned into a frequency text: trimmed, "," as
// ".", ".0" appended when there is no ".", cut after the first digit behind the ".".
QString NormaliseFrequency(const QString& entered);

// The line with its favourite marker added or removed.
QString ToggleFavourite(const QString& line);

// Where tuning to a station with this frequency text goes: the band and the slider position
// in it, with out-of-range and between-band values pulled to the nearest sensible frequency.
struct TStationTune {
    bool BandFM;
    int Position;
    friend bool operator==(const TStationTune&, const TStationTune&) = default;
};
TStationTune StationTuneTarget(const QString& freqText);

// A row as a screen reader says it: "101.7 МГц — Новости", with "УКВ" after the unit for a
// row that gets the lower band's mark, and "без названия" for an empty name.
QString SpokenRow(const QString& line);

// True when the row gets the FM band mark: the whole MHz part is 75 or more, and a text
// that has no readable whole part counts as FM.
bool HasFMBandMark(const QString& freqText);

// The line to tune for the next (direction > 0) or previous (direction < 0) station from the
// tune value `tuneValue`: ordered by where tuning the line goes (its StationTuneTarget),
// strictly above or below the tune value and wrapping round at the ends; of several lines
// that tune the same frequency, the first. Stations of the current band are taken when it
// has any, else those of the other band. A line counts as a station when it holds an "="
// and its frequency text reads as a positive number; -1 when there is none, or for a
// direction of 0.
int AdjacentStation(const QStringList& lines, int tuneValue, bool bandFM, int direction);

} // namespace Stations
