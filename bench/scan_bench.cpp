// The real scan through the real main window: the engine's chain model
// (K formulas), sliders on A1 and A2 (0 .. 99 in steps of 1), a watch on C1,
// both sliders selected and a 100 x 100 grid; point by point (threads = 1)
// and on the embedded workbook's workers (threads = 2), in the same run.
// Reports the whole scan and how soon the first picture (the two corners and
// the first pass) was painted.
#include "MainWindow.h"
#include "MinMaxMultiDimData.h"
#include "SettingsFiles.h"
#include "VRKExcelCellSliderView.h"
#include "VRKExcelWatchView.h"
#include "VRKSlider.h"
#include "embedded/EmbeddedBackend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

using namespace workbook;

namespace {

void buildChain(Workbook &book, int chainLength)
{
    book.setValue({0, 0, 0}, Value::number(30));
    book.setValue({0, 1, 0}, Value::number(70));
    book.setFormula({0, 0, 1}, "=SIN(A1/100)*COS(A2/100)+A1*A2/10000");
    for (int i = 2; i <= chainLength; ++i)
        book.setFormula({0, i - 1, 1}, "=B" + std::to_string(i - 1) + "*0.999+SQRT(ABS(A1))+EXP(-A2*A2/10000)");
    const std::string last = std::to_string(chainLength);
    book.setFormula({0, 0, 2}, "=B" + last + "+SUM(B1:B" + last + ")/" + last);
    book.recalculate();
}

struct ScanSession
{
    explicit ScanSession(int chainLength)
    {
        SettingsFiles::setFolder(folder.path());
        SettingsFiles::setTermsOfUseApproved(true);
        EmbeddedBackend::instance().start();
        EmbeddedDocument *doc = EmbeddedBackend::instance().newDocument();
        buildChain(doc->book(), chainLength);
        window.show();
        doc->setSelection({CellRange{0, 0, 0, 1, 0}});
        window.on_pushButton_newSlider_clicked();
        doc->setSelection({CellRange{0, 0, 2, 0, 2}});
        window.on_pushButton_newWatch_clicked();
        for (VRKExcelCellSliderView *view : window.sliders()) {
            view->slider()->setConfig(0, 99, 1);
            view->setSelected(true);
        }
        // 99 intervals of one step each: 100 grid points per axis.
        window.findChild<QSlider *>(QStringLiteral("horizontalSlider_scanZoom"))->setValue(99);
        // Past the precision slider's debounce, which would restart the first scan.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        watch = window.watches().first();
        QObject::connect(watch, &VRKExcelWatchView::afterPaint, watch, [this](QPainter &) {
            if (firstPictureMs < 0 && window.scanPoints() >= 3 && window.property("scanning").toBool())
                firstPictureMs = sinceClick.nsecsElapsed() / 1e6;
        });
    }

    // Clicks Graph; the scan runs to its end inside the click.
    double scanSeconds()
    {
        firstPictureMs = -1;
        sinceClick.start();
        window.findChild<QPushButton *>(QStringLiteral("pushButton_Graph"))->click();
        return sinceClick.nsecsElapsed() / 1e9;
    }

    QTemporaryDir folder;
    MainWindow window;
    VRKExcelWatchView *watch = nullptr;
    QElapsedTimer sinceClick;
    double firstPictureMs = -1;
};

std::unique_ptr<ScanSession> session;
int sessionChain = 0;

void fullScan(benchmark::State &state)
{
    const int chainLength = static_cast<int>(state.range(0));
    if (!session || sessionChain != chainLength) {
        session.reset();
        for (EmbeddedDocument *doc : EmbeddedBackend::instance().documents())
            EmbeddedBackend::instance().closeDocument(doc);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        session = std::make_unique<ScanSession>(chainLength);
        sessionChain = chainLength;
    }
    EmbeddedBackend::instance().setScanThreads(static_cast<int>(state.range(1)));
    double seconds = 0;
    double firstPicture = 0;
    for (auto _ : state) {
        seconds = session->scanSeconds();
        firstPicture = session->firstPictureMs;
        state.SetIterationTime(seconds);
    }
    const int points = session->window.scanPoints();
    state.counters["points"] = points;
    state.counters["points/s"] = points / seconds;
    state.counters["first picture ms"] = firstPicture;
    std::printf("K %d, %d thread(s): points: %d  seconds: %.3f  points/s: %.0f\n", chainLength,
                EmbeddedBackend::instance().scanThreads(), points, seconds, points / seconds);
    std::printf("first picture after %.1f ms; complete: %s\n", firstPicture,
                session->watch->data()->dataComplete() ? "yes" : "no");
}
BENCHMARK(fullScan)
    ->ArgNames({"K", "threads"})
    ->Args({1000, 1})
    ->Args({1000, 2})
    ->Args({10, 1})
    ->Args({10, 2})
    ->Args({1000, 1})
    ->Args({1000, 2})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    session.reset();
    benchmark::Shutdown();
    return 0;
}
