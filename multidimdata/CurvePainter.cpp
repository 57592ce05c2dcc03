#include "CurvePainter.h"
#include "DataLogging.h"

#include "MinMaxMultiDimData.h"

#include <QDebug>
#include <QLineF>
#include <QPainter>

#include <cmath>

void CurvePainter::paint(MinMaxMultiDimData &data, QPainter &painter, const QRect &rect)
{
    if (rect.isEmpty())
        return;
    const bool antialiased = painter.testRenderHint(QPainter::Antialiasing);
    const bool stale = m_stale || data.settingsDirty(MinMaxMultiDimData::SettingsRecord::Draw2D)
                       || m_selection != data.dataExtractionSettings().selection || m_size != rect.size()
                       || m_antialiased != antialiased || m_complete != data.dataComplete()
                       || m_scanMode != data.displayAsScan();
    // The dots reach over the rectangle: the peak's lies a pixel above it.
    const QPoint margin(cacheMargin, cacheMargin);
    if (stale) {
        m_size = rect.size();
        m_image = QImage(rect.size() + QSize(2 * cacheMargin, 2 * cacheMargin), QImage::Format_ARGB32_Premultiplied);
        m_image.fill(Qt::transparent);
        QPainter imagePainter(&m_image);
        imagePainter.setRenderHint(QPainter::Antialiasing, antialiased);
        draw(data, imagePainter, QRect(margin, rect.size()));
        m_stale = false;
        m_antialiased = antialiased;
        m_complete = data.dataComplete();
        m_scanMode = data.displayAsScan();
        m_selection = data.dataExtractionSettings().selection;
        data.clearSettingsDirty(MinMaxMultiDimData::SettingsRecord::Draw2D);
    }
    painter.drawImage(rect.topLeft() - margin, m_image);
}

void CurvePainter::draw(const MinMaxMultiDimData &data, QPainter &painter, const QRect &rect)
{
    const QList<double> values = data.extract(data.dataExtractionSettings().selection);
    if (values.isEmpty()) {
        qCDebug(lcData) << "paint2D: no values";
        return;
    }
    double lo = data.minimum();
    double hi = data.maximum();
    if (lo == hi) {
        lo -= 1;
        hi += 1;
    }
    const double span = hi - lo;
    const qsizetype n = values.size();
    double step = 2;
    if (!data.displayAsScan())
        step = n >= 2 ? double(rect.right() - rect.left()) / double(n - 1) : rect.right() - rect.left() + 1;

    QColor colour(0xffee00);
    colour.setAlphaF(float(data.drawSettings2D().alpha));
    QPen pen = painter.pen();
    pen.setColor(colour);
    painter.setPen(pen);
    painter.setBrush(colour);

    QList<int> gaps;
    QList<QPointF> valid;
    QList<QPointF> all;
    double x = rect.right();
    const double height = rect.bottom() - rect.top() + 1;
    for (qsizetype i = n - 1; i >= 0 && x > rect.left() - 1; --i, x -= step) {
        const double v = values[i];
        const double y = rect.bottom() - (v - lo) / span * height;
        if (std::isnan(v)) {
            gaps << int(x);
        } else {
            painter.drawEllipse(QRectF(x - 1.2, y - 1.2, 2.4, 2.4));
            valid << QPointF(x, y);
        }
        all << QPointF(x, y);
    }

    pen.setWidth(1);
    painter.setPen(pen);
    QList<QLineF> lines;
    if (data.dataComplete()) {
        for (qsizetype i = 1; i < all.size(); ++i)
            if (!gaps.contains(int(all[i - 1].x())) && !gaps.contains(int(all[i].x())))
                lines << QLineF(all[i - 1], all[i]);
    } else {
        for (qsizetype i = 1; i < valid.size(); ++i)
            lines << QLineF(valid[i - 1], valid[i]);
    }
    painter.drawLines(lines);
}
