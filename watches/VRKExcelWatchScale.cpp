#include "VRKExcelWatchScale.h"

#include "GraphPalette.h"
#include "MinMaxMultiDimData.h"
#include "Ticks.h"
#include "VRKExcelWatchView.h"

#include <QPainter>
#include <QTimer>

#include <cmath>

VRKExcelWatchScale::VRKExcelWatchScale(QWidget *parent)
    : QWidget(parent)
{
    m_lastPaintTime.start();
    m_repaintTimer = new QTimer(this);
    m_repaintTimer->setInterval(10);
    connect(m_repaintTimer, &QTimer::timeout, this, qOverload<>(&VRKExcelWatchScale::update));
}

void VRKExcelWatchScale::setWatch(VRKExcelWatchView *view)
{
    if (view == m_watch)
        return;
    VRKExcelWatchView *old = m_watch;
    m_watch = view;
    if (old) {
        disconnect(old, &VRKExcelWatchView::sizeChanged, this, nullptr);
        old->setScale(nullptr);
    }
    if (view) {
        view->setScale(this);
        connect(view, &VRKExcelWatchView::sizeChanged, this, &VRKExcelWatchScale::alignToGraph);
        alignToGraph();
    }
    update(false);
}

void VRKExcelWatchScale::alignToGraph()
{
    if (!m_watch)
        return;
    // Beside its watch, the bar spans exactly the graph's rows.
    const QRect graph = m_watch->area(VRKExcelWatchView::Graph);
    setFixedHeight(m_watch->height());
    setContentsMargins(0, graph.top(), 0, std::max(0, m_watch->height() - 1 - graph.bottom()));
    layOutBar();
}

void VRKExcelWatchScale::setRange(double minimum, double maximum)
{
    if (minimum == m_rangeMin && maximum == m_rangeMax)
        return;
    if (maximum <= minimum) {
        const double low = minimum - 0.5, high = maximum + 0.5;
        if (low == m_rangeMin && high == m_rangeMax)
            return;
        minimum = low;
        maximum = high;
    }
    m_rangeMin = minimum;
    m_rangeMax = maximum;
    computeScaleTicks();
}

bool VRKExcelWatchScale::repaintPending() const
{
    return m_repaintTimer->isActive();
}

void VRKExcelWatchScale::update(bool immediate)
{
    if (immediate) {
        m_repaintTimer->stop();
        repaint();
    } else if (m_lastPaintTime.elapsed() < m_minRepaintInterval) {
        m_repaintTimer->start();
    } else {
        m_repaintTimer->stop();
        QWidget::update();
    }
}

void VRKExcelWatchScale::update()
{
    update(false);
}

void VRKExcelWatchScale::computeScaleTicks()
{
    const QRect contents = contentsRect();
    computeTicks(contents.bottom() - contents.top(), 30, m_rangeMin, m_rangeMax, m_tickPositions, m_tickValues);
}

void VRKExcelWatchScale::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layOutBar();
}

void VRKExcelWatchScale::layOutBar()
{
    computeScaleTicks();
    m_barColours.clear();
    const int h = contentsRect().height();
    const QList<QRgb> &ramp = GraphPalette::ramp();
    for (int i = 0; i < h; ++i)
        m_barColours << QColor(ramp.at(int(double(h - i) / h * 255)));
}

void VRKExcelWatchScale::paintEvent(QPaintEvent *)
{
    const QRect contents = contentsRect();
    if (!m_watch || contents.isEmpty())
        return;
    m_lastPaintTime.start();
    setRange(m_watch->data()->minimum(), m_watch->data()->maximum());
    QPainter painter(this);
    for (int i = 0; i < m_barColours.size(); ++i) {
        painter.setPen(m_barColours[i]);
        painter.drawLine(contents.left(), contents.top() + i, contents.right(), contents.top() + i);
    }
    const int h = contents.height();
    if (!(m_rangeMax - m_rangeMin > 0))
        return;
    QFont font = painter.font();
    font.setPixelSize(8);
    painter.setFont(font);
    painter.setPen(QPen(Qt::white, 1));
    const QStringList labels = tickLabels(m_tickValues);
    for (qsizetype i = 0; i < m_tickPositions.size(); ++i) {
        // Counted from the top of the bar, which lines up with the graph
        // below the watch's title; a label stays on the bar, below a tick
        // too near its top.
        const int y = int(h - 1 - m_tickPositions[i] - 1);
        if (0 < y && y < h - 4)
            painter.drawText(QRect(contents.left() + 2, contents.top() + std::max(0, y - 10), contents.width() - 4, 10),
                             Qt::AlignLeft | Qt::AlignBottom, labels[i]);
    }
    paintCrossPoint(painter, contents);
}

void VRKExcelWatchScale::paintCrossPoint(QPainter &painter, const QRect &contents)
{
    const double value = m_watch->crossPointValue();
    if (!std::isfinite(value))
        return;
    const int w = width();
    const int h = contents.height();
    const int yc = contents.top() + int(h - (value - m_rangeMin) / (m_rangeMax - m_rangeMin) * h);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(0, yc, w, yc);

    QRect box(QPoint(4, yc - 7), QPoint(w - 5, yc + 6));
    if (box.top() < contents.top())
        box.moveTop(contents.top());
    if (box.bottom() > contents.top() + h)
        box.moveBottom(contents.top() + h);
    QFont font = painter.font();
    font.setWeight(QFont::Bold);
    const QString text = QString::number(value, 'g', 3);
    int textWidth = QFontMetrics(font).horizontalAdvance(text);
    if (textWidth > box.width() && textWidth < w - 2) {
        box.setLeft(2);
        box.setRight(w - 3);
        if (box.width() >= w - 5)
            font.setPixelSize(std::max(1, font.pixelSize() - 1));
        textWidth = QFontMetrics(font).horizontalAdvance(text);
    }
    painter.setFont(font);
    painter.fillRect(box, QColor(255, 255, 204, 230));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    const int alignment = textWidth > box.width() - 2 ? (Qt::AlignLeft | Qt::AlignVCenter)
                                                      : (Qt::AlignHCenter | Qt::AlignVCenter);
    painter.drawText(box.adjusted(1, 1, -1, -1), alignment, text);
}
