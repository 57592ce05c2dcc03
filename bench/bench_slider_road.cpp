// The road of one slider move on the real main window: 20 sliders and 20
// watches on the engine's chain model (K = 1000), the moved cell feeding the
// whole chain. One benchmark times the write-and-read exchange alone, the
// other the whole slot (the exchange plus setting the other sliders and
// appending to every store); nothing is painted, as no event loop runs.
#include "MainWindow.h"
#include "SettingsFiles.h"
#include "VRKExcelCellSliderView.h"
#include "VRKExcelObjects.h"
#include "VRKExcelWatchView.h"
#include "embedded/EmbeddedBackend.h"

#include <QApplication>
#include <QMetaObject>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <string>

using namespace workbook;

namespace {

constexpr int chainLength = 1000;
constexpr int sliderCount = 20;
constexpr int watchCount = 20;

// A1 and A2 feed the chain in column B; C1 sums it up. Inputs D1.. and
// watched cells E1.. sample the chain along its length.
void buildModel(EmbeddedDocument &doc)
{
    Workbook &book = doc.book();
    book.setValue({0, 0, 0}, Value::number(0.3));
    book.setValue({0, 1, 0}, Value::number(0.7));
    book.setFormula({0, 0, 1}, "=SIN(A1)*COS(A2)+A1*A2");
    for (int i = 2; i <= chainLength; ++i)
        book.setFormula({0, i - 1, 1}, "=B" + std::to_string(i - 1) + "*0.999+SQRT(ABS(A1))+EXP(-A2*A2)");
    const std::string last = std::to_string(chainLength);
    book.setFormula({0, 0, 2}, "=B" + last + "+SUM(B1:B" + last + ")/" + last);
    for (int i = 0; i < sliderCount - 2; ++i)
        book.setValue({0, i, 3}, Value::number(i + 1));
    for (int i = 0; i < watchCount - 1; ++i)
        book.setFormula({0, i, 4}, "=B" + std::to_string((i + 1) * chainLength / watchCount) + "+D1");
    book.recalculate();
}

struct Road
{
    Road()
    {
        SettingsFiles::setFolder(folder.path());
        SettingsFiles::setTermsOfUseApproved(true);
        EmbeddedBackend::instance().start();
        doc = EmbeddedBackend::instance().newDocument();
        buildModel(*doc);
        doc->setSelection({CellRange{0, 0, 0, 1, 0}, CellRange{0, 0, 3, sliderCount - 3, 3}});
        window.on_pushButton_newSlider_clicked();
        doc->setSelection({CellRange{0, 0, 2, 0, 2}, CellRange{0, 0, 4, watchCount - 2, 4}});
        window.on_pushButton_newWatch_clicked();
        moved = window.sliders().first();
        for (VRKExcelCellSliderView *view : window.sliders())
            if (view != moved)
                read << view->range();
        for (VRKExcelWatchView *watch : window.watches())
            read << watch->cell();
    }

    QTemporaryDir folder;
    EmbeddedDocument *doc = nullptr;
    MainWindow window;
    VRKExcelCellSliderView *moved = nullptr;
    QList<VRKExcelRange *> read;
};

Road *road = nullptr;

double nextValue(int &step)
{
    return 0.1 + 0.01 * (step++ % 50);
}

void exchange(benchmark::State &state)
{
    int step = 0;
    for (auto _ : state) {
        const QList<double> values = setCellValuesGetCellValues({road->moved->range()}, {nextValue(step)}, road->read);
        benchmark::DoNotOptimize(values.constData());
    }
    state.counters["reads"] = double(road->read.size());
    state.SetLabel(std::to_string(road->window.sliders().size()) + " sliders, "
                   + std::to_string(road->window.watches().size()) + " watches");
}
BENCHMARK(exchange)->Unit(benchmark::kMillisecond);

void wholeSlot(benchmark::State &state)
{
    int step = 0;
    for (auto _ : state) {
        bool handled = false;
        emit road->moved->valueChanged(road->moved->range(), nextValue(step), handled);
    }
}
BENCHMARK(wholeSlot)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    Road shared;
    road = &shared;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
