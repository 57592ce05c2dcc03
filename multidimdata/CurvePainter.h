#pragma once

#include <QImage>
#include <QList>
#include <QRect>

class MinMaxMultiDimData;
class QPainter;

// Draws a store's one-axis selection as a curve: a dot per sample and lines
// between neighbours, broken at missing samples once the data are complete.
// The drawing is cached in an image, with a margin for the dots round the
// rectangle, and redrawn only when the data, the 2D settings or the
// rectangle's size changed.
class CurvePainter
{
public:
    void paint(MinMaxMultiDimData &data, QPainter &painter, const QRect &rect);
    // The values changed: the next paint draws afresh.
    void invalidate() { m_stale = true; }

    const QImage &image() const { return m_image; }

    // Draws straight onto `painter`, without the cache.
    static void draw(const MinMaxMultiDimData &data, QPainter &painter, const QRect &rect);

private:
    static constexpr int cacheMargin = 3;

    QImage m_image;
    QSize m_size;
    bool m_stale = true;
    bool m_antialiased = false;
    bool m_complete = false;
    bool m_scanMode = false;
    QList<int> m_selection;
};
