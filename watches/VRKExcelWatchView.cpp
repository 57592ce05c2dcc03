#include "VRKExcelWatchView.h"
#include "WatchLogging.h"

#include "CachedImageLoader.h"
#include "MinMaxMultiDimData.h"
#include "Ticks.h"
#include "VRKExcelWatchScale.h"

#include <QDateTime>
#include <QDebug>
#include <QGraphicsColorizeEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcWatches, "tarvio.watches", QtWarningMsg)

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
const QColor graphBackground = QColor::fromRgba(0xFF180100);
constexpr qint64 fadeMilliseconds = 500;

int roundAwayFromZero(double value)
{
    return int(std::round(value));
}

} // namespace

VRKExcelWatchView::VRKExcelWatchView(QWidget *parent)
    : QWidget(parent)
{
    m_lastPaintTime.start();
    m_repaintTimer = new QTimer(this);
    connect(m_repaintTimer, &QTimer::timeout, this, qOverload<>(&VRKExcelWatchView::update));
    m_previousDataTimer = new QTimer(this);
    m_previousDataTimer->setInterval(100);
    connect(m_previousDataTimer, &QTimer::timeout, this, &VRKExcelWatchView::removeOldestPreviousData);
    m_buttonHideTimer = new QTimer(this);
    m_buttonHideTimer->setInterval(200);
    connect(m_buttonHideTimer, &QTimer::timeout, this, [this] {
        m_buttonHideTimer->stop();
        hideButtons();
    });
    m_subWatchTimer = new QTimer(this);
    connect(m_subWatchTimer, &QTimer::timeout, this, &VRKExcelWatchView::updateSubWatches);

    setMinRepaintInterval(10);
    setMinimumHeight(m_titleHeight + 150);
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    m_displayFlags &= ~unsigned(CrossHairBits);
    setAttribute(Qt::WA_MouseTracking);
    createData();
    setSplitPoint(QPointF(0.5, 0.5));
    setMinRepaintInterval(0);
}

void VRKExcelWatchView::createData()
{
    MinMaxMultiDimData *old = m_data;
    if (old) {
        old->blockSignals(true);
        m_previousData.append(old);
        old->setProperty("stackingdate", QDateTime::currentDateTime());
        m_previousDataTimer->start();
    }
    auto *fresh = new MinMaxMultiDimData(this);
    if (old) {
        fresh->setDataExtractionSettings(old->dataExtractionSettings());
        fresh->setPerspectiveSettings(old->perspectiveSettings());
        fresh->setDrawSettings2D(old->drawSettings2D());
        fresh->setDrawSettings3DFlat(old->drawSettings3DFlat());
        fresh->setDrawSettings3DCube(old->drawSettings3DCube());
        fresh->setDimensions(old->dimensions());
        fresh->setMinMax(old->minimum(), old->maximum());
        fresh->setValueLabel(old->valueLabel());
    }
    m_data = fresh;
    connect(fresh, &SimpleMultiDimData::changed, this, &VRKExcelWatchView::updateWithSubgraphs);
    connect(fresh, &SimpleMultiDimData::dimensionsChanged, this, qOverload<>(&VRKExcelWatchView::updateCubeFillLimits));
    // The selection is announced before the depth follows it; the limits need the depth.
    connect(fresh, &MinMaxMultiDimData::graphDepthChanged, this, qOverload<>(&VRKExcelWatchView::updateCubeFillLimits));
    connect(fresh, &MinMaxMultiDimData::dataExtractionSettingsChanged, this,
            qOverload<>(&VRKExcelWatchView::updateCubeFillLimits));
    connect(fresh, &MinMaxMultiDimData::dataExtractionSettingsChanged, this, &VRKExcelWatchView::updateSubWatches);
    connect(fresh, &MinMaxMultiDimData::minMaxChanged, this, &VRKExcelWatchView::dataMinMaxChanged);
    connect(fresh, &SimpleMultiDimData::reportNaN, this, &VRKExcelWatchView::dataNaNReported);
    connect(fresh, &MinMaxMultiDimData::beforePaint3D, this, &VRKExcelWatchView::dataBeforePaint3D);
    connect(fresh, &MinMaxMultiDimData::afterPaint3D, this, &VRKExcelWatchView::dataAfterPaint3D);
    connect(fresh, &MinMaxMultiDimData::paint3DAxesNeeded, this, &VRKExcelWatchView::data3DAxesNeeded);
    connect(fresh, &MinMaxMultiDimData::paint3DYAxisNeeded, this, &VRKExcelWatchView::data3DYAxisNeeded);
    connect(fresh, &SimpleMultiDimData::updateNeeded, this, qOverload<>(&VRKExcelWatchView::update));
    emit dataCreated();
    update(false);
}

void VRKExcelWatchView::clearPreviousData()
{
    qDeleteAll(m_previousData);
    m_previousData.clear();
    m_previousDataTimer->stop();
}

// ---- setters ---------------------------------------------------------------

void VRKExcelWatchView::setStoredAndUpdate(int &stored, int value)
{
    if (stored == value)
        return;
    stored = value;
    update(false);
}

void VRKExcelWatchView::setStoredAndUpdate(bool &stored, bool value)
{
    if (stored == value)
        return;
    stored = value;
    update(false);
}

void VRKExcelWatchView::setName(const QString &name)
{
    m_name = name;
    // A cube's value axis says what the values are.
    m_data->setValueLabel(name.split(QLatin1Char('\n')).join(QStringLiteral(" / ")));
    update(false);
}

void VRKExcelWatchView::markCellClosed(const QString &reason)
{
    if (m_cellClosed)
        return;
    m_cellClosed = true;
    setProperty("inactive", true);
    setName(m_name + QStringLiteral(" (") + reason + QLatin1Char(')'));
    auto *grey = new QGraphicsColorizeEffect(this);
    grey->setColor(Qt::gray);
    setGraphicsEffect(grey);
    update(true);
}

void VRKExcelWatchView::setTitleHeight(int height)
{
    setStoredAndUpdate(m_titleHeight, height);
}

void VRKExcelWatchView::setSelected(bool selected)
{
    setStoredAndUpdate(m_selected, selected);
}

void VRKExcelWatchView::setVertical(bool vertical)
{
    setStoredAndUpdate(m_vertical, vertical);
}

void VRKExcelWatchView::setValueAxisWidth(int width)
{
    setStoredAndUpdate(m_valueAxisWidth, width);
}

void VRKExcelWatchView::setDimensionAxisHeight(int height)
{
    setStoredAndUpdate(m_dimensionAxisHeight, height);
}

void VRKExcelWatchView::setDisplayFlags(unsigned flags)
{
    if (flags == m_displayFlags)
        return;
    m_displayFlags = flags;
    update(false);
}

void VRKExcelWatchView::addDisplayFlags(unsigned flags)
{
    setDisplayFlags(m_displayFlags | flags);
}

void VRKExcelWatchView::removeDisplayFlags(unsigned flags)
{
    setDisplayFlags(m_displayFlags & ~flags);
}

void VRKExcelWatchView::setButtons(const QList<WatchButton> &buttons)
{
    m_buttons = buttons;
    m_hoverButton = std::min(m_hoverButton, int(m_buttons.size()) - 1);
    update(false);
}

void VRKExcelWatchView::setHoverButton(int index)
{
    if (index == m_hoverButton)
        return;
    m_hoverButton = std::clamp(index, -1, int(m_buttons.size()) - 1);
    update(true);
}

void VRKExcelWatchView::setButtonsShown(bool shown)
{
    if (shown == m_buttonsShown)
        return;
    m_buttonsShown = shown;
    update(true);
}

void VRKExcelWatchView::hideButtons()
{
    setButtonsShown(false);
}

void VRKExcelWatchView::setMinRepaintInterval(qint64 milliseconds)
{
    m_minRepaintInterval = milliseconds;
    m_repaintTimer->setInterval(int(std::clamp<qint64>(milliseconds, 0, std::numeric_limits<int>::max())));
}

bool VRKExcelWatchView::repaintPending() const
{
    return m_repaintTimer->isActive();
}

// ---- repaint throttle --------------------------------------------------------

void VRKExcelWatchView::update(bool immediate)
{
    if (immediate) {
        m_repaintTimer->stop();
        repaint();
    } else if (m_lastPaintTime.elapsed() < m_minRepaintInterval) {
        if (!m_repaintTimer->isActive())
            m_repaintTimer->start();
        return;
    } else {
        m_repaintTimer->stop();
        QWidget::update();
    }
    // A linked scale shows the cross point's value, so it needs the update too.
    if (m_subWatchUpdatePending && (m_subWatchX || m_subWatchY || m_scale) && !m_subWatchTimer->isActive())
        m_subWatchTimer->start(1);
}

void VRKExcelWatchView::update()
{
    update(false);
}

void VRKExcelWatchView::updateWithSubgraphs()
{
    m_subWatchUpdatePending = true;
    update(false);
}

void VRKExcelWatchView::dataMinMaxChanged()
{
    for (MinMaxMultiDimData *previous : std::as_const(m_previousData))
        previous->setMinMax(m_data->minimum(), m_data->maximum());
    m_subWatchUpdatePending = true;
    update(false);
}

void VRKExcelWatchView::dataNaNReported() {}
void VRKExcelWatchView::dataBeforePaint3D(QPainter &) {}
void VRKExcelWatchView::dataAfterPaint3D(QPainter &) {}
void VRKExcelWatchView::data3DYAxisNeeded(QPainter &) {}

void VRKExcelWatchView::data3DAxesNeeded(QPainter &painter)
{
    if (m_displayFlags & ValueAxisBits)
        paintValueAxis(painter);
    if (m_displayFlags & DimensionAxisBits)
        paintDimensionAxis(painter);
}

// ---- previous data -------------------------------------------------------------

QList<std::pair<MinMaxMultiDimData *, double>> VRKExcelWatchView::fadingPreviousData()
{
    QList<std::pair<MinMaxMultiDimData *, double>> fading;
    const QDateTime now = QDateTime::currentDateTime();
    for (MinMaxMultiDimData *previous : std::as_const(m_previousData)) {
        const qint64 age = previous->property("stackingdate").toDateTime().msecsTo(now);
        const double opacity = 1.0 - double(age) / fadeMilliseconds;
        if (depth() == 2 && opacity > 0.1)
            fading.append({previous, opacity});
        else
            previous->setProperty("tobedeleted", true);
    }
    return fading;
}

void VRKExcelWatchView::removeOldestPreviousData()
{
    for (qsizetype i = m_previousData.size() - 1; i >= 0; --i) {
        if (m_previousData[i]->property("tobedeleted").toBool())
            delete m_previousData.takeAt(i);
    }
    if (m_previousData.isEmpty())
        m_previousDataTimer->stop();
    update(false);
}

// ---- split point and sub-watches -------------------------------------------------

int VRKExcelWatchView::depth() const
{
    return m_data->graphDepth();
}

bool VRKExcelWatchView::hasTwoFreeAxes() const
{
    return m_data->dimensions().size() >= 2 && m_data->freeAxis(1) >= 0 && m_data->freeAxis(2) < 0;
}

QPoint VRKExcelWatchView::cubeFillLimits(QPointF point) const
{
    if (depth() <= 3)
        return {0, 0};
    if (!hasTwoFreeAxes())
        return {-1, -1};
    const double na = m_data->dimensions()[m_data->freeAxis(0)].count;
    const double nb = m_data->dimensions()[m_data->freeAxis(1)].count;
    if (m_data->flat3D())
        return {int(std::floor(na * 0.9999999 * point.x())), int(std::floor(nb * 0.9999999 * point.y()))};
    return {int(std::floor((na - 1) * 0.9999999 * point.x() + 0.5)),
            int(std::floor((nb - 1) * 0.9999999 * point.y() + 0.5))};
}

void VRKExcelWatchView::setSplitPoint(QPointF point)
{
    if (std::abs(point.x() - m_splitPoint.x()) <= 1e-12 && std::abs(point.y() - m_splitPoint.y()) <= 1e-12)
        return;
    m_splitPoint = point;
    const QPoint limits = cubeFillLimits(point);
    if (m_subWatchX)
        m_subWatchX->setSplitPoint(point);
    if (m_subWatchY)
        m_subWatchY->setSplitPoint(QPointF(point.y(), point.x()));
    updateCubeFillLimits(limits);
    m_subWatchUpdatePending = true;
    emit splitChanged(m_splitPoint);
    if (depth() < 4 || m_data->flat3D())
        update(false);
}

void VRKExcelWatchView::setInvertedSplitPoint(QPointF point)
{
    setSplitPoint(QPointF(point.y(), point.x()));
}

void VRKExcelWatchView::updateCubeFillLimits(QPoint limits)
{
    if (limits == QPoint(-1, -1))
        limits = cubeFillLimits(m_splitPoint);
    DrawSettings3DCube cube = m_data->drawSettings3DCube();
    cube.fillLimitX = limits.x();
    cube.fillLimitY = limits.y();
    m_data->setDrawSettings3DCube(cube);
}

void VRKExcelWatchView::updateCubeFillLimits()
{
    updateCubeFillLimits(QPoint(-1, -1));
}

void VRKExcelWatchView::fillSubWatch(VRKExcelWatchView *subWatch, int freeAxis, int fixedAxis, int fixedIndex)
{
    MinMaxMultiDimData *sub = subWatch->data();
    QList<int> selection = m_data->dataExtractionSettings().selection;
    selection[fixedAxis] = fixedIndex;
    sub->setDimensions({m_data->dimensions()[freeAxis]});
    sub->setValues(m_data->extract(selection));
    sub->setMinMax(m_data->minimum(), m_data->maximum());
    sub->setDataComplete(m_data->dataComplete());
    DataExtractionSettings extraction = sub->dataExtractionSettings();
    extraction.selection = {-1};
    sub->setDataExtractionSettings(extraction);
}

void VRKExcelWatchView::updateSubWatches()
{
    m_subWatchTimer->stop();
    m_subWatchUpdatePending = false;
    if (depth() < 4 || !hasTwoFreeAxes())
        return;
    const int a0 = m_data->freeAxis(0);
    const int a1 = m_data->freeAxis(1);
    const QPoint limits = cubeFillLimits(m_splitPoint);
    if (m_subWatchX)
        fillSubWatch(m_subWatchX, a0, a1, limits.y());
    if (m_subWatchY)
        fillSubWatch(m_subWatchY, a1, a0, limits.x());
    QList<int> position = m_data->dataExtractionSettings().selection;
    position[a0] = limits.x();
    position[a1] = limits.y();
    m_crossPointValue = m_crossPointReading.value_or(m_data->value(position));
    emit crossPointValueChanged();
}

void VRKExcelWatchView::setCrossPointReading(std::optional<double> reading)
{
    m_crossPointReading = reading;
    if (reading) {
        m_crossPointValue = *reading;
        emit crossPointValueChanged();
    } else {
        updateSubWatches();
    }
}

void VRKExcelWatchView::linkSubWatch(QPointer<VRKExcelWatchView> &stored, VRKExcelWatchView *view, bool inverted)
{
    if (view == stored)
        return;
    if (stored)
        disconnect(stored, &VRKExcelWatchView::splitChanged, this, nullptr);
    stored = view;
    if (view) {
        if (inverted)
            connect(view, &VRKExcelWatchView::splitChanged, this, &VRKExcelWatchView::setInvertedSplitPoint);
        else
            connect(view, &VRKExcelWatchView::splitChanged, this, &VRKExcelWatchView::setSplitPoint);
    }
    updateSubWatchSizes();
    updateSubWatches();
}

void VRKExcelWatchView::setSubWatchX(VRKExcelWatchView *view)
{
    linkSubWatch(m_subWatchX, view, false);
}

void VRKExcelWatchView::setSubWatchY(VRKExcelWatchView *view)
{
    linkSubWatch(m_subWatchY, view, true);
}

void VRKExcelWatchView::setScale(VRKExcelWatchScale *scale)
{
    if (scale == m_scale)
        return;
    VRKExcelWatchScale *old = m_scale;
    if (old) {
        disconnect(m_data, &MinMaxMultiDimData::minMaxChanged, old, nullptr);
        disconnect(this, &VRKExcelWatchView::crossPointValueChanged, old, nullptr);
    }
    m_scale = scale;
    if (old)
        old->setWatch(nullptr);
    if (scale) {
        scale->setWatch(this);
        connect(m_data, &MinMaxMultiDimData::minMaxChanged, scale, qOverload<>(&VRKExcelWatchScale::update));
        connect(this, &VRKExcelWatchView::crossPointValueChanged, scale, qOverload<>(&VRKExcelWatchScale::update));
    }
}

void VRKExcelWatchView::setSyncSubWatchSizes(bool sync)
{
    if (sync == m_syncSubWatchSizes)
        return;
    m_syncSubWatchSizes = sync;
    updateSubWatchSizes();
}

void VRKExcelWatchView::setSubWatchSizeMargin(int margin)
{
    if (margin == m_subWatchSizeMargin)
        return;
    m_subWatchSizeMargin = margin;
    if (m_syncSubWatchSizes)
        updateSubWatchSizes();
}

void VRKExcelWatchView::updateSubWatchSizes()
{
    const double w = minimumWidth() - m_subWatchSizeMargin;
    const double h = minimumHeight() - m_subWatchSizeMargin;
    for (VRKExcelWatchView *sub : {m_subWatchX.data(), m_subWatchY.data()}) {
        if (!sub)
            continue;
        sub->setMinimumSize(roundAwayFromZero(w * 0.5), roundAwayFromZero(h * 0.5));
        sub->setMaximumSize(roundAwayFromZero(w * 1.5), roundAwayFromZero(h * 1.5));
    }
}

// ---- fast drawing ---------------------------------------------------------------------

void VRKExcelWatchView::setCanUseFastDraw(bool value)
{
    if (value) {
        ++m_fastDrawRequests;
        DataExtractionSettings extraction = m_data->dataExtractionSettings();
        extraction.simplify = true;
        const QSignalBlocker blocker(m_data);
        m_data->setDataExtractionSettings(extraction);
    } else {
        --m_fastDrawRequests;
        update(false);
    }
    if (unsigned(m_fastDrawRequests) <= 1)
        emit canUseFastDrawChanged(value);
}

// ---- areas and queries ----------------------------------------------------------------

bool VRKExcelWatchView::axesApply() const
{
    return depth() < 4 || m_data->flat3D();
}

QRect VRKExcelWatchView::area(int which) const
{
    // A vertical view is painted turned, so its areas are laid out on the
    // turned rectangle: the title then runs up its left edge.
    QRect q = contentsRect();
    if (m_vertical)
        q = QRect(q.topLeft(), q.size().transposed());
    const int x1 = q.left(), y1 = q.top(), x2 = q.right(), y2 = q.bottom();
    const QRect inner(QPoint(x1 + 2, y1 + 2), QPoint(x2 - 3, y2 - 3));
    const bool title = m_displayFlags & (TitleShown | TexturedTitle);
    const bool valueAxis = m_displayFlags & ValueAxisBits;
    const bool dimensionAxis = m_displayFlags & DimensionAxisBits;
    const bool axes = axesApply();
    QRect r;
    switch (which) {
    case Whole:
        r = q;
        break;
    case Title:
        r = inner;
        r.setBottom(y1 + m_titleHeight + 1);
        break;
    case Graph:
        r = inner;
        if (title)
            r.setTop(r.top() + m_titleHeight);
        if (valueAxis && axes)
            r.setLeft(r.left() + m_valueAxisWidth);
        if (dimensionAxis && axes)
            r.setBottom((y2 - 3) - m_dimensionAxisHeight - 1);
        break;
    case ValueAxis:
        if (!valueAxis)
            return QRect(0, 0, 0, 0).adjusted(0, 0, -1, -1);
        r.setCoords(x1 + 2, y1 + 2 + (title ? m_titleHeight : 0), m_valueAxisWidth,
                    dimensionAxis ? (y2 - 3) - m_dimensionAxisHeight - 1 : y2 - 3);
        break;
    case DimensionAxis:
        if (!dimensionAxis)
            return QRect(0, 0, 0, 0).adjusted(0, 0, -1, -1);
        r.setCoords(x1 + 2 + (valueAxis && axes ? m_valueAxisWidth : 0), (y2 - 3) - m_dimensionAxisHeight, x2 - 3,
                    y2 - 3);
        break;
    case Inner:
        r = inner;
        break;
    case Buttons:
        if (!(m_displayFlags & ButtonRow)) {
            r = inner;
            break;
        }
        r.setCoords(3, y1 + 2, m_buttonSize * int(m_buttons.size()) + 2, y1 + m_buttonSize + 1);
        break;
    default:
        qCDebug(lcWatches) << "Unknown WatchArea value";
        r = inner;
    }
    return r;
}

int VRKExcelWatchView::extraWidth() const
{
    const QMargins margins = contentsMargins();
    const bool valueAxis = (m_displayFlags & ValueAxisBits) && axesApply();
    return margins.left() + margins.right() + 5 + (valueAxis ? m_valueAxisWidth : 0);
}

int VRKExcelWatchView::extraHeight() const
{
    const QMargins margins = contentsMargins();
    const bool dimensionAxis = (m_displayFlags & DimensionAxisBits) && axesApply();
    return margins.top() + margins.bottom() + 5 + (dimensionAxis ? m_dimensionAxisHeight + 1 : 0);
}

double VRKExcelWatchView::valueAxisEnd(double sign) const
{
    const double minimum = m_data->minimum();
    const double maximum = m_data->maximum();
    const double end = sign > 0 ? maximum : minimum;
    if (!(maximum - minimum > 0))
        return end + sign * 0.15;
    const double h = area(Graph).height();
    const double e = std::trunc(0.75 * h) / h;
    return end + sign * (maximum - minimum) * (1 - e) / e * 0.5;
}

const Dimension *VRKExcelWatchView::freeDimension(int n, int minimumDepth) const
{
    const int axis = m_data->freeAxis(n);
    if (depth() < minimumDepth || axis < 0 || axis >= m_data->dimensions().size())
        return nullptr;
    return &m_data->dimensions()[axis];
}

double VRKExcelWatchView::valueAxisTop() const
{
    const int d = depth();
    if (d == 1 || d == 2)
        return valueAxisEnd(1);
    const Dimension *second = freeDimension(1, 4);
    return second ? second->second : notANumber;
}

double VRKExcelWatchView::valueAxisBottom() const
{
    const int d = depth();
    if (d == 1 || d == 2)
        return valueAxisEnd(-1);
    const Dimension *second = freeDimension(1, 4);
    return second ? second->first : notANumber;
}

QString VRKExcelWatchView::valueAxisTitle() const
{
    const int d = depth();
    if (d == 1 || d == 2)
        return m_name.split(QLatin1Char('\n')).join(QStringLiteral(" / "));
    const Dimension *second = freeDimension(1, 4);
    return second ? second->label : QString();
}

QString VRKExcelWatchView::dimensionAxisTitle() const
{
    const Dimension *first = freeDimension(0, 2);
    return first ? first->label : QString();
}

double VRKExcelWatchView::dimensionAxisTop() const
{
    const Dimension *first = freeDimension(0, 2);
    return first ? first->second : notANumber;
}

double VRKExcelWatchView::dimensionAxisBottom() const
{
    const Dimension *first = freeDimension(0, 2);
    return first ? first->first : notANumber;
}

double VRKExcelWatchView::dimensionAxisCount() const
{
    const Dimension *first = freeDimension(0, 2);
    return first ? first->count : notANumber;
}

double VRKExcelWatchView::valueAxisCount() const
{
    const Dimension *second = freeDimension(1, 4);
    return second ? second->count : notANumber;
}

// ---- painting -------------------------------------------------------------------------

void VRKExcelWatchView::paintEvent(QPaintEvent *event)
{
    m_lastPaintTime.start();
    QPainter painter(this);
    QRect exposed = event->rect();
    if (m_vertical) {
        painter.translate(0, height());
        painter.rotate(-90);
        exposed = painter.transform().inverted().mapRect(exposed);
    }
    painter.setRenderHint(QPainter::Antialiasing);

    const QRect graph = area(Graph);
    const bool graphExposed = exposed.intersects(graph);
    if (graphExposed)
        paintGraph(painter, graph);
    const bool axes = axesApply();
    if ((m_displayFlags & ValueAxisBits) && axes && (graphExposed || exposed.intersects(area(ValueAxis))))
        paintValueAxis(painter);
    if ((m_displayFlags & DimensionAxisBits) && axes && (graphExposed || exposed.intersects(area(DimensionAxis))))
        paintDimensionAxis(painter);
    // Over the axes' grid lines, so it stays whole where it meets one.
    if (graphExposed && (m_displayFlags & CrossHairBits) && axes)
        paintCrossHair(painter, graph);
    if ((m_displayFlags & (TitleShown | TexturedTitle)) && exposed.intersects(area(Title)))
        paintTitle(painter);
    if ((m_displayFlags & ButtonRow) && !m_buttons.isEmpty() && exposed.intersects(area(Buttons)))
        paintButtons(painter);
    paintFrame(painter);
    emit afterPaint(painter);
}

void VRKExcelWatchView::paintGraph(QPainter &painter, const QRect &graph)
{
    QRect fill = graph;
    if (m_displayFlags == 0)
        fill.setTop(0);
    painter.fillRect(fill, graphBackground);
    const int d = depth();
    QRect dataRect = graph;
    if (d == 2) {
        // The data's range fills the middle 75 % of the graph.
        const int h = graph.height();
        dataRect.setTop(graph.top() + (h - int(0.75 * h)) / 2);
        dataRect.setHeight(int(0.75 * h));
    }
    const QList<std::pair<MinMaxMultiDimData *, double>> fading = fadingPreviousData();
    const bool cube = d >= 4 && !m_data->flat3D();
    if (cube) {
        DrawSettings3DCube settings = m_data->drawSettings3DCube();
        settings.imageSize = graph.size();
        m_data->setDrawSettings3DCube(settings);
    }
    if (d != 0) {
        for (const auto &[previous, opacity] : fading) {
            DrawSettings2D faded = previous->drawSettings2D();
            faded.alpha = opacity;
            previous->setDrawSettings2D(faded);
            previous->paint(painter, dataRect);
        }
        if (cube)
            chooseCubeQuality();
        QElapsedTimer timer;
        timer.start();
        m_data->paint(painter, dataRect);
        m_lastDataPaintMs = timer.elapsed();
        if (m_lastDataPaintMs == 0)
            m_lastDataPaintMs = 12;
        setMinRepaintInterval(qint64(double(m_lastDataPaintMs) * m_repaintFactor + 20));
        // A small history (a slider's own) has its value beside the slider instead.
        if (d == 2 && m_data->displayAsScan() && graph.height() >= 100)
            paintNewestValue(painter, graph);
    }
}

void VRKExcelWatchView::chooseCubeQuality()
{
    const QSignalBlocker blocker(m_data);
    DataExtractionSettings extraction = m_data->dataExtractionSettings();
    DrawSettings3DCube cube = m_data->drawSettings3DCube();
    if (m_fastDrawRequests < 1) {
        extraction.simplify = false;
        cube.fastDraw = false;
        cube.disableAntialiasing = false;
    } else if (m_data->lastRenderTime() > 50) {
        if (!extraction.simplify)
            extraction.simplify = true;
        else
            cube.disableAntialiasing = true;
    }
    m_data->setDrawSettings3DCube(cube);
    m_data->setDataExtractionSettings(extraction);
}

void VRKExcelWatchView::paintNewestValue(QPainter &painter, const QRect &graph)
{
    // A live history says what its cell holds now, in the graph's corner.
    const QList<double> &values = m_data->values();
    if (values.isEmpty() || std::isnan(values.last()))
        return;
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setWeight(QFont::Bold);
    painter.save();
    painter.setFont(font);
    painter.setPen(QColor(255, 192, 0));
    painter.drawText(graph.adjusted(4, 2, -4, -2), Qt::AlignRight | Qt::AlignTop,
                     QString::number(values.last(), 'g', 6));
    painter.restore();
}

void VRKExcelWatchView::paintCrossHair(QPainter &painter, const QRect &g)
{
    // One-pixel lines through pixel centres stay crisp under antialiasing.
    painter.setPen(QPen(Qt::white, 1));
    if (m_displayFlags & CrossHairHorizontal) {
        const double y = std::max(g.top(), int(g.bottom() - g.height() * m_splitPoint.y())) + 0.5;
        painter.drawLine(QLineF(g.left(), y, g.right() + 1, y));
    }
    if (m_displayFlags & CrossHairVertical) {
        const double x = int(m_splitPoint.x() * g.width() + g.left()) + 0.5;
        painter.drawLine(QLineF(x, g.top(), x, g.bottom() + 1));
    }
}

void VRKExcelWatchView::paintValueAxis(QPainter &painter)
{
    const QRect a = area(ValueAxis);
    const QRect graph = area(Graph);
    painter.save();
    QFont titleFont = painter.font();
    titleFont.setPixelSize(10);
    bool title = (m_displayFlags & 0x010) && !valueAxisTitle().isEmpty();
    if (m_displayFlags & 0x00C) {
        QList<double> positions, values;
        computeTicks(a.height(), a.height() / 20 + 10, valueAxisBottom(), valueAxisTop(), positions, values);
        const QStringList labels = tickLabels(values);
        QFont font = painter.font();
        font.setPixelSize(9);
        // The labels keep clear of the turned title along the left edge and
        // within the axis, smaller if need be (a cut "395973.5" would read
        // "5973.5"); where even small ones do not fit, the numbers win and
        // the title is left out.
        const auto widest = [&labels](const QFont &f) {
            int width = 0;
            for (const QString &label : labels)
                width = std::max(width, QFontMetrics(f).horizontalAdvance(label));
            return width;
        };
        const auto fitsIn = [&](int room) {
            while (widest(font) > room && font.pixelSize() > 6)
                font.setPixelSize(font.pixelSize() - 1);
            return widest(font) <= room;
        };
        if (title && !fitsIn(a.width() - 3 - QFontMetrics(titleFont).height())) {
            title = false;
            font.setPixelSize(9);
        }
        if (!title)
            fitsIn(a.width() - 3);
        painter.setFont(font);
        for (qsizetype i = 0; i < positions.size(); ++i) {
            const int y = int(std::round(a.bottom() - positions[i]));
            if (m_displayFlags & 0x004) {
                painter.setPen(QPen(Qt::darkGray, 1));
                painter.drawLine(QLineF(graph.left(), y + 0.5, graph.right() + 1, y + 0.5));
            }
            if (y > 5) {
                // Within the axis, so the title drawn over its top edge cannot cut a label.
                QRect box(a.left(), y - 5, a.width() - 3, 11);
                box.moveTop(std::max(a.top(), std::min(box.top(), a.bottom() - box.height() + 1)));
                painter.setPen(QPen(Qt::white, 1));
                painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, labels[i]);
            }
        }
    }
    if (title) {
        painter.setFont(titleFont);
        painter.setPen(Qt::white);
        painter.translate(a.left(), a.bottom());
        painter.rotate(-90);
        painter.drawText(QRect(0, 0, a.height(), a.width()), Qt::AlignHCenter | Qt::AlignTop, valueAxisTitle());
    }
    painter.restore();
}

void VRKExcelWatchView::paintDimensionAxis(QPainter &painter)
{
    const QRect b = area(DimensionAxis);
    const QRect graph = area(Graph);
    painter.save();
    QFont font = painter.font();
    if (m_displayFlags & 0x060) {
        QList<double> positions, values;
        computeTicks(b.width(), b.width() / 10.0 + 24, dimensionAxisBottom(), dimensionAxisTop(), positions, values);
        const QStringList labels = tickLabels(values);
        font.setPixelSize(9);
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const QRect inner = area(Inner);
        for (qsizetype i = 0; i < positions.size(); ++i) {
            const int x = int(std::round(b.left() + positions[i]));
            if (m_displayFlags & 0x020) {
                painter.setPen(QPen(Qt::darkGray, 1));
                painter.drawLine(QLineF(x + 0.5, graph.top(), x + 0.5, graph.bottom() + 1));
            }
            // Centred under its tick, but inside the frame at the ends.
            const int width = metrics.horizontalAdvance(labels[i]) + 2;
            const int left = std::clamp(x - width / 2, inner.left(), std::max(inner.left(), inner.right() + 1 - width));
            painter.setPen(QPen(Qt::white, 1));
            painter.drawText(QRect(left, b.top() + 2, width, 10), Qt::AlignHCenter | Qt::AlignVCenter, labels[i]);
        }
    }
    if (m_displayFlags & 0x080) {
        font.setPixelSize(10);
        painter.setFont(font);
        painter.setPen(Qt::white);
        const int line = QFontMetrics(font).height();
        painter.drawText(QRect(b.left(), b.top() + line, b.width(), b.height() - line),
                         Qt::AlignHCenter | Qt::AlignTop, dimensionAxisTitle());
    }
    painter.restore();
}

void VRKExcelWatchView::paintTitle(QPainter &painter)
{
    const QRect title = area(Title);
    QFont font = painter.font();
    const int alignment = Qt::AlignHCenter | Qt::AlignTop | Qt::AlignVCenter;
    const bool textured = m_displayFlags & TexturedTitle;
    if (textured)
        painter.drawImage(title, CachedImageLoader::image(QStringLiteral(":resources/metal.jpg")));
    else
        painter.fillRect(title, graphBackground);
    font.setPixelSize(textured ? 12 : 10);
    font.setWeight(textured ? QFont::Normal : QFont::Bold);
    painter.setFont(font);
    // A caption wider than the title loses its middle, not both ends.
    const QFontMetrics metrics(font);
    QStringList lines = m_name.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = metrics.elidedText(line, Qt::ElideMiddle, title.width() - 4);
    const QString text = lines.join(QLatin1Char('\n'));
    painter.setPen(Qt::black);
    painter.drawText(title.translated(0, -1), alignment, text);
    painter.setPen(Qt::white);
    painter.drawText(textured ? title.translated(1, 0) : title.translated(0, -1), alignment, text);
}

void VRKExcelWatchView::paintButtons(QPainter &painter)
{
    const QRect buttonArea = area(Buttons);
    if (!m_buttonsShown) {
        if (m_revealHover && (m_displayFlags & RevealImage))
            painter.drawImage(buttonArea.topLeft(),
                              CachedImageLoader::image(QStringLiteral(":resources/watchbuttonbutton.png")));
        return;
    }
    const int right = buttonArea.right() + 1;
    for (int i = 0; i < m_buttons.size(); ++i) {
        const QRect cell(QPoint(right - (i + 1) * m_buttonSize, buttonArea.top()),
                         QPoint(right - i * m_buttonSize - 1, buttonArea.top() + m_buttonSize + 2));
        const bool hovered = i == m_hoverButton;
        painter.fillRect(cell, QColor(48, 48, 48, hovered ? 200 : 150));
        painter.drawImage(cell.topLeft(), CachedImageLoader::image(m_buttons[i].image));
        if (!hovered)
            painter.fillRect(cell, QColor(48, 48, 48, 50));
    }
}

void VRKExcelWatchView::paintFrame(QPainter &painter)
{
    const QRect q = area(Whole); // turned with the painter in a vertical view
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, false); // a frame on whole pixels
    if (m_selected) {
        painter.setPen(QPen(Qt::blue, 3));
        painter.drawRect(q);
        return;
    }
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(QRect(QPoint(q.left() + 1, q.top() + 1), QPoint(q.right() - 2, q.bottom() - 2)));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(QRect(QPoint(q.left() + 2, q.top() + 2), QPoint(q.right() - 1, q.bottom() - 1)));
}

// ---- resize and mouse ---------------------------------------------------------------------

void VRKExcelWatchView::resizeEvent(QResizeEvent *event)
{
    m_data->setMaxValueCount(area(Graph).width() / 2);
    QWidget::resizeEvent(event);
    if (m_syncSubWatchSizes)
        updateSubWatchSizes();
    emit sizeChanged();
}

void VRKExcelWatchView::followPointer(const QPointF &position)
{
    const QRect g = area(Graph);
    if (!(m_displayFlags & CrossHairBits) || g.height() <= 0)
        return;
    QPointF point = m_splitPoint;
    if (m_displayFlags & CrossHairVertical)
        point.setX(std::clamp(position.x() - g.left(), 0.0, double(g.width())) / g.width());
    if (m_displayFlags & CrossHairHorizontal)
        point.setY(std::clamp(g.bottom() - position.y(), 0.0, double(g.height())) / g.height());
    setSplitPoint(point);
}

int VRKExcelWatchView::buttonIndexAt(const QPointF &position, const QRect &zone) const
{
    return int(zone.right() - position.x()) / m_buttonSize;
}

void VRKExcelWatchView::mousePressEvent(QMouseEvent *event)
{
    emit mousePressed(event);
    m_dragMode = 0;
    const QPointF position = event->position();
    const bool left = event->button() == Qt::LeftButton;
    if (!axesApply()) {
        const Qt::KeyboardModifiers modifiers = event->modifiers();
        const bool shift = modifiers & Qt::ShiftModifier;
        const bool control = modifiers & Qt::ControlModifier;
        const bool alt = modifiers & Qt::AltModifier;
        if (left && (shift || control || alt) && area(Graph).contains(position.toPoint()))
            m_dragMode = shift && alt ? 5 : control && alt ? 1 : shift ? 4 : alt ? 3 : 2;
        // The middle button stretches heights as Alt + left does, where the
        // window manager keeps Alt + drag for moving windows.
        else if (event->button() == Qt::MiddleButton && area(Graph).contains(position.toPoint()))
            m_dragMode = 3;
        else if (event->button() == Qt::RightButton) {
            m_pressCubeSettings = m_data->drawSettings3DCube();
            m_dragMode = 2;
        }
        if (m_dragMode != 0) {
            m_pressPerspective = m_data->perspectiveSettings();
            m_pressPosition = position;
        }
    }
    const QRect buttonArea = area(Buttons);
    // A row that is not shown cannot be opened.
    const bool rowEnabled = m_displayFlags & ButtonRow;
    if (left && rowEnabled && !m_buttonsShown && buttonArea.contains(position.toPoint())
        && position.x() - buttonArea.left() < 15) {
        setButtonsShown(true);
        return;
    }
    if (left && rowEnabled && m_buttonsShown && buttonArea.contains(position.toPoint())) {
        const int index = buttonIndexAt(position, buttonArea);
        if (index >= 0 && index < m_buttons.size()) {
            const QString name = m_buttons[index].name;
            setButtonsShown(false);
            emit buttonClicked(name);
        }
        return;
    }
    if (area(Graph).contains(position.toPoint())) {
        if (!left)
            return;
        if (axesApply()) {
            followPointer(position);
        } else {
            m_pressPosition = position;
            m_pressSplitPoint = m_splitPoint;
        }
    }
    if (left && contentsRect().contains(position.toPoint())) {
        if (position.y() < m_titleHeight)
            emit textClicked();
        else
            emit graphClicked();
    }
}

void VRKExcelWatchView::hoverButtonRow(const QPointF &position)
{
    const QRect zone = area(Buttons).adjusted(0, 0, 8, 8);
    if (m_buttonsShown) {
        if (zone.contains(position.toPoint())) {
            setHoverButton(buttonIndexAt(position, zone));
            m_buttonHideTimer->stop();
        } else {
            setHoverButton(-1);
            m_buttonHideTimer->start();
        }
    }
    if (m_hoverButton >= 0)
        return;
    const bool inCorner = QRect(0, 0, 30, 30).contains(position.toPoint());
    if (inCorner != m_revealHover) {
        m_revealHover = inCorner;
        update(false);
    }
}

void VRKExcelWatchView::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF position = event->position();
    const Qt::MouseButtons held = event->buttons();
    const QRect g = area(Graph);
    const QPointF d = position - m_pressPosition;
    const double w = g.width(), h = g.height();
    if ((held & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton)) && m_dragMode != 0) {
        if (m_dragMode == 5) {
            DrawSettings3DCube cube = m_data->drawSettings3DCube();
            cube.dragFraction = m_pressCubeSettings.dragFraction - d.y() / 100;
            m_data->setDrawSettings3DCube(cube);
            return;
        }
        PerspectiveSettings p = m_data->perspectiveSettings();
        const PerspectiveSettings &start = m_pressPerspective;
        switch (m_dragMode) {
        case 1:
            p.center.setZ(float(start.center.z() - d.y() / w));
            break;
        case 2:
            p.turn = start.turn + 150 * d.x() / w;
            p.tilt = start.tilt + 150 * d.y() / h;
            break;
        case 3:
            p.heightScale = start.heightScale - d.y() / w;
            break;
        case 4:
            p.center.setX(float(start.center.x() - d.x() / w));
            p.center.setY(float(start.center.y() + d.y() / h));
            break;
        }
        m_data->setPerspectiveSettings(p);
        return;
    }
    if (held & Qt::LeftButton) {
        if (axesApply()) {
            followPointer(position);
        } else {
            const double zoom = m_data->perspectiveSettings().zoom;
            setSplitPoint(QPointF(std::clamp(m_pressSplitPoint.x() + 2 * d.x() / w / zoom, 0.0, 1.0),
                                  std::clamp(m_pressSplitPoint.y() - 2 * d.y() / h / zoom, 0.0, 1.0)));
        }
        return;
    }
    hoverButtonRow(position);
}

void VRKExcelWatchView::wheelEvent(QWheelEvent *event)
{
    emit mouseWheelEvent(event);
    // Control as well as Alt: most Linux window managers keep Alt + wheel for themselves.
    if (depth() < 4 || !(event->modifiers() & (Qt::AltModifier | Qt::ControlModifier))) {
        event->ignore();
        return;
    }
    // Some platforms turn an Alt + wheel into a sideways one.
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    PerspectiveSettings p = m_data->perspectiveSettings();
    const double old = p.zoom;
    p.zoom = delta > 0 ? p.zoom * 1.2 : p.zoom / 1.2;
    const QRect g = area(Graph);
    const QPointF at = event->position();
    const double rx = (1 - (at.x() - g.left()) / g.width()) - 0.5;
    const double ry = (at.y() - g.top()) / g.height() - 0.5;
    m_data->setPerspectiveSettings(p);
    p = m_data->perspectiveSettings();
    if (p.zoom != old) {
        emit mouseZoomChanging();
        const double factor = p.zoom / old;
        p.center.setX(float((p.center.x() - rx) * factor + rx));
        p.center.setY(float((p.center.y() - ry) * factor + ry));
        m_data->setPerspectiveSettings(p);
    }
    event->accept();
}

void VRKExcelWatchView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (depth() >= 4)
        m_data->setPerspectiveSettings(PerspectiveSettings());
    QWidget::mouseDoubleClickEvent(event);
}

void VRKExcelWatchView::mouseReleaseEvent(QMouseEvent *event)
{
    emit mouseReleased(event);
    m_dragMode = 0;
}

void VRKExcelWatchView::leaveEvent(QEvent *event)
{
    if (m_buttonsShown)
        m_buttonHideTimer->start();
    if (m_revealHover) {
        m_revealHover = false;
        update(false);
    }
    QWidget::leaveEvent(event);
}
