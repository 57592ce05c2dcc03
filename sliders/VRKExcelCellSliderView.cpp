#include "VRKExcelCellSliderView.h"

#include "MinMaxMultiDimData.h"
#include "QMouseEventLabel.h"
#include "Ticks.h"
#include "VRKExcelObjects.h"
#include "VRKExcelWatchView.h"
#include "VRKSlider.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

const char *const VRKExcelCellSliderView::enabledSliderStyle =
    "QSlider::groove:vertical {    border: 1px solid #000000;    width: 6px; /* the groove expands to the size of the "
    "slider by default. by giving it a height, it has a fixed size */    background: qlineargradient(x1:0, y1:0, x2:0, "
    "y2:1, stop:0 #c4c4c4, stop:1 #B1B1B1);    margin: 0px 0px;}QSlider::handle:vertical {    background: "
    "qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #FFFFFF, stop:1 #808080);    border: 1px solid #000000;    "
    "height: 28px;    margin: 0px -14px; /* handle is placed by default on the contents rect of the groove. Expand "
    "outside the groove */    border-radius: 2px;}";

const char *const VRKExcelCellSliderView::disabledSliderStyle =
    "QSlider::groove:vertical {    border: 1px solid #000000;    width: 6px; /* the groove expands to the size of the "
    "slider by default. by giving it a height, it has a fixed size */    background: qlineargradient(x1:0, y1:0, x2:0, "
    "y2:1, stop:0 #c4c4c4, stop:1 #B1B1B1);    margin: 0px 0px;}QSlider::handle:vertical {    background: "
    "qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #C0C0C0, stop:1 #606060);    border: 1px solid #000000;    "
    "height: 28px;    margin: 0px -14px; /* handle is placed by default on the contents rect of the groove. Expand "
    "outside the groove */    border-radius: 2px;}";

namespace {

constexpr int labelPixelSize = 12;

QMouseEventLabel *imageButton(const QString &image, int tag, const QString &toolTip, QWidget *parent)
{
    auto *button = new QMouseEventLabel(parent);
    button->setPixmap(QPixmap(image));
    button->setProperty("tag", tag);
    button->setToolTip(toolTip);
    return button;
}

QString label(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

VRKExcelCellSliderView::VRKExcelCellSliderView(QWidget *parent)
    : QWidget(parent)
{
    m_addressLabel = new QLabel(this);
    m_addressLabel->setAlignment(Qt::AlignCenter);
    m_addressLabel->setStyleSheet(QStringLiteral("font-weight:bold; background-image: url(:resources/metal.jpg); "
                                                 "font-size: 12px; border-left: 1px solid #606060; border-right: 1px "
                                                 "solid #D0D0D0"));

    m_watch = new VRKExcelWatchView(this);
    m_watch->removeDisplayFlags(224);
    m_watch->removeDisplayFlags(28);
    m_watch->setFixedHeight(64);
    m_watch->setMinimumWidth(80);
    m_watch->setMaximumWidth(180);
    m_watch->setContentsMargins(1, 0, 0, 0);
    m_watch->data()->setDimensions({Dimension{0, QStringLiteral("test"), 0.0, 0.0}});
    DataExtractionSettings extraction = m_watch->data()->dataExtractionSettings();
    extraction.selection = {-1};
    m_watch->data()->setDataExtractionSettings(extraction);
    m_watch->setButtons({WatchButton{QStringLiteral("close"), QStringLiteral(":resources/watchbuttonclose.png")}});
    connect(m_watch, &VRKExcelWatchView::textClicked, this, &VRKExcelCellSliderView::watchTextClicked);
    connect(m_watch, &VRKExcelWatchView::graphClicked, this, &VRKExcelCellSliderView::watchGraphClicked);
    connect(m_watch, &VRKExcelWatchView::closeRequest, this, &VRKExcelCellSliderView::watchCloseRequest);
    connect(m_watch, &VRKExcelWatchView::buttonClicked, this, &VRKExcelCellSliderView::watchButtonClicked);

    m_buttonBar = new QWidget(this);
    auto *buttons = new QHBoxLayout(m_buttonBar);
    buttons->setContentsMargins(12, 0, 4, 0);
    for (QMouseEventLabel *button :
         {imageButton(QStringLiteral(":resources/btnScan1D.png"), 0, QStringLiteral("Go through full range"), m_buttonBar),
          imageButton(QStringLiteral(":resources/btnSliderSettings.png"), 1, QStringLiteral("Slider settings"),
                      m_buttonBar)}) {
        buttons->addWidget(button);
        connect(button, &QMouseEventLabel::mousePressed, this, &VRKExcelCellSliderView::btnClicked);
    }

    m_slider = new VRKSlider(this);
    connect(m_slider, &VRKSlider::valueChanged, this, &VRKExcelCellSliderView::sliderValueChanged);
    connect(m_slider, &QAbstractSlider::sliderPressed, this, qOverload<>(&QWidget::update));
    connect(m_slider, &VRKSlider::configChanged, this, &VRKExcelCellSliderView::sliderConfigChanged);

    setFixedWidth(90);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(3, 4, 3, 3);
    grid->addWidget(m_watch, 0, 0);
    grid->addWidget(m_buttonBar, 1, 0);
    grid->addWidget(m_slider, 2, 0);
    grid->addWidget(m_addressLabel, 3, 0);
    setContentsMargins(0, 0, 0, 1);

    applySliderStyle();
    connect(m_slider, &QAbstractSlider::sliderPressed, this, qOverload<>(&QWidget::repaint));
    connect(m_slider, &QAbstractSlider::sliderReleased, this, qOverload<>(&QWidget::repaint));
    connect(m_slider, &QAbstractSlider::sliderMoved, this, qOverload<>(&QWidget::repaint));
}

void VRKExcelCellSliderView::setRange(VRKExcelRange *range)
{
    if (range == m_range)
        return;
    if (m_range)
        disconnect(m_range, &QObject::destroyed, this, &VRKExcelCellSliderView::rangeDestroyed);
    m_range = range;
    if (!range)
        return;

    const QSignalBlocker blocker(this);
    // The cell's own double: a cell holding 43.7 gets a grid that reaches 43.7.
    const double v = range->value().toDouble();
    double minimum = 0, maximum = 1, step = 0.01;
    if (v != 0) {
        // Read from its text, the power of ten is the double nearest the decimal
        // one; pow and a division can miss it by a bit, and the grid with it.
        const double exponent = std::floor(std::log(std::abs(v)) / 2.302585092994046) - 2;
        step = QStringLiteral("1e%1").arg(exponent).toDouble();
        minimum = v > 0 ? 0 : 2 * v;
        maximum = v > 0 ? 2 * v : 0;
    }
    {
        // Binding shows the cell; it must not write the slider's snapped value back.
        const QSignalBlocker sliderBlocker(m_slider);
        m_slider->setConfig(minimum, maximum, step);
    }
    m_watch->data()->setMinMax(minimum, maximum);
    const double shown = range->value().toDouble();
    m_slider->setValueQuietly(shown);
    m_addressLabel->setText(range->address());
    connect(range, &QObject::destroyed, this, &VRKExcelCellSliderView::rangeDestroyed);
    m_watch->data()->resetValues();
    m_watch->setName(range->address());
    m_watch->data()->appendValue(range->value().toFloat());
}

void VRKExcelCellSliderView::showCellValue(double value)
{
    const QSignalBlocker blocker(this);
    m_slider->setValueQuietly(value);
}

void VRKExcelCellSliderView::setSelected(bool selected)
{
    if (selected == m_selected || (selected && isCellClosed()))
        return;
    m_selected = selected;
    emit selectedChanged();
    applySliderStyle();
    update();
}

void VRKExcelCellSliderView::markCellClosed(const QString &reason)
{
    if (isCellClosed())
        return;
    setSelected(false);
    m_slider->setEnabled(false);
    m_buttonBar->setEnabled(false);
    m_watch->markCellClosed(reason);
}

bool VRKExcelCellSliderView::isCellClosed() const
{
    return m_watch->isCellClosed();
}

void VRKExcelCellSliderView::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    applySliderStyle();
    m_slider->setActive(active);
    update();
}

void VRKExcelCellSliderView::applySliderStyle()
{
    m_slider->setStyleSheet(QString::fromLatin1(m_slider->isEnabled() ? enabledSliderStyle : disabledSliderStyle));
}

void VRKExcelCellSliderView::changeEvent(QEvent *event)
{
    // The handle's look follows the enabled state.
    if (event->type() == QEvent::EnabledChange)
        applySliderStyle();
    QWidget::changeEvent(event);
}

void VRKExcelCellSliderView::btnClicked()
{
    auto *button = qobject_cast<QMouseEventLabel *>(sender());
    if (!button)
        return;
    const int tag = button->property("tag").toInt();
    if (tag == 0)
        emit buttonScan1DClicked();
    else if (tag == 1)
        emit buttonSettingsClicked();
}

void VRKExcelCellSliderView::watchButtonClicked(QString name)
{
    if (name == QLatin1String("close"))
        emit closeRequest();
}

void VRKExcelCellSliderView::watchCloseRequest()
{
    emit closeRequest();
}

void VRKExcelCellSliderView::watchGraphClicked()
{
    setSelected(!m_selected);
}

void VRKExcelCellSliderView::watchTextClicked()
{
    setSelected(!m_selected);
}

void VRKExcelCellSliderView::sliderConfigChanged()
{
    emit configChanged();
}

void VRKExcelCellSliderView::rangeDestroyed()
{
    setRange(nullptr);
}

void VRKExcelCellSliderView::sliderValueChanged(qreal value)
{
    bool handled = false;
    emit valueChanged(m_range, value, handled);
    if (!m_range || signalsBlocked())
        return;
    if (!handled)
        m_range->setValue(double(value));
}

// ---- painting ------------------------------------------------------------------

VRKExcelCellSliderView::Scale VRKExcelCellSliderView::scaleGeometry() const
{
    QRect r = m_slider->contentsRect();
    const int tx = r.left() + 6 + r.width() / 2;
    const QMargins margins = m_slider->contentsMargins();
    r.translate(m_slider->pos() + QPoint(margins.left(), margins.top()));
    return {tx, r.top() + 16, r.bottom() - 14};
}

void VRKExcelCellSliderView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect q = contentsRect();
    QLinearGradient background(2 * q.left() - q.right() - 1, q.top(), 2 * q.right() + 1 - q.left(), q.bottom());
    background.setColorAt(0, QColor(255, 255, 255, 100));
    background.setColorAt(1, QColor(0, 0, 0, 240));
    painter.fillRect(q, background);
    if (!(m_slider->stepValue() > 0))
        return;

    const Scale scale = scaleGeometry();
    if (scale.bottom < scale.top)
        return;
    paintTicks(painter, scale);
    if (m_range)
        paintLabels(painter, scale);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(scale.tx, scale.top, scale.tx + 14, scale.top);
    painter.drawLine(scale.tx, scale.bottom, scale.tx + 14, scale.bottom);
    paintFrame(painter);
}

void VRKExcelCellSliderView::paintTicks(QPainter &painter, const Scale &scale)
{
    const int length = scale.bottom + 1 - scale.top;
    QList<double> offsets, values;
    computeTicks(length, 14, m_slider->minValue(), m_slider->maxValue(), offsets, values);
    // Offsets count from the minimum, which sits at the bottom.
    auto yOf = [&](double offset) { return scale.top + length - offset; };
    painter.setPen(QPen(Qt::black, 1));
    for (double offset : std::as_const(offsets)) {
        const int y = int(std::round(yOf(offset)));
        if (scale.top < y && y < scale.bottom)
            painter.drawLine(scale.tx, y, scale.tx + 14, y);
    }
    if (offsets.size() < 2)
        return;
    const double d = offsets[1] - offsets[0];
    if (d <= 7)
        return;
    painter.setPen(QPen(QColor(30, 30, 30), 1));
    const double belowFirst = yOf(offsets[0]) + d / 2;
    if (belowFirst < scale.bottom)
        painter.drawLine(QPointF(scale.tx, belowFirst), QPointF(scale.tx + 6, belowFirst));
    for (double offset : std::as_const(offsets)) {
        const double y = yOf(offset) - d / 2;
        if (y > scale.top)
            painter.drawLine(QPointF(scale.tx, y), QPointF(scale.tx + 7, y));
    }
}

void VRKExcelCellSliderView::paintLabels(QPainter &painter, const Scale &scale)
{
    QFont font = painter.font();
    font.setPixelSize(labelPixelSize);
    font.setWeight(QFont::Normal);
    painter.setFont(font);
    const double minimum = m_slider->minValue();
    const double maximum = m_slider->maxValue();
    const double value = m_slider->value();
    const int length = scale.bottom + 1 - scale.top;
    const int hy = int(std::round((maximum - value) / (maximum - minimum) * length + scale.top));
    const QColor plain = m_active && isEnabled() && m_slider->isEnabled() ? QColor(Qt::white) : QColor(Qt::gray);
    const int x = scale.tx + 16;

    auto fading = [&](int distance) {
        QColor colour = plain;
        if (distance < labelPixelSize)
            colour.setAlpha(int(std::round(std::abs(distance) * 255.0 / labelPixelSize)));
        return colour;
    };
    if (hy > scale.top) {
        painter.setPen(fading(hy - scale.top));
        painter.drawText(x, scale.top + 3, label(maximum));
    }
    if (hy < scale.bottom) {
        painter.setPen(fading(scale.bottom - hy));
        painter.drawText(x, scale.bottom + 3, label(minimum));
    }
    const QString text = label(value);
    if (m_active) {
        painter.setPen(QColor(128, 53, 0));
        for (const QPoint &shadow : {QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
            painter.drawText(QPoint(x, hy + 3) + shadow, text);
        painter.setPen(QColor(255, 192, 0));
    } else {
        painter.setPen(Qt::lightGray);
    }
    painter.drawText(x, hy + 3, text);
}

void VRKExcelCellSliderView::paintFrame(QPainter &painter)
{
    const QRect q = contentsRect();
    painter.setBrush(Qt::NoBrush);
    if (m_selected) {
        painter.setPen(QPen(QColor(255, 221, 0), 2));
        painter.drawRoundedRect(q, 1, 1, Qt::AbsoluteSize);
        return;
    }
    painter.setPen(QPen(QColor(0, 0, 0, 200), 2));
    painter.drawRect(QRect(QPoint(q.left() + 1, q.top() + 1), QPoint(q.right() - 2, q.bottom() - 2)));
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1));
    painter.drawRect(QRect(QPoint(q.left() + 2, q.top() + 2), QPoint(q.right() - 1, q.bottom() - 1)));
}
