#include "ConvexFill.h"

#include <algorithm>
#include <cmath>

ConvexFill::ConvexFill(QImage &image)
    : m_image(image)
{
}

void ConvexFill::fill(const QPointF *points, int count, const QColor &colour)
{
    if (count < 3 || m_image.isNull())
        return;
    const int alpha = colour.alpha();
    if (alpha == 0)
        return;
    const int weight = alpha + (alpha >> 7); // 0 .. 256
    const QRgb rgb = colour.rgb();
    const int red = qRed(rgb) * weight, green = qGreen(rgb) * weight, blue = qBlue(rgb) * weight;
    const int keep = 256 - weight;

    double top = points[0].y(), bottom = points[0].y();
    for (int i = 1; i < count; ++i) {
        top = std::min(top, points[i].y());
        bottom = std::max(bottom, points[i].y());
    }
    if (!std::isfinite(top) || !std::isfinite(bottom))
        return;
    const int height = m_image.height(), width = m_image.width();
    const int firstRow = std::max(0, int(std::ceil(top - 0.5)));
    const int lastRow = std::min(height - 1, int(std::ceil(bottom - 0.5)) - 1);
    for (int y = firstRow; y <= lastRow; ++y) {
        const double centre = y + 0.5;
        double left = 1e300, right = -1e300;
        for (int i = 0; i < count; ++i) {
            const QPointF &p = points[i];
            const QPointF &q = points[(i + 1) % count];
            // Half-open in y, so a vertex on the centre line counts once.
            if ((p.y() <= centre) == (q.y() <= centre))
                continue;
            const double x = p.x() + (centre - p.y()) * (q.x() - p.x()) / (q.y() - p.y());
            left = std::min(left, x);
            right = std::max(right, x);
        }
        if (!(left <= right))
            continue;
        const int from = std::max(0, int(std::ceil(left - 0.5)));
        const int to = std::min(width, int(std::ceil(right - 0.5)));
        auto *line = reinterpret_cast<QRgb *>(m_image.scanLine(y));
        for (int x = from; x < to; ++x) {
            const QRgb d = line[x];
            line[x] = qRgb((red + qRed(d) * keep) >> 8, (green + qGreen(d) * keep) >> 8, (blue + qBlue(d) * keep) >> 8);
        }
    }
}
