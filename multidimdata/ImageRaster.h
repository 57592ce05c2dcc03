#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>

// Draws straight into a 32-bit image what a surface needs by the thousand,
// far cheaper than a general painter: convex faces and one-pixel lines.
class ImageRaster
{
public:
    explicit ImageRaster(QImage &image);

    // Every pixel whose centre lies inside gets the colour blended over it by
    // its alpha. Polygons that share an edge cover each pixel exactly once,
    // so a translucent surface of many faces shows no seams.
    void fillConvex(const QPointF *points, int count, const QColor &colour);
    // An antialiased line one pixel wide (each pixel covered by its share).
    void drawLine(const QPointF &from, const QPointF &to, const QColor &colour);

private:
    void blend(int x, int y, QRgb colour, int weight);

    QImage &m_image;
};
