#include "ImageRaster.h"

#include <algorithm>
#include <cmath>

ImageRaster::ImageRaster(QImage &image)
    : m_image(image)
{
}

void ImageRaster::fillConvex(const QPointF *points, int count, const QColor &colour)
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

void ImageRaster::blend(int x, int y, QRgb colour, int weight)
{
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height() || weight <= 0)
        return;
    QRgb &d = reinterpret_cast<QRgb *>(m_image.scanLine(y))[x];
    const int keep = 256 - weight;
    d = qRgb((qRed(colour) * weight + qRed(d) * keep) >> 8, (qGreen(colour) * weight + qGreen(d) * keep) >> 8,
             (qBlue(colour) * weight + qBlue(d) * keep) >> 8);
}

void ImageRaster::drawLine(const QPointF &from, const QPointF &to, const QColor &colour)
{
    // Wu's line: along the major axis, each step covers the two pixels across
    // it in proportion to the line's distance from their centres.
    const int alpha = colour.alpha() + (colour.alpha() >> 7);
    if (alpha == 0)
        return;
    const QRgb rgb = colour.rgb();
    double x0 = from.x() - 0.5, y0 = from.y() - 0.5, x1 = to.x() - 0.5, y1 = to.y() - 0.5;
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
        return;
    const bool steep = std::abs(y1 - y0) > std::abs(x1 - x0);
    if (steep) {
        std::swap(x0, y0);
        std::swap(x1, y1);
    }
    if (x0 > x1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const double dx = x1 - x0;
    const double gradient = dx > 0 ? (y1 - y0) / dx : 0;
    const int first = int(std::ceil(x0)), last = int(std::floor(x1));
    const int limit = steep ? m_image.height() : m_image.width();
    for (int x = std::max(first, 0); x <= std::min(last, limit - 1); ++x) {
        const double y = y0 + gradient * (x - x0);
        const int low = int(std::floor(y));
        const int share = int((y - low) * alpha);
        if (steep) {
            blend(low, x, rgb, alpha - share);
            blend(low + 1, x, rgb, share);
        } else {
            blend(x, low, rgb, alpha - share);
            blend(x, low + 1, rgb, share);
        }
    }
}

template <typename Coverage>
void ImageRaster::blendRound(const QPointF &centre, double reach, const QColor &colour, Coverage coverage)
{
    const int alpha = colour.alpha() + (colour.alpha() >> 7);
    if (alpha == 0 || !std::isfinite(centre.x()) || !std::isfinite(centre.y()) || !(reach > 0))
        return;
    const QRgb rgb = colour.rgb();
    const int left = std::max(0, int(std::floor(centre.x() - reach)));
    const int right = std::min(m_image.width() - 1, int(std::ceil(centre.x() + reach)));
    const int top = std::max(0, int(std::floor(centre.y() - reach)));
    const int bottom = std::min(m_image.height() - 1, int(std::ceil(centre.y() + reach)));
    for (int y = top; y <= bottom; ++y) {
        const double dy = y + 0.5 - centre.y();
        for (int x = left; x <= right; ++x) {
            const double dx = x + 0.5 - centre.x();
            const double share = std::clamp(coverage(std::sqrt(dx * dx + dy * dy)), 0.0, 1.0);
            blend(x, y, rgb, int(share * alpha));
        }
    }
}

void ImageRaster::fillDisc(const QPointF &centre, double radius, const QColor &colour)
{
    // A pixel is covered in proportion to how far inside the edge its centre lies.
    blendRound(centre, radius + 0.5, colour, [radius](double distance) { return radius + 0.5 - distance; });
}

void ImageRaster::strokeCircle(const QPointF &centre, double radius, double width, const QColor &colour)
{
    const double half = width / 2;
    blendRound(centre, radius + half + 0.5, colour,
               [radius, half](double distance) { return half + 0.5 - std::abs(distance - radius); });
}
