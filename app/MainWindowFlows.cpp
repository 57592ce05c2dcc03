// The main window's sliders and watches: creating them from the
// spreadsheet's selection, the road of a slider move, selection, settings,
// watch coordination and removal.
#include "MainWindow.h"
#include "AppLogging.h"

#include "ExcelAddressBlock.h"
#include "ExcelAttachment.h"
#include "CachedImageLoader.h"
#include "FormHandler.h"
#include "MinMaxMultiDimData.h"
#include "SettingsFiles.h"
#include "SliderSettingsFile.h"
#include "SliderSettingsForm.h"
#include "VRKExcelCellSliderView.h"
#include "VRKExcelObjects.h"
#include "VRKExcelWatchScale.h"
#include "VRKExcelWatchView.h"
#include "VRKSlider.h"
#include "WatchExport.h"
#include "WatchWindow.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QGraphicsColorizeEffect>
#include <QDebug>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace {

// More slider views than this refuse further cells (so 21 can exist).
constexpr int sliderThreshold = 20;
constexpr unsigned liveDisplayFlags = 3087;
constexpr int scaleWidth = 46;
// How long a view asked for again lights up.
constexpr int flashMilliseconds = 700;

} // namespace

bool MainWindow::isScanning() const
{
    return property("scanning").toBool();
}

// ---- creation flows ------------------------------------------------------------

void MainWindow::on_pushButton_newSlider_clicked()
{
    QPushButton *button = ui->pushButton_newSlider;
    button->setFlat(false);
    button->setCheckable(true);
    button->setChecked(true);
    button->repaint();
    runCreationFlow(true);
    button->setChecked(false);
    button->setCheckable(false);
    button->setFlat(true);
}

void MainWindow::pressNewSliders()
{
    if (ui->pushButton_newSlider->isEnabled())
        on_pushButton_newSlider_clicked();
}

void MainWindow::on_pushButton_newWatch_clicked()
{
    runCreationFlow(false);
}

void MainWindow::runCreationFlow(bool sliderMode)
{
    ExcelAttachment attachment(excelApplications, this);
    attachment.attachToFrontExcel();
    if (excelApplications.isEmpty() || !excelApplications.first()->activeWorkbook(false)) {
        attachment.offerToOpenExcel();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    VRKExcelApplication *application = excelApplications.first();
    creationWorkbook = application->activeWorkbook(false)->name();
    VRKExcelWindow *window = application->activeWindow(false);
    VRKExcelSheet *sheet = window ? window->activeSheet(false) : nullptr;
    creationSheet = sheet ? sheet->name() : QString();
    cellAccepted = false;
    const QString addresses = window ? window->filteredSelection(!sliderMode) : QString();

    auto *block = new ExcelAddressBlock;
    if (sliderMode)
        connect(block, &ExcelAddressBlock::rangeIterated, this, &MainWindow::rangeIteratedForSlider);
    else
        connect(block, &ExcelAddressBlock::rangeIterated, this, &MainWindow::rangeIteratedForWatch);
    block->setAddress(addresses);
    if (!cellAccepted) {
        QApplication::restoreOverrideCursor();
        showNoCellWarning(sliderMode);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    delete block;
    refreshButtonStates();
    QApplication::restoreOverrideCursor();
}

void MainWindow::showNoCellWarning(bool sliderMode)
{
    const QString application = ExcelAttachment::applicationName();
    const QString title = sliderMode ? QStringLiteral("No new slider.") : QStringLiteral("No new watch.");
    const QString text =
        sliderMode
            ? QStringLiteral("Please select a cell with a numeric value in %1 which is not the result of a formula.")
                  .arg(application)
            : QStringLiteral("Please select a cell with a numeric formula in %1.").arg(application);
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.exec();
}

VRKExcelRange *MainWindow::lookUpCell(const QString &address)
{
    if (excelApplications.isEmpty())
        return nullptr;
    VRKExcelWorkbook *book = excelApplications.first()->workbooks()->item(creationWorkbook, true);
    VRKExcelWorksheet *sheet = book ? book->worksheets()->item(creationSheet, true) : nullptr;
    return sheet ? sheet->range(address, true) : nullptr;
}

QString MainWindow::captionOf(VRKExcelRange *range)
{
    QStringList labels = range->findLabels();
    while (!labels.isEmpty() && labels.last().isEmpty())
        labels.removeLast();
    // An unlabelled cell is known by its address, in its title and its settings.
    return labels.isEmpty() ? range->address() : labels.join(QLatin1Char('\n'));
}

namespace {

// Whether a view already drives the cell at `address` of that workbook and sheet.
bool drivesCell(VRKExcelRange *range, const QString &address, const QString &workbook, const QString &sheet)
{
    if (!range || range->address() != address)
        return false;
    VRKExcelSheet *rangeSheet = range->worksheet(false);
    VRKExcelWorkbook *rangeBook = rangeSheet ? rangeSheet->workbook() : nullptr;
    return rangeSheet && rangeBook && rangeSheet->name() == sheet && rangeBook->name() == workbook;
}

} // namespace

VRKExcelRange *MainWindow::newCellOf(ExcelAddressBlock *block, const QList<VRKExcelRange *> &taken,
                                     const QList<QWidget *> &views, const char *kind)
{
    if (!block || !block->isValid() || !block->isSingleCell())
        return nullptr;
    cellAccepted = true;
    const QString address = ExcelAddressBlock::cellName(block->startRow(), block->startColumn());
    for (qsizetype i = 0; i < taken.size(); ++i) {
        if (drivesCell(taken[i], address, creationWorkbook, creationSheet)) {
            qCDebug(lcApp).noquote() << kind << QStringLiteral("for \"%1\"").arg(address) << "already exists. Skipping...";
            showAgain(views.value(i));
            return nullptr;
        }
    }
    return lookUpCell(address);
}

void MainWindow::showAgain(QWidget *view)
{
    if (!view)
        return;
    // The user asked for it again: show where it already is.
    if (watchWindow && watchWindow->isAncestorOf(view)) {
        watchWindow->show();
        watchWindow->raise();
        watchWindow->ensureVisible(view);
    }
    auto *flash = new QGraphicsColorizeEffect(view);
    flash->setColor(QColor(255, 200, 0));
    view->setGraphicsEffect(flash);
    QTimer::singleShot(flashMilliseconds, flash, [view, flash] {
        if (view->graphicsEffect() == flash)
            view->setGraphicsEffect(nullptr);
    });
}

void MainWindow::rangeIteratedForSlider(ExcelAddressBlock *block)
{
    if (sliderViews.size() > sliderThreshold) {
        qCDebug(lcApp) << "Skipping, too many sliders...";
        return;
    }
    QList<VRKExcelRange *> taken;
    QList<QWidget *> views;
    for (VRKExcelCellSliderView *view : std::as_const(sliderViews)) {
        taken << view->range();
        views << view;
    }
    VRKExcelRange *range = newCellOf(block, taken, views, "Slider");
    if (!range)
        return;
    const QVariant value = range->value();
    bool numeric = false;
    value.toDouble(&numeric);
    if (!numeric || value.toString().toLower() == QLatin1String("nan"))
        return;

    auto *view = new VRKExcelCellSliderView(this);
    view->setRange(range);
    const QString caption = captionOf(range);
    view->watch()->setName(caption);
    view->addressLabel()->setText(range->address());
    loadSliderSettings(view);
    view->setActive(true);
    view->watch()->removeDisplayFlags(VRKExcelWatchView::TexturedTitle);
    view->watch()->setTitleHeight(caption.contains(QLatin1Char('\n')) ? 30 : 24);
    connectSliderView(view);
    watchCellsOf(range);
    describeCell(view, range, caption);
    sliderViews.append(view);
    ui->horizontalLayout->insertWidget(ui->horizontalLayout->count() - 1, view);
}

void MainWindow::connectSliderView(VRKExcelCellSliderView *view)
{
    connect(view, &VRKExcelCellSliderView::valueChanged, this, &MainWindow::rangeValueChanged);
    connect(view, &VRKExcelCellSliderView::selectedChanged, this, &MainWindow::sliderSelectedChanged);
    connect(view, &VRKExcelCellSliderView::buttonSettingsClicked, this, &MainWindow::sliderButtonSettingsClicked);
    connect(view, &VRKExcelCellSliderView::buttonScan1DClicked, this, &MainWindow::sliderButtonScan1DClicked);
    connect(view, &VRKExcelCellSliderView::closeRequest, this, &MainWindow::sliderCloseRequest);
    connect(view, &QObject::destroyed, this, &MainWindow::removeObjectFromLists);
    connect(view->watch(), &VRKExcelWatchView::afterPaint, this, &MainWindow::watchAfterPaint);
    connect(view, &VRKExcelCellSliderView::configChanged, this, &MainWindow::sliderViewSliderConfigChanged);
    connect(view->slider(), &QAbstractSlider::sliderPressed, this, &MainWindow::enableWatchCanUseFastDraw);
    connect(view->slider(), &QAbstractSlider::sliderReleased, this, &MainWindow::disableWatchCanUseFastDraw);
}

void MainWindow::watchCellsOf(VRKExcelRange *range)
{
    // User edits on the cell's sheet reach every slider and watch.
    if (VRKExcelSheet *sheet = range->worksheet(false)) {
        connect(sheet, &VRKExcelSheet::rangeChanged, this, &MainWindow::rangeChanged, Qt::UniqueConnection);
        connect(sheet, &VRKExcelSheet::cellsMoved, this, &MainWindow::cellsMoved, Qt::UniqueConnection);
    }
}

void MainWindow::describeCell(QWidget *view, VRKExcelRange *range, const QString &caption)
{
    // The caption whole, where the title had to shorten it; and, with several
    // workbooks open, whose cell this is.
    view->setToolTip(QStringLiteral("%1\n%2 - %3!%4")
                         .arg(QString(caption).replace(QLatin1Char('\n'), QLatin1Char(' ')), creationWorkbook,
                              creationSheet, range->address()));
}

void MainWindow::rangeIteratedForWatch(ExcelAddressBlock *block)
{
    QList<VRKExcelRange *> taken;
    QList<QWidget *> views;
    for (VRKExcelWatchView *watch : std::as_const(watchViews)) {
        taken << watch->cell();
        views << watch;
    }
    VRKExcelRange *range = newCellOf(block, taken, views, "Watch");
    if (!range)
        return;
    newWatchWindow();

    auto *container = new QWidget;
    auto *row = new QHBoxLayout(container);
    row->setContentsMargins(0, 0, 0, 0);
    auto *watch = new VRKExcelWatchView(container);
    row->addWidget(watch);
    auto *scale = new VRKExcelWatchScale(container);
    scale->setFixedWidth(scaleWidth);
    scale->hide();
    row->addWidget(scale, 0, Qt::AlignTop);
    row->addStretch(1); // the legend stays beside its map
    watch->setScale(scale);
    watch->setCell(range);
    watch->setName(captionOf(range));
    watch->setButtons({
        WatchButton{QStringLiteral("close"), QStringLiteral(":resources/watchbuttonhide.png")},
        WatchButton{QStringLiteral("remove"), QStringLiteral(":resources/watchbuttonremove.png")},
        WatchButton{QStringLiteral("exportimage"), QStringLiteral(":resources/watchbuttonexportimage.png")},
        WatchButton{QStringLiteral("exportdata"), QStringLiteral(":resources/watchbuttonexportdata.png")},
    });
    watchCellsOf(range);
    describeCell(watch, range, watch->name());
    // A new watch shows its cell's value at once.
    prepareForLiveReading(watch);
    const QList<double> now = setCellValuesGetCellValues({}, {}, {range});
    if (!now.isEmpty())
        watch->data()->appendValue(now.first());
    fixWatchSize(watch);
    linkWatch(watch);
    connect(watch, &VRKExcelWatchView::closeRequest, this, &MainWindow::watchCloseRequest);
    connect(watch, &VRKExcelWatchView::buttonClicked, this, &MainWindow::watchButtonClicked);
    connect(watch, &VRKExcelWatchView::afterPaint, this, &MainWindow::watchAfterPaint);
    connect(watch, &VRKExcelWatchView::splitChanged, this, &MainWindow::watchSplitChanged);
    connect(watch, &VRKExcelWatchView::mousePressed, this, &MainWindow::watchMousePressed);
    connect(watch, &VRKExcelWatchView::mouseReleased, this, &MainWindow::watchMouseReleased);
    connect(watch, &VRKExcelWatchView::mouseZoomChanging, this, &MainWindow::watchZoomEvent);
    connect(watch, &QObject::destroyed, this, &MainWindow::removeObjectFromLists);
    watchViews.append(watch);
    watchWindow->insertContainer(container);
    watchWindow->addWatch(watch);
    watchWindow->show();
    watchWindow->raise();
}

void MainWindow::newWatchWindow()
{
    if (watchWindow)
        return;
    watchWindow = new WatchWindow(this);
    watchWindow->setWindowFlag(Qt::Window);
    // Floating above the spreadsheet with the main window, or it would open behind it.
    watchWindow->setWindowFlag(Qt::WindowStaysOnTopHint, windowFlags() & Qt::WindowStaysOnTopHint);
    watchWindow->setWindowTitle(QStringLiteral("Tarvio Watches"));
    watchWindow->setProperty("windowtitle", watchWindow->windowTitle());
    watchWindow->setProperty("closebutton", true);
    formHandler->attach(watchWindow);
    connect(watchWindow, &WatchWindow::newWatchSize, this, &MainWindow::watchWindowNewWatchSize);
    connect(watchWindow, &WatchWindow::watchesEmptied, watchWindow, &QWidget::hide);
    connect(watchWindow, &WatchWindow::newWatchesRequested, this, &MainWindow::on_pushButton_newWatch_clicked);
    // Beside the main window, to its right when there is room, else to its
    // left; bottoms aligned, tall enough for a few watches.
    const QRect main = frameGeometry();
    QRect place(QPoint(), QSize(watchWindow->width(), std::max(watchWindow->height(), 720)));
    place.moveBottomLeft(main.bottomRight() + QPoint(8, 0));
    if (QScreen *screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        if (place.right() > available.right())
            place.moveRight(main.left() - 8);
        place.moveLeft(std::max(place.left(), available.left()));
        if (place.top() < available.top() + 20)
            place.setTop(available.top() + 20);
    }
    watchWindow->setGeometry(place);
    // Where the user left it last time, if that is still on a screen.
    watchWindow->restoreGeometry(SettingsFiles::windowGeometry(watchWindowName));
    watchWindow->checkPosition();
}

void MainWindow::fixWatchSize(VRKExcelWatchView *watch)
{
    const int title = (watch->displayFlags() & VRKExcelWatchView::TexturedTitle) ? watch->titleHeight() : 0;
    const QSize size(watchGraphSize + watch->extraWidth(), watchGraphSize + watch->extraHeight() + title);
    watch->setMinimumSize(size);
    watch->setMaximumSize(size);
}

void MainWindow::linkWatch(VRKExcelWatchView *watch)
{
    MinMaxMultiDimData *data = watch->data();
    for (VRKExcelWatchView *other : std::as_const(watchViews)) {
        if (other == watch)
            continue;
        connect(watch, &VRKExcelWatchView::splitChanged, other, &VRKExcelWatchView::setSplitPoint);
        connect(other, &VRKExcelWatchView::splitChanged, watch, &VRKExcelWatchView::setSplitPoint);
        MinMaxMultiDimData *otherData = other->data();
        for (auto [from, to] : {std::pair{data, otherData}, std::pair{otherData, data}}) {
            connect(from, &MinMaxMultiDimData::perspectiveChanged, to, &MinMaxMultiDimData::setPerspectiveSettings);
            connect(from, &MinMaxMultiDimData::drawSettings2DChanged, to, &MinMaxMultiDimData::setDrawSettings2D);
            connect(from, &MinMaxMultiDimData::drawSettings3DFlatChanged, to,
                    &MinMaxMultiDimData::setDrawSettings3DFlat);
            connect(from, &MinMaxMultiDimData::drawSettings3DCubeChanged, to,
                    &MinMaxMultiDimData::setDrawSettings3DCube);
        }
    }
}

// ---- settings of a slider ------------------------------------------------------------

namespace {

struct SliderIdentity
{
    QString workbook;
    QString sheet;
    QString caption;
};

SliderIdentity identityOf(VRKExcelCellSliderView *view)
{
    VRKExcelSheet *sheet = view->range() ? view->range()->worksheet(false) : nullptr;
    VRKExcelWorkbook *book = sheet ? sheet->workbook() : nullptr;
    return {book ? book->name() : QString(), sheet ? sheet->name() : QString(), view->watch()->name()};
}

} // namespace

void MainWindow::loadSliderSettings(VRKExcelCellSliderView *view)
{
    VRKSlider *slider = view->slider();
    const SliderIdentity id = identityOf(view);
    const SliderRange current{slider->minValue(), slider->maxValue(), slider->stepValue()};
    const std::optional<SliderRange> stored =
        SliderSettingsFile(SettingsFiles::sliderSettingsPath()).load(id.workbook, id.sheet, id.caption, current);
    const double x = slider->value();
    if (!stored || !SliderSettingsFile::applies(*stored, x))
        return;
    const QSignalBlocker viewBlocker(view);
    {
        const QSignalBlocker sliderBlocker(slider);
        slider->setConfig(stored->min, stored->max, stored->step);
    }
    view->watch()->data()->setMinMax(stored->min, stored->max);
    slider->setValueQuietly(x);
}

void MainWindow::saveSliderSettings(VRKExcelCellSliderView *view)
{
    const SliderIdentity id = identityOf(view);
    const VRKSlider *slider = view->slider();
    SliderSettingsFile(SettingsFiles::sliderSettingsPath())
        .save(id.workbook, id.sheet, id.caption, SliderRange{slider->minValue(), slider->maxValue(), slider->stepValue()});
}

void MainWindow::sliderButtonSettingsClicked()
{
    if (auto *view = qobject_cast<VRKExcelCellSliderView *>(sender()))
        openSliderSettings(view);
}

void MainWindow::openSliderSettings(VRKExcelCellSliderView *view)
{
    if (isScanning())
        return;
    QPoint topLeft = view->mapToGlobal(QPoint(view->width() + 10, -20));
    if (QScreen *screen = view->screen()) {
        const int right = screen->availableGeometry().right();
        if (topLeft.x() + sliderSettingsForm->width() - 1 > right)
            topLeft.setX(right - sliderSettingsForm->width() + 1);
    }
    sliderSettingsForm->hide();
    sliderSettingsForm->move(topLeft);
    sliderSettingsForm->editSlider(view);
}

void MainWindow::sliderSettingsFormClosed(bool validated)
{
    VRKExcelCellSliderView *view = sliderSettingsForm->editedSlider();
    if (validated && view && sliderViews.contains(view))
        saveSliderSettings(view);
}

void MainWindow::sliderViewSliderConfigChanged()
{
    auto *view = qobject_cast<VRKExcelCellSliderView *>(sender());
    if (!view || !view->range() || view->isCellClosed())
        return;
    const VRKSlider *slider = view->slider();
    const int axis = scanAxisIndexOf(view->range());
    if (axis >= 0
        && (scanAxes[axis].minimum != slider->minValue() || scanAxes[axis].maximum != slider->maxValue())) {
        // The stored result no longer covers the slider's range.
        endSliceDisplay();
        for (VRKExcelWatchView *watch : std::as_const(watchViews))
            if (!watch->property("inactive").toBool())
                watch->data()->clear();
    }
    if (!scanAxes.isEmpty()) {
        sliceDisplay();
        writeSliceCells({view->range()}, {slider->value()});
        return;
    }
    exchangeAndFollow({view->range()}, {slider->value()});
}

// ---- the road of a slider move -----------------------------------------------------------

int MainWindow::scanAxisIndexOf(const VRKExcelRange *range) const
{
    for (int i = 0; i < scanAxes.size(); ++i)
        if (range && scanAxes[i].cell == range)
            return i;
    return -1;
}

VRKExcelCellSliderView *MainWindow::sliderViewOf(const VRKExcelRange *range) const
{
    for (VRKExcelCellSliderView *view : sliderViews)
        if (range && view->range() == range)
            return view;
    return nullptr;
}

namespace {

// One axis with no label and no span, every sample free: what a live history
// is laid over.
bool holdsLiveHistory(const MinMaxMultiDimData &data)
{
    const QList<Dimension> &dimensions = data.dimensions();
    return data.graphDepth() == 2 && dimensions.size() == 1 && dimensions.first().label.isEmpty()
           && dimensions.first().first == 0 && dimensions.first().second == 0;
}

} // namespace

void MainWindow::prepareForLiveReading(VRKExcelWatchView *watch)
{
    MinMaxMultiDimData *data = watch->data();
    // A store that holds no live history (a scan's result, or nothing yet)
    // starts one, with the history's look and range, whatever is selected.
    if (!data->displayAsScan()) {
        watch->setDisplayFlags(liveDisplayFlags);
        data->resetValues();
    }
    // A scan's grid, even one cut to a curve, cannot take appended samples.
    if (!holdsLiveHistory(*data)) {
        data->setDimensions({Dimension{}});
        DataExtractionSettings extraction = data->dataExtractionSettings();
        extraction.selection = {-1};
        data->setDataExtractionSettings(extraction);
    }
    watch->update();
}

void MainWindow::rangeValueChanged(VRKExcelRange *range, qreal value, bool &handled)
{
    handled = true;
    auto *moved = qobject_cast<VRKExcelCellSliderView *>(sender());
    lastMovedSliderView = moved;
    const bool scanAxis = scanAxisIndexOf(range) >= 0;
    // Where no reading follows, the cell still takes the slider's value, so
    // the workbook always holds what the sliders show.
    const auto writeOnly = [range, value] {
        if (range)
            setCellValuesGetCellValues({range}, {double(value)}, {});
    };
    if (isScanning() && !scanAxis) {
        writeOnly();
        setProperty("restartscan", true);
        setProperty("stopscan", true);
        return;
    }
    if (scanAxis && !selectedSliderViews.isEmpty()) {
        // Slices exist at the scan's grid points only: the slider moves in
        // the scan's steps, and the picture comes from the stored result.
        const ScanAxis &axis = scanAxes[scanAxisIndexOf(range)];
        const double onGrid = axis.valueAt(axis.nearestIndex(value));
        if (moved && onGrid != value)
            moved->showCellValue(onGrid);
        sliceDisplay();
        writeSliceCells({range}, {onGrid});
        return;
    }
    endSliceDisplay();
    if (!selectedSliderViews.isEmpty() && !selectedSliderViews.contains(moved)) {
        writeOnly();
        if (!graphTimer->isActive())
            graphTimer->start();
        return;
    }
    if (range)
        exchangeAndFollow({range}, {double(value)});
}

void MainWindow::exchangeAndFollow(const QList<VRKExcelRange *> &write, const QList<double> &values)
{
    markClosedWorkbooks();
    QList<VRKExcelRange *> read;
    QList<VRKExcelCellSliderView *> written, others;
    for (VRKExcelCellSliderView *view : std::as_const(sliderViews)) {
        if (!view->range() || view->isCellClosed())
            continue;
        if (write.contains(view->range())) {
            written << view;
            continue;
        }
        others << view;
        read << view->range();
    }
    QList<VRKExcelWatchView *> live;
    for (VRKExcelWatchView *watch : std::as_const(watchViews)) {
        if (watch->property("inactive").toBool() || !watch->cell())
            continue;
        prepareForLiveReading(watch);
        live << watch;
        read << watch->cell();
    }
    const QList<double> results = setCellValuesGetCellValues(write, values, read);
    if (results.size() != read.size()) {
        qCDebug(lcApp) << "Incorrect returned values length" << results.size() << read.size();
        return;
    }
    for (VRKExcelCellSliderView *view : std::as_const(written))
        view->watch()->data()->appendValue(view->slider()->value());
    qsizetype i = 0;
    for (VRKExcelCellSliderView *view : std::as_const(others)) {
        const double cellValue = results[i++];
        view->watch()->data()->appendValue(cellValue);
        view->showCellValue(cellValue);
    }
    for (VRKExcelWatchView *watch : std::as_const(live))
        watch->data()->appendValue(results[i++]);
}

bool MainWindow::slidersMatchTheirCells()
{
    QList<VRKExcelRange *> read;
    QList<VRKExcelCellSliderView *> views;
    for (VRKExcelCellSliderView *view : std::as_const(sliderViews)) {
        if (!view->range() || view->isCellClosed())
            continue;
        views << view;
        read << view->range();
    }
    const QList<double> cells = setCellValuesGetCellValues({}, {}, read);
    if (cells.size() != views.size())
        return false;
    for (qsizetype i = 0; i < views.size(); ++i) {
        const VRKSlider *slider = views[i]->slider();
        // Cells are read in single precision; within half a step the slider shows the same.
        const double tolerance = std::max(slider->stepValue() / 2, std::abs(slider->value()) * 1e-6);
        if (!(std::abs(cells[i] - slider->value()) <= tolerance))
            return false;
    }
    return true;
}

void MainWindow::refreshFromCells()
{
    if (isScanning())
        return;
    markClosedWorkbooks();
    // Slices stay while the workbook still holds what the sliders show;
    // otherwise the stored result no longer describes it.
    if (!scanAxes.isEmpty() && slidersMatchTheirCells())
        return;
    endSliceDisplay();
    exchangeAndFollow({}, {});
}

void MainWindow::rangeChanged(VRKExcelRange *)
{
    // The user edited the workbook: whatever the edit touched shows now.
    if (isScanning())
        return;
    endSliceDisplay();
    exchangeAndFollow({}, {});
}

void MainWindow::cellsMoved()
{
    // A cell deleted reads as nothing, as a closed workbook's does.
    markUnavailableCells(QStringLiteral("cell deleted"));
    for (VRKExcelCellSliderView *view : std::as_const(sliderViews)) {
        if (view->isCellClosed() || !view->range())
            continue;
        view->addressLabel()->setText(view->range()->address());
        describeCell(view, view->range(), view->watch()->name());
    }
    for (VRKExcelWatchView *watch : std::as_const(watchViews))
        if (!watch->isCellClosed() && watch->cell())
            describeCell(watch, watch->cell(), watch->name());
}

void MainWindow::markClosedWorkbooks()
{
    markUnavailableCells(QStringLiteral("workbook closed"));
}

void MainWindow::markUnavailableCells(const QString &reason)
{
    for (VRKExcelCellSliderView *view : std::as_const(sliderViews))
        if (!view->isCellClosed() && view->range() && !view->range()->isAvailable())
            view->markCellClosed(reason);
    for (VRKExcelWatchView *watch : std::as_const(watchViews))
        if (!watch->isCellClosed() && watch->cell() && !watch->cell()->isAvailable())
            watch->markCellClosed(reason);
}

// ---- selection and buttons ------------------------------------------------------------------

void MainWindow::sliderSelectedChanged()
{
    auto *view = qobject_cast<VRKExcelCellSliderView *>(sender());
    if (!view)
        return;
    selectedSliderViews.removeAll(view);
    if (view->isSelected())
        selectedSliderViews.append(view);
    refreshButtonStates();
}

void MainWindow::refreshButtonStates()
{
    const bool scanning = isScanning();
    ui->pushButton_newSlider->setEnabled(!scanning);
    ui->pushButton_newWatch->setEnabled(!scanning);
    const bool graph = !watchViews.isEmpty() && !selectedSliderViews.isEmpty();
    ui->pushButton_Graph->setEnabled(graph);
    if (scanning)
        ui->pushButton_Graph->setText(QStringLiteral("Stop Scan"));
    else if (selectedSliderViews.size() < 2)
        ui->pushButton_Graph->setText(QStringLiteral("Graph"));
    else
        ui->pushButton_Graph->setText(QStringLiteral("%1D Graph").arg(selectedSliderViews.size() + 1));
    ui->horizontalSlider_scanZoom->setEnabled(graph);
    ui->pushButton_DeleteAll->setEnabled(!scanning && (!watchViews.isEmpty() || !sliderViews.isEmpty()));
}

// ---- watches -----------------------------------------------------------------------------------

void MainWindow::changeFastDraw(bool allowed, QObject *except)
{
    const double factor = 1.5 * watchViews.size();
    for (VRKExcelWatchView *watch : std::as_const(watchViews)) {
        watch->setCanUseFastDraw(allowed);
        if (watch == except)
            continue;
        double repaint = allowed ? watch->repaintFactor() * factor : watch->repaintFactor() / factor;
        if (!(repaint > 0) || !std::isfinite(repaint))
            repaint = 1.1;
        watch->setRepaintFactor(repaint);
    }
}

void MainWindow::setCanUseFastDraw()
{
    changeFastDraw(true, sender());
}

void MainWindow::cancelCanUseFastDraw()
{
    changeFastDraw(false, sender());
}

// Every watch lives in the watch window, which serves its own sliders the same way.
void MainWindow::enableWatchCanUseFastDraw()
{
    if (watchWindow)
        watchWindow->enableWatchCanUseFastDraw();
}

void MainWindow::disableWatchCanUseFastDraw()
{
    if (watchWindow)
        watchWindow->disableWatchCanUseFastDraw();
}

void MainWindow::watchMousePressed(QMouseEvent *)
{
    setCanUseFastDraw();
}

void MainWindow::watchMouseReleased(QMouseEvent *)
{
    cancelCanUseFastDraw();
}

void MainWindow::watchZoomEvent()
{
    // The cancel spares the same watch the start spared, so its factor is
    // where it was once the zoom is over.
    QPointer<QObject> zoomed = sender();
    changeFastDraw(true, zoomed);
    QTimer::singleShot(1000, this, [this, zoomed] { changeFastDraw(false, zoomed); });
}

void MainWindow::watchWindowNewWatchSize(int value)
{
    const int size = 2 * value + 50;
    if (size == watchGraphSize)
        return;
    watchGraphSize = size;
    for (VRKExcelWatchView *watch : std::as_const(watchViews))
        fixWatchSize(watch);
}

void MainWindow::watchButtonClicked(QString name)
{
    auto *watch = qobject_cast<VRKExcelWatchView *>(sender());
    if (!watch)
        return;
    if (name == QLatin1String("close")) {
        watch->hideButtons();
    } else if (name == QLatin1String("remove")) {
        emit watch->closeRequest();
    } else if (name == QLatin1String("exportimage")) {
        QApplication::clipboard()->setImage(WatchExport::picture(*watch));
    } else if (name == QLatin1String("exportdata")) {
        watch->hideButtons();
        const QString text = WatchExport::samplesText(*watch);
        if (!text.isEmpty())
            QApplication::clipboard()->setText(text);
    }
}

void MainWindow::watchAfterPaint(QPainter &painter)
{
    auto *watch = qobject_cast<VRKExcelWatchView *>(sender());
    if (!watch)
        return;
    const QString path = watch->property("overlayimage").toString();
    if (path.isEmpty())
        return;
    const QImage image = CachedImageLoader::image(path);
    if (image.isNull())
        return;
    const QRect contents = watch->contentsRect();
    const QPoint imageCentre = image.rect().center();
    painter.drawImage(QPoint(contents.center().x() - imageCentre.x(),
                             contents.bottom() - image.height() / 2 - imageCentre.y() - 4),
                      image);
}

void MainWindow::watchSplitChanged()
{
    auto *watch = qobject_cast<VRKExcelWatchView *>(sender());
    // A cross-hair put where the sliders stand moves no slider.
    if (!watch || placingCrossHair)
        return;
    for (VRKExcelWatchView *other : std::as_const(watchViews))
        if (other != watch && !other->property("inactive").toBool())
            other->setSplitPoint(watch->splitPoint());
    if (scanAxes.size() < 2)
        return;
    const QList<int> &selection = watch->data()->dataExtractionSettings().selection;
    QList<int> free;
    for (int i = 0; i < selection.size(); ++i)
        if (selection[i] == -1)
            free << i;
    if (free.size() != 2 || free[1] >= scanAxes.size())
        return;
    const double fractions[2] = {watch->splitPoint().x(), watch->splitPoint().y()};
    QList<VRKExcelRange *> cells;
    QList<double> values;
    for (int k = 0; k < 2; ++k) {
        const ScanAxis &axis = scanAxes[free[k]];
        VRKExcelCellSliderView *view = sliderViewOf(axis.cell);
        if (!view)
            continue;
        // The cross-hair picks a grid point; its slider and cell go there.
        const double onGrid = axis.valueAt(axis.indexAtFraction(fractions[k]));
        if (onGrid == view->slider()->value())
            continue;
        view->showCellValue(onGrid);
        cells << view->range();
        values << onGrid;
    }
    if (!cells.isEmpty())
        writeSliceCells(cells, values);
}

void MainWindow::autoPerformTasks() {}
void MainWindow::watchDataCreated() {}
void MainWindow::watchGraphDepthChanged() {}

// ---- removal ---------------------------------------------------------------------------------------

void MainWindow::sliderCloseRequest()
{
    if (isScanning())
        return;
    if (auto *view = qobject_cast<VRKExcelCellSliderView *>(sender()))
        view->deleteLater();
}

void MainWindow::watchCloseRequest()
{
    if (isScanning())
        return;
    if (auto *watch = qobject_cast<VRKExcelWatchView *>(sender()))
        watch->parentWidget()->deleteLater();
}

void MainWindow::removeObjectFromLists(QObject *object)
{
    const auto same = [object](QObject *entry) { return entry == object; };
    watchViews.removeIf(same);
    sliderViews.removeIf(same);
    selectedSliderViews.removeIf(same);
}

void MainWindow::on_pushButton_DeleteAll_clicked()
{
    endSliceDisplay();
    while (!watchViews.isEmpty()) {
        VRKExcelWatchView *watch = watchViews.first();
        delete watch->parentWidget();
        watchViews.removeAll(watch); // already gone through its destroyed signal
    }
    while (!sliderViews.isEmpty())
        delete sliderViews.first();
    selectedSliderViews.clear();
    refreshButtonStates();
}
