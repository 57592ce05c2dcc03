#include "CubeAxes.h"

#include "SurfaceMesh.h"
#include "Ticks.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <optional>
#include <cmath>

namespace {

// Corner i of the unit box: bit 0 is x, bit 1 is y, bit 2 is z.
QVector3D corner(int i)
{
    return QVector3D((i & 1) ? 0.5f : -0.5f, (i & 2) ? 0.5f : -0.5f, (i & 4) ? 0.5f : -0.5f);
}

enum Side { LowZ, HighZ, LowX, HighX, Floor, Ceiling };

// Each side's corners, wound so that on screen (y down) a side facing the
// viewer has a normal with a negative z.
constexpr int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}};

const QColor labelColour(230, 230, 230);

} // namespace

void CubeAxes::draw(QPainter &painter, const SurfaceMesh &mesh, const CubeAxesContent &content, bool front)
{
    if (!front)
        m_labels.clear();
    QPointF screen[8];
    for (int i = 0; i < 8; ++i)
        screen[i] = mesh.boxToScreen(corner(i));
    // The z of each side's normal on screen: negative when it faces the viewer.
    double normalZ[6];
    bool facing[6];
    for (int s = 0; s < 6; ++s) {
        const QPointF u = screen[sides[s][1]] - screen[sides[s][0]];
        const QPointF v = screen[sides[s][3]] - screen[sides[s][0]];
        normalZ[s] = u.x() * v.y() - u.y() * v.x();
        facing[s] = normalZ[s] < 0;
    }

    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setBrush(Qt::NoBrush);
    const QPen boxPen(QColor(200, 200, 200, front ? 110 : 160), 0.5);
    painter.setPen(boxPen);
    for (int s = 0; s < 6; ++s)
        if (facing[s] == front)
            for (int i = 0; i < 4; ++i)
                painter.drawLine(screen[sides[s][i]], screen[sides[s][(i + 1) % 4]]);

    // Of the two sides that meet at an edge, the one facing the viewer more
    // carries its ticks and labels.
    const auto sideOf = [&normalZ](int upright, int level) {
        return normalZ[upright] <= normalZ[level] ? upright : level;
    };
    const auto levelSide = [](int corner) { return corner & 2 ? Ceiling : Floor; };
    // Of the four box edges along x (`along` 1) or z (4), given by their
    // first corner, the lowest on screen of those with a side toward the
    // viewer: the labels hang below the box, whatever the turn and tilt.
    const auto lowestEdge = [&](int along) {
        const int across = along == 1 ? 4 : 1;
        int lowest = -1;
        for (int first : {0, 2, across, 2 | across}) {
            const int upright = along == 1 ? (first & 4 ? HighZ : LowZ) : (first & 1 ? HighX : LowX);
            if (!facing[sideOf(upright, levelSide(first))])
                continue;
            if (lowest < 0
                || screen[first].y() + screen[first | along].y() > screen[lowest].y() + screen[lowest | along].y())
                lowest = first;
        }
        return std::max(lowest, 0);
    };

    const int edgeA = lowestEdge(1);
    if (facing[sideOf(edgeA & 4 ? HighZ : LowZ, levelSide(edgeA))] == front)
        drawAxis(painter, mesh, {edgeA, edgeA | 1, content.first.first, content.first.second, content.first.label},
                 levelAxis, 0, front);
    // The second axis's first value lies toward the viewer of the unturned box.
    const int edgeB = lowestEdge(4);
    if (facing[sideOf(edgeB & 1 ? HighX : LowX, levelSide(edgeB))] == front)
        drawAxis(painter, mesh, {edgeB | 4, edgeB, content.second.first, content.second.second, content.second.label},
                 levelAxis, 0, front);

    // The values up the leftmost upright edge with a side toward the viewer.
    const auto uprightSide = [&sideOf](int bottom) {
        return sideOf(bottom & 1 ? HighX : LowX, bottom & 4 ? HighZ : LowZ);
    };
    int bottom = -1;
    for (int corner : {0, 1, 4, 5}) {
        if (!facing[uprightSide(corner)])
            continue;
        if (bottom < 0 || screen[corner].x() + screen[corner | 2].x() < screen[bottom].x() + screen[bottom | 2].x())
            bottom = corner;
    }
    bottom = std::max(bottom, 0);
    if (facing[uprightSide(bottom)] == front) {
        // Away from the box: to the left of an edge at the left.
        const QVector3D foot = corner(bottom);
        const bool left = mesh.boxToScreen(foot * QVector3D(2, 1, 2)).x() < mesh.boxToScreen(foot).x();
        drawAxis(painter, mesh, {bottom, bottom | 2, content.low, content.high, content.valueTitle}, valueAxis,
                 left ? valueTextShift : -valueTextShift, front);
    }
}

void CubeAxes::drawAxis(QPainter &painter, const SurfaceMesh &mesh, const Axis &axis, const Placement &placement,
                        double shift, bool front)
{
    const QVector3D from = corner(axis.from), to = corner(axis.to);
    // The two coordinates across the edge are pushed out by `reach`; the
    // one along it stays.
    const QVector3D along = to - from;
    const auto at = [&](double t, float reach) {
        const QVector3D point = from + along * float(t);
        const QVector3D out(along.x() != 0 ? 1 : reach, along.y() != 0 ? 1 : reach, along.z() != 0 ? 1 : reach);
        return mesh.boxToScreen(point * out);
    };
    const QPointF start = mesh.boxToScreen(from), end = mesh.boxToScreen(to);
    const double length = std::hypot(end.x() - start.x(), end.y() - start.y());
    // Ticks far enough apart along the edge that their labels do not meet.
    const QFontMetricsF metrics(painter.font());
    const QStringList ends = tickLabels({axis.first, axis.last});
    const double width = std::max(metrics.horizontalAdvance(ends.first()), metrics.horizontalAdvance(ends.last()));
    const double spacing = length > 0 ? std::abs(end.x() - start.x()) / length * (width + 8)
                                            + std::abs(end.y() - start.y()) / length * (metrics.height() + 8)
                                      : 0;
    // The steps come in halves and wholes of powers of ten: a little closer
    // rather than one lone tick.
    QList<double> positions, values;
    const double low = std::min(axis.first, axis.last), high = std::max(axis.first, axis.last);
    for (double closer : {1.0, 0.75}) {
        computeTicks(length, std::max(20.0, spacing) * closer, low, high, positions, values);
        if (values.size() >= 2)
            break;
    }
    // Between a step of 1 and one of 5 there is none: a short edge over 0 to
    // 367 would show only 0. Steps of 2 are the halves and wholes of half the
    // span, doubled.
    if (values.size() < 2) {
        QList<double> halves;
        computeTicks(length, std::max(20.0, spacing) * 0.75, low / 2, high / 2, positions, halves);
        if (halves.size() >= 2) {
            values.clear();
            for (double half : std::as_const(halves))
                values << half * 2;
        }
    }
    const QStringList labels = tickLabels(values);
    const QPen pen = painter.pen();
    for (qsizetype i = 0; i < values.size(); ++i) {
        const double t = (values[i] - axis.first) / (axis.last - axis.first);
        painter.setPen(pen);
        painter.drawLine(at(t, 1), at(t, placement.tickReach));
        drawLabel(painter, at(t, placement.labelReach), labels[i], shift, front, LabelKind::Tick);
    }
    const float reach = placement.titleReach;
    drawLabel(painter, mesh.boxToScreen((from + along * float(placement.titleAt)) * reach), axis.title, shift, front,
              LabelKind::Title);
    painter.setPen(pen);
}

void CubeAxes::drawLabel(QPainter &painter, const QPointF &anchor, const QString &text, double shift, bool front,
                         LabelKind kind)
{
    if (text.isEmpty())
        return;
    // A tick whose place is out of the picture (a zoomed surface) has no
    // place to name: moved in, it would name the wrong one.
    const QRectF image(QPointF(0, 0), QSizeF(painter.device()->width(), painter.device()->height()));
    if (kind == LabelKind::Tick && !image.contains(anchor))
        return;
    // Laid out once per text: the same few labels come back every render.
    auto found = m_layouts.find(text);
    if (found == m_layouts.end()) {
        QStaticText layout(text);
        layout.prepare(QTransform(), painter.font());
        found = m_layouts.insert(text, layout);
    }
    const QSizeF size = found->size();
    // Centred on the anchor, or moved off it by `shift` half widths.
    QRectF box(QPointF(anchor.x() - size.width() / 2 * (1 - shift), anchor.y() - size.height() / 2), size);
    // Kept inside the picture, whatever the turn.
    const std::optional<QRectF> free = clearOfOtherLabels(keptInside(box, image), image);
    // A title is always written; a tick that finds no free place is left out.
    if (!free && kind == LabelKind::Tick)
        return;
    box = free ? *free : keptInside(box, image);
    painter.setPen(labelColour);
    painter.drawStaticText(box.topLeft(), *found);
    m_labels << Label{text, box, front};
}

QRectF CubeAxes::keptInside(QRectF box, const QRectF &image)
{
    box.moveLeft(std::clamp(box.left(), image.left(), std::max(image.left(), image.right() - box.width())));
    box.moveTop(std::clamp(box.top(), image.top(), std::max(image.top(), image.bottom() - box.height())));
    return box;
}

std::optional<QRectF> CubeAxes::clearOfOtherLabels(const QRectF &box, const QRectF &image) const
{
    // Where two axes meet at a corner their labels would be written over each
    // other: the later one steps up or down, half a line at a time, to the
    // nearest free place.
    const auto isFree = [this](const QRectF &place) {
        return std::none_of(m_labels.cbegin(), m_labels.cend(),
                            [&place](const Label &label) { return label.box.intersects(place); });
    };
    if (isFree(box))
        return box;
    const double step = box.height() / 2;
    for (int k = 1; k <= 6; ++k)
        for (double direction : {-1.0, 1.0}) {
            const QRectF place = keptInside(box.translated(0, direction * k * step), image);
            if (isFree(place))
                return place;
        }
    return std::nullopt;
}
