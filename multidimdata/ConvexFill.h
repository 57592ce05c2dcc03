#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>

// Fills a convex polygon into a 32-bit image: every pixel whose centre lies
// inside gets the colour blended over it by its alpha. Neighbouring polygons
// that share an edge cover each pixel exactly once, so a translucent surface
// of many small faces shows no seams. Much cheaper than a general painter
// for the thousands of small faces of a surface.
class ConvexFill
{
public:
    explicit ConvexFill(QImage &image);
    void fill(const QPointF *points, int count, const QColor &colour);

private:
    QImage &m_image;
};
