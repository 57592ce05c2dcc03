#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>

// Draws straight into a 32-bit image what a surface needs by the thousand,
// far cheaper than a general painter: convex faces, one-pixel lines and the
// round points.
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
    // An antialiased disc, and a circle's outline `width` pixels wide.
    void fillDisc(const QPointF &centre, double radius, const QColor &colour);
    void strokeCircle(const QPointF &centre, double radius, double width, const QColor &colour);

private:
    void blend(int x, int y, QRgb colour, int weight);
    // Blends the colour over the pixels round a centre, each by the share of
    // it that `coverage` gives for the distance of the pixel's centre.
    template <typename Coverage>
    void blendRound(const QPointF &centre, double reach, const QColor &colour, Coverage coverage);

    QImage &m_image;
};
