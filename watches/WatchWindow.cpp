#include "WatchWindow.h"

#include "MinMaxMultiDimData.h"
#include "VRKExcelWatchScale.h"
#include "VRKExcelWatchView.h"
#include "ui_WatchWindow.h"

#include <QScreen>
#include <QTimer>

WatchWindow::WatchWindow(QWidget *parent)
    : QWidget(parent), ui(new Ui::WatchWindow)
{
    ui->setupUi(this);
    QPalette transparent = ui->scrollArea->palette();
    transparent.setColor(QPalette::Window, Qt::transparent);
    ui->scrollArea->setPalette(transparent);
    ui->scrollArea->viewport()->setAutoFillBackground(false);
    ui->scrollAreaWidgetContents->setAutoFillBackground(false);

    targetWidth = 100;
    resizeTimer = new QTimer(this);
    resizeTimer->setInterval(200);
    connect(resizeTimer, &QTimer::timeout, this, [this] {
        resizeTimer->stop();
        doCheckResize();
    });
    for (QSlider *slider : {ui->horizontalSlider_watchSize, ui->horizontalSlider_watchGraphAlpha}) {
        connect(slider, &QSlider::sliderPressed, this, &WatchWindow::enableWatchCanUseFastDraw);
        connect(slider, &QSlider::sliderReleased, this, &WatchWindow::disableWatchCanUseFastDraw);
    }
    connect(ui->horizontalSlider_watchSize, &QSlider::sliderReleased, this, &WatchWindow::checkResize);
    connect(ui->checkBox_Flat3DGraph, &QCheckBox::toggled, this, &WatchWindow::checkWidgetDisplay);
    ui->checkBox_SmoothGraphs->hide();
    connect(ui->pushButton_newWatchWindow, &QPushButton::clicked, this, &WatchWindow::newWatchesRequested);
}

void WatchWindow::ensureVisible(QWidget *watch)
{
    ui->scrollArea->ensureWidgetVisible(watch);
}

WatchWindow::~WatchWindow()
{
    // Watches that outlive the form must not report into it.
    for (VRKExcelWatchView *watch : std::as_const(watches))
        disconnect(watch, nullptr, this, nullptr);
    delete ui;
}

void WatchWindow::addWatch(VRKExcelWatchView *watch)
{
    watches.append(watch);
    connect(watch, &QObject::destroyed, this, &WatchWindow::watchDestroyed);
    connect(watch, &VRKExcelWatchView::sizeChanged, this, &WatchWindow::checkResize);
    connect(watch->data(), &MinMaxMultiDimData::graphDepthChanged, watch, [this, watch] { showScaleOf(watch); });
    applyTransparency(watch);
    // A new watch draws as the window's boxes say.
    DrawSettings3DCube cube = watch->data()->drawSettings3DCube();
    cube.drawPoints = ui->checkBox_DrawPoints->isChecked();
    cube.useNormalAveraged = ui->checkBox_useNormalAveraged->isChecked();
    cube.useTriangleRects = ui->checkBox_useTriangleRects->isChecked();
    watch->data()->setDrawSettings3DCube(cube);
    watch->data()->setFlat3D(ui->checkBox_Flat3DGraph->isChecked());
    showScaleOf(watch);
}

void WatchWindow::showScaleOf(VRKExcelWatchView *watch)
{
    // A legend serves a flat map only, not a curve or a history.
    VRKExcelWatchScale *scale = watch->scale();
    const bool shown = ui->checkBox_Flat3DGraph->isChecked() && watch->data()->graphDepth() >= 4;
    if (!scale || scale->isVisibleTo(watch->parentWidget()) == shown)
        return;
    scale->setVisible(shown);
    // The window makes room for the legend, or gives it back.
    QMetaObject::invokeMethod(this, &WatchWindow::checkResize, Qt::QueuedConnection);
}

void WatchWindow::insertContainer(QWidget *container)
{
    // In front of the closing spacer, so the list stays at the top.
    ui->verticalLayout_2->insertWidget(ui->verticalLayout_2->count() - 1, container);
}

void WatchWindow::doCheckResize()
{
    if (targetWidth == width())
        return;
    setUpdatesEnabled(false);
    QRect target = geometry();
    target.setWidth(targetWidth);
    checkPosition(target);
    setUpdatesEnabled(true);
}

void WatchWindow::watchDestroyed(QObject *object)
{
    const bool listed = watches.removeAll(static_cast<VRKExcelWatchView *>(object)) > 0;
    if (listed && watches.isEmpty())
        emit watchesEmptied();
}

void WatchWindow::enableWatchCanUseFastDraw()
{
    for (VRKExcelWatchView *watch : std::as_const(watches))
        watch->setCanUseFastDraw(true);
}

void WatchWindow::disableWatchCanUseFastDraw()
{
    for (VRKExcelWatchView *watch : std::as_const(watches))
        watch->setCanUseFastDraw(false);
}

int WatchWindow::widthFor(VRKExcelWatchView *watch) const
{
    const int w = watch->width();
    if (watch->data()->graphDepth() != 4)
        return w + 60;
    // Room beside a surface for its cuts, when it has sub-watches to show them;
    // without, the room would stand empty and push the window over others.
    const bool cuts = watch->subWatchX() || watch->subWatchY();
    const int cutsWidth = cuts ? int((w - watch->subWatchSizeMargin()) / 1.8) : 0;
    const VRKExcelWatchScale *scale = watch->scale();
    return w + cutsWidth + (scale && scale->isVisibleTo(this) ? scale->width() : 0) + 60;
}

void WatchWindow::checkResize()
{
    auto *watch = qobject_cast<VRKExcelWatchView *>(sender());
    if (!watch && !watches.isEmpty())
        watch = watches.first();
    if (!watch)
        return;
    // The widest watch decides, so that none of a mixed list is cut off.
    targetWidth = widthFor(watch);
    for (VRKExcelWatchView *other : std::as_const(watches))
        targetWidth = std::max(targetWidth, widthFor(other));
    targetWidth = std::max(targetWidth, minimumWidth());
    resizeTimer->start();
}

void WatchWindow::checkPosition(QRect geometry)
{
    if (!geometry.isValid())
        geometry = this->geometry();
    if (QScreen *screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        if (geometry.bottom() > available.bottom())
            geometry.moveBottom(available.bottom() - 30);
        // A window grown wider stays on screen too.
        if (geometry.right() > available.right())
            geometry.moveRight(std::max(available.right(), available.left() + geometry.width() - 1));
        // Pushed over the window it belongs to, it goes to that window's other side
        // where there is room: neither hides the other's controls.
        const QWidget *owner = parentWidget();
        if (owner && owner->isVisible() && geometry.intersects(owner->frameGeometry())) {
            QRect beside = geometry;
            beside.moveRight(owner->frameGeometry().left() - 8);
            if (beside.left() >= available.left())
                geometry = beside;
        }
    }
    setGeometry(geometry);
}

void WatchWindow::checkPosition()
{
    checkPosition(QRect());
}

void WatchWindow::checkWidgetDisplay()
{
    const bool enabled = !ui->checkBox_Flat3DGraph->isChecked();
    ui->checkBox_DrawPoints->setEnabled(enabled);
    ui->horizontalSlider_watchGraphAlpha->setEnabled(enabled);
    ui->label_Transparency->setEnabled(enabled);
}

void WatchWindow::on_horizontalSlider_watchSize_valueChanged(int value)
{
    emit newWatchSize(value);
}

template <typename Change>
void WatchWindow::changeCubeSettings(Change change)
{
    for (VRKExcelWatchView *watch : std::as_const(watches)) {
        DrawSettings3DCube cube = watch->data()->drawSettings3DCube();
        change(cube);
        watch->data()->setDrawSettings3DCube(cube);
        watch->update(true);
    }
}

void WatchWindow::on_checkBox_useTriangleRects_toggled(bool checked)
{
    changeCubeSettings([checked](DrawSettings3DCube &cube) { cube.useTriangleRects = checked; });
}

void WatchWindow::on_checkBox_useNormalAveraged_toggled(bool checked)
{
    changeCubeSettings([checked](DrawSettings3DCube &cube) { cube.useNormalAveraged = checked; });
}

void WatchWindow::on_checkBox_DrawPoints_toggled(bool checked)
{
    changeCubeSettings([checked](DrawSettings3DCube &cube) { cube.drawPoints = checked; });
}

void WatchWindow::on_checkBox_SmoothGraphs_toggled(bool checked)
{
    for (VRKExcelWatchView *watch : std::as_const(watches)) {
        MinMaxMultiDimData *data = watch->data();
        if (data->graphDepth() != 4)
            continue;
        if (data->flat3D()) {
            data->setDrawSettings3DFlat(DrawSettings3DFlat{checked});
        } else {
            DrawSettings3DCube cube = data->drawSettings3DCube();
            cube.smooth = checked;
            data->setDrawSettings3DCube(cube);
        }
    }
    updateAll();
}

void WatchWindow::on_checkBox_Flat3DGraph_toggled(bool checked)
{
    for (VRKExcelWatchView *watch : std::as_const(watches)) {
        watch->data()->setFlat3D(checked);
        showScaleOf(watch);
    }
    ui->checkBox_SmoothGraphs->setVisible(checked);
    ui->checkBox_DrawPoints->setVisible(!checked);
    ui->horizontalSlider_watchGraphAlpha->setVisible(!checked);
    ui->label_Transparency->setVisible(!checked);
    if (!watches.isEmpty()) {
        const MinMaxMultiDimData *last = watches.last()->data();
        const QSignalBlocker blocker(ui->checkBox_SmoothGraphs);
        ui->checkBox_SmoothGraphs->setChecked(checked ? last->drawSettings3DFlat().smooth
                                                      : last->drawSettings3DCube().smooth);
    }
    updateAll();
}

void WatchWindow::updateAll()
{
    for (VRKExcelWatchView *watch : std::as_const(watches))
        watch->update(true);
}

double WatchWindow::transparency() const
{
    const QSlider *slider = ui->horizontalSlider_watchGraphAlpha;
    return double(slider->value() - slider->minimum()) / (slider->maximum() - slider->minimum());
}

void WatchWindow::applyTransparency(VRKExcelWatchView *watch) const
{
    DrawSettings3DCube cube = watch->data()->drawSettings3DCube();
    cube.alpha = transparency();
    watch->data()->setDrawSettings3DCube(cube);
}

void WatchWindow::on_horizontalSlider_watchGraphAlpha_valueChanged(int)
{
    for (VRKExcelWatchView *watch : std::as_const(watches))
        applyTransparency(watch);
}
