// The tuner screen is redrawn many times a second while sound plays: a level-column update
// should stay under 20 µs and a full paint under 150 µs.
#include "controls/OrvalenScreen.h"
#include "controls/Reflection.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

void Prepare(TOrvalenScreen& screen) {
    screen.resize(248, 75);
    screen.SetTuneValue(1017);
    screen.SetTunerState(true);
    screen.SetTuneLevel(9);
    screen.SetRDSEnabled(true);
    screen.SetRDSString("NOVOSTI");
    screen.SetText("NOVOSTI FM");
    screen.Paint();
}

void FullPaint(benchmark::State& state) {
    TOrvalenScreen screen(nullptr);
    Prepare(screen);
    for (auto _ : state) {
        screen.Paint();
        benchmark::DoNotOptimize(screen.Frame().constBits());
    }
}
BENCHMARK(FullPaint)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void ColumnUpdate(benchmark::State& state) {
    TOrvalenScreen screen(nullptr);
    Prepare(screen);
    int level = 0;
    for (auto _ : state) {
        level = (level + 3) % 9;
        screen.SetVolumeLeft(level);
        benchmark::DoNotOptimize(screen.Frame().constBits());
    }
}
BENCHMARK(ColumnUpdate)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void TextPanelUpdate(benchmark::State& state) {
    TOrvalenScreen screen(nullptr);
    Prepare(screen);
    const QString names[2] = {"RETRO", "JAZZ"};
    int i = 0;
    for (auto _ : state) {
        screen.SetText(names[i ^= 1]);
        benchmark::DoNotOptimize(screen.Frame().constBits());
    }
}
BENCHMARK(TextPanelUpdate)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void DrawReflection(benchmark::State& state) {
    QImage frame(248, 75, QImage::Format_BGR888);
    frame.fill(QColor(0, 255, 255));
    QImage strip(248, Reflection::TopBandRows, QImage::Format_BGR888);
    for (auto _ : state) {
        Reflection::DrawReflection(frame, strip);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(DrawReflection)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
