#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QWidget>

class QTimer;
class VRKExcelWatchView;

// The legend beside a flat colour map: the linked watch's value range as a
// colour bar with ticks, and the value under the cross-hair marked on it.
class VRKExcelWatchScale : public QWidget
{
    Q_OBJECT
public:
    explicit VRKExcelWatchScale(QWidget *parent = nullptr);

    VRKExcelWatchView *watch() const { return m_watch; }
    // Links both ways; the watch's own setter calls back here.
    void setWatch(VRKExcelWatchView *view);

    double rangeMin() const { return m_rangeMin; }
    double rangeMax() const { return m_rangeMax; }
    void setRange(double minimum, double maximum);
    const QList<double> &tickValues() const { return m_tickValues; }
    bool repaintPending() const;

public slots:
    void update(bool immediate);
    void update();
    // Takes the linked watch's height and lines the bar up with its graph.
    void alignToGraph();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void computeScaleTicks();
    // Ticks and one colour per row of the contents.
    void layOutBar();
    void paintCrossPoint(QPainter &painter, const QRect &contents);

    QPointer<VRKExcelWatchView> m_watch;
    double m_rangeMin = 0;
    double m_rangeMax = 0;
    QList<double> m_tickPositions;
    QList<double> m_tickValues;
    QList<QColor> m_barColours;
    QElapsedTimer m_lastPaintTime;
    qint64 m_minRepaintInterval = 10;
    QTimer *m_repaintTimer;
};
