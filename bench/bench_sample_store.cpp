// The stores sit on both hot roads: every slider move appends to a live
// history, and every scan point writes one grid value that the painters then
// extract. These measure those operations alone.
#include "MinMaxMultiDimData.h"
#include "Ticks.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

void liveHistoryAppend(benchmark::State &state)
{
    MinMaxMultiDimData store;
    store.setDimensions({Dimension{0, QStringLiteral("history"), 0, 0}});
    double x = 0;
    for (auto _ : state) {
        store.appendValue(std::sin(x));
        x += 0.01;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(liveHistoryAppend);

void scanPointWrite(benchmark::State &state)
{
    const int side = static_cast<int>(state.range(0));
    MinMaxMultiDimData store;
    store.setDimensions({Dimension{side, QStringLiteral("x"), 0, 1}, Dimension{side, QStringLiteral("y"), 0, 1}});
    int i = 0;
    for (auto _ : state) {
        store.setValue({i % side, (i / side) % side}, i * 0.5);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(scanPointWrite)->Arg(100);

void surfaceExtract(benchmark::State &state)
{
    const int side = static_cast<int>(state.range(0));
    MinMaxMultiDimData store;
    store.setDimensions({Dimension{side, QStringLiteral("x"), 0, 1}, Dimension{side, QStringLiteral("y"), 0, 1},
                         Dimension{4, QStringLiteral("z"), 0, 1}});
    for (auto _ : state)
        benchmark::DoNotOptimize(store.extract({-1, -1, 2}));
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(surfaceExtract)->Arg(100);

void axisTicks(benchmark::State &state)
{
    QList<double> positions;
    QList<double> values;
    for (auto _ : state) {
        computeTicks(300, 30, 0.12, 0.98, positions, values);
        benchmark::DoNotOptimize(values.data());
    }
}
BENCHMARK(axisTicks);

} // namespace

BENCHMARK_MAIN();
