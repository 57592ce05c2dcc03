// Slider steps over a cell read by one function that iterates: the inverses
// of the distributions (bisection on the cumulative probability) and the
// rate solvers (Newton's method, bisection as the fallback). A1 is the
// slider; B1:B5 and C1:C5 hold cash flows and their dates, B1 following A1.
#include "Workbook.h"

#include <benchmark/benchmark.h>

using namespace workbook;

namespace {

void iterativeFunction(benchmark::State &state, const char *formula)
{
    Workbook book;
    const SheetIndex s = book.addSheet("Model");
    book.setValue({s, 0, 0}, Value::number(0.5));
    const double flows[] = {0, 2750, 4250, 3250, 2750};
    const double dates[] = {39448, 39508, 39751, 39859, 39904};
    for (int r = 0; r < 5; ++r) {
        book.setValue({s, r, 2}, Value::number(dates[r]));
        if (r > 0)
            book.setValue({s, r, 1}, Value::number(flows[r]));
    }
    book.setFormula({s, 0, 1}, "=-10000*(0.5+A1)");
    book.setFormula({s, 0, 3}, formula);
    double sink = 0;
    int point = 0;
    for (auto _ : state) {
        book.setValue({s, 0, 0}, Value::number(0.01 + (point++ % 98) * 0.01));
        const Value v = book.value({s, 0, 3});
        if (!v.isNumber()) {
            state.SkipWithError("the formula gave no number");
            break;
        }
        sink += v.asNumber();
    }
    benchmark::DoNotOptimize(sink);
    state.counters["points/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK_CAPTURE(iterativeFunction, normal_inverse, "=NORM.INV(A1,0,1)");
BENCHMARK_CAPTURE(iterativeFunction, t_inverse, "=T.INV(A1,10)");
BENCHMARK_CAPTURE(iterativeFunction, chisq_inverse, "=CHISQ.INV(A1,5)");
BENCHMARK_CAPTURE(iterativeFunction, f_inverse, "=F.INV(A1,6,4)");
BENCHMARK_CAPTURE(iterativeFunction, gamma_inverse, "=GAMMA.INV(A1,9,2)");
BENCHMARK_CAPTURE(iterativeFunction, beta_inverse, "=BETA.INV(A1,8,10)");
BENCHMARK_CAPTURE(iterativeFunction, binom_inverse, "=BINOM.INV(1000,0.3,A1)");
BENCHMARK_CAPTURE(iterativeFunction, rate, "=RATE(360,-1000*(1+A1),100000)");
BENCHMARK_CAPTURE(iterativeFunction, rate_far_guess, "=RATE(360,-1000*(1+A1),100000,0,0,50)");
BENCHMARK_CAPTURE(iterativeFunction, xirr, "=XIRR(B1:B5,C1:C5)");

BENCHMARK_MAIN();
