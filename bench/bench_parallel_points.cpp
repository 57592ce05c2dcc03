// tarvio-calc's scan of the engine's chain model (see bench_workbook.cpp) on
// a 100 x 100 grid, point by point (threads = 1) and on worker threads
// (threads = 0: every core), in the same run. Reports the sweep's points/s as
// tarvio-calc prints them; the lines it would print are formatted and dropped.
#include "CalcCommand.h"
#include "EmbeddedCalcCells.h"
#include "Workbook.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <sstream>
#include <string>

using namespace workbook;

namespace {

void buildChain(Workbook &book, int k)
{
    const SheetIndex s = book.addSheet("Model");
    book.setValue({s, 0, 0}, Value::number(0.3));
    book.setValue({s, 1, 0}, Value::number(0.7));
    book.setFormula({s, 0, 1}, "=SIN(A1)*COS(A2)+A1*A2");
    for (int i = 2; i <= k; ++i)
        book.setFormula({s, i - 1, 1}, "=B" + std::to_string(i - 1) + "*0.999+SQRT(ABS(A1))+EXP(-A2*A2)");
    const std::string last = std::to_string(k);
    book.setFormula({s, 0, 2}, "=B" + last + "+SUM(B1:B" + last + ")/" + last);
    book.recalculate();
}

void calcChainScan(benchmark::State &state)
{
    const int k = static_cast<int>(state.range(0));
    Workbook book;
    buildChain(book, k);
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
