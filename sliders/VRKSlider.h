#pragma once

#include <QElapsedTimer>
#include <QSlider>

#include <optional>

class QTimer;

// A vertical slider over a real range with a step. The handle position is an
// integer 0 .. 100000; the value it stands for is snapped to the decimal step
// grid counted from `minValue` (StepGrid), so the value announced, and written
// into the cell, is the number shown. Value notifications are throttled so
// that dragging does not flood the spreadsheet with writes, yet the final
// position is always announced.
class VRKSlider : public QSlider
{
    Q_OBJECT
public:
    static constexpr int positionCount = 100000;

    explicit VRKSlider(QWidget *parent = nullptr);

    double value() const;
    void setValue(double value);
    // Shows a value that came from the cell: nothing is announced, now or
    // later, and the next move away from it is announced as usual.
    void setValueQuietly(double value);
    int position() const { return QSlider::value(); }

    double minValue() const { return m_minValue; }
    double maxValue() const { return m_maxValue; }
    double stepValue() const { return m_stepValue; }
    void setMinValue(double value);
    void setMaxValue(double value);
    void setStepValue(double value);
    // All three at once, keeping the current value; one configChanged().
    void setConfig(double minValue, double maxValue, double stepValue);
    void normalize();

    bool isActive() const { return m_active; }
    void setActive(bool active);

    qint64 minEmitInterval() const { return m_minEmitInterval; }
    void setMinEmitInterval(qint64 milliseconds) { m_minEmitInterval = milliseconds; }

signals:
    void configChanged();
    void valueChanged(qreal value);

public slots:
    void sliderValueChanged(int position);
    void timerFired();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void normalizePass();
    void announce();

    double m_minValue = 0.0;
    double m_maxValue = 10.0;
    double m_stepValue = 0.5;
    std::optional<double> m_lastEmittedValue;
    QTimer *m_emitTimer;
    QElapsedTimer m_lastEmitTime;
    qint64 m_minEmitInterval = 10;
    bool m_active = false;
    bool m_normalizing = false;
};
