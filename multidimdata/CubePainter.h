#pragma once

#include "CubeAxes.h"
#include "ImageRaster.h"
#include "SurfaceMesh.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRect>

class MinMaxMultiDimData;

// Draws a store's two-axis selection as a lit surface in a box. The render
// image is kept and redrawn only as far as the dirty flags require: values or
// selection rebuild the mesh, the perspective re-projects it, cube settings
// alone re-map it to the screen.
class CubePainter
{
public:
    // Cells kept by a simplified grid: budget / (budget + 1) of them.
    static constexpr double simplifyBudget = 1.0;

    void paint(MinMaxMultiDimData &data, QPainter &painter, const QRect &rect);
    // The values changed: the next paint builds the mesh again.
    void invalidate() { m_meshBuilt = false; }

    const QImage &image() const { return m_cubeImage; }
    const SurfaceMesh &mesh() const { return m_mesh; }
    const CubeAxes &axes() const { return m_axes; }
    qint64 lastRenderTime() const { return m_lastRenderTime; }

private:
    bool prepareImage(const MinMaxMultiDimData &data);
    void render(MinMaxMultiDimData &data);
    void drawSurface(const MinMaxMultiDimData &data);
    // What the faces of one render share, worked out once.
    struct FaceStyle
    {
        QColor base;       // the surface's colour before the lights
        QColor outline;    // the faint outline of a face that is not filled
        bool outlineOnly;  // a transparent surface or a draft
        float faintAlpha;  // a filled face's own outline
        float gridAlpha;   // its grid lines
        bool antialiased;
    };
    static FaceStyle faceStyle(const DrawSettings3DCube &cube, bool antialiased);
    void drawFace(const MinMaxMultiDimData &data, const SurfaceMesh::Face &face, const FaceStyle &style);
    QColor lit(const QColor &base, int intensity);
    void drawPoints(const MinMaxMultiDimData &data, const SurfaceMesh::Face &face);
    static CubeAxesContent axesContent(const MinMaxMultiDimData &data);

    SurfaceMesh m_mesh;
    QImage m_cubeImage;
    QPainter m_cubePainter;
    ImageRaster *m_raster = nullptr; // during a render
    qint64 m_lastRenderTime = 0;
    bool m_meshBuilt = false;
    QColor m_litBase;
    QHash<int, QColor> m_litColours;
    CubeAxes m_axes;
    CubeAxesContent m_axesContent;
};
