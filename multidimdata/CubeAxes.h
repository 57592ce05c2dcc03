#pragma once

#include "Dimension.h"

#include <QHash>
#include <QList>
#include <QRectF>
#include <QStaticText>
#include <QString>

#include <optional>

class QPainter;
class SurfaceMesh;

// What the axes of a surface's box say: the two free axes along the floor
// and the values up a side.
struct CubeAxesContent
{
    Dimension first;
    Dimension second;
    double low = 0;
    double high = 0;
    QString valueTitle;
};

// Draws the box round a surface with its ticks and titles, in two passes
// around the surface: the back pass before it, the front pass after it. Every
// element belongs to one side of the box and is drawn in the pass of that
// side: the front pass when the side faces the viewer. The labels go on the
// sides that face the viewer, so the surface cannot hide them, and stay
// inside the image.
class CubeAxes
{
public:
    struct Label
    {
        QString text;
        QRectF box;
        bool front = false;
    };

    void draw(QPainter &painter, const SurfaceMesh &mesh, const CubeAxesContent &content, bool front);

    // The labels of the last two passes, back pass first.
    const QList<Label> &labels() const { return m_labels; }

private:
    // How far ticks, labels and titles stand off the box along an edge, as
    // factors of the box coordinates across it; a title is pushed out from
    // the box's centre at `titleAt` along its edge.
    struct Placement
    {
        float tickReach;
        float labelReach;
        float titleReach;
        double titleAt;
    };
    static constexpr Placement levelAxis{1.05f, 1.2f, 1.5f, 0.5};
    static constexpr Placement valueAxis{1.025f, 1.1f, 1.35f, 1.0};
    // The value labels move off their anchor by this many half widths, so
    // that they end beside the box instead of crossing its edge.
    static constexpr double valueTextShift = -1.8;

    // An edge of the box (from corner to corner) carrying an axis that runs
    // from `first` to `last`.
    struct Axis
    {
        int from;
        int to;
        double first;
        double last;
        QString title;
    };

    void drawAxis(QPainter &painter, const SurfaceMesh &mesh, const Axis &axis, const Placement &placement,
                  double shift, bool front);
    enum class LabelKind { Tick, Title };
    void drawLabel(QPainter &painter, const QPointF &anchor, const QString &text, double shift, bool front,
                   LabelKind kind);
    static QRectF keptInside(QRectF box, const QRectF &image);
    // The box, or the nearest place above or below it that no label holds
    // yet; nothing when there is none.
    std::optional<QRectF> clearOfOtherLabels(const QRectF &box, const QRectF &image) const;

    QHash<QString, QStaticText> m_layouts;
    QList<Label> m_labels;
};
