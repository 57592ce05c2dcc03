#include "CubePainter.h"

#include "GraphPalette.h"
#include "MinMaxMultiDimData.h"

#include <QElapsedTimer>

#include <cmath>

namespace {

using Record = MinMaxMultiDimData::SettingsRecord;

// One-pixel lines go to the thin-line rasteriser, much faster than the stroker.
QPen thinPen(const QColor &colour)
{
    QPen pen(colour, 1);
    pen.setCosmetic(true);
    return pen;
}

// The factor for QColor::lighter from a light intensity: the lights only
// brighten (150 brightens by half), and lighter() darkens below 100.
int brightening(double intensity)
{
    return std::max(100, int(intensity));
}

} // namespace

void CubePainter::paint(MinMaxMultiDimData &data, QPainter &painter, const QRect &rect)
{
    if (!m_meshBuilt || data.settingsDirty(Record::Extraction) || data.settingsDirty(Record::Perspective)
        || data.settingsDirty(Record::Draw3DCube) || data.valueLabel() != m_axesContent.valueTitle)
        render(data);
    if (m_cubeImage.isNull())
        return;
    if (m_cubeImage.size() == rect.size())
        painter.drawImage(rect.topLeft(), m_cubeImage);
    else
        painter.drawImage(rect, m_cubeImage, m_cubeImage.rect());
}

bool CubePainter::prepareImage(const MinMaxMultiDimData &data)
{
    const DrawSettings3DCube &cube = data.drawSettings3DCube();
    const int a = data.freeAxis(0), b = data.freeAxis(1);
    const bool axesUsable = a >= 0 && b >= 0 && data.dimensions().value(a).count > 1
                            && data.dimensions().value(b).count > 1;
    const QSize size(int(cube.imageSize.width() * cube.renderScale), int(cube.imageSize.height() * cube.renderScale));
    if (!(data.maximum() - data.minimum() > 0) || !axesUsable || size.width() <= 0 || size.height() <= 0) {
        m_cubeImage = QImage();
        return false;
    }
    m_cubeImage = QImage(size, QImage::Format_RGB32);
    m_cubeImage.fill(0xff180100);
    return true;
}

void CubePainter::render(MinMaxMultiDimData &data)
{
    QElapsedTimer timer;
    timer.start();
    const DrawSettings3DCube &cube = data.drawSettings3DCube();
    const PerspectiveSettings &perspective = data.perspectiveSettings();
    if (!prepareImage(data)) {
        m_meshBuilt = false;
        return;
    }
    if (!m_meshBuilt || data.settingsDirty(Record::Extraction)) {
        m_mesh.build(data, simplifyBudget);
        data.clearSettingsDirty(Record::Extraction);
        m_mesh.transform(perspective);
        m_mesh.mapToScreen(m_cubeImage.size(), perspective);
    } else if (data.settingsDirty(Record::Perspective)) {
        m_mesh.transform(perspective);
        m_mesh.mapToScreen(m_cubeImage.size(), perspective);
    } else {
        m_mesh.mapToScreen(m_cubeImage.size(), perspective);
    }
    m_meshBuilt = true;
    data.clearSettingsDirty(Record::Perspective);
    data.clearSettingsDirty(Record::Draw3DCube);

    // The faces are filled straight into the image (scanLine() before the
    // painter starts, so the image is not detached under it).
    m_cubeImage.scanLine(0);
    ImageRaster raster(m_cubeImage);
    m_raster = &raster;
    m_cubePainter.begin(&m_cubeImage);
    m_cubePainter.setRenderHint(QPainter::Antialiasing, cube.smooth && !cube.fastDraw && !cube.disableAntialiasing);
    m_cubePainter.setClipRect(m_cubeImage.rect());
    emit data.beforePaint3D(m_cubePainter);
    m_axesContent = axesContent(data);
    m_axes.draw(m_cubePainter, m_mesh, m_axesContent, false);
    drawSurface(data);
    m_axes.draw(m_cubePainter, m_mesh, m_axesContent, true);
    emit data.afterPaint3D(m_cubePainter);
    m_cubePainter.end();
    m_raster = nullptr;
    if (!cube.fastDraw)
        m_lastRenderTime = timer.elapsed();
}

QColor CubePainter::lit(const QColor &base, int intensity)
{
    // One render lights one base colour at a few hundred intensities at most.
    if (base != m_litBase) {
        m_litBase = base;
        m_litColours.clear();
    }
    auto found = m_litColours.constFind(intensity);
    if (found == m_litColours.constEnd())
        found = m_litColours.insert(intensity, base.lighter(intensity));
    return *found;
}

void CubePainter::drawSurface(const MinMaxMultiDimData &data)
{
    const DrawSettings3DCube &cube = data.drawSettings3DCube();
    QList<SurfaceMesh::Vertex> &vertices = m_mesh.vertices();
    // The limits are grid indices; a thinned mesh marks the used ones nearest to them.
    const QList<int> &columns = m_mesh.usedColumns(), &rows = m_mesh.usedRows();
    const bool crossInside = !columns.isEmpty() && !rows.isEmpty() && cube.fillLimitX >= 0
                             && cube.fillLimitX <= columns.last() && cube.fillLimitY >= 0
                             && cube.fillLimitY <= rows.last();
    const auto nearest = [](const QList<int> &used, int index) {
        const auto at = std::lower_bound(used.begin(), used.end(), index);
        if (at == used.end())
            return int(used.size()) - 1;
        if (at != used.begin() && index - *(at - 1) < *at - index)
            return int(at - used.begin()) - 1;
        return int(at - used.begin());
    };
    const int crossColumn = crossInside ? nearest(columns, cube.fillLimitX) : -1;
    const int crossRow = crossInside ? nearest(rows, cube.fillLimitY) : -1;
    for (SurfaceMesh::Vertex &vertex : vertices) {
        vertex.drawnOnce = 0;
        vertex.onFillLimit = crossInside && (vertex.column == crossColumn || vertex.row == crossRow);
    }
    const FaceStyle style = faceStyle(cube, m_cubePainter.testRenderHint(QPainter::Antialiasing));
    for (int f : m_mesh.order()) {
        const SurfaceMesh::Face &face = m_mesh.faces()[f];
        drawFace(data, face, style);
        if (cube.drawPoints)
            drawPoints(data, face);
    }
}

CubePainter::FaceStyle CubePainter::faceStyle(const DrawSettings3DCube &cube, bool antialiased)
{
    FaceStyle style;
    style.base = cube.surfaceColor.darker(cube.drawPoints ? 250 : 130);
    style.base.setAlphaF(float(cube.alpha));
    style.outline = cube.outlineColor;
    style.outline.setAlpha(20);
    style.outlineOnly = cube.surfaceColor == QColor(Qt::transparent) || cube.fastDraw;
    // The lights change a colour's brightness, not its alpha.
    style.faintAlpha = float(std::pow(style.base.alphaF(), 6));
    style.gridAlpha = float(std::min(2 * cube.alpha + 0.2, 1.0));
    style.antialiased = antialiased;
    return style;
}

void CubePainter::drawFace(const MinMaxMultiDimData &data, const SurfaceMesh::Face &face, const FaceStyle &style)
{
    const DrawSettings3DCube &cube = data.drawSettings3DCube();
    const QList<SurfaceMesh::Vertex> &vertices = m_mesh.vertices();
    QPointF polygon[8];
    const int count = int(std::min<qsizetype>(face.vertices.size(), 7));
    bool anyNaN = false;
    for (int i = 0; i < count; ++i) {
        const SurfaceMesh::Vertex &vertex = vertices[face.vertices[i]];
        polygon[i] = vertex.stages[SurfaceMesh::Screen].toPointF();
        anyNaN = anyNaN || vertex.isNaN;
    }
    polygon[count] = polygon[0];
    double left = polygon[0].x(), right = left, top = polygon[0].y(), bottom = top;
    for (int i = 1; i < count; ++i) {
        left = std::min(left, polygon[i].x());
        right = std::max(right, polygon[i].x());
        top = std::min(top, polygon[i].y());
        bottom = std::max(bottom, polygon[i].y());
    }
    if (!(right >= -1 && bottom >= -1 && left <= m_cubeImage.width() + 1 && top <= m_cubeImage.height() + 1))
        return;

    // A scan in progress fills every cell with a sample or a stand-in, so a
    // face is filled as soon as its corners hold values.
    if (style.outlineOnly || anyNaN) {
        // A draft outlines every face: the pen is set once, not per face.
        if (m_cubePainter.pen().color() != style.outline)
            m_cubePainter.setPen(thinPen(style.outline));
        m_cubePainter.setBrush(Qt::NoBrush);
        if (!anyNaN) {
            m_cubePainter.drawPolyline(polygon, count + 1);
            return;
        }
        // A missing value has no height: an edge down to where it is kept
        // would hang like a curtain, so the hole stays a gap.
        for (int i = 0; i < count; ++i)
            if (!vertices[face.vertices[i]].isNaN && !vertices[face.vertices[(i + 1) % count]].isNaN)
                m_cubePainter.drawLine(QLineF(polygon[i], polygon[i + 1]));
        return;
    }
    QVector3D lightPoint = face.center;
    if (!cube.useTriangleRects) {
        lightPoint = QVector3D();
        for (int i = 0; i < count; ++i)
            lightPoint += vertices[face.vertices[i]].stages[SurfaceMesh::Rotated];
        lightPoint /= float(count);
    }
    const QColor fill = lit(style.base, brightening(m_mesh.lightIntensity(lightPoint, face, cube, data.perspectiveSettings())));
    // Antialiased lines go to the raster, far cheaper than the painter's stroker.
    const bool antialiased = style.antialiased;
    if (fill.alphaF() > 0.05) {
        QColor faint = fill;
        faint.setAlphaF(style.faintAlpha);
        // A merged cell is the two triangles it was made of, fanned from its
        // first corner: on screen the cell need not be convex.
        for (int i = 1; i + 1 < count; ++i) {
            const QPointF triangle[3] = {polygon[0], polygon[i], polygon[i + 1]};
            m_raster->fillConvex(triangle, 3, fill);
        }
        // The faint outline in the face's own colour: its grid edges are drawn
        // over by the grid lines below, so only the others need stroking (a
        // triangle's diagonal); one too faint to show is left out.
        if (faint.alpha() > 0) {
            if (!antialiased)
                m_cubePainter.setPen(thinPen(faint));
            for (int i = 0; i < count; ++i) {
                const SurfaceMesh::Vertex &p = vertices[face.vertices[i]];
                const SurfaceMesh::Vertex &q = vertices[face.vertices[(i + 1) % count]];
                if (p.column == q.column || p.row == q.row)
                    continue;
                if (antialiased)
                    m_raster->drawLine(polygon[i], polygon[i + 1], faint);
                else
                    m_cubePainter.drawLine(QLineF(polygon[i], polygon[i + 1]));
            }
        }
    }
    // Grid lines: the face's edges that run along a grid line. (They draw
    // every edge of a cell, so no other outline pen is ever used.)
    QColor gridColour = fill;
    gridColour.setAlphaF(style.gridAlpha);
    for (const auto &[u, v] : face.gridEdges) {
        const SurfaceMesh::Vertex &p = vertices[u];
        const SurfaceMesh::Vertex &q = vertices[v];
        const QColor colour = p.onFillLimit && q.onFillLimit ? QColor(Qt::yellow) : gridColour;
        const QPointF from = p.stages[SurfaceMesh::Screen].toPointF(), to = q.stages[SurfaceMesh::Screen].toPointF();
        if (antialiased) {
            m_raster->drawLine(from, to, colour);
        } else {
            if (m_cubePainter.pen().color() != colour)
                m_cubePainter.setPen(thinPen(colour));
            m_cubePainter.drawLine(QLineF(from, to));
        }
    }
}

void CubePainter::drawPoints(const MinMaxMultiDimData &data, const SurfaceMesh::Face &face)
{
    const DrawSettings3DCube &cube = data.drawSettings3DCube();
    QList<SurfaceMesh::Vertex> &vertices = m_mesh.vertices();
    m_cubePainter.setClipping(false);
    const double base = std::min(5.0, data.perspectiveSettings().zoom
                                          * (m_cubeImage.width() * 0.9 / std::max(m_mesh.columns(), m_mesh.rows())));
    double depth = 0;
    for (int v : std::as_const(face.vertices))
        depth += vertices[v].stages[SurfaceMesh::Projected].z();
    depth = face.vertices.isEmpty() ? 0 : -depth / double(face.vertices.size());
    double radius = depth * base;
    // Antialiased points are discs of the raster, with a faint rim on large
    // ones; the painter draws the others.
    const bool antialiased = m_cubePainter.testRenderHint(QPainter::Antialiasing);
    QColor rim(Qt::white);
    rim.setAlphaF(radius > 2 && antialiased ? float(std::min(radius / 10, 0.2)) : 0.0f);
    if (!antialiased && !cube.fastDraw)
        m_cubePainter.setPen(Qt::transparent);
    radius = std::max(radius, 0.8);
    const double alphaP = std::min(2 * cube.alpha + 0.2, 1.0);
    for (int v : std::as_const(face.vertices)) {
        SurfaceMesh::Vertex &vertex = vertices[v];
        ++vertex.drawnOnce;
        if (vertex.isNaN && !data.dataComplete())
            continue;
        if (vertex.drawnOnce != vertex.faces.size())
            continue;
        QColor colour;
        double size;
        if (vertex.onFillLimit) {
            colour = Qt::yellow;
            size = 1.2 * radius;
        } else if (vertex.isNaN) {
            colour = Qt::red;
            size = 0.6 * radius;
        } else {
            colour = GraphPalette::colourAt(vertex.level + 0.5);
            size = 0.9 * radius;
        }
        colour.setAlphaF(float(alphaP));
        colour = colour.lighter(brightening(
            m_mesh.lightIntensity(vertex.stages[SurfaceMesh::Rotated], face, cube, data.perspectiveSettings())));
        const QPointF at = vertex.stages[SurfaceMesh::Screen].toPointF();
        if (cube.fastDraw) {
            if (size < 1.5) // the pixel under it: the pen is transparent
                m_cubePainter.fillRect(QRect(int(std::floor(at.x())), int(std::floor(at.y())), 1, 1), colour);
            else
                m_cubePainter.fillRect(QRectF(at.x() - size / 2, at.y() - size / 2, size, size), colour);
        } else if (antialiased) {
            m_raster->fillDisc(at, size, colour);
            if (rim.alpha() > 0)
                m_raster->strokeCircle(at, size, 1.2, rim);
        } else {
            m_cubePainter.setBrush(colour);
            m_cubePainter.drawEllipse(at, size, size);
        }
    }
    m_cubePainter.setClipping(true);
}

CubeAxesContent CubePainter::axesContent(const MinMaxMultiDimData &data)
{
    CubeAxesContent content;
    content.first = data.dimensions().value(data.freeAxis(0));
    content.second = data.dimensions().value(data.freeAxis(1));
    content.low = data.minimum();
    content.high = data.maximum();
    content.valueTitle = data.valueLabel();
    return content;
}
