#include "SurfaceMesh.h"

#include "MinMaxMultiDimData.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

QVector3D mapped(const QMatrix4x4 &matrix, const QVector3D &point)
{
    const QVector4D v = matrix * QVector4D(point, 1.0f);
    if (v.w() == 1.0f || v.w() == 0.0f)
        return v.toVector3D();
    return v.toVector3D() / v.w();
}

QVector3D mappedNormal(const QMatrix4x4 &matrix, const QVector3D &normal)
{
    return matrix.mapVector(normal).normalized();
}

const float cosineOfSmoothAngle = float(std::cos(0.2));

double angleBetween(const QVector3D &a, const QVector3D &b)
{
    return std::acos(std::clamp(double(QVector3D::dotProduct(a.normalized(), b.normalized())), -1.0, 1.0));
}

} // namespace

QList<int> SurfaceMesh::usedIndices(int count, int step)
{
    QList<int> used;
    for (int i = (count - 1) % step; i < count; i += step)
        used << i;
    return used;
}

void SurfaceMesh::build(const MinMaxMultiDimData &data, double budget)
{
    m_vertices.clear();
    m_faces.clear();
    m_order.clear();
    m_columns = m_rows = 0;
    const int axisA = data.freeAxis(0), axisB = data.freeAxis(1);
    if (axisA < 0 || axisB < 0)
        return;
    const int nA = data.dimensions().value(axisA).count;
    const int nB = data.dimensions().value(axisB).count;
    if (nA < 2 || nB < 2)
        return;

    // Decimation: raise the step of the axis with more cells until the grid
    // fits the budget, keeping at least one cell on each axis.
    int stepA = 1, stepB = 1;
    if (data.dataExtractionSettings().simplify) {
        const double bound = budget * nA * nB / (budget + 1);
        auto cells = [&](int a, int b) { return double(usedIndices(nA, a).size() - 1) * (usedIndices(nB, b).size() - 1); };
        while (cells(stepA, stepB) > bound) {
            const qsizetype usedA = usedIndices(nA, stepA).size(), usedB = usedIndices(nB, stepB).size();
            if (usedA <= 2 && usedB <= 2)
                break;
            if (usedA >= usedB)
                ++stepA;
            else
                ++stepB;
        }
    }
    m_usedColumns = usedIndices(nA, stepA);
    m_usedRows = usedIndices(nB, stepB);
    m_columns = int(m_usedColumns.size());
    m_rows = int(m_usedRows.size());

    const QList<double> values = data.extract(data.dataExtractionSettings().selection);
    const double minimum = data.minimum();
    const double span = data.maximum() - minimum;
    m_vertices.resize(qsizetype(m_columns) * m_rows);
    for (int r = 0; r < m_rows; ++r) {
        for (int c = 0; c < m_columns; ++c) {
            const int a = m_usedColumns[c], b = m_usedRows[r];
            const double v = values.value(qsizetype(b) * nA + a, std::nan(""));
            Vertex &vertex = m_vertices[qsizetype(r) * m_columns + c];
            vertex.isNaN = std::isnan(v);
            vertex.level = vertex.isNaN ? std::nan("") : (v - minimum) / span - 0.5;
            vertex.column = c;
            vertex.row = r;
            const float x = float(double(a) / (nA - 1) - 0.5);
            const float y = vertex.isNaN ? -0.5f : float(vertex.level);
            const float z = float(-(double(b) / (nB - 1) - 0.5));
            vertex.stages[Model] = QVector3D(x, y, z);
        }
    }
    buildFaces(m_columns, m_rows);
    if (data.dataExtractionSettings().simplify)
        mergeFlatCells(data.dataComplete() && m_faces.size() <= 1000 ? 0.1 : 0.9);
    // Merged faces go in one pass (removing them one by one moves the rest
    // each time); the others are entered at their vertices.
    m_faces.removeIf([](const Face &face) { return face.merged; });
    for (int f = 0; f < m_faces.size(); ++f)
        for (int v : std::as_const(m_faces[f].vertices))
            m_vertices[v].faces.append(f);
    findCandidateEdges();
}

void SurfaceMesh::buildFaces(int columns, int rows)
{
    auto at = [columns](int r, int c) { return r * columns + c; };
    m_faces.reserve(qsizetype(columns - 1) * (rows - 1) * 2);
    for (int r = 1; r < rows; ++r) {
        for (int c = 1; c < columns; ++c) {
            const int corners[2][3] = {{at(r, c), at(r - 1, c - 1), at(r, c - 1)},
                                       {at(r, c), at(r - 1, c), at(r - 1, c - 1)}};
            for (const auto &corner : corners) {
                Face face;
                face.vertices = {corner[0], corner[1], corner[2]};
                const QVector3D &p0 = m_vertices[corner[0]].stages[Model];
                const QVector3D &p1 = m_vertices[corner[1]].stages[Model];
                const QVector3D &p2 = m_vertices[corner[2]].stages[Model];
                face.normalStages[Model] = QVector3D::normal(p0 - p2, p0 - p1);
                m_faces.append(face);
            }
        }
    }
    // Neighbours: the faces of the same cell and of the cells one step away.
    const int cellColumns = columns - 1;
    for (int f = 0; f < m_faces.size(); ++f) {
        const int cell = f / 2, r = cell / cellColumns, c = cell % cellColumns;
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                const int nr = r + dr, nc = c + dc;
                if (nr < 0 || nc < 0 || nr >= rows - 1 || nc >= cellColumns)
                    continue;
                for (int twin = 0; twin < 2; ++twin) {
                    const int other = (nr * cellColumns + nc) * 2 + twin;
                    if (other != f)
                        m_faces[f].neighbours.append(other);
                }
            }
    }
}

void SurfaceMesh::mergeFlatCells(double tolerance)
{
    // A cell whose two triangles face the same way becomes one quadrilateral.
    for (int f = 0; f + 1 < m_faces.size(); f += 2) {
        Face &first = m_faces[f];
        Face &second = m_faces[f + 1];
        if (angleBetween(first.normalStages[Model], second.normalStages[Model]) >= tolerance)
            continue;
        // (r, c), (r-1, c), (r-1, c-1), (r, c-1) around the cell.
        first.vertices = {second.vertices[0], second.vertices[1], second.vertices[2], first.vertices[2]};
        first.normalStages[Model] = (first.normalStages[Model] + second.normalStages[Model]).normalized();
        second.merged = true;
    }
}

void SurfaceMesh::transform(const PerspectiveSettings &perspective)
{
    QMatrix4x4 tilt, turn, roll;
    tilt.rotate(float(perspective.tilt), 1, 0, 0);
    turn.rotate(float(perspective.turn), tilt.mapVector(QVector3D(0, 1, 0)));
    roll.rotate(float(perspective.roll), (turn * tilt).mapVector(QVector3D(0, 0, 1)));
    const QMatrix4x4 rotation = roll * turn * tilt;
    m_model = rotation;
    m_model.scale(1, float(perspective.heightScale), 1);
    QMatrix4x4 normals = rotation;
    normals.scale(1, float((M_PI / 4) / std::atan(perspective.heightScale)), 1);

    m_view.setToIdentity();
    m_view.lookAt(perspective.eye, QVector3D(0, 0, 0), QVector3D(0, 1, 0));
    m_view.scale(float(perspective.zoom));
    m_projection.setToIdentity();
    m_projection.perspective(75, 1, 1, -1);

    for (Vertex &vertex : m_vertices) {
        vertex.stages[Rotated] = mapped(m_model, vertex.stages[Model]);
        vertex.stages[Viewed] = mapped(m_view, vertex.stages[Rotated]);
        vertex.stages[Projected] = mapped(m_projection, vertex.stages[Viewed]);
    }
    for (Face &face : m_faces) {
        face.normalStages[Rotated] = mappedNormal(normals, face.normalStages[Model]);
        face.normalStages[Viewed] = mappedNormal(m_view, face.normalStages[Rotated]);
        face.normalStages[Projected] = mappedNormal(m_projection, face.normalStages[Viewed]);
        // Box and centre at stage 1.
        QVector3D low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
        for (int v : std::as_const(face.vertices)) {
            const QVector3D &p = m_vertices[v].stages[Rotated];
            low = QVector3D(std::min(low.x(), p.x()), std::min(low.y(), p.y()), std::min(low.z(), p.z()));
            high = QVector3D(std::max(high.x(), p.x()), std::max(high.y(), p.y()), std::max(high.z(), p.z()));
        }
        if (face.vertices.isEmpty())
            low = high = QVector3D();
        const float box[6] = {low.x(), high.x(), low.y(), high.y(), low.z(), high.z()};
        std::copy(box, box + 6, face.bbox);
        face.center = (low + high) / 2;
    }
    averageNormals();

    // Farthest first: the mean projected z, largest first.
    QList<float> depth(m_faces.size());
    for (int f = 0; f < m_faces.size(); ++f) {
        float sum = 0;
        for (int v : std::as_const(m_faces[f].vertices))
            sum += m_vertices[v].stages[Projected].z();
        depth[f] = m_faces[f].vertices.isEmpty() ? 0.0f : sum / float(m_faces[f].vertices.size());
    }
    m_order.resize(m_faces.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    std::stable_sort(m_order.begin(), m_order.end(), [&depth](int a, int b) { return depth[a] > depth[b]; });
    assignGridEdges();
}

void SurfaceMesh::findCandidateEdges()
{
    // Grid edges run along a row (to the next column) or a column (to the
    // next row); they are numbered rows first, then columns.
    const int horizontal = std::max(0, m_columns - 1) * m_rows;
    const QList<Vertex> &vertices = m_vertices;
    for (Face &face : m_faces) {
        face.candidateEdges.clear();
        // A face with a missing corner is only outlined: its grid lines are
        // left to the filled face beside it.
        if (std::any_of(face.vertices.begin(), face.vertices.end(), [&vertices](int v) { return vertices[v].isNaN; }))
            continue;
        const qsizetype n = face.vertices.size();
        for (qsizetype i = 0; i < n; ++i) {
            for (qsizetype j = i + 1; j < n; ++j) {
                const int u = face.vertices[i], v = face.vertices[j];
                const Vertex &p = vertices[u], &q = vertices[v];
                int edge = -1;
                if (p.row == q.row && std::abs(p.column - q.column) == 1)
                    edge = p.row * (m_columns - 1) + std::min(p.column, q.column);
                else if (p.column == q.column && std::abs(p.row - q.row) == 1)
                    edge = horizontal + std::min(p.row, q.row) * m_columns + p.column;
                if (edge >= 0)
                    face.candidateEdges.append({edge, u, v});
            }
        }
    }
}

void SurfaceMesh::assignGridEdges()
{
    // Each grid edge is drawn once, by the nearest face that has it.
    const int edges = std::max(0, m_columns - 1) * m_rows + m_columns * std::max(0, m_rows - 1);
    QList<int> lastPainter(edges, -1);
    int *last = lastPainter.data();
    const QList<Face> &faces = m_faces;
    for (int position = 0; position < m_order.size(); ++position)
        for (const auto &candidate : faces[m_order[position]].candidateEdges)
            last[candidate[0]] = position;
    for (int position = 0; position < m_order.size(); ++position) {
        Face &face = m_faces[m_order[position]];
        face.gridEdges.clear();
        for (const auto &candidate : face.candidateEdges)
            if (last[candidate[0]] == position)
                face.gridEdges.append({candidate[1], candidate[2]});
    }
}

void SurfaceMesh::averageNormals()
{
    const QList<Vertex> &vertices = m_vertices;
    const Face *faces = m_faces.constData();
    for (Face &face : m_faces) {
        const QVector3D own = face.normalStages[Rotated];
        QVector3D sum;
        int count = 0;
        for (int v : std::as_const(face.vertices)) {
            for (int other : vertices[v].faces) {
                const QVector3D normal = faces[other].normalStages[Rotated];
                // Both are unit vectors: an angle below 0.2 rad is a cosine above cos 0.2.
                if (QVector3D::dotProduct(own, normal) > cosineOfSmoothAngle) {
                    sum += normal;
                    ++count;
                }
            }
        }
        face.averagedNormal = count > 0 ? (sum / float(count)).normalized() : own;
    }
}

void SurfaceMesh::mapToScreen(QSize imageSize, const PerspectiveSettings &perspective)
{
    m_screen.setToIdentity();
    m_screen.scale(float(imageSize.width()), float(imageSize.height()), 1);
    m_screen.translate(0.5f, 0.5f, 0);
    m_screen.scale(1, -1, 0);
    m_screen.translate(-perspective.center.x(), -perspective.center.y(), 0);
    for (Vertex &vertex : m_vertices)
        vertex.stages[Screen] = mapped(m_screen, vertex.stages[Projected]);
    for (Face &face : m_faces)
        face.normalStages[Screen] = mappedNormal(m_projection, face.normalStages[Projected]);
}

QVector3D SurfaceMesh::boxToProjected(const QVector3D &model) const
{
    return mapped(m_projection, mapped(m_view, mapped(m_model, model)));
}

QPointF SurfaceMesh::boxToScreen(const QVector3D &model) const
{
    return mapped(m_screen, boxToProjected(model)).toPointF();
}

double SurfaceMesh::lightIntensity(const QVector3D &p, const Face &face, const DrawSettings3DCube &cube,
                                   const PerspectiveSettings &perspective) const
{
    const QVector3D n = cube.useNormalAveraged ? face.averagedNormal : face.normalStages[Screen];
    const QVector3D e = perspective.eye;
    const QVector3D r = 2 * QVector3D::dotProduct(e, n) * n - e;
    double sum = 0;
    for (const QVector4D &light : cube.lights) {
        const QVector3D d = light.toVector3D() - p;
        const double d2 = d.lengthSquared();
        // sin(acos c) is sqrt(1 - c^2); the angle passes a right angle where c turns negative.
        const double c = std::clamp(double(QVector3D::dotProduct(d.normalized(), (r - p).normalized())), -1.0, 1.0);
        const double sine = std::sqrt(1 - c * c);
        const double e2 = c < 0 ? 0.75 + 0.25 * sine : 0.25 + 0.75 * sine;
        if (d2 > 0 && e2 > 0)
            sum += light.w() / (e2 * d2);
    }
    return sum > 1 ? sum : 1;
}
