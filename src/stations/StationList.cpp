#include "StationList.h"

#include <QCoreApplication>
#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace Stations {

QString FrequencyTextOf(const QString& line) {
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.left(eq);
}

QString NameOf(const QString& line) {
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? line : line.mid(eq + 1);
}

bool IsFavouriteName(const QString& name) {
    return name.startsWith(FavouriteMarker);
}

QString DisplayName(const QString& name) {
    return IsFavouriteName(name) ? name.mid(1) : name;
}

QString FrequencyText(int tuneValue) {
    QString text = QString::number(tuneValue);
    text.insert(text.size() - 1, u'.');
    return text;
}

int FindStation(const QStringList& lines, const QString& freqText) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && QStringView(line).left(eq).compare(freqText, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int ParseDecimal(const QString& text, int fallback) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return fallback;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return fallback;
        value = value * 10 + (c - u'0');
        if (value > std::numeric_limits<int>::max() + 1LL)
            return fallback;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max())
        return fallback;
    return int(value);
}

int SortKey(const QString& freqText) {
    QString digits = freqText;
    digits.remove(u'.');
    return ParseDecimal(digits, 0);
}

void SortStations(QStringList& lines) {
    // Each key is parsed once; a stable sort keeps lines of equal keys in the order the user
    // gave them, and takes n log n, so that a list of a million lines sorts in a moment.
    std::vector<std::pair<int, qsizetype>> order;
    order.reserve(std::size_t(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i)
        order.emplace_back(SortKey(FrequencyTextOf(lines[i])), i);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList sorted;
    sorted.reserve(lines.size());
    for (const auto& entry : order)
        sorted.append(std::move(lines[entry.second]));
    lines = std::move(sorted);
}

QString NormaliseFrequency(const QString& entered) {
    // Spaces and control characters both count as blanks at either end.
    qsizetype first = 0;
    qsizetype last = entered.size();
    while (first < last && entered[first].unicode() <= u' ')
        ++first;
    while (last > first && entered[last - 1].unicode() <= u' ')
        --last;
    QString text = entered.mid(first, last - first);
    text.replace(u',', u'.');
    if (!text.contains(u'.'))
        text += QStringLiteral(".0");
    const qsizetype dot = text.indexOf(u'.');
    return text.left(dot + 2);
}

QString ToggleFavourite(const QString& line) {
    const QString name = NameOf(line);
    const QString toggled = IsFavouriteName(name) ? name.mid(1) : FavouriteMarker + name;
    return FrequencyTextOf(line) + u'=' + toggled;
}

TStationTune StationTuneTarget(const QString& freqText) {
    QString digits = freqText;
    digits.remove(u'.');
    int v = ParseDecimal(digits, 880);
    if (v > 1080)
        v = 1080;
    if (v < 659)
        v = 659;
    if (v > 740 && v < 880)
        v = 880;
    if (v < 880)
        return {false, v - 659};
    return {true, v - 880};
}

bool HasFMBandMark(const QString& freqText) {
    const qsizetype dot = freqText.indexOf(u'.');
    const int whole = ParseDecimal(dot < 0 ? QString() : freqText.left(dot), 108);
    return whole >= 75;
}

// The texts are spelled out at each call, with their context: lupdate reads only literal
// arguments of translate(), and a tr() outside a class has no context of its own.
QString SpokenRow(const QString& line) {
    const QString freq = FrequencyTextOf(line);
    QString name = DisplayName(NameOf(line)).trimmed();
    if (name.isEmpty())
        name = QCoreApplication::translate("TStationListBox", "без названия");
    // A line without a frequency shows none either.
    if (freq.isEmpty())
        return name;
    const QString frequency =
        HasFMBandMark(freq)
            ? QCoreApplication::translate("TStationListBox", "%1 МГц").arg(freq)
            : QCoreApplication::translate("TStationListBox", "%1 МГц УКВ").arg(freq);
    return QCoreApplication::translate("TStationListBox", "%1 — %2").arg(frequency, name);
}

namespace {

// The tune value that tuning the line goes to; 0 for a line that is no station.
int StationTuneValue(const QString& line, bool& bandFM) {
    if (!line.contains(u'='))
        return 0;
    const QString freqText = FrequencyTextOf(line);
    if (SortKey(freqText) <= 0)
        return 0;
    const TStationTune tune = StationTuneTarget(freqText);
    bandFM = tune.BandFM;
    return tune.Position + (tune.BandFM ? 880 : 659);
}

} // namespace

int AdjacentStation(const QStringList& lines, int tuneValue, bool bandFM, int direction) {
    if (direction == 0)
        return -1;
    struct TCandidate {
        int Index;
        int Value;
    };
    QList<TCandidate> sameBand;
    QList<TCandidate> otherBand;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        bool lineFM = false;
        const int value = StationTuneValue(lines[i], lineFM);
        if (value > 0)
            (lineFM == bandFM ? sameBand : otherBand).append({int(i), value});
    }
    const QList<TCandidate>& candidates = sameBand.isEmpty() ? otherBand : sameBand;
    // Ranks a candidate for the given direction: the nearest one past the tune value wins;
    // when none is past it, the farthest one behind it (the wrap). Lower ranks win, and the
    // list order breaks ties.
    const auto better = [&](const TCandidate& a, const TCandidate& b) {
        const int da = direction > 0 ? a.Value - tuneValue : tuneValue - a.Value;
        const int db = direction > 0 ? b.Value - tuneValue : tuneValue - b.Value;
        const bool aPast = da > 0;
        const bool bPast = db > 0;
        if (aPast != bPast)
            return aPast;
        return da < db;
    };
    int best = -1;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (best < 0 || better(candidates[i], candidates[best]))
            best = int(i);
    }
    return best < 0 ? -1 : candidates[best].Index;
}

} // namespace Stations
