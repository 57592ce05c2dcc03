#include "VRKSlider.h"
#include "SliderLogging.h"

#include "CachedImageLoader.h"
#include "StepGrid.h"

#include <QDebug>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcSliders, "tarvio.sliders", QtWarningMsg)

namespace {

// Nearest integer, halves upward (also below zero: -2.5 gives -2).
double nearest(double x)
{
    return std::floor(x + 0.5);
}

// Settings beyond this magnitude are clamped, so spans and steps stay finite.
constexpr double valueLimit = 1e300;
// More steps than a double can tell apart are not a grid.
constexpr double minStepFraction = 1e-15;
// Moving the minimum to the grid shifts it by at most half a step, so a few
// passes settle; the bound only guards against rounding at the extremes.
constexpr int maxNormalizePasses = 16;

double limited(double x)
{
    return std::clamp(x, -valueLimit, valueLimit);
}

} // namespace

VRKSlider::VRKSlider(QWidget *parent)
    : QSlider(Qt::Vertical, parent)
    , m_emitTimer(new QTimer(this))
{
    setRange(0, positionCount);
    setTickPosition(QSlider::NoTicks);
    m_lastEmitTime.start();
    m_emitTimer->setInterval(20);
    connect(m_emitTimer, &QTimer::timeout, this, &VRKSlider::timerFired);
    connect(this, &QAbstractSlider::valueChanged, this, &VRKSlider::sliderValueChanged);
    setStepValue(0.5);
    setValue(0.0);
    setFixedWidth(50);
}

double VRKSlider::value() const
{
    double raw = m_minValue;
    if (maximum() != minimum())
        raw = m_minValue + position() / double(positionCount) * (m_maxValue - m_minValue);
    if (m_stepValue > 0)
        return StepGrid(m_minValue, m_stepValue).snap(raw);
    return raw;
}

void VRKSlider::setValue(double value)
{
    if (std::isnan(value))
        return;
    int newPosition = 0;
    if (m_maxValue != m_minValue) {
        // Truncated, not rounded; the slider clamps to its ends.
        const double exact = std::trunc((value - m_minValue) / (m_maxValue - m_minValue) * positionCount);
        newPosition = static_cast<int>(std::clamp(exact, -1.0, positionCount + 1.0));
    }
    QSlider::setValue(newPosition);
}

void VRKSlider::setValueQuietly(double value)
{
    {
        const QSignalBlocker blocker(this);
        setValue(value);
    }
    m_emitTimer->stop();
    m_lastEmittedValue = this->value();
    if (QWidget *parent = parentWidget())
        parent->update();
}

void VRKSlider::setMinValue(double value)
{
    if (std::isnan(value))
        return;
    value = std::min(limited(value), m_maxValue);
    if (value == m_minValue)
        return;
    m_minValue = value;
    normalize();
    emit configChanged();
}

void VRKSlider::setMaxValue(double value)
{
    if (std::isnan(value))
        return;
    value = std::max(limited(value), m_minValue);
    if (value == m_maxValue)
        return;
    m_maxValue = value;
    normalize();
    emit configChanged();
}

void VRKSlider::setStepValue(double value)
{
    if (std::isnan(value))
        return;
    value = std::clamp(value, 0.0, valueLimit);
    if (value == m_stepValue)
        return;
    m_stepValue = value;
    normalize();
    emit configChanged();
}

void VRKSlider::setConfig(double minValue, double maxValue, double stepValue)
{
    if (!std::isfinite(minValue) || !std::isfinite(maxValue) || std::isnan(stepValue)) {
        qCDebug(lcSliders) << "Ignoring slider configuration" << minValue << maxValue << stepValue;
        return;
    }
    const bool wasBlocked = blockSignals(true);
    const double current = value();
    m_minValue = limited(minValue);
    m_maxValue = limited(maxValue);
    m_stepValue = std::clamp(stepValue, -valueLimit, valueLimit);
    normalize();
    setValue(current);
    blockSignals(wasBlocked);
    update();
    emit configChanged();
}

void VRKSlider::normalize()
{
    // The setters called by a pass re-enter here; the outer call repeats the
    // pass until nothing moves instead of recursing.
    if (m_normalizing)
        return;
    m_normalizing = true;
    for (int pass = 0; pass < maxNormalizePasses; ++pass) {
        const double minBefore = m_minValue;
        const double maxBefore = m_maxValue;
        const double stepBefore = m_stepValue;
        normalizePass();
        if (m_minValue == minBefore && m_maxValue == maxBefore && m_stepValue == stepBefore)
            break;
    }
    m_normalizing = false;

    setValue(StepGrid(m_minValue, m_stepValue).snap(value()));
    if (value() < m_minValue)
        setValue(m_minValue);
    else if (value() > m_maxValue)
        setValue(m_maxValue);
}

void VRKSlider::normalizePass()
{
    if (m_minValue >= m_maxValue) {
        // Far from zero, adding 1 would not change a double.
        const double gap = std::max(1.0, std::abs(m_minValue) * 1e-12);
        if (m_minValue + gap <= valueLimit)
            m_maxValue = m_minValue + gap;
        else
            m_minValue = m_maxValue - gap; // at the upper limit the range opens downward
    }
    const double span = m_maxValue - m_minValue;
    if (m_stepValue <= 0)
        m_stepValue = span * 0.5;
    // A step larger than the span cannot be placed on the grid.
    m_stepValue = std::clamp(m_stepValue, span * minStepFraction, span);
    setMinValue(StepGrid(0, m_stepValue).snap(m_minValue));
    setMaxValue(StepGrid(m_minValue, m_stepValue).snap(m_maxValue));
}

void VRKSlider::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    update();
}

void VRKSlider::sliderValueChanged(int)
{
    // The cell slider view draws the value next to the handle.
    if (QWidget *parent = parentWidget())
        parent->repaint();
    m_emitTimer->stop();
    if (m_minEmitInterval != 0 && m_lastEmitTime.elapsed() <= m_minEmitInterval) {
        m_emitTimer->start();
        return;
    }
    announce();
}

void VRKSlider::timerFired()
{
    m_emitTimer->stop();
    announce();
}

void VRKSlider::announce()
{
    const double current = value();
    if (!m_lastEmittedValue || *m_lastEmittedValue != current) {
        m_lastEmittedValue = current;
        emit valueChanged(current);
    }
    m_lastEmitTime.restart();
}

void VRKSlider::paintEvent(QPaintEvent *event)
{
    QSlider::paintEvent(event);
    if (!m_active || !isEnabled())
        return;
    const QImage background = CachedImageLoader::image(QStringLiteral(":resources/ActiveSliderBackground.png"));
    if (background.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double fromTop = double(positionCount - position()) / positionCount * (height() - 32);
    painter.drawImage(3, static_cast<int>(nearest(fromTop)) - 4, background);
}
