// The main window's scan: sweeping the selected sliders over a grid, coarse
// to fine, point by point on the GUI thread or in batches on the backend's
// workers, and showing slices of the stored result.
#include "MainWindow.h"
#include "AppLogging.h"

#include "GridScanOrder.h"
#include "MinMaxMultiDimData.h"
#include "PointEvaluation.h"
#include "ProgressPushButton.h"
#include "ScanProgressText.h"
#include "StandInCells.h"
#include "VRKExcelCellSliderView.h"
#include "VRKExcelObjects.h"
#include "VRKExcelWatchView.h"
#include "VRKSlider.h"
#include "WatchWindow.h"
#include "ui_MainWindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

#include <cmath>
#include <deque>

namespace {

// A stop asked for at once still leaves this much of a picture: the points
// of the first passes, or what the soft deadline allowed.
constexpr int minimumPointsBeforeStop = 100;
constexpr int eventMilliseconds = 10;
// Passes with at most this many points so far are put on screen at once.
constexpr int coarsePicturePoints = 256;
// Points handed to a backend's workers at once; the next batch follows while
// they still work on this one. The first batches are small, so the corners
// of a slow workbook come back one by one, as they would point by point.
constexpr int firstParallelBatch = 8;
constexpr int parallelBatchPoints = 256;
// Grids of three or more axes stay within a few hundred thousand points.
constexpr double gridPointBudget = 300000;
// Title, axes, buttons; the cross-hair marks the sliders' position (one line for a curve).
constexpr unsigned scanDisplayFlags = 0xCFF;

bool isActive(const VRKExcelWatchView *watch)
{
    return !watch->property("inactive").toBool();
}

void processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, eventMilliseconds);
}

} // namespace

void MainWindow::on_pushButton_Graph_clicked()
{
    graphTimer->stop();
    if (isScanning()) {
        setProperty("stopscan", true);
        return;
    }
    markClosedWorkbooks();
    if (selectedSliderViews.isEmpty() || watchViews.isEmpty())
        return;
    // The scan draws into the watches: a watch window closed meanwhile comes back.
    if (watchWindow && !watchWindow->isVisible())
        watchWindow->show();
    scanSliders(selectedSliderViews);
}

void MainWindow::sliderButtonScan1DClicked()
{
    auto *view = qobject_cast<VRKExcelCellSliderView *>(sender());
    if (!view)
        return;
    if (isScanning()) {
        setProperty("stopscan", true);
        return;
    }
    // The same scan as Graph with this slider alone selected, so its slices
    // and the cross-hair behave as after any scan.
    for (VRKExcelCellSliderView *other : QList<VRKExcelCellSliderView *>(selectedSliderViews))
        if (other != view)
            other->setSelected(false);
    view->setSelected(true);
    on_pushButton_Graph_clicked();
}

void MainWindow::scanSliders(const QList<VRKExcelCellSliderView *> &views)
{
    // A restart that comes while another scan runs must not nest in it.
    if (isScanning())
        return;
    // The step factor: the precision slider's value is about the number of
    // intervals of each axis; with three or more axes fewer, so that the
    // whole grid stays within the point budget.
    const int axisCount = int(views.size());
    double perAxis = ui->horizontalSlider_scanZoom->value();
    if (axisCount >= 3)
        perAxis = std::min(perAxis, std::floor(std::pow(gridPointBudget, 1.0 / axisCount)) - 1);
    QList<ScanAxis> axes;
    for (VRKExcelCellSliderView *view : views) {
        const VRKSlider *slider = view->slider();
        ScanAxis axis{view->range(), slider->minValue(), slider->maxValue(), slider->stepValue(), 1,
                      view->watch()->name().split(QLatin1Char('\n')).join(QStringLiteral(" / "))};
        if (!axis.cell)
            return;
        const double steps = axis.step > 0 ? (axis.maximum - axis.minimum) / axis.step : 0;
        axis.stepFactor = int(std::max(1.0, std::round(steps / std::max(1.0, perAxis))));
        if (axis.intervals() < 0) {
            qCDebug(lcApp).noquote() << "Cannot scan" << axis.caption << "- its grid interval is not positive";
            return;
        }
        axes << axis;
    }

    endSliceDisplay();
    // What the scan will write over, so that it can leave the workbooks
    // unmodified when every cell gets its old value back.
    QList<ScannedCell> before;
    for (const ScanAxis &axis : std::as_const(axes)) {
        VRKExcelSheet *sheet = axis.cell->worksheet(false);
        VRKExcelWorkbook *book = sheet ? sheet->workbook() : nullptr;
        before << ScannedCell{axis.cell->value(), book, book && book->isSaved()};
    }
    scanAxes = axes;
    scanSource.clear();
    for (VRKExcelCellSliderView *view : views)
        scanSource << view;
    prepareScanStores();

    setProperty("scanning", true);
    setProperty("stopscan", false);
    setProperty("restartscan", false);
    scanStartTime = QDateTime::currentDateTime();
    scanClock.start();
    scanMinimumPoints = minimumPointsBeforeStop;
    progressPhase = 0;
    progressTimer->start();
    refreshButtonStates();

    const bool complete = runScan();

    progressTimer->stop();
    setProperty("scanning", false);
    refreshButtonStates();
    ui->pushButton_Graph->setProgress(0);
    if (complete) {
        for (VRKExcelWatchView *watch : std::as_const(watchViews)) {
            if (!isActive(watch))
                continue;
            watch->data()->setDataComplete(true);
            watch->data()->markChanged();
        }
    }
    restoreScannedCells();
    keepSavedStateOf(before);
    if (!selectedSliderViews.isEmpty())
        sliceDisplay();

    if (property("closingapplication").toBool()) {
        // A close came during the scan: its questions come now.
        QTimer::singleShot(0, this, &MainWindow::quitProgram);
        return;
    }
    if (property("restartscan").toBool()) {
        QList<VRKExcelCellSliderView *> again;
        for (const QPointer<VRKExcelCellSliderView> &view : std::as_const(scanSource))
            if (view && !view->isCellClosed())
                again << view;
        if (!again.isEmpty())
            QTimer::singleShot(0, this, [this, again] { scanSliders(again); });
    }
}

void MainWindow::prepareScanStores()
{
    QList<Dimension> dimensions;
    QList<int> selection;
    for (const ScanAxis &axis : std::as_const(scanAxes)) {
        const int last = axis.intervals();
        dimensions << Dimension{axis.points(), axis.caption, axis.minimum, axis.valueAt(last)};
        selection << (selection.size() < 2 ? -1 : 0);
    }
    for (VRKExcelWatchView *watch : std::as_const(watchViews)) {
        if (!isActive(watch))
            continue;
        MinMaxMultiDimData *data = watch->data();
        watch->clearPreviousData();
        watch->setDisplayFlags(scanDisplayFlags
                               | (scanAxes.size() == 1 ? VRKExcelWatchView::CrossHairVertical
                                                       : VRKExcelWatchView::CrossHairBits));
        data->setDimensions(dimensions);
        data->resetValues();
        DataExtractionSettings extraction = data->dataExtractionSettings();
        extraction.selection = selection;
        data->setDataExtractionSettings(extraction);
    }
}

bool MainWindow::runScan()
{
    scanPointsDone = 0;
    scanStartTime = QDateTime::currentDateTime();
    QList<int> counts;
    for (const ScanAxis &axis : std::as_const(scanAxes))
        counts << axis.points();
    GridScanOrder order(counts);
    scanTotalPoints = int(order.total());
    // The watches to read are the same at every point: collected once.
    scanReadCells.clear();
    scanReadWatches.clear();
    for (VRKExcelWatchView *watch : std::as_const(watchViews)) {
        if (!isActive(watch) || !watch->cell())
            continue;
        scanReadCells << watch->cell();
        scanReadWatches << watch;
    }

    scanWriteCells.clear();
    for (qsizetype axis = scanAxes.size() - 1; axis >= 0; --axis)
        scanWriteCells << scanAxes[axis].cell;
    // A surface shows a whole picture at every moment: each point also
    // stands in for the cells nearest to it until finer points come. A curve
    // joins its samples as they are.
    StandInCells standIns;
    lastStopTest.start();
    firstPictureShown = false;
    if (std::unique_ptr<PointEvaluation> points = parallelEvaluation(scanWriteCells, scanReadCells))
        return runParallelScan(order, standIns, *points);
    QList<double> values;
    while (order.next()) {
        const ScanPoint point = scanPointOf(order, standIns, values);
        if (stopsBefore(point))
            return false;
        const QList<double> results = setCellValuesGetCellValues(scanWriteCells, values, scanReadCells);
        values.clear();
        storePoint(point, results);
    }
    return true;
}

bool MainWindow::runParallelScan(GridScanOrder &order, StandInCells &standIns, PointEvaluation &points)
{
    // The points handed over and not yet stored, in the order's turn.
    std::deque<ScanPoint> handedOver;
    QList<double> values;
    QList<QVariant> readings;
    QList<double> results;
    bool more = true;
    int batch = firstParallelBatch;
    for (;;) {
        if (more && points.outstanding() < batch) {
            for (int i = 0; i < batch && (more = order.next()); ++i)
                handedOver.push_back(scanPointOf(order, standIns, values));
            points.submit(values);
            values.clear();
            batch = std::min(2 * batch, parallelBatchPoints);
        }
        if (handedOver.empty())
            return true;
        if (!points.takeNext(readings)) {
            // The workers hand their results over as events: this waits for them.
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            continue;
        }
        if (stopsBefore(handedOver.front())) {
            points.cancel();
            return false;
        }
        results.clear();
        for (const QVariant &reading : std::as_const(readings))
            results << readingOf(reading);
        storePoint(handedOver.front(), results);
        handedOver.pop_front();
    }
}

MainWindow::ScanPoint MainWindow::scanPointOf(const GridScanOrder &order, StandInCells &standIns, QList<double> &values)
{
    const QList<int> &indices = order.indices();
    for (qsizetype axis = scanAxes.size() - 1; axis >= 0; --axis)
        values << scanAxes[axis].valueAt(indices[axis]);
    const bool fillStandIns = scanAxes.size() >= 2;
    return ScanPoint{fillStandIns ? standIns.cellsFor(order) : QList<qsizetype>{order.offset()}, order.cornersDone(),
                     order.passEnded()};
}

bool MainWindow::stopsBefore(const ScanPoint &point)
{
    // Until the corners are in, every point reaches the screen at once.
    if (scanPointsDone == 0 || (point.cornersDone && lastStopTest.elapsed() < scanTiming.stopTestIntervalMs))
        return false;
    ui->pushButton_Graph->setProgress(double(scanPointsDone) / scanTotalPoints);
    return stopTest();
}

bool MainWindow::stopTest()
{
    processPendingEvents();
    lastStopTest.restart();
    if (!property("stopscan").toBool())
        return false;
    // However slow the workbook, a stop waits no longer than the hard deadline.
    const qint64 elapsed = scanClock.elapsed();
    return elapsed >= scanTiming.hardDeadlineMs
           || (elapsed >= scanTiming.softDeadlineMs && scanPointsDone >= scanMinimumPoints);
}

void MainWindow::storePoint(const ScanPoint &point, const QList<double> &results)
{
    if (results.size() == scanReadWatches.size()) {
        for (qsizetype i = 0; i < scanReadWatches.size(); ++i)
            if (VRKExcelWatchView *watch = scanReadWatches[i])
                watch->data()->setValueAtOffsets(point.cells, results[i]);
    } else {
        qCDebug(lcApp) << "Incorrect returned values length" << results.size() << scanReadWatches.size();
    }
    ++scanPointsDone;
    emit scanPointEvaluated(scanPointsDone);
    if (point.passEnded && point.cornersDone && scanPointsDone > 2 && !firstPictureShown) {
        // The corners and the first pass are painted now, whatever the
        // watches' repaint throttle says.
        firstPictureShown = true;
        for (VRKExcelWatchView *watch : std::as_const(watchViews))
            if (isActive(watch))
                watch->update(true);
    }
    if (point.passEnded && scanPointsDone <= coarsePicturePoints)
        processPendingEvents();
}

void MainWindow::scanProgressDisplayTimerTimeout()
{
    const std::optional<QString> text =
        scanProgressText(progressPhase, scanPointsDone, scanTotalPoints, scanStartTime, QDateTime::currentDateTime());
    if (text)
        ui->pushButton_Graph->setText(*text);
    progressPhase = (progressPhase + 1) % 5;
}

void MainWindow::restoreScannedCells()
{
    QList<VRKExcelRange *> cells;
    QList<double> values;
    for (const ScanAxis &axis : std::as_const(scanAxes)) {
        VRKExcelCellSliderView *view = sliderViewOf(axis.cell);
        if (!view)
            continue;
        cells << axis.cell;
        values << view->slider()->value();
    }
    writeSliceCells(cells, values);
}

void MainWindow::writeSliceCells(const QList<VRKExcelRange *> &cells, const QList<double> &values)
{
    QList<VRKExcelRange *> read;
    QList<VRKExcelWatchView *> shown;
    for (VRKExcelWatchView *watch : std::as_const(watchViews)) {
        if (!isActive(watch) || !watch->cell())
            continue;
        read << watch->cell();
        shown << watch;
    }
    const QList<double> readings = setCellValuesGetCellValues(cells, values, read);
    if (readings.size() != shown.size())
        return;
    for (qsizetype i = 0; i < shown.size(); ++i)
        shown[i]->setCrossPointReading(readings[i]);
}

void MainWindow::keepSavedStateOf(const QList<ScannedCell> &before)
{
    if (before.size() != scanAxes.size())
        return;
    for (qsizetype i = 0; i < before.size(); ++i) {
        const QVariant now = scanAxes[i].cell->value();
        if (now.typeId() != before[i].value.typeId() || now != before[i].value)
            return;
    }
    for (const ScannedCell &cell : before)
        if (cell.workbook && cell.wasSaved)
            cell.workbook->setSaved(true);
}

void MainWindow::endSliceDisplay()
{
    // The cells already hold the sliders' values: the scan gave them back
    // and every slice move writes its own.
    if (scanAxes.isEmpty())
        return;
    for (VRKExcelWatchView *watch : std::as_const(watchViews))
        watch->setCrossPointReading(std::nullopt);
    for (VRKExcelCellSliderView *view : std::as_const(sliderViews)) {
        view->watch()->setProperty("overlayimage", QString());
        view->watch()->update();
        view->setActive(true);
    }
    scanAxes.clear();
}

// ---- slices of the stored result --------------------------------------------------------

void MainWindow::sliceDisplay()
{
    const int shown = int(std::min(scanAxes.size(), selectedSliderViews.size()));
    QList<int> selection;
    int free = 0;
    for (const ScanAxis &axis : std::as_const(scanAxes)) {
        VRKExcelCellSliderView *view = sliderViewOf(axis.cell);
        if (view && view->isSelected() && free < 2) {
            selection << -1;
            ++free;
            continue;
        }
        selection << (view ? axis.nearestIndex(view->slider()->value()) : 0);
    }
    for (VRKExcelWatchView *watch : std::as_const(watchViews)) {
        if (!isActive(watch))
            continue;
        DataExtractionSettings extraction = watch->data()->dataExtractionSettings();
        extraction.selection = selection;
        watch->data()->setDataExtractionSettings(extraction);
        watch->update();
    }
    // The cross-hair marks where the free sliders stand (the split point is
    // measured from the axes' ends, as the sliders are).
    QPointF split(0.5, 0.5);
    int axis = 0;
    for (const ScanAxis &scanned : std::as_const(scanAxes)) {
        VRKExcelCellSliderView *view = sliderViewOf(scanned.cell);
        if (!view || !view->isSelected() || axis >= 2)
            continue;
        (axis++ == 0 ? split.rx() : split.ry()) = scanned.fractionOf(view->slider()->value());
    }
    placingCrossHair = true;
    for (VRKExcelWatchView *watch : std::as_const(watchViews))
        if (isActive(watch))
            watch->setSplitPoint(split);
    placingCrossHair = false;
    markScannedSliders(free > 0, shown);
}

void MainWindow::markScannedSliders(bool someAxisFree, int shownAxes)
{
    QList<std::pair<VRKExcelCellSliderView *, QString>> marks;
    if (someAxisFree) {
        int free = 0;
        for (const ScanAxis &axis : std::as_const(scanAxes)) {
            VRKExcelCellSliderView *view = sliderViewOf(axis.cell);
            if (!view)
                continue;
            const bool isFree = view->isSelected() && free < 2;
            QString image;
            if (isFree)
                image = shownAxes == 1 ? QStringLiteral(":resources/slider_xz_x.png")
                                       : QStringLiteral(":resources/slider_xyz_%1.png").arg(free == 0 ? 'x' : 'y');
            else
                image = shownAxes < 2 ? QStringLiteral(":resources/slider_xz_z.png")
                                      : QStringLiteral(":resources/slider_xyz_z.png");
            free += isFree ? 1 : 0;
            marks.append({view, image});
        }
    } else {
        const char *const xyz[] = {"x", "y", "z"};
        for (int i = 0; i < selectedSliderViews.size(); ++i) {
            const QString image = selectedSliderViews.size() == 1
                                      ? QStringLiteral(":resources/slider_xz_x.png")
                                      : QStringLiteral(":resources/slider_xyz_%1.png").arg(QLatin1String(xyz[std::min(i, 2)]));
            marks.append({selectedSliderViews[i], image});
        }
    }
    for (VRKExcelCellSliderView *view : std::as_const(sliderViews)) {
        QString image;
        for (const auto &[marked, path] : std::as_const(marks))
            if (marked == view)
                image = path;
        view->setActive(image.isEmpty());
        view->watch()->setProperty("overlayimage", image);
        view->watch()->data()->resetValues();
        view->watch()->update();
    }
}
