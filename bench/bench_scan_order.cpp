// A scan visits its grid coarse to fine and, at every point, writes the
// point's value into the cells it stands in for. These time the order alone
// and the order with the stand-ins written into a plain array, as into a
// store, over whole grids.
#include "GridScanOrder.h"
#include "StandInCells.h"

#include <benchmark/benchmark.h>

#include <QList>

namespace {

QList<int> countsOf(const benchmark::State &state)
{
    QList<int> counts;
    for (int axis = 0; axis < state.range(0); ++axis)
        counts << int(state.range(1));
    return counts;
}

qsizetype totalOf(const QList<int> &counts)
{
    qsizetype total = 1;
    for (int count : counts)
        total *= count;
    return total;
}

// Arguments: the number of axes, then the points per axis.
void scanOrder(benchmark::State &state)
{
    const QList<int> counts = countsOf(state);
    for (auto _ : state) {
        GridScanOrder order(counts);
        qsizetype sum = 0;
        while (order.next())
            sum += order.offset();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * totalOf(counts));
}
BENCHMARK(scanOrder)->Args({2, 101})->Args({3, 67})->Unit(benchmark::kMillisecond);

void scanOrderWithStandIns(benchmark::State &state)
{
    const QList<int> counts = countsOf(state);
    const qsizetype total = totalOf(counts);
    QList<double> values(total);
    double *cells = values.data();
    qsizetype writes = 0;
    for (auto _ : state) {
        GridScanOrder order(counts);
        StandInCells standIns;
        writes = 0;
        while (order.next()) {
            const double value = double(order.offset());
            const QList<qsizetype> &offsets = standIns.cellsFor(order);
            for (qsizetype offset : offsets)
                cells[offset] = value;
            writes += offsets.size();
        }
        benchmark::DoNotOptimize(cells);
    }
    state.SetItemsProcessed(state.iterations() * total);
    state.counters["writes/point"] = double(writes) / double(total);
}
BENCHMARK(scanOrderWithStandIns)->Args({2, 101})->Args({3, 67})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
