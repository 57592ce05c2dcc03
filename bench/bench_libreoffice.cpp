// LibreOffice Calc through the automation layer, on a private headless
// office: scan points per second on the chain model (A1 and A2 feed a chain
// of K formulas in column B; C1 sums it up; a point writes A1 and A2 and
// reads C1 and B1), once with the batched exchange and once member by member
// as a backend without batching would go; and one slider move with 20
// sliders and 20 watches spread over two sheets. With --visible-office the
// office shows its windows (run it under a display).
#include "CalcBackend.h"
#include "CalcDocument.h"
#include "PrivateOffice.h"
#include "VRKExcelObjects.h"

#include <QCoreApplication>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace {

struct Office
{
    explicit Office(PrivateOffice::Display display) : office(QStringLiteral("bench"), display)
    {
        office.start();
        backend = std::make_unique<CalcBackend>(office.pipe(), office.arguments());
        for (int i = 0; i < 600 && !backend->connectOffice(false); ++i)
            QThread::msleep(100);
        AutomationBackend::setCurrent(backend.get());
    }
    ~Office()
    {
        AutomationBackend::setCurrent(nullptr);
        backend.reset();
    }
    PrivateOffice office;
    std::unique_ptr<CalcBackend> backend;
};

Office *shared = nullptr;

// A new workbook with the chain of `length` formulas, through the wrappers.
struct Chain
{
    explicit Chain(int length)
    {
        shared->backend->newDocument();
        VRKExcelSheet *sheet = application.activeWindow(true)->activeSheet(true);
        for (int i = 1; i <= length; ++i) {
            const QString formula = i == 1 ? QStringLiteral("=SIN(A1)*COS(A2)+A1*A2")
                                           : QStringLiteral("=B%1*0.999+SQRT(ABS(A1))+EXP(-A2*A2)").arg(i - 1);
            sheet->range(QStringLiteral("B%1").arg(i), false)->setValue(formula);
        }
        sheet->range(QStringLiteral("C1"), false)
            ->setValue(QStringLiteral("=B%1+SUM(B1:B%1)/%1").arg(length));
        write = {sheet->range(QStringLiteral("A1"), true), sheet->range(QStringLiteral("A2"), true)};
        read = {sheet->range(QStringLiteral("C1"), true), sheet->range(QStringLiteral("B1"), true)};
    }
    ~Chain() { application.activeWorkbook(false)->setSaved(true); }
    VRKExcelApplication application;
    QList<VRKExcelRange *> write;
    QList<VRKExcelRange *> read;
};

QList<AutomationObject *> objectsOf(const QList<VRKExcelRange *> &ranges)
{
    QList<AutomationObject *> objects;
    for (VRKExcelRange *range : ranges)
        objects << range->axObject();
    return objects;
}

void batched(benchmark::State &state)
{
    Chain chain(int(state.range(0)));
    double x = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(setCellValuesGetCellValues(chain.write, {x += 0.001, 1 - x}, chain.read));
    state.counters["points/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(batched)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void perCell(benchmark::State &state)
{
    Chain chain(int(state.range(0)));
    const QList<AutomationObject *> write = objectsOf(chain.write);
    const QList<AutomationObject *> read = objectsOf(chain.read);
    double x = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(AutomationBackend::exchangeEach(write, {x += 0.001, 1 - x}, read));
    state.counters["points/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(perCell)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// 10 sliders and 10 watches on each of two sheets; one move writes them all
// and reads every watch, as the slider road does.
void sliderMove(benchmark::State &state)
{
    shared->backend->newDocument()->model()->getSheets()->insertNewByName("Sheet2", 1);
    VRKExcelApplication application;
    VRKExcelWorkbook *book = application.activeWorkbook(true);
    VRKExcelWindow *window = application.activeWindow(true);
    window->activeSheet(false)->range(QStringLiteral("A1"), false)->setValue(1.0);
    QList<VRKExcelRange *> write;
    QList<VRKExcelRange *> read;
    const QStringList sheets{QStringLiteral("Sheet1"), QStringLiteral("Sheet2")};
    for (const QString &name : sheets) {
        VRKExcelWorksheet *sheet = book->worksheets()->item(name, true);
        if (!sheet) {
            state.SkipWithError("no second sheet");
            return;
        }
        for (int i = 1; i <= 10; ++i) {
            VRKExcelRange *input = sheet->range(QStringLiteral("A%1").arg(i), true);
            input->setValue(double(i));
            VRKExcelRange *watch = sheet->range(QStringLiteral("B%1").arg(i), true);
            watch->setValue(QStringLiteral("=A%1*A%1+SUM(A$1:A$10)").arg(i));
            write << input;
            read << watch;
        }
    }
    QList<double> values(write.size(), 1.0);
    for (auto _ : state) {
        values[0] += 0.001;
        benchmark::DoNotOptimize(setCellValuesGetCellValues(write, values, read));
    }
    book->setSaved(true);
}
BENCHMARK(sliderMove)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    // --visible-office: an office with windows (under a display), as a user has it.
    const auto visible = std::find(argv + 1, argv + argc, std::string_view("--visible-office"));
    const bool windows = visible != argv + argc;
    if (windows)
        std::rotate(visible, visible + 1, argv + argc--);
    benchmark::Initialize(&argc, argv);
    Office office(windows ? PrivateOffice::Display::Windows : PrivateOffice::Display::Headless);
    shared = &office;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
