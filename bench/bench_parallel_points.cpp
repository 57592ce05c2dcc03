// tarvio-calc's scan of the engine's chain model (see bench_workbook.cpp) on
// a 100 x 100 grid, point by point (threads = 1) and on worker threads
// (threads = 0: every core), in the same run. Reports the sweep's points/s as
// tarvio-calc prints them; the lines it would print are formatted and dropped.
#include "CalcCommand.h"
#include "ChainModel.h"
#include "EmbeddedCalcCells.h"
#include "Workbook.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <sstream>
#include <string>

using namespace workbook;

namespace {

void calcChainScan(benchmark::State &state)
{
    const int k = static_cast<int>(state.range(0));
    Workbook book;
    buildChain(book, book.addSheet("Model"), k);
    CalcCommand command;
    command.scans = {"A1=0:1:100", "A2=0:1:100"};
    command.gets = {"C1", "B1"};
    command.threads = static_cast<int>(state.range(1));
    long long total = 0;
    for (auto _ : state) {
        EmbeddedCalcCells cells(book);
        std::ostringstream out, err;
        runCalcCommand(command, cells, out, err);
        double seconds = 0;
        long long points = 0;
        std::sscanf(err.str().c_str(), "points: %lld seconds: %lf", &points, &seconds);
        state.SetIterationTime(seconds);
        total += points;
    }
    state.counters["points/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(calcChainScan)
    ->ArgNames({"K", "threads"})
    ->Args({1000, 1})
    ->Args({1000, 0})
    ->Args({10, 1})
    ->Args({10, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
