#pragma once

#include "DrawingSettings.h"

#include <QList>
#include <QMatrix4x4>
#include <QSize>
#include <QVarLengthArray>
#include <QVector3D>

#include <array>
#include <utility>

class MinMaxMultiDimData;

// The geometry of a surface in its cube: a mesh of two triangles per grid
// cell built from a store's two free axes, carried through the model, view,
// projection and screen transforms, depth-sorted for painting and lit.
class SurfaceMesh
{
public:
    enum Stage { Model = 0, Rotated = 1, Viewed = 2, Projected = 3, Screen = 4, StageCount = 5 };

    struct Vertex
    {
        QVector3D stages[StageCount];
        bool isNaN = false;
        double level = 0.0;
        int drawnOnce = 0;
        bool onFillLimit = false;
        int column = 0; // index into the used columns and rows
        int row = 0;
        QVarLengthArray<int, 6> faces;
    };

    struct Face
    {
        QVector3D normalStages[StageCount];
        QVector3D averagedNormal;
        QVector3D center;
        QList<int> neighbours;
        float bbox[6] = {0, 0, 0, 0, 0, 0};
        bool merged = false;
        QVarLengthArray<int, 4> vertices;
        // The grid-line edges (vertex pairs) this face draws: those it is
        // the last in painting order to share.
        QVarLengthArray<std::pair<int, int>, 4> gridEdges;
        // Every grid-line edge of a face without a missing corner:
        // (edge number, vertex, vertex).
        QVarLengthArray<std::array<int, 3>, 4> candidateEdges;
    };

    // Step 1: the mesh from the store's values and selection. With `budget`
    // b and `simplify` set, the grid keeps at most b x nA x nB / (b + 1) cells.
    void build(const MinMaxMultiDimData &data, double budget);
    // Steps 2 to 8: the transforms, averaged normals, boxes and the depth order.
    void transform(const PerspectiveSettings &perspective);
    // Step 9: screen positions for a render image of this size.
    void mapToScreen(QSize imageSize, const PerspectiveSettings &perspective);
    // The brightness factor (at least 1) the lights give point p of a face.
    double lightIntensity(const QVector3D &p, const Face &face, const DrawSettings3DCube &cube,
                          const PerspectiveSettings &perspective) const;

    QList<Vertex> &vertices() { return m_vertices; }
    const QList<Vertex> &vertices() const { return m_vertices; }
    const QList<Face> &faces() const { return m_faces; }
    // Faces in painting order: farthest first.
    const QList<int> &order() const { return m_order; }
    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    // The grid index each used column and row stands for.
    const QList<int> &usedColumns() const { return m_usedColumns; }
    const QList<int> &usedRows() const { return m_usedRows; }

    // A point of the unit box mapped like the vertices, to the screen.
    QPointF boxToScreen(const QVector3D &model) const;
    QVector3D boxToProjected(const QVector3D &model) const;

private:
    static QList<int> usedIndices(int count, int step);
    void buildFaces(int columns, int rows);
    void mergeFlatCells(double tolerance);
    void averageNormals();
    void findCandidateEdges();
    void assignGridEdges();

    QList<Vertex> m_vertices;
    QList<Face> m_faces;
    QList<int> m_order;
    QList<int> m_usedColumns;
    QList<int> m_usedRows;
    int m_columns = 0;
    int m_rows = 0;
    QMatrix4x4 m_model;
    QMatrix4x4 m_view;
    QMatrix4x4 m_projection;
    QMatrix4x4 m_screen;
};
