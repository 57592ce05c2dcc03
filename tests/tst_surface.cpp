#include "ImageRaster.h"
#include "MinMaxMultiDimData.h"
#include "SurfaceMesh.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QSet>
#include <QTest>
#include <QThread>

#include <cmath>

namespace {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();

// A store showing an na x nb surface as a cube, its render image `size`.
void makeCube(MinMaxMultiDimData &data, int na, int nb, QList<double> values, QSize size = QSize(200, 200))
{
    if (values.isEmpty())
        for (int b = 0; b < nb; ++b)
            for (int a = 0; a < na; ++a)
                values << std::sin(a * 0.3) * std::cos(b * 0.2);
    data.setDimensions({Dimension{na, QStringLiteral("a"), 0, 1}, Dimension{nb, QStringLiteral("b"), 0, 1}});
    data.setValues(values);
    data.setDataComplete(true);
    DataExtractionSettings extraction = data.dataExtractionSettings();
    extraction.selection = {-1, -1};
    data.setDataExtractionSettings(extraction);
    DrawSettings3DCube cube = data.drawSettings3DCube();
    cube.imageSize = size;
    data.setDrawSettings3DCube(cube);
}

QImage paintCube(MinMaxMultiDimData &data, QSize size = QSize(200, 200))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    data.paint(painter, image.rect());
    return image;
}

// Pixels of the surface's green.
int greenPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.green() > c.red() + 10 && c.green() > c.blue() + 10 && c.green() > 30 ? 1 : 0;
        }
    return count;
}

int pixelsBrighterThan(const QImage &image, int lightness)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y).lightness() > lightness ? 1 : 0;
    return count;
}

} // namespace

class TestSurface : public QObject
{
    Q_OBJECT
private slots:
    void aTwoByTwoGridIsTwoTriangles();
    void aMissingValueSitsOnTheFloor();
    void nothingRendersWithoutARangeOrAnImage();
    void lightFallsOffWithDistanceAndPeaksInTheMirroredEye();
    void theLightsNeverDarkenTheSurface();
    void facesWithAMissingCornerDrawOutlinesOnly();
    void aSharedVertexIsDrawnOnceAfterItsLastFace();
    void nearerFacesArePaintedLast();
    void aMergedCellIsFilledAsItsTwoTriangles();
    void gridLinesBesideHolesAreDrawnOnce();
    void aHoleIsAGapNotACurtain();
    void simplifiedGridsKeepTheirEndsAndTheirBound();
    void theCubeFollowsOnlyWhatChanged();
    void eachPictureNoticesNewValuesForItself();
    void aFullRenderRecordsItsTimeADraftDoesNot();
    void aDraftDrawsSmallPointsAsPixels();
    void axisLabelsFaceTheViewerInsideThePicture();
    void aShortValueAxisStillShowsTwoTicks();
    void ticksOutOfAZoomedPictureAreNotPinnedToItsEdge();
    void theSurfaceDoesNotHideAxisTitles();
    void theRenderIsDrawnOneToOneOrScaled();
    void facesMeetWithoutSeamsAndLinesAreSmooth();
};

void TestSurface::aTwoByTwoGridIsTwoTriangles()
{
    MinMaxMultiDimData data;
    makeCube(data, 2, 2, {0, 1, 2, 3});
    paintCube(data);
    const SurfaceMesh &mesh = data.mesh();
    QCOMPARE(mesh.vertices().size(), 4);
    QCOMPARE(mesh.faces().size(), 2);
    QCOMPARE(mesh.vertices().at(0).stages[SurfaceMesh::Model], QVector3D(-0.5f, -0.5f, 0.5f));
    QCOMPARE(mesh.vertices().at(3).stages[SurfaceMesh::Model], QVector3D(0.5f, 0.5f, -0.5f));
    QCOMPARE(mesh.faces().at(0).vertices.size(), 3);
    QVERIFY(!data.cachedGraph().isNull());
    QCOMPARE(data.cachedGraph().size(), QSize(200, 200));
}

void TestSurface::aMissingValueSitsOnTheFloor()
{
    MinMaxMultiDimData data;
    makeCube(data, 3, 2, {0, missing, 2, 3, 4, 5});
    paintCube(data);
    const SurfaceMesh::Vertex &vertex = data.mesh().vertices().at(1);
    QVERIFY(vertex.isNaN);
    QCOMPARE(vertex.stages[SurfaceMesh::Model].y(), -0.5f);
    QVERIFY(std::isnan(vertex.level));
    QCOMPARE(data.mesh().vertices().at(5).level, 0.5);
}

void TestSurface::nothingRendersWithoutARangeOrAnImage()
{
    MinMaxMultiDimData flat;
    makeCube(flat, 3, 3, {2, 2, 2, 2, 2, 2, 2, 2, 2});
    QCOMPARE(pixelsBrighterThan(paintCube(flat), 5), 0);
    QVERIFY(flat.cachedGraph().isNull());

    MinMaxMultiDimData noImage;
    makeCube(noImage, 3, 3, {}, QSize(0, 0));
    QCOMPARE(pixelsBrighterThan(paintCube(noImage), 5), 0);
    QVERIFY(noImage.cachedGraph().isNull());
}

void TestSurface::lightFallsOffWithDistanceAndPeaksInTheMirroredEye()
{
    // A face at the origin whose averaged normal looks at the eye (0, 0, 2),
    // so the eye mirrored about it looks back along +z; its own normal is
    // turned a right angle away.
    SurfaceMesh mesh;
    SurfaceMesh::Face face;
    face.averagedNormal = QVector3D(0, 0, 1);
    face.normalStages[SurfaceMesh::Screen] = QVector3D(1, 0, 0);
    const PerspectiveSettings perspective;
    QCOMPARE(perspective.eye, QVector3D(0, 0, 2));
    DrawSettings3DCube cube;
    cube.useNormalAveraged = true;
    auto lit = [&](const QList<QVector4D> &lights) {
        cube.lights = lights;
        return mesh.lightIntensity(QVector3D(), face, cube, perspective);
    };
    // Strength over distance squared, four times that in the mirrored eye.
    QCOMPARE(lit({{0, 0, 1, 100}}), 400.0);
    QCOMPARE(lit({{0, 0, 2, 100}}), 100.0);
    // At a right angle to the mirrored eye a quarter, behind the face a third.
    QCOMPARE(lit({{2, 0, 0, 100}}), 25.0);
    QCOMPARE(lit({{0, 0, -2, 100}}), 100.0 / 3);
    QCOMPARE(lit({{0, 0, 2, 100}, {2, 0, 0, 100}}), 125.0);
    // The face's own normal, turned away, mirrors the eye away from the light.
    cube.useNormalAveraged = false;
    QCOMPARE(lit({{0, 0, 2, 100}}), 100.0 / 3);
    // A weak or distant light, or none, leaves the factor at 1, never below.
    QCOMPARE(lit({{0, 0, 10, 1}}), 1.0);
    QCOMPARE(lit({}), 1.0);
}

void TestSurface::theLightsNeverDarkenTheSurface()
{
    // Opaque, without points and antialiasing: every surface pixel is a
    // face's lit colour, at least as bright as the base colour.
    MinMaxMultiDimData data;
    makeCube(data, 10, 10, {});
    DrawSettings3DCube cube = data.drawSettings3DCube();
    cube.drawPoints = false;
    cube.alpha = 1;
    cube.smooth = false;
    data.setDrawSettings3DCube(cube);
    const int base = cube.surfaceColor.darker(130).value();
    for (int turn : {-150, -30, 60, 150}) {
        PerspectiveSettings view;
        view.turn = turn;
        data.setPerspectiveSettings(view);
        const QImage image = paintCube(data);
        int surface = 0, darker = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.green() > c.red() + 10 && c.green() > c.blue() + 10) {
                    ++surface;
                    darker += c.value() < base - 1 ? 1 : 0;
                }
            }
        QVERIFY(surface > 2000);
        QVERIFY2(darker == 0, qPrintable(QStringLiteral("turn %1: %2 of %3 pixels darker than the base colour")
                                             .arg(turn).arg(darker).arg(surface)));
    }
}

void TestSurface::facesWithAMissingCornerDrawOutlinesOnly()
{
    MinMaxMultiDimData complete;
    makeCube(complete, 10, 10, {});
    // A scan in progress: every cell holds a sample or a stand-in.
    MinMaxMultiDimData pending;
    makeCube(pending, 10, 10, {});
    pending.setDataComplete(false);
    pending.markChanged();
    MinMaxMultiDimData holed;
    makeCube(holed, 10, 10, {});
    holed.setValue({5, 5}, missing);
    holed.markChanged();
    for (MinMaxMultiDimData *data : {&complete, &pending, &holed}) {
        DrawSettings3DCube cube = data->drawSettings3DCube();
        cube.drawPoints = false;
        data->setDrawSettings3DCube(cube);
    }
    const int filled = greenPixels(paintCube(complete));
    QCOMPARE(greenPixels(paintCube(pending)), filled);
    // The faces around the missing value are outlines.
    const int withHole = greenPixels(paintCube(holed));
    QVERIFY2(withHole < filled, qPrintable(QStringLiteral("%1 vs %2").arg(withHole).arg(filled)));

    // Points of missing values are skipped while the data are incomplete.
    MinMaxMultiDimData holes;
    QList<double> values(25, 1.0);
    values[12] = missing;
    values[0] = 0;
    makeCube(holes, 5, 5, values);
    DrawSettings3DCube cube = holes.drawSettings3DCube();
    cube.drawPoints = true;
    holes.setDrawSettings3DCube(cube);
    holes.setDataComplete(false);
    holes.markChanged();
    const QImage image = paintCube(holes);
    const QPointF at = holes.mesh().vertices().at(12).stages[SurfaceMesh::Screen].toPointF();
    const QColor there = image.pixelColor(at.toPoint());
    QVERIFY(!(there.red() > 150 && there.green() < 80));
}

void TestSurface::aSharedVertexIsDrawnOnceAfterItsLastFace()
{
    MinMaxMultiDimData data;
    makeCube(data, 4, 4, {});
    DrawSettings3DCube cube = data.drawSettings3DCube();
    cube.drawPoints = true;
    data.setDrawSettings3DCube(cube);
    paintCube(data);
    const SurfaceMesh &mesh = data.mesh();
    // An inner vertex belongs to six triangles; after the paint each vertex
    // has counted all its faces, and was drawn on the last.
    const SurfaceMesh::Vertex &inner = mesh.vertices().at(5);
    QCOMPARE(inner.faces.size(), 6);
    for (const SurfaceMesh::Vertex &vertex : mesh.vertices())
        QCOMPARE(vertex.drawnOnce, int(vertex.faces.size()));
}

void TestSurface::nearerFacesArePaintedLast()
{
    MinMaxMultiDimData data;
    makeCube(data, 8, 8, {});
    PerspectiveSettings turned;
    turned.turn = 70;
    turned.tilt = 25;
    data.setPerspectiveSettings(turned);
    paintCube(data);
    const SurfaceMesh &mesh = data.mesh();
    auto depth = [&mesh](int f) {
        float sum = 0;
        for (int v : mesh.faces()[f].vertices)
            sum += mesh.vertices()[v].stages[SurfaceMesh::Projected].z();
        return sum / float(mesh.faces()[f].vertices.size());
    };
    const QList<int> &order = mesh.order();
    QCOMPARE(order.size(), mesh.faces().size());
    for (qsizetype i = 1; i < order.size(); ++i)
        QVERIFY(depth(order[i - 1]) >= depth(order[i]));
}

void TestSurface::aMergedCellIsFilledAsItsTwoTriangles()
{
    // One cell folded along its diagonal by less than the merging angle, seen
    // from a side where one triangle lies over the other: its outline has a
    // notch at corner 3, but the surface covers it.
    MinMaxMultiDimData data;
    makeCube(data, 2, 2, {0.1, 1, 0, 0.1});
    data.setDataComplete(false);
    DataExtractionSettings extraction = data.dataExtractionSettings();
    extraction.simplify = true;
    data.setDataExtractionSettings(extraction);
    DrawSettings3DCube cube = data.drawSettings3DCube();
    cube.drawPoints = false;
    cube.alpha = 1;
    data.setDrawSettings3DCube(cube);
    PerspectiveSettings view;
    view.turn = -75;
    view.tilt = 10;
    data.setPerspectiveSettings(view);
    const QImage image = paintCube(data);
    const SurfaceMesh &mesh = data.mesh();
    QCOMPARE(mesh.faces().size(), 1);
    QPointF q[4];
    for (int i = 0; i < 4; ++i)
        q[i] = mesh.vertices()[mesh.faces()[0].vertices[i]].stages[SurfaceMesh::Screen].toPointF();
    const auto turnAt = [&q](int i) {
        const QPointF a = q[i] - q[(i + 3) % 4], b = q[(i + 1) % 4] - q[i];
        return a.x() * b.y() - a.y() * b.x();
    };
    QVERIFY((turnAt(3) > 0) != (turnAt(0) > 0) && (turnAt(0) > 0) == (turnAt(1) > 0)
            && (turnAt(1) > 0) == (turnAt(2) > 0));
    const auto surface = [&image](const QPointF &at) {
        const QColor c = image.pixelColor(at.toPoint());
        return c.green() > c.red() + 10 && c.green() > c.blue() + 10;
    };
    QVERIFY(surface((q[0] + q[1] + q[2]) / 3));
    QVERIFY(surface((q[2] + q[3] + q[0]) / 3));
}

void TestSurface::gridLinesBesideHolesAreDrawnOnce()
{
    QList<double> values;
    for (int b = 0; b < 12; ++b)
        for (int a = 0; a < 12; ++a)
            values << ((a * 7 + b * 5) % 11 == 0 ? missing : std::sin(a * 0.5) * std::cos(b * 0.4));
    MinMaxMultiDimData data;
    makeCube(data, 12, 12, values);
    for (int turn = -180; turn < 180; turn += 15) {
        PerspectiveSettings view;
        view.turn = turn;
        data.setPerspectiveSettings(view);
        paintCube(data);
        const SurfaceMesh &mesh = data.mesh();
        // Every grid edge of a filled face (one without a missing corner) is
        // drawn by exactly one face, even where its other face is an outline.
        QMultiHash<QPair<int, int>, int> drawn;
        QSet<QPair<int, int>> wanted;
        for (int f = 0; f < mesh.faces().size(); ++f) {
            const SurfaceMesh::Face &face = mesh.faces()[f];
            bool filled = true;
            for (int v : face.vertices)
                filled = filled && !mesh.vertices()[v].isNaN;
            if (!filled) // outlines draw no grid lines
                continue;
            for (const auto &[u, v] : face.gridEdges)
                drawn.insert({std::min(u, v), std::max(u, v)}, f);
            for (const auto &candidate : face.candidateEdges)
                wanted.insert({std::min(candidate[1], candidate[2]), std::max(candidate[1], candidate[2])});
        }
        QVERIFY(wanted.size() > 200);
        for (const auto &edge : std::as_const(wanted))
            QVERIFY2(drawn.count(edge) == 1, qPrintable(QStringLiteral("turn %1: edge %2-%3 drawn %4 times")
                                                            .arg(turn).arg(edge.first).arg(edge.second)
                                                            .arg(drawn.count(edge))));
    }
}

void TestSurface::aHoleIsAGapNotACurtain()
{
    // The front row has no values: its vertices lie on the floor, and the
    // edges from the row behind down to them would hang like a curtain.
    QList<double> values;
    for (int b = 0; b < 10; ++b)
        for (int a = 0; a < 10; ++a)
            values << (b == 0 ? missing : std::sin(a * 0.5) + b * 0.1);
    MinMaxMultiDimData data;
    makeCube(data, 10, 10, values);
    DrawSettings3DCube cube = data.drawSettings3DCube();
    cube.drawPoints = false;
    data.setDrawSettings3DCube(cube);
    const QImage image = paintCube(data);
    const QList<SurfaceMesh::Vertex> &vertices = data.mesh().vertices();
    int marked = 0, probed = 0;
    for (int a = 1; a < 9; ++a) {
        const QPointF floor = vertices[a].stages[SurfaceMesh::Screen].toPointF();
        const QPointF above = vertices[10 + a].stages[SurfaceMesh::Screen].toPointF();
        QVERIFY(vertices[a].isNaN && !vertices[10 + a].isNaN);
        for (double t = 0.3; t <= 0.7; t += 0.1, ++probed)
            marked += image.pixel((floor + (above - floor) * t).toPoint()) != 0xff180100u ? 1 : 0;
    }
    QVERIFY2(marked <= probed / 10, qPrintable(QStringLiteral("%1 of %2 probes drawn").arg(marked).arg(probed)));
}

void TestSurface::simplifiedGridsKeepTheirEndsAndTheirBound()
{
    for (const QSize counts : {QSize(30, 20), QSize(7, 50), QSize(2, 2), QSize(3, 100)}) {
        MinMaxMultiDimData data;
        makeCube(data, counts.width(), counts.height(), {});
        DataExtractionSettings extraction = data.dataExtractionSettings();
        extraction.simplify = true;
        data.setDataExtractionSettings(extraction);
        DrawSettings3DCube cube = data.drawSettings3DCube();
        cube.fillLimitX = 1;
        cube.fillLimitY = 1;
        data.setDrawSettings3DCube(cube);
        paintCube(data);
        const SurfaceMesh &mesh = data.mesh();
        QVERIFY(!mesh.faces().isEmpty());
        QCOMPARE(mesh.usedColumns().last(), counts.width() - 1);
        QCOMPARE(mesh.usedRows().last(), counts.height() - 1);
        const int cells = (mesh.columns() - 1) * (mesh.rows() - 1);
        // The cross at grid point (1, 1) lands on a used column and row near it.
        int marked = 0;
        for (const SurfaceMesh::Vertex &vertex : mesh.vertices())
            marked += vertex.onFillLimit ? 1 : 0;
        QVERIFY(marked >= mesh.columns() + mesh.rows() - 1);
        QVERIFY(cells >= 1);
        if (counts != QSize(2, 2))
            QVERIFY2(cells <= counts.width() * counts.height() / 2,
                     qPrintable(QStringLiteral("%1 cells of %2").arg(cells).arg(counts.width() * counts.height())));
    }
}

void TestSurface::theCubeFollowsOnlyWhatChanged()
{
    MinMaxMultiDimData data;
    makeCube(data, 6, 6, {});
    paintCube(data);
    const qint64 first = data.cachedGraph().cacheKey();
    paintCube(data);
    QCOMPARE(data.cachedGraph().cacheKey(), first); // no change: the same picture
    const QVector3D before = data.mesh().vertices().at(7).stages[SurfaceMesh::Rotated];
    PerspectiveSettings turned = data.perspectiveSettings();
    turned.turn += 30;
    data.setPerspectiveSettings(turned);
    paintCube(data);
    QVERIFY(data.cachedGraph().cacheKey() != first);
    QVERIFY(data.mesh().vertices().at(7).stages[SurfaceMesh::Rotated] != before);
    // A bigger image alone re-maps the same projection.
    const QVector3D projected = data.mesh().vertices().at(7).stages[SurfaceMesh::Projected];
    DrawSettings3DCube cube = data.drawSettings3DCube();
    cube.imageSize = QSize(300, 300);
    data.setDrawSettings3DCube(cube);
    paintCube(data, QSize(300, 300));
    QCOMPARE(data.mesh().vertices().at(7).stages[SurfaceMesh::Projected], projected);
    QCOMPARE(data.cachedGraph().size(), QSize(300, 300));
}

void TestSurface::eachPictureNoticesNewValuesForItself()
{
    // As a scan writes them: point by point, the selection kept.
    auto write = [](MinMaxMultiDimData &data, const QList<double> &values) {
        for (int i = 0; i < values.size(); ++i)
            data.setValue({i % 2, i / 2}, values[i]);
    };
    const QList<double> rising = {0, 1, 2, 3}, falling = {3, 2, 1, 0};
    // The cube is drawn, new values arrive while the flat map is shown, the
    // cube comes back: it shows the new values, not the old surface.
    MinMaxMultiDimData data;
    makeCube(data, 2, 2, rising);
    paintCube(data);
    QCOMPARE(data.mesh().vertices().at(0).level, -0.5);
    data.setFlat3D(true);
    write(data, falling);
    paintCube(data);
    data.setFlat3D(false);
    paintCube(data);
    QCOMPARE(data.mesh().vertices().at(0).level, 0.5);

    // And the other way round: the flat map shown again has the values the
    // cube drew meanwhile (its top left is the grid's last row, first column).
    data.setFlat3D(true);
    data.setDrawSettings3DFlat(DrawSettings3DFlat{false});
    const QRgb oldCorner = paintCube(data).pixel(0, 0);
    data.setFlat3D(false);
    write(data, rising);
    paintCube(data);
    data.setFlat3D(true);
    const QRgb newCorner = paintCube(data).pixel(0, 0);
    QVERIFY(oldCorner != newCorner);
    QCOMPARE(data.cachedGraph().pixel(0, 0), newCorner);
}

void TestSurface::aFullRenderRecordsItsTimeADraftDoesNot()
{
    MinMaxMultiDimData data;
    makeCube(data, 6, 6, {});
    // Work done during the render, of a length the test measures itself.
    int renders = 0;
    qint64 hookTime = 0;
    connect(&data, &MinMaxMultiDimData::beforePaint3D, this, [&] {
        ++renders;
        QElapsedTimer timer;
        timer.start();
        QThread::msleep(20);
        hookTime = timer.elapsed();
    });
    DrawSettings3DCube cube = data.drawSettings3DCube();
    cube.fastDraw = true;
    data.setDrawSettings3DCube(cube);
    const qint64 initial = data.lastRenderTime();
    paintCube(data);
    QCOMPARE(renders, 1);
    QCOMPARE(data.lastRenderTime(), initial);
    cube.fastDraw = false;
    data.setDrawSettings3DCube(cube);
    paintCube(data);
    QCOMPARE(renders, 2);
    QVERIFY(hookTime >= 20);
    QVERIFY2(data.lastRenderTime() >= hookTime,
             qPrintable(QStringLiteral("%1 ms recorded, %2 ms spent in the render").arg(data.lastRenderTime()).arg(hookTime)));
}

void TestSurface::aDraftDrawsSmallPointsAsPixels()
{
    MinMaxMultiDimData data;
    makeCube(data, 80, 80, {});
    DrawSettings3DCube cube = data.drawSettings3DCube();
    cube.fastDraw = true;
    cube.drawPoints = false;
    data.setDrawSettings3DCube(cube);
    const QImage without = paintCube(data);
    cube.drawPoints = true;
    data.setDrawSettings3DCube(cube);
    const QImage with = paintCube(data);
    int shown = 0;
    const QList<SurfaceMesh::Vertex> &vertices = data.mesh().vertices();
    for (const SurfaceMesh::Vertex &vertex : vertices) {
        const QPoint at(int(std::floor(vertex.stages[SurfaceMesh::Screen].x())),
                        int(std::floor(vertex.stages[SurfaceMesh::Screen].y())));
        shown += with.pixel(at) != without.pixel(at) ? 1 : 0;
    }
    // Points so small that they are single pixels (nearer ones overlap a few).
    QVERIFY2(shown > vertices.size() * 3 / 4, qPrintable(QStringLiteral("%1 of %2").arg(shown).arg(vertices.size())));
}

void TestSurface::axisLabelsFaceTheViewerInsideThePicture()
{
    MinMaxMultiDimData data;
    QList<double> values;
    for (int b = 0; b < 12; ++b)
        for (int a = 0; a < 12; ++a)
            values << 1000 + std::sin(a * 0.5) * std::cos(b * 0.4);
    values[0] = 999; // values ticked at 999, 1000 and 1001
    values[143] = 1001;
    makeCube(data, 12, 12, values, QSize(240, 240));
    data.setDimensions({Dimension{12, QStringLiteral("Speed (m/s)"), 0, 30},
                        Dimension{12, QStringLiteral("Angle"), -90, 90}});
    for (int i = 0; i < values.size(); ++i)
        data.setValue({i % 12, i / 12}, values[i]);
    data.setValueLabel(QStringLiteral("Power"));
    DrawSettings3DCube cube = data.drawSettings3DCube();
    cube.drawPoints = false;
    data.setDrawSettings3DCube(cube);
    const QStringList titles = {QStringLiteral("Speed (m/s)"), QStringLiteral("Angle"), QStringLiteral("Power")};
    for (int tilt : {-30, 10, 40, 75}) {
        // Off the turns where sides are seen edge on, and so neither face nor turn away.
        for (double turn = -172.5; turn < 180; turn += 15) {
            PerspectiveSettings view;
            view.turn = turn;
            view.tilt = tilt;
            data.setPerspectiveSettings(view);
            const QImage image = paintCube(data, QSize(240, 240));
            const QString where = QStringLiteral("turn %1 tilt %2: ").arg(turn).arg(tilt);
            int valueTicks = 0;
            QStringList shown;
            for (const CubeAxes::Label &label : data.cubeAxes().labels()) {
                QVERIFY2(image.rect().contains(label.box.toAlignedRect()), qPrintable(where + label.text));
                bool number = false;
                const double value = label.text.toDouble(&number);
                valueTicks += number && value >= 999 && value <= 1001 ? 1 : 0;
                if (!titles.contains(label.text))
                    continue;
                // A title is drawn after the surface, which cannot hide it.
                QVERIFY2(label.front, qPrintable(where + label.text));
                int text = 0;
                const QRect box = label.box.toAlignedRect();
                for (int y = box.top(); y <= box.bottom(); ++y)
                    for (int x = box.left(); x <= box.right(); ++x) {
                        const QColor c = image.pixelColor(x, y);
                        text += c.red() > 200 && c.green() > 200 && c.blue() > 200 ? 1 : 0;
                    }
                QVERIFY2(text >= 8, qPrintable(where + label.text + QStringLiteral(" shows %1 pixels").arg(text)));
                shown << label.text;
            }
            // No label is written over another.
            const QList<CubeAxes::Label> labels = data.cubeAxes().labels();
            for (qsizetype i = 0; i < labels.size(); ++i)
                for (qsizetype j = i + 1; j < labels.size(); ++j)
                    QVERIFY2(!labels[i].box.intersects(labels[j].box),
                             qPrintable(where + labels[i].text + QStringLiteral(" over ") + labels[j].text));
            // Ticks on the upright edge, unless it is seen nearly end on from above.
            QVERIFY2(valueTicks >= 2 || tilt > 60, qPrintable(where + QString::number(valueTicks)));
            shown.sort();
            QCOMPARE(shown, QStringList({QStringLiteral("Angle"), QStringLiteral("Power"), QStringLiteral("Speed (m/s)")}));
        }
    }
}

void TestSurface::aShortValueAxisStillShowsTwoTicks()
{
    // A projectile's range, 0 to 367 m, in a watch-sized picture at the first
    // view: the upright edge is short, and steps of 500 would leave only 0.
    QList<double> values;
    for (int b = 0; b < 31; ++b)
        for (int a = 0; a < 31; ++a)
            values << std::pow(b * 2.0, 2) * std::sin(2 * a * 3.0 * M_PI / 180) / 9.81;
    MinMaxMultiDimData data;
    makeCube(data, 31, 31, values, QSize(250, 215));
    // Level axes whose ticks cannot be taken for the value axis's.
    data.setDimensions({Dimension{31, QStringLiteral("Angle"), 1000, 1090}, Dimension{31, QStringLiteral("Speed"), 2000, 2060}});
    for (int i = 0; i < values.size(); ++i)
        data.setValue({i % 31, i / 31}, values[i]);
    data.setValueLabel(QStringLiteral("Range (m)"));
    paintCube(data, QSize(250, 215));
    QStringList ticks;
    for (const CubeAxes::Label &label : data.cubeAxes().labels()) {
        bool number = false;
        const double value = label.text.toDouble(&number);
        if (number && value < 1000)
            ticks << label.text;
    }
    QVERIFY2(ticks.size() >= 2, qPrintable(ticks.join(QLatin1Char(' '))));
}

void TestSurface::ticksOutOfAZoomedPictureAreNotPinnedToItsEdge()
{
    MinMaxMultiDimData data;
    makeCube(data, 12, 12, {}, QSize(240, 240));
    data.setDimensions({Dimension{12, QStringLiteral("Speed"), 0, 30}, Dimension{12, QStringLiteral("Angle"), -90, 90}});
    for (int b = 0; b < 12; ++b)
        for (int a = 0; a < 12; ++a)
            data.setValue({a, b}, std::sin(a * 0.3) * std::cos(b * 0.2));
    PerspectiveSettings view = data.perspectiveSettings();
    view.zoom = 6; // the box reaches far out of the picture
    data.setPerspectiveSettings(view);
    const QImage image = paintCube(data, QSize(240, 240));
    const QRectF inner = QRectF(image.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    for (const CubeAxes::Label &label : data.cubeAxes().labels()) {
        bool number = false;
        label.text.toDouble(&number);
        // Moved in to the edge, a tick would name a place it is not at.
        if (number)
            QVERIFY2(inner.contains(label.box), qPrintable(label.text));
    }
}

void TestSurface::theSurfaceDoesNotHideAxisTitles()
{
    // A ridge along the front of the floor, where a title lay under it.
    QList<double> values;
    for (int b = 0; b < 12; ++b)
        for (int a = 0; a < 12; ++a)
            values << std::exp(-b * 0.3) * (1 + 0.3 * std::sin(a * 0.7));
    MinMaxMultiDimData data;
    makeCube(data, 12, 12, values, QSize(240, 240));
    const auto titled = [&data](const QString &first, const QString &second) {
        data.setDimensions({Dimension{12, first, 0, 30}, Dimension{12, second, -90, 90}});
        return paintCube(data, QSize(240, 240));
    };
    for (int turn : {150, 60, -30, -120}) {
        PerspectiveSettings view;
        view.turn = turn;
        data.setPerspectiveSettings(view);
        const QImage plain = titled({}, {});
        for (const QImage &image : {titled(QStringLiteral("Speed (m/s)"), {}), titled({}, QStringLiteral("Speed (m/s)"))}) {
            int text = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    text += image.pixel(x, y) != plain.pixel(x, y) && c.red() > 200 && c.green() > 200 && c.blue() > 200;
                }
            QVERIFY2(text >= 40, qPrintable(QStringLiteral("turn %1: %2 pixels of the title").arg(turn).arg(text)));
        }
    }
}

void TestSurface::theRenderIsDrawnOneToOneOrScaled()
{
    MinMaxMultiDimData data;
    makeCube(data, 6, 6, {}, QSize(100, 100));
    const QImage small = paintCube(data, QSize(100, 100));
    QCOMPARE(small, data.cachedGraph().convertToFormat(QImage::Format_RGB32));
    const QImage large = paintCube(data, QSize(200, 200));
    QVERIFY(pixelsBrighterThan(large, 60) > 2 * pixelsBrighterThan(small, 60));
}

void TestSurface::facesMeetWithoutSeamsAndLinesAreSmooth()
{
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::black);
    ImageRaster raster(image);
    // Two halves of a square, half transparent: every pixel inside blended once.
    const QPointF first[3] = {QPointF(5, 5), QPointF(35, 5), QPointF(35, 35)};
    const QPointF second[3] = {QPointF(5, 5), QPointF(35, 35), QPointF(5, 35)};
    QColor grey(200, 200, 200, 128);
    raster.fillConvex(first, 3, grey);
    raster.fillConvex(second, 3, grey);
    QSet<QRgb> inside;
    for (int y = 5; y < 35; ++y)
        for (int x = 5; x < 35; ++x)
            inside.insert(image.pixel(x, y));
    QCOMPARE(inside.size(), 1);
    QCOMPARE(image.pixel(4, 20), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(35, 20), qRgb(0, 0, 0));

    // A line half way between pixel centres shares itself between both rows.
    QImage lines(20, 20, QImage::Format_RGB32);
    lines.fill(Qt::black);
    ImageRaster(lines).drawLine(QPointF(2, 10), QPointF(18, 10), QColor(Qt::white));
    const int upper = qRed(lines.pixel(10, 9)), lower = qRed(lines.pixel(10, 10));
    QVERIFY(std::abs(upper - lower) <= 2);
    QVERIFY(upper + lower >= 250);
    QCOMPARE(lines.pixel(10, 5), qRgb(0, 0, 0));
}

QTEST_MAIN(TestSurface)
#include "tst_surface.moc"
