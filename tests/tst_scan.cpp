#include "MainWindowTestSupport.h"
#include "MainWindow.h"
#include "MinMaxMultiDimData.h"
#include "ScanAxis.h"
#include "ScanProgressText.h"
#include "SettingsFiles.h"
#include "VRKExcelCellSliderView.h"
#include "VRKExcelObjects.h"
#include "VRKExcelWatchView.h"
#include "VRKSlider.h"
#include "WatchWindow.h"
#include "embedded/WorkbookWindow.h"

#include <QApplication>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <limits>
#include <memory>
#include <string>

using namespace workbook;

namespace {

ScanAxis axis(double minimum, double maximum, double step, int factor)
{
    return ScanAxis{nullptr, minimum, maximum, step, factor, QString()};
}

} // namespace

class TestScan : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void axesKeepTheirGridWithinTheRange();
    void progressTextsCycle();
    void aScanFillsEveryWatchAndGivesTheCellsBack();
    void aTwoSliderScanFillsASurface();
    void escapeStopsARunningScan();
    void aStoppedScanLeavesNoHoles();
    void aForeignMoveStopsAndRestarts();
    void aPrecisionChangeStopsAndRestarts();
    void closingDuringAScanAsksFirst();
    void theWindowIconClosesAfterTheScan();
    void slicesWriteOnlyTheMovedCell();
    void slicesSurviveActivation();
    void theLegendOfAStoppedScanReadsTheCell();
    void anEditInTheWorkbookEndsTheSlices();
    void aSlidersOwnScanIsAGraphOfIt();
    void aScanLeavesASavedWorkbookSaved();
    void thePlainMoveAfterSlicesRestoresTheCells();
    void removeAllAndANewScanGiveTheCellsBack();
    void movesWithSlidersSelectedReachTheWorkbook();

private:
    VRKExcelCellSliderView *slider(int i) const { return m_window->sliders().at(i); }
    QPushButton *graphButton() const { return m_window->findChild<QPushButton *>(QStringLiteral("pushButton_Graph")); }
    void buildChain(int length);
    void makeSlidersAndWatch();
    // Sliders on A1 and A2 selected, a watch on C1, the precision set.
    void prepareTwoSliderScan(int chainLength, int precisionValue);
    // Runs `action` once, inside the next scan, when `point` points are in.
    void atPoint(int point, const std::function<void()> &action);
    QSlider *precision() const { return m_window->findChild<QSlider *>(QStringLiteral("horizontalSlider_scanZoom")); }
    void move(int i, double value) { m_session->move(i, value); }

    std::unique_ptr<MainWindowSession> m_session;
    MainWindow *m_window = nullptr;
    EmbeddedDocument *m_doc = nullptr;
};

void TestScan::init()
{
    m_session = std::make_unique<MainWindowSession>();
    QVERIFY(m_session->exposed);
    m_window = m_session->window.get();
    m_doc = m_session->document;
}

void TestScan::cleanup()
{
    m_session.reset();
    m_window = nullptr;
}

// A1 and A2 feed a chain in column B; C1 sums it; D1 is an input nothing reads.
void TestScan::buildChain(int length)
{
    Workbook &book = m_doc->book();
    book.setValue({0, 0, 0}, Value::number(5));
    book.setValue({0, 1, 0}, Value::number(5));
    book.setValue({0, 0, 3}, Value::number(5));
    book.setFormula({0, 0, 1}, "=A1*10+A2");
    for (int i = 2; i <= length; ++i)
        book.setFormula({0, i - 1, 1}, "=B" + std::to_string(i - 1) + "*0.999+SQRT(ABS(A1))+EXP(-A2*A2)");
    book.setFormula({0, 0, 2}, "=B1+B" + std::to_string(length) + "*0");
    book.recalculate();
}

void TestScan::makeSlidersAndWatch()
{
    m_doc->setSelection({CellRange{0, 0, 0, 1, 0}, CellRange{0, 0, 3, 0, 3}});
    m_window->on_pushButton_newSlider_clicked();
    m_doc->setSelection({CellRange{0, 0, 2, 0, 2}});
    m_window->on_pushButton_newWatch_clicked();
    QCOMPARE(m_window->sliders().size(), 3);
    QCOMPARE(m_window->watches().size(), 1);
}

void TestScan::prepareTwoSliderScan(int chainLength, int precisionValue)
{
    buildChain(chainLength);
    makeSlidersAndWatch();
    emit slider(0)->watch()->graphClicked();
    emit slider(1)->watch()->graphClicked();
    precision()->setValue(precisionValue);
    // The precision's own debounce must not stop the scan the test starts.
    QTRY_VERIFY(!m_window->scanZoomTimerForTests()->isActive());
}

void TestScan::atPoint(int point, const std::function<void()> &action)
{
    // Stop requests are looked at before every point and honoured once the
    // first 100 points are in, however fast or slow the machine.
    m_window->setScanTiming({0, 0, std::numeric_limits<qint64>::max()});
    auto done = std::make_shared<bool>(false);
    connect(m_window, &MainWindow::scanPointEvaluated, m_window, [point, action, done](int points) {
        if (points == point && !*done) {
            *done = true;
            action();
        }
    });
}

void TestScan::axesKeepTheirGridWithinTheRange()
{
    // An interval at least the span: just the two ends.
    const ScanAxis wide = axis(0, 1, 0.5, 4);
    QCOMPARE(wide.intervals(), 1);
    QCOMPARE(wide.points(), 2);
    QCOMPARE(wide.valueAt(0), 0.0);
    QCOMPARE(wide.valueAt(1), 1.0);
    // A span that is no multiple of the interval: the last value stops at the maximum.
    const ScanAxis uneven = axis(0, 10, 1, 3);
    QCOMPARE(uneven.intervals(), 3);
    QCOMPARE(uneven.valueAt(3), 9.0);
    QCOMPARE(uneven.valueAt(4), 10.0);
    // A whole number of intervals keeps its last one despite rounding.
    QCOMPARE(axis(0, 0.99, 0.01, 1).intervals(), 99);
    QCOMPARE(axis(0, 1, 0, 1).intervals(), -2);
}

void TestScan::progressTextsCycle()
{
    const QDateTime start = QDateTime::currentDateTime();
    const QDateTime now = start.addMSecs(2000);
    QCOMPARE(*scanProgressText(1, 5, 100, start, now), QStringLiteral("5.0% scanned"));
    QCOMPARE(*scanProgressText(1, 10, 100, start, now), QStringLiteral("10% scanned"));
    QCOMPARE(*scanProgressText(1, 333, 1000, start, now), QStringLiteral("33% scanned"));
    QCOMPARE(*scanProgressText(2, 40, 100, start, now), QStringLiteral("50 ms/point"));
    QCOMPARE(*scanProgressText(3, 40, 100, start, now), QStringLiteral("100 points"));
    QCOMPARE(*scanProgressText(4, 40, 100, start, now), QStringLiteral("Stop Scan"));
    QVERIFY(!scanProgressText(0, 0, 100, start, now));
    QVERIFY(!scanProgressText(2, 0, 100, start, now));
    // 2 s for half the points: 2 s remain; a quarter in 2 s: 6 s remain; long scans give a clock time.
    QCOMPARE(*scanProgressText(0, 50, 100, start, now), QStringLiteral("2 s remain."));
    QCOMPARE(*scanProgressText(0, 1, 100, start, now), QStringLiteral("3 min remain."));
    QVERIFY(scanProgressText(0, 1, 10000, start, now)->startsWith(QStringLiteral("Till ")));
}

void TestScan::aScanFillsEveryWatchAndGivesTheCellsBack()
{
    buildChain(50);
    makeSlidersAndWatch();
    emit slider(0)->watch()->graphClicked();
    QCOMPARE(graphButton()->text(), QStringLiteral("Graph"));
    graphButton()->click();
    QVERIFY(!m_window->property("scanning").toBool());
    MinMaxMultiDimData *data = m_window->watches().first()->data();
    QCOMPARE(data->dimensions().size(), 1);
    const Dimension &x = data->dimensions().first();
    // 0 .. 10 in 0.01 steps at precision 30: factor 33, intervals of 0.33, 31 points ending at 9.9.
    QCOMPARE(x.count, 31);
    QCOMPARE(x.first, 0.0);
    QCOMPARE(float(x.second), 9.9f);
    QVERIFY(data->dataComplete());
    QCOMPARE(data->graphDepth(), 2);
    QCOMPARE(m_window->scanPoints(), 31);
    QCOMPARE(float(data->values().at(1)), 8.3f); // read back in single precision
    // The cell holds what its slider shows, not the last grid value.
    QCOMPARE(m_doc->book().value({0, 0, 0}).asNumber(), 5.0);
    QCOMPARE(graphButton()->text(), QStringLiteral("Graph"));
    QVERIFY(graphButton()->isEnabled());
}

void TestScan::aTwoSliderScanFillsASurface()
{
    buildChain(50);
    makeSlidersAndWatch();
    emit slider(0)->watch()->graphClicked();
    emit slider(1)->watch()->graphClicked();
    QCOMPARE(graphButton()->text(), QStringLiteral("3D Graph"));
    precision()->setValue(12);
    QTest::keyClick(m_window, Qt::Key_G);
    QTRY_VERIFY(m_window->watches().first()->data()->dataComplete());
    MinMaxMultiDimData *data = m_window->watches().first()->data();
    QCOMPARE(data->graphDepth(), 4);
    const int n = data->dimensions().at(0).count;
    QCOMPARE(m_window->scanPoints(), n * data->dimensions().at(1).count);
    QVERIFY(!std::isnan(data->value({n - 1, 3})));
    QCOMPARE(m_doc->book().value({0, 1, 0}).asNumber(), 5.0);
    // The sliders show the stored result as a surface: x and y marked.
    QCOMPARE(slider(0)->watch()->property("overlayimage").toString(), QStringLiteral(":resources/slider_xyz_x.png"));
    QCOMPARE(slider(1)->watch()->property("overlayimage").toString(), QStringLiteral(":resources/slider_xyz_y.png"));
    QVERIFY(!slider(0)->isActive());
    QVERIFY(slider(2)->isActive());
}

void TestScan::escapeStopsARunningScan()
{
    prepareTwoSliderScan(20, 100);
    bool pressed = false;
    atPoint(50, [this, &pressed] {
        QVERIFY(m_window->property("scanning").toBool());
        QCOMPARE(graphButton()->text(), QStringLiteral("Stop Scan"));
        QVERIFY(!m_window->findChild<QPushButton *>(QStringLiteral("pushButton_DeleteAll"))->isEnabled());
        QTest::keyClick(m_window, Qt::Key_Escape);
        pressed = true;
    });
    graphButton()->click();
    QVERIFY(pressed);
    MinMaxMultiDimData *data = m_window->watches().first()->data();
    QVERIFY(!data->dataComplete());
    // The key stopped it as soon as the first 100 points, a usable picture, were in.
    QCOMPARE(m_window->scanPoints(), 100);
    QCOMPARE(m_doc->book().value({0, 0, 0}).asNumber(), 5.0);
    QCOMPARE(m_doc->book().value({0, 1, 0}).asNumber(), 5.0);
}

void TestScan::aStoppedScanLeavesNoHoles()
{
    prepareTwoSliderScan(20, 100);
    atPoint(300, [this] { QTest::keyClick(m_window, Qt::Key_Escape); });
    graphButton()->click();
    MinMaxMultiDimData *data = m_window->watches().first()->data();
    QVERIFY(!data->dataComplete());
    QCOMPARE(m_window->scanPoints(), 300);
    // Every cell shows the nearest sample of the coarse passes: no speckles.
    const int nx = data->dimensions().at(0).count;
    const int ny = data->dimensions().at(1).count;
    int holes = 0;
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x)
            holes += std::isnan(data->value({x, y})) ? 1 : 0;
    QCOMPARE(holes, 0);
    // A1 = 0 at x = 0: C1 = A1 * 10 + A2 = A2.
    QCOMPARE(float(data->value({0, 0})), 0.0f);
    QCOMPARE(float(data->value({0, ny - 1})), float(m_window->scannedAxes().at(1).valueAt(ny - 1)));
}

void TestScan::aForeignMoveStopsAndRestarts()
{
    prepareTwoSliderScan(20, 100);
    atPoint(150, [this] { move(2, 7); }); // D1 is no axis of the scan
    graphButton()->click();
    m_window->setScanTiming({}); // the restart runs at its own pace
    QCOMPARE(m_window->scanPoints(), 150);
    QVERIFY(!m_window->watches().first()->data()->dataComplete());
    QVERIFY(m_window->property("restartscan").toBool());
    // The restart runs to the end, with the moved slider's value in its cell.
    QCOMPARE(m_doc->book().value({0, 0, 3}).asNumber(), 7.0);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->watches().first()->data()->dataComplete(), 30000);
    QCOMPARE(m_window->scanPoints(), 101 * 101);
}

void TestScan::aPrecisionChangeStopsAndRestarts()
{
    prepareTwoSliderScan(20, 100);
    m_window->scanZoomTimerForTests()->setInterval(0); // the debounce ends at the next look
    atPoint(150, [this] { precision()->setValue(40); });
    graphButton()->click();
    m_window->setScanTiming({}); // the restart runs at its own pace
    QCOMPARE(m_window->scanPoints(), 150);
    QVERIFY(m_window->property("restartscan").toBool());
    QTRY_VERIFY_WITH_TIMEOUT(m_window->watches().first()->data()->dataComplete(), 30000);
    QCOMPARE(m_window->watches().first()->data()->dimensions().at(0).count, 41);
}

void TestScan::closingDuringAScanAsksFirst()
{
    prepareTwoSliderScan(20, 100);
    WorkbookWindow::serveDocuments();
    EmbeddedDocument *shown = backend().newDocument();
    shown->editCell({0, 0, 0}, QStringLiteral("1")); // unsaved work
    atPoint(150, [this] { m_window->close(); });
    graphButton()->click();
    QCOMPARE(m_window->scanPoints(), 150);
    QVERIFY(m_window->isVisible()); // nothing closes before the question
    BoxAnswer cancel(QMessageBox::Cancel);
    QTRY_VERIFY(!cancel.text.isEmpty());
    QVERIFY(cancel.text.contains(shown->name()));
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_window->property("closingapplication").toBool());
    QVERIFY(!m_window->scannedAxes().isEmpty()); // the slices are still shown
    backend().showDocument = nullptr;

    // After the cancelled close a precision change still restarts a scan.
    m_window->scanZoomTimerForTests()->setInterval(0);
    atPoint(150, [this] { precision()->setValue(40); });
    graphButton()->click();
    m_window->setScanTiming({}); // the restart runs at its own pace
    QTRY_VERIFY_WITH_TIMEOUT(m_window->watches().first()->data()->dataComplete(), 30000);
    QCOMPARE(m_window->watches().first()->data()->dimensions().at(0).count, 41);

    // Now answered: everything closes.
    BoxAnswer discard(QMessageBox::Discard);
    m_window->close();
    QTRY_VERIFY(!discard.text.isEmpty());
    QTRY_VERIFY(!m_window->isVisible());
    QVERIFY(!m_window->watchWindowForTests()->isVisible());
    QCOMPARE(m_doc->book().value({0, 0, 0}).asNumber(), 5.0);
}

void TestScan::theWindowIconClosesAfterTheScan()
{
    prepareTwoSliderScan(20, 100);
    atPoint(150, [this] { m_window->closeApplication(); });
    graphButton()->click();
    MinMaxMultiDimData *data = m_window->watches().first()->data();
    // The scan ended at the request and kept its grid: nothing landed at (0, 0) afterwards.
    QCOMPARE(m_window->scanPoints(), 150);
    QCOMPARE(data->graphDepth(), 4);
    QCOMPARE(float(data->value({0, 0})), 0.0f);
    QTRY_VERIFY(!m_window->isVisible());
    QCOMPARE(m_doc->book().value({0, 0, 0}).asNumber(), 5.0);
}

void TestScan::slicesWriteOnlyTheMovedCell()
{
    prepareTwoSliderScan(20, 12);
    graphButton()->click();
    MinMaxMultiDimData *data = m_window->watches().first()->data();
    QVERIFY(data->dataComplete());
    const int intervals = m_window->scannedAxes().at(1).intervals();

    // With only A1 selected, moving A2 cuts the surface at A2's grid index.
    emit slider(1)->watch()->graphClicked();
    m_doc->book().recalculate(); // the scan's own restoring write is done
    QList<int> written;
    m_doc->book().addObserver([&written](const std::vector<CellLocation> &changed) {
        for (const CellLocation &where : changed)
            if (where.column == 0 || where.column == 3)
                written << where.row * 10 + where.column;
    });
    move(1, 7.5);
    m_doc->book().recalculate();
    QCOMPARE(written, QList<int>({10})); // A2 alone, and once
    // A slice lies on the scan's grid: the slider and the cell go to its nearest point.
    const ScanAxis a2 = m_window->scannedAxes().at(1);
    const double onGrid = a2.valueAt(a2.nearestIndex(7.5));
    QCOMPARE(slider(1)->slider()->value(), onGrid);
    QCOMPARE(m_doc->book().value({0, 1, 0}).asNumber(), onGrid);
    QCOMPARE(data->dataExtractionSettings().selection, QList<int>({-1, a2.nearestIndex(7.5)}));
    QVERIFY(std::abs(a2.nearestIndex(7.5) - 0.75 * intervals) <= 1);
    QCOMPARE(data->graphDepth(), 2);
    QCOMPARE(slider(0)->watch()->property("overlayimage").toString(), QStringLiteral(":resources/slider_xz_x.png"));
    QCOMPARE(slider(1)->watch()->property("overlayimage").toString(), QStringLiteral(":resources/slider_xz_z.png"));
    QVERIFY(slider(2)->watch()->property("overlayimage").toString().isEmpty());
}

void TestScan::slicesSurviveActivation()
{
    prepareTwoSliderScan(20, 12);
    graphButton()->click();
    // Both selected: the cross-hair moves with A1, in the scan's steps.
    const ScanAxis a1 = m_window->scannedAxes().at(0);
    const double onGrid = a1.valueAt(a1.nearestIndex(5.55));
    QVERIFY(onGrid != 5.55);
    move(0, 5.55);
    VRKExcelWatchView *watch = m_window->watches().first();
    const double x = (onGrid - a1.minimum) / (a1.valueAt(a1.intervals()) - a1.minimum);
    QCOMPARE(slider(0)->slider()->value(), onGrid);
    QCOMPARE(m_doc->book().value({0, 0, 0}).asNumber(), onGrid);
    QCOMPARE(watch->splitPoint().x(), x);
    const ScanAxis a2 = m_window->scannedAxes().at(1);
    QCOMPARE(watch->splitPoint().y(), (5 - a2.minimum) / (a2.valueAt(a2.intervals()) - a2.minimum));
    QCOMPARE(watch->displayFlags() & VRKExcelWatchView::CrossHairBits, unsigned(VRKExcelWatchView::CrossHairBits));
    // The legend gives what the watched cell holds there.
    QCOMPARE(float(watch->crossPointValue()), float(m_doc->book().value({0, 0, 2}).asNumber()));
    m_session->activate();
    // The slider, the cell, the cross-hair and the legend still show one point.
    QCOMPARE(slider(0)->slider()->value(), onGrid);
    QCOMPARE(watch->splitPoint().x(), x);
    QCOMPARE(float(watch->crossPointValue()), float(m_doc->book().value({0, 0, 2}).asNumber()));
    QVERIFY(!m_window->scannedAxes().isEmpty());
    QVERIFY(watch->data()->dataComplete());
}

void TestScan::theLegendOfAStoppedScanReadsTheCell()
{
    prepareTwoSliderScan(20, 100);
    atPoint(120, [this] { QTest::keyClick(m_window, Qt::Key_Escape); });
    graphButton()->click();
    VRKExcelWatchView *watch = m_window->watches().first();
    QVERIFY(!watch->data()->dataComplete());
    // The sliders stand at 5 and 5; the picture there holds a coarse stand-in,
    // the legend what the cell computes.
    QCOMPARE(float(watch->crossPointValue()), float(m_doc->book().value({0, 0, 2}).asNumber()));
    QCOMPARE(float(watch->crossPointValue()), 55.0f);
}

void TestScan::anEditInTheWorkbookEndsTheSlices()
{
    prepareTwoSliderScan(20, 12);
    graphButton()->click();
    m_doc->editCell({0, 0, 3}, QStringLiteral("9")); // D1, under the third slider
    QVERIFY(m_window->scannedAxes().isEmpty());
    QCOMPARE(slider(2)->slider()->value(), 9.0);
    VRKExcelWatchView *watch = m_window->watches().first();
    MinMaxMultiDimData *data = watch->data();
    QCOMPARE(data->graphDepth(), 2);
    QCOMPARE(data->values().size(), 1); // a live history with the cell's value
    QCOMPARE(float(data->values().last()), float(m_doc->book().value({0, 0, 2}).asNumber()));
    // In the history's look and range, though sliders are still selected: no cross-hair, no scan range.
    QCOMPARE(watch->displayFlags() & VRKExcelWatchView::CrossHairBits, 0u);
    QCOMPARE(float(data->minimum()), float(data->maximum()));
}

void TestScan::aSlidersOwnScanIsAGraphOfIt()
{
    buildChain(20);
    makeSlidersAndWatch();
    emit slider(1)->watch()->graphClicked(); // selected before; the slider's own scan takes over
    move(0, 2);
    emit slider(0)->buttonScan1DClicked();
    QVERIFY(slider(0)->isSelected());
    QVERIFY(!slider(1)->isSelected());
    MinMaxMultiDimData *data = m_window->watches().first()->data();
    QVERIFY(data->dataComplete());
    QCOMPARE(data->graphDepth(), 2);
    // The cross-hair stands where the slider does, not in the middle.
    const ScanAxis a1 = m_window->scannedAxes().first();
    QCOMPARE(m_window->watches().first()->splitPoint().x(), (2 - a1.minimum) / (a1.valueAt(a1.intervals()) - a1.minimum));
    // Dragging it afterwards shows slices of the curve.
    move(0, 3);
    QVERIFY(!m_window->scannedAxes().isEmpty());
    QVERIFY(data->dataComplete());
    QCOMPARE(m_doc->book().value({0, 0, 0}).asNumber(), a1.valueAt(a1.nearestIndex(3)));
}

void TestScan::aScanLeavesASavedWorkbookSaved()
{
    prepareTwoSliderScan(20, 12);
    m_doc->setModified(false);
    graphButton()->click();
    QVERIFY(m_window->watches().first()->data()->dataComplete());
    QVERIFY(!m_doc->isModified());
    m_window->on_pushButton_DeleteAll_clicked();
    QVERIFY(!m_doc->isModified());
    // A cell that ends with another value than it had is a change to save.
    Workbook &book = m_doc->book();
    book.setValue({0, 0, 0}, Value::number(5.123456));
    m_doc->setModified(false);
    makeSlidersAndWatch();
    emit slider(0)->watch()->graphClicked();
    graphButton()->click();
    QVERIFY(book.value({0, 0, 0}).asNumber() != 5.123456);
    QVERIFY(m_doc->isModified());
}

void TestScan::thePlainMoveAfterSlicesRestoresTheCells()
{
    prepareTwoSliderScan(20, 12);
    graphButton()->click();
    emit slider(1)->watch()->graphClicked();
    move(1, 7.5); // a slice, on the scan's grid
    const double onGrid = slider(1)->slider()->value();
    emit slider(0)->watch()->graphClicked(); // nothing selected now
    move(2, 6); // a plain move: the stored result is given up
    QCOMPARE(m_doc->book().value({0, 1, 0}).asNumber(), onGrid);
    QCOMPARE(m_doc->book().value({0, 0, 3}).asNumber(), 6.0);
    QVERIFY(m_window->scannedAxes().isEmpty());
    QVERIFY(slider(1)->watch()->property("overlayimage").toString().isEmpty());
    QCOMPARE(m_window->watches().first()->data()->graphDepth(), 2);
    QCOMPARE(m_window->watches().first()->data()->values().size(), 1); // a new live history
}

void TestScan::movesWithSlidersSelectedReachTheWorkbook()
{
    buildChain(20);
    makeSlidersAndWatch();
    emit slider(0)->watch()->graphClicked();
    // A selected slider moved before any scan: the watch follows as for any move.
    move(0, 3);
    QCOMPARE(m_doc->book().value({0, 0, 0}).asNumber(), 3.0);
    QCOMPARE(float(m_window->watches().first()->data()->values().last()), 35.0f); // 3 * 10 + 5
    QCOMPARE(slider(0)->watch()->data()->values().last(), 3.0);
    // An unselected one asks for a scan.
    move(1, 8);
    QCOMPARE(m_doc->book().value({0, 1, 0}).asNumber(), 8.0);
    // The scan that follows sweeps A1 with A2 at its new value.
    QTRY_VERIFY(m_window->watches().first()->data()->dataComplete());
    QCOMPARE(float(m_window->watches().first()->data()->values().first()), 8.0f); // A1 = 0: 0 * 10 + 8
}

void TestScan::removeAllAndANewScanGiveTheCellsBack()
{
    prepareTwoSliderScan(20, 12);
    graphButton()->click();
    emit slider(1)->watch()->graphClicked();
    move(1, 7.5);
    const double onGrid = slider(1)->slider()->value();
    QCOMPARE(m_doc->book().value({0, 1, 0}).asNumber(), onGrid); // a slice move writes its cell
    graphButton()->click();
    QCOMPARE(m_doc->book().value({0, 1, 0}).asNumber(), onGrid);
    move(0, 2);
    const double a1 = slider(0)->slider()->value();
    QCOMPARE(m_doc->book().value({0, 0, 0}).asNumber(), a1);
    m_window->findChild<QPushButton *>(QStringLiteral("pushButton_DeleteAll"))->click();
    QCOMPARE(m_doc->book().value({0, 0, 0}).asNumber(), a1);
    QVERIFY(m_window->sliders().isEmpty());
}

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
