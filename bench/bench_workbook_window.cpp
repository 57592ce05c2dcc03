// The workbook window while a dragged slider writes a hundred values a second
// into A1, which a screenful of formulas follows. One benchmark runs the event
// loop for a second per iteration and reports how long it went without
// turning (a frame is 16 ms); another times one write, from the write to the
// repainted grid; the last scrolls a sheet of 100,000 formatted formulas a
// page at a time and times each repaint (a frame).
#include "embedded/EmbeddedBackend.h"
#include "embedded/EmbeddedObjects.h"
#include "embedded/SheetView.h"
#include "embedded/WorkbookWindow.h"
#include "HundredThousandFormulas.h"

#include <QApplication>
#include <QUndoStack>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <algorithm>

using namespace workbook;

namespace {

constexpr int formulaRows = 20;
constexpr int formulaColumns = 9;

// Counts the grid's paints.
struct PaintCounter : QObject
{
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int count = 0;
};

struct Grid
{
    Grid()
    {
        WorkbookWindow::serveDocuments();
        doc = EmbeddedBackend::instance().newDocument();
        // B1:J20 follow A1, all of them on screen.
        QList<QStringList> rows;
        for (int r = 0; r < formulaRows; ++r) {
            QStringList row;
            for (int c = 1; c <= formulaColumns; ++c)
                row << QStringLiteral("=SIN($A$1*%1)+%2").arg(c).arg(r);
            rows << row;
        }
        doc->pasteBlock({0, 0, 1}, rows);
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *candidate = qobject_cast<WorkbookWindow *>(widget); candidate && candidate->document() == doc)
                window = candidate;
        while (!window->windowHandle() || !window->windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        window->view()->viewport()->installEventFilter(&paints);
        settle();
    }

    // The first layout and paint, or what the last benchmark left, are not measured.
    void settle()
    {
        QEventLoop loop;
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
    }

    EmbeddedDocument *doc = nullptr;
    WorkbookWindow *window = nullptr;
    PaintCounter paints;
    int serial = 0;

    // A value A1 has not held yet, so that every write recalculates.
    double nextValue() { return 0.001 * ++serial; }
};

Grid *grid = nullptr;

void hundredWritesASecond(benchmark::State &state)
{
    EmbeddedRangeObject input(grid->doc, {CellRange{0, 0, 0, 0, 0}});
    qint64 longestGap = 0, lateFrames = 0, writes = 0, ticks = 0;
    const int paintsBefore = grid->paints.count;
    for (auto _ : state) {
        QElapsedTimer clock;
        int written = 0;
        QTimer writer;
        writer.setTimerType(Qt::PreciseTimer);
        // A late tick catches up, as a dragged slider would.
        QObject::connect(&writer, &QTimer::timeout, [&] {
            while (written < clock.elapsed() / 10) {
                input.write(QStringLiteral("Value"), grid->nextValue());
                ++written;
            }
        });
        qint64 last = 0;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longestGap = std::max(longestGap, now - last);
            lateFrames += now - last > 16 ? 1 : 0;
            ++ticks;
            last = now;
        });
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        clock.start();
        writer.start(10);
        heartbeat.start(1);
        loop.exec();
        writes += written;
    }
    const double seconds = double(state.iterations());
    state.counters["longest gap ms"] = double(longestGap);
    state.counters["late frames/s"] = double(lateFrames) / seconds;
    state.counters["turns/s"] = double(ticks) / seconds;
    state.counters["writes/s"] = double(writes) / seconds;
    state.counters["paints/s"] = double(grid->paints.count - paintsBefore) / seconds;
    grid->settle();
}
BENCHMARK(hundredWritesASecond)->Unit(benchmark::kMillisecond)->Iterations(5);

void oneWriteToTheRepaintedGrid(benchmark::State &state)
{
    EmbeddedRangeObject input(grid->doc, {CellRange{0, 0, 0, 0, 0}});
    for (auto _ : state) {
        const int before = grid->paints.count;
        input.write(QStringLiteral("Value"), grid->nextValue());
        while (grid->paints.count == before)
            QCoreApplication::processEvents();
    }
    state.SetLabel(std::to_string(formulaRows * formulaColumns) + " formulas on screen");
}
BENCHMARK(oneWriteToTheRepaintedGrid)->Unit(benchmark::kMicrosecond);

// A pasted block of N rows by 10 columns (numbers and formulas) into an empty
// document without a window, then undone: the history keeps both sides.
void pasteAndUndoBlock(benchmark::State &state)
{
    const int rows = static_cast<int>(state.range(0));
    QList<QStringList> block;
    for (int r = 0; r < rows; ++r) {
        QStringList line;
        for (int c = 0; c < 10; ++c)
            line << (c % 2 ? QStringLiteral("=A%1*%2").arg(r + 1).arg(c) : QString::number(r * 10 + c));
        block << line;
    }
    auto book = std::make_unique<Workbook>();
    book->addSheet("Sheet1");
    EmbeddedDocument document(0, QStringLiteral("Pasted"), std::move(book));
    for (auto _ : state) {
        document.pasteBlock({0, 0, 0}, block);
        document.history()->undo();
    }
    state.SetComplexityN(rows);
}
BENCHMARK(pasteAndUndoBlock)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

void scrollingFormattedFormulas(benchmark::State &state)
{
    // Read in this thread: the opening's own progress window is not what is measured.
    EmbeddedBackend &backend = EmbeddedBackend::instance();
    const auto loadFile = std::move(backend.loadFile);
    backend.loadFile = nullptr;
    QString message;
    EmbeddedDocument *doc = backend.openDocument(QString::fromStdString(hundredThousandFormulaFile(true)), &message);
    backend.loadFile = loadFile;
    if (!doc) {
        state.SkipWithError(message.toStdString().c_str());
        return;
    }
    WorkbookWindow *window = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *candidate = qobject_cast<WorkbookWindow *>(widget); candidate && candidate->document() == doc)
            window = candidate;
    while (!window->windowHandle() || !window->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QScrollBar *bar = window->view()->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() + bar->pageStep() < 99000 ? bar->value() + bar->pageStep() : 0);
        window->view()->viewport()->repaint();
    }
    state.SetLabel(std::to_string(window->view()->viewport()->height() / 22) + " rows a page");
    doc->setModified(false);
    backend.closeDocument(doc);
}
BENCHMARK(scrollingFormattedFormulas)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    Grid shared;
    grid = &shared;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    EmbeddedBackend::instance().closeDocument(shared.doc);
    return 0;
}
