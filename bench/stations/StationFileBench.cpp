// Station file figures: a list of 10,000 stations should load well within a tenth of a second.
#include "stations/StationFile.h"
#include "stations/StationList.h"
#include "stations/StationListBox.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QStringList MakeLines(int count, const QString& name) {
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines.append(Stations::FrequencyText(659 + (i * 7919) % 422) + u'=' + name +
                     QString::number(i));
    return lines;
}

void LoadIntoList(benchmark::State& state, const QString& name) {
    QTemporaryDir dir;
    const QString path = dir.filePath("orvalen.lst");
    QString error;
    if (!Stations::SaveStationFile(path, MakeLines(int(state.range(0)), name), &error)) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    TStationListBox list;
    for (auto _ : state) {
        QStringList lines;
        Stations::LoadStationFile(path, lines);
        list.SetLines(lines);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_LoadWindows1251(benchmark::State& state) {
    LoadIntoList(state, QStringLiteral("Радиостанция "));
}
void BM_LoadUtf8(benchmark::State& state) {
    LoadIntoList(state, QStringLiteral("Ραδιόφωνο "));
}
BENCHMARK(BM_LoadWindows1251)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadUtf8)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("orvalen.lst");
    const QStringList lines = MakeLines(int(state.range(0)), QStringLiteral("Радиостанция "));
    QString error;
    for (auto _ : state)
        benchmark::DoNotOptimize(Stations::SaveStationFile(path, lines, &error));
}
BENCHMARK(BM_Save)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Sort(benchmark::State& state) {
    const QStringList lines = MakeLines(int(state.range(0)), QStringLiteral("x"));
    for (auto _ : state) {
        QStringList copy = lines;
        Stations::SortStations(copy);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_Sort)->Arg(1000)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_FindStation(benchmark::State& state) {
    const QStringList lines = MakeLines(int(state.range(0)), QStringLiteral("x"));
    for (auto _ : state)
        benchmark::DoNotOptimize(Stations::FindStation(lines, QStringLiteral("108.1")));
}
BENCHMARK(BM_FindStation)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace
