// The scan road on the embedded workbook: one point writes two inputs,
// recalculates and reads two outputs. The chain model:
//   A1 = 0.3, A2 = 0.7; B1 = SIN(A1)*COS(A2)+A1*A2;
//   B(i) = B(i-1)*0.999+SQRT(ABS(A1))+EXP(-A2*A2) for i = 2..K;
//   C1 = B(K)+SUM(B1:B(K))/K
#include "ChainModel.h"
#include "RowsColumns.h"
#include "Workbook.h"
#include "HundredThousandFormulas.h"
#include "io/WorkbookFiles.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <memory>
#include <string>

using namespace workbook;

namespace {

// A 100 x 100 grid (first axis fastest) when `grid` is set, else 10,000 points on one axis.
void chainScan(benchmark::State &state)
{
    const int k = static_cast<int>(state.range(0));
    const bool grid = state.range(1) != 0;
    Workbook book;
    const SheetIndex s = book.addSheet("Model");
    buildChain(book, s, k);
    double sink = 0;
    int point = 0;
    for (auto _ : state) {
        const int i = point % 100, j = (point / 100) % 100;
        book.setValue({s, 0, 0}, Value::number(grid ? i * 0.01 : (point % 10000) * 1e-4));
        if (grid)
            book.setValue({s, 1, 0}, Value::number(j * 0.01));
        sink += book.value({s, 0, 2}).asNumber() + book.value({s, 0, 1}).asNumber();
        ++point;
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations());
    state.counters["points/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(chainScan)->ArgNames({"K", "grid"})->Args({10, 1})->Args({10, 0})->Args({100, 1})->Args({100, 0})->Args({1000, 1})->Args({1000, 0});

// Building a workbook of 100,000 formula cells (the load path without parsing a file).
void hundredThousandFormulas(benchmark::State &state)
{
    for (auto _ : state) {
        Workbook book;
        const SheetIndex s = book.addSheet("Big");
        book.setValue({s, 0, 0}, Value::number(1));
        for (int r = 1; r < 100000; ++r)
            book.setFormula({s, r, 0}, "=A" + std::to_string(r) + "*1.0001+1");
        book.recalculate();
        benchmark::DoNotOptimize(book.value({s, 99999, 0}));
    }
}
BENCHMARK(hundredThousandFormulas)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// Loading an xlsx of 100,000 formula cells (written once by our own saver),
// plain (0) or with every cell formatted (1): time per load, and the heap the
// loaded workbook holds.
void loadHundredThousandFormulaFile(benchmark::State &state)
{
    static const std::string files[] = {hundredThousandFormulaFile(false), hundredThousandFormulaFile(true)};
    const std::string &path = files[state.range(0)];
    double heapMegabytes = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
        auto book = std::make_unique<Workbook>();
        const LoadReport report = loadWorkbookFile(path, *book);
        if (!report.ok)
            state.SkipWithError(report.message.c_str());
        heapMegabytes = (mallinfo2().uordblks + mallinfo2().hblkhd - before) / 1e6; // small blocks and mapped ones
        benchmark::DoNotOptimize(book->value({0, 99999, 0}));
    }
    state.counters["heap MB"] = heapMegabytes;
}
BENCHMARK(loadHundredThousandFormulaFile)->ArgName("formatted")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

namespace {

// Running totals, =SUM($A$1:A(i)) in every row: many formulas that read ranges.
// A write at the top must find its ten thousand readers quickly.
void runningTotalsWrite(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    Workbook book;
    const SheetIndex s = book.addSheet("Totals");
    for (int r = 0; r < rows; ++r) {
        book.setValue({s, r, 0}, Value::number(1));
        book.setFormula({s, r, 1}, "=SUM($A$1:A" + std::to_string(r + 1) + ")");
    }
    book.recalculate();
    double x = 0;
    for (auto _ : state) {
        book.setValue({s, rows - 1, 0}, Value::number(x += 1));
        benchmark::DoNotOptimize(book.value({s, rows - 1, 1}));
    }
}
BENCHMARK(runningTotalsWrite)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// Loading a sheet of volatile formulas: every write must not revisit every
// volatile cell, or the load grows with the square of their number. The
// time per cell should stay flat from 25,000 to 100,000 cells.
void volatileFormulas(benchmark::State &state)
{
    const int cells = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Workbook book;
        const SheetIndex s = book.addSheet("Random");
        for (int r = 0; r < cells; ++r)
            book.setFormula({s, r, 0}, "=RAND()");
        benchmark::DoNotOptimize(book.value({s, cells - 1, 0}));
    }
    state.SetComplexityN(cells);
    state.counters["per cell"] = benchmark::Counter(static_cast<double>(cells) * state.iterations(),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(volatileFormulas)->Arg(25000)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

namespace {

// Lookups over whole columns, as users write them: a thousand VLOOKUPs into
// A:B holding a thousand rows, half of them missing. Their cost should follow
// the rows the columns hold, not the million rows of the sheet.
void wholeColumnLookups(benchmark::State &state)
{
    Workbook book;
    const SheetIndex s = book.addSheet("Table");
    for (int r = 0; r < 1000; ++r) {
        book.setValue({s, r, 0}, Value::number(r + 1));
        book.setValue({s, r, 1}, Value::number((r + 1) * 10));
        book.setFormula({s, r, 3}, "=VLOOKUP(" + std::to_string(2 * (r + 1)) + ",A:B,2,FALSE)");
    }
    for (auto _ : state) {
        book.recalculateAll();
        benchmark::DoNotOptimize(book.value({s, 999, 3}));
    }
}
BENCHMARK(wholeColumnLookups)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// Inserting a row near the top of a sheet of N rows (a value and two
// formulas each, one a running total) and deleting it again: every cell
// moves, every formula is rewritten and compiled anew, and one SUM over the
// whole column grows and shrinks.
void insertAndDeleteRow(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    Workbook book;
    const SheetIndex s = book.addSheet("Table");
    for (int r = 0; r < rows; ++r) {
        const std::string row = std::to_string(r + 1);
        book.setValue({s, r, 0}, Value::number(r));
        book.setFormula({s, r, 1}, "=A" + row + "*2");
        book.setFormula({s, r, 2}, r == 0 ? "=A1" : "=C" + std::to_string(r) + "+A" + row);
    }
    book.setFormula({s, 0, 3}, "=SUM(A1:A" + std::to_string(rows) + ")");
    book.recalculate();
    for (auto _ : state) {
        book.restructure(s, {RowsColumnsChange::Axis::Rows, 1, 1});
        book.restructure(s, {RowsColumnsChange::Axis::Rows, 1, -1});
        benchmark::DoNotOptimize(book.value({s, rows - 1, 2}));
    }
    state.SetComplexityN(rows);
}
BENCHMARK(insertAndDeleteRow)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

// A conditional sum over two comparisons, as a model writes it without an
// array formula: SUMPRODUCT((A1:A10000>0.5)*(B1:B10000<50)*C1:C10000). One
// input changes per point; the whole formula recalculates. Target: under 2 ms.
void sumProductOfComparisons(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    Workbook book;
    const SheetIndex s = book.addSheet("Table");
    for (int r = 0; r < rows; ++r) {
        book.setValue({s, r, 0}, Value::number((r % 100) / 100.0));
        book.setValue({s, r, 1}, Value::number(r % 97));
        book.setValue({s, r, 2}, Value::number(r));
    }
    const std::string last = std::to_string(rows);
    book.setFormula({s, 0, 4}, "=SUMPRODUCT((A1:A" + last + ">0.5)*(B1:B" + last + "<50)*C1:C" + last + ")");
    book.recalculate();
    double input = 0;
    for (auto _ : state) {
        input = input > 0.9 ? 0 : input + 0.01;
        book.setValue({s, 7, 0}, Value::number(input));
        benchmark::DoNotOptimize(book.value({s, 0, 4}));
    }
}
BENCHMARK(sumProductOfComparisons)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace
