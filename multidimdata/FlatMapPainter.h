#pragma once

#include <QImage>
#include <QList>
#include <QRect>

class MinMaxMultiDimData;
class QPainter;

// Draws a store's two-axis selection as a flat colour map: one pixel per
// grid point in an indexed image, rebuilt only when the values or the
// selection changed, then scaled into the graph.
class FlatMapPainter
{
public:
    void paint(MinMaxMultiDimData &data, QPainter &painter, const QRect &rect);
    // The values changed: the next paint rebuilds the map.
    void invalidate() { m_built = false; }
    const QImage &image() const { return m_flatImage; }

private:
    void rebuild(const MinMaxMultiDimData &data);

    QImage m_flatImage;
    QList<int> m_lastFlatSelection;
    bool m_built = false;
};
