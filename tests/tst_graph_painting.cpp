#include "CurvePainter.h"
#include "GraphPalette.h"
#include "MinMaxMultiDimData.h"
#include "VRKExcelWatchScale.h"
#include "VRKExcelWatchView.h"
#include "ProgramDiagnostics.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

namespace {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();
const QColor curveYellow(0xffee00);

void makeCurve(MinMaxMultiDimData &data, const QList<double> &values, double first = 0, double second = 0)
{
    data.setDimensions({Dimension{int(values.size()), QStringLiteral("x"), first, second}});
    data.setValues(values);
    DataExtractionSettings extraction = data.dataExtractionSettings();
    extraction.selection = {-1};
    data.setDataExtractionSettings(extraction);
}

void makeSurface(MinMaxMultiDimData &data, int na, int nb, const QList<double> &values, bool flat = true)
{
    data.setFlat3D(flat);
    data.setDimensions({Dimension{na, QStringLiteral("a"), 0, 1}, Dimension{nb, QStringLiteral("b"), 0, 1}});
    data.setValues(values);
    DataExtractionSettings extraction = data.dataExtractionSettings();
    extraction.selection = {-1, -1};
    data.setDataExtractionSettings(extraction);
}

QImage paintStore(MinMaxMultiDimData &data, QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    data.paint(painter, image.rect());
    return image;
}

bool isCurve(QColor colour)
{
    return colour.red() > 100 && colour.green() > 90 && colour.blue() < 60;
}

// Rows and columns that hold curve colour.
QList<int> curveRows(const QImage &image)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isCurve(image.pixelColor(x, y))) {
                rows << y;
                break;
            }
    return rows;
}

QList<int> curveColumns(const QImage &image)
{
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (isCurve(image.pixelColor(x, y))) {
                columns << x;
                break;
            }
    return columns;
}

QImage render(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::darkGray);
    widget.render(&image);
    return image;
}

void wheel(QWidget &widget, QPoint at, int delta, Qt::KeyboardModifiers modifiers, QWheelEvent **out = nullptr)
{
    QWheelEvent event(at, widget.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&widget, &event);
    if (out)
        *out = nullptr;
}

} // namespace

class TestGraphPainting : public QObject
{
    Q_OBJECT
private slots:
    void paintDispatchSaysWhyNothingIsDrawn();
    void aSingleSampleIsOneDotAtTheRightEdge();
    void missingSamplesBreakTheCurveOnlyWhenComplete();
    void aLiveHistoryRunsTwoPixelsPerSampleFromTheRight();
    void theCurveIsCachedUntilSomethingChanges();
    void theCachedCurveKeepsDotsOverTheEdges();
    void aWatchDrawsItsCurveInTheMiddleOfTheGraph();
    void theFlatMapColoursByValue();
    void theFlatMapIsRebuiltOnlyWhenNeeded();
    void aVerticalTitleRunsUpTheLeftEdge();
    void axesCrossHairButtonsAndFrame();
    void surfacesTurnTiltAndZoom();
    void aCurveLetsTheWheelPass();
    void theScaleShowsTheRangeAndTheCrossPoint();
    void theScaleAndTheWatchLinkBothWays();
    void theScaleLabelsTicksAlongTheWholeBar();
    void valueLabelsStayWholeAndClearOfTheTitle();
    void longValueLabelsShrinkToStayWhole();
};

void TestGraphPainting::paintDispatchSaysWhyNothingIsDrawn()
{
    MinMaxMultiDimData data;
    QTest::ignoreMessage(QtDebugMsg, "Cannot paint with empty indices");
    paintStore(data, QSize(10, 10));
    data.setDimensions({Dimension{2, {}, 0, 1}, Dimension{2, {}, 0, 1}, Dimension{2, {}, 0, 1}});
    DataExtractionSettings extraction;
    extraction.selection = {-1, -1, -1};
    data.setDataExtractionSettings(extraction);
    QTest::ignoreMessage(QtDebugMsg, "Cannot paint more graphs with more than 3 dimensions. Indices: -1, -1, -1");
    paintStore(data, QSize(10, 10));
    QVERIFY(data.dirty()); // no painter ran

    MinMaxMultiDimData empty;
    makeCurve(empty, {});
    QTest::ignoreMessage(QtDebugMsg, "paint2D: no values");
    paintStore(empty, QSize(10, 10));
}

void TestGraphPainting::aSingleSampleIsOneDotAtTheRightEdge()
{
    MinMaxMultiDimData data;
    makeCurve(data, {5});
    const QImage image = paintStore(data, QSize(50, 40));
    const QList<int> columns = curveColumns(image);
    QVERIFY(!columns.isEmpty());
    QVERIFY(columns.first() >= 47);
    // lo = hi: the range is 4 .. 6, so the dot sits in the middle.
    const QList<int> rows = curveRows(image);
    QVERIFY(rows.first() >= 17 && rows.last() <= 22);
}

void TestGraphPainting::missingSamplesBreakTheCurveOnlyWhenComplete()
{
    for (bool complete : {false, true}) {
        MinMaxMultiDimData data;
        makeCurve(data, {1, missing, 3});
        data.setDataComplete(complete);
        const QImage image = paintStore(data, QSize(101, 41));
        // Dots at x = 0 and x = 100; the line, when drawn, passes x = 50 at mid height.
        QVERIFY(isCurve(image.pixelColor(0, 40)) || isCurve(image.pixelColor(1, 40)));
        QVERIFY(isCurve(image.pixelColor(100, 0)) || isCurve(image.pixelColor(100, 1)));
        bool middle = false;
        for (int y = 15; y < 26; ++y)
            middle = middle || isCurve(image.pixelColor(50, y));
        QCOMPARE(middle, !complete);
    }
}

void TestGraphPainting::aLiveHistoryRunsTwoPixelsPerSampleFromTheRight()
{
    MinMaxMultiDimData data;
    data.setMaxValueCount(1000);
    data.setDimensions({Dimension{}});
    DataExtractionSettings extraction;
    extraction.selection = {-1};
    data.setDataExtractionSettings(extraction);
    for (int i = 0; i < 200; ++i)
        data.appendValue(i % 2);
    const QImage image = paintStore(data, QSize(300, 50));
    const QList<int> columns = curveColumns(image);
    // The newest 150 samples fill the width; the older ones run off the left edge.
    QVERIFY(columns.first() <= 2);
    QVERIFY(columns.last() >= 298);
    QCOMPARE(data.values().size(), 200);
}

void TestGraphPainting::theCurveIsCachedUntilSomethingChanges()
{
    MinMaxMultiDimData data;
    makeCurve(data, {1, 2, 3});
    paintStore(data, QSize(60, 40));
    const qint64 key = data.cachedGraph().cacheKey();
    paintStore(data, QSize(60, 40));
    QCOMPARE(data.cachedGraph().cacheKey(), key);
    data.appendValue(4);
    paintStore(data, QSize(60, 40));
    QVERIFY(data.cachedGraph().cacheKey() != key);
    const qint64 second = data.cachedGraph().cacheKey();
    DrawSettings2D faded = data.drawSettings2D();
    faded.alpha = 0.5;
    data.setDrawSettings2D(faded);
    paintStore(data, QSize(60, 40));
    QVERIFY(data.cachedGraph().cacheKey() != second);
}

void TestGraphPainting::theCachedCurveKeepsDotsOverTheEdges()
{
    // The peak's dot lies a pixel above the rectangle, the end dots reach
    // over its sides: the cached picture shows them as a direct drawing does.
    MinMaxMultiDimData data;
    makeCurve(data, {0, 3, 10, 2, 7, 1, 10});
    const QRect rect(10, 10, 60, 40);
    QImage cached(80, 60, QImage::Format_ARGB32);
    cached.fill(Qt::black);
    QImage direct = cached;
    {
        QPainter painter(&direct);
        CurvePainter::draw(data, painter, rect);
    }
    {
        QPainter painter(&cached);
        data.paint(painter, rect);
    }
    QVERIFY(!curveRows(direct.copy(0, 0, 80, rect.top())).isEmpty());
    QVERIFY(!curveColumns(direct.copy(rect.right() + 1, 0, 80 - rect.right() - 1, 60)).isEmpty());
    QCOMPARE(cached, direct);
}

void TestGraphPainting::aWatchDrawsItsCurveInTheMiddleOfTheGraph()
{
    VRKExcelWatchView watch;
    watch.resize(300, 200);
    makeCurve(*watch.data(), {0, 10}, 0, 1);
    const QImage image = render(watch);
    // Graph 42..296 x 36..170 is 135 high; the curve takes its middle 101 rows, 53 .. 153.
    QCOMPARE(image.pixelColor(150, 40), QColor::fromRgba(0xFF180100));
    const QList<int> rows = curveRows(image.copy(QRect(43, 36, 254, 135)));
    QVERIFY(!rows.isEmpty());
    QVERIFY(rows.first() + 36 >= 50);
    QVERIFY(rows.last() + 36 <= 156);
    QVERIFY(rows.last() - rows.first() >= 99);
    QVERIFY(watch.lastDataPaintMs() >= 1);
    QCOMPARE(watch.minRepaintInterval(), qint64(watch.lastDataPaintMs() * 1.5 + 20));
}

void TestGraphPainting::theFlatMapColoursByValue()
{
    MinMaxMultiDimData data;
    makeSurface(data, 2, 2, {7, 7, missing, 7});
    QImage image = paintStore(data, QSize(2, 2));
    DrawSettings3DFlat nearest{false};
    data.setDrawSettings3DFlat(nearest);
    image = paintStore(data, QSize(2, 2));
    // All equal: one mid-range colour; the NaN cell (a = 0, b = 1) is near black at the top left.
    const QColor mid(GraphPalette::ramp().at(128));
    QCOMPARE(image.pixelColor(0, 1), mid);
    QCOMPARE(image.pixelColor(1, 1), mid);
    QCOMPARE(image.pixelColor(1, 0), mid);
    QCOMPARE(image.pixel(0, 0), 0xff201000u);
    data.setDataComplete(true);
    data.markChanged();
    image = paintStore(data, QSize(2, 2));
    QCOMPARE(image.pixel(0, 0), 0xffa0a0a0u);

    // Low values are violet-blue, high ones red.
    MinMaxMultiDimData ramp;
    makeSurface(ramp, 2, 1, {0, 1});
    ramp.setDrawSettings3DFlat(nearest);
    image = paintStore(ramp, QSize(2, 1));
    QCOMPARE(image.pixelColor(0, 0), QColor(GraphPalette::ramp().at(1)));
    QCOMPARE(image.pixelColor(1, 0), QColor(GraphPalette::ramp().at(255)));
    QCOMPARE(QColor(GraphPalette::ramp().at(255)).hue(), 0);
    QCOMPARE(GraphPalette::colourAt(1.0), QColor(GraphPalette::ramp().at(255)));
}

void TestGraphPainting::theFlatMapIsRebuiltOnlyWhenNeeded()
{
    MinMaxMultiDimData data;
    makeSurface(data, 3, 2, {1, 2, 3, 4, 5, 6});
    paintStore(data, QSize(30, 20));
    const qint64 key = data.cachedGraph().cacheKey();
    QCOMPARE(data.cachedGraph().size(), QSize(3, 2));
    paintStore(data, QSize(60, 40));
    QCOMPARE(data.cachedGraph().cacheKey(), key);
    data.setValue({0, 0}, 9);
    paintStore(data, QSize(60, 40));
    QVERIFY(data.cachedGraph().cacheKey() != key);
}

void TestGraphPainting::aVerticalTitleRunsUpTheLeftEdge()
{
    VRKExcelWatchView watch;
    watch.resize(200, 300);
    watch.setName(QStringLiteral("Up"));
    watch.setVertical(true);
    const QImage image = render(watch);
    // The textured title is light metal; the graph is near black.
    const auto light = [&image](int x, int y) { return image.pixelColor(x, y).lightness() > 120; };
    QVERIFY(light(15, 150));
    QVERIFY(!light(150, 15));
    QVERIFY(!light(100, 150));

    // The frame's white and black lines run round the view's edges.
    const auto framed = [&image](QPoint from, QPoint step) {
        bool white = false, black = false;
        for (QPoint at = from; at != from + 4 * step; at += step) {
            white = white || image.pixelColor(at) == QColor(Qt::white);
            black = black || image.pixelColor(at) == QColor(Qt::black);
        }
        return white && black;
    };
    QVERIFY(framed(QPoint(100, 0), QPoint(0, 1)));
    QVERIFY(framed(QPoint(100, 299), QPoint(0, -1)));
    QVERIFY(framed(QPoint(0, 150), QPoint(1, 0)));
    QVERIFY(framed(QPoint(199, 150), QPoint(-1, 0)));
    for (int y = 10; y < 290; ++y)
        QVERIFY2(image.pixelColor(150, y) != QColor(Qt::white), qPrintable(QString::number(y)));
}

void TestGraphPainting::axesCrossHairButtonsAndFrame()
{
    VRKExcelWatchView watch;
    watch.resize(300, 200);
    makeCurve(*watch.data(), {0, 5, 10}, 0, 100);
    watch.addDisplayFlags(VRKExcelWatchView::CrossHairBits);
    watch.setSplitPoint(QPointF(0.5, 0.5));
    watch.setButtons({WatchButton{QStringLiteral("close"), QStringLiteral(":resources/watchbuttonhide.png")}});
    watch.setButtonsShown(true);
    const QImage image = render(watch);
    // Cross-hair: white lines at x = trunc(0.5 * 255 + 42) and y = trunc(170 - 135 * 0.5).
    QCOMPARE(image.pixelColor(169, 60), QColor(Qt::white));
    QCOMPARE(image.pixelColor(60, 102), QColor(Qt::white));
    // The cross-hair lies over the axes' grid lines, unbroken where they cross it.
    const QRect g = watch.area(VRKExcelWatchView::Graph);
    for (int y = g.top() + 1; y < g.bottom(); ++y)
        QCOMPARE(image.pixelColor(169, y), QColor(Qt::white));
    // Value-axis labels are white text left of the graph; the frame is white then black.
    bool label = false;
    for (int y = 36; y < 170 && !label; ++y)
        for (int x = 5; x < 40 && !label; ++x)
            label = image.pixelColor(x, y).lightness() > 200;
    QVERIFY(label);
    QCOMPARE(image.pixelColor(150, 1), QColor(Qt::white));
    QCOMPARE(image.pixelColor(150, 2), QColor(Qt::black));
    // The open row's cell is grey over the title.
    const QColor cell = image.pixelColor(4, 4);
    QVERIFY(cell.red() < 120 && std::abs(cell.red() - cell.blue()) < 40);
    watch.setSelected(true);
    QCOMPARE(render(watch).pixelColor(150, 0), QColor(Qt::blue));
}

void TestGraphPainting::surfacesTurnTiltAndZoom()
{
    VRKExcelWatchView watch;
    watch.resize(300, 200);
    makeSurface(*watch.data(), 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, false);
    QVERIFY(!watch.axesApply());
    const QRect g = watch.area(VRKExcelWatchView::Graph);
    const QPoint start = g.center();
    // Control + Alt + left drag up by half the graph width raises the centre's z by 0.5.
    QTest::mousePress(&watch, Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier, start);
    const QPointF up(start.x(), start.y() - g.width() / 2.0);
    QMouseEvent move(QEvent::MouseMove, up, watch.mapToGlobal(up), Qt::NoButton, Qt::LeftButton,
                     Qt::ControlModifier | Qt::AltModifier);
    QCoreApplication::sendEvent(&watch, &move);
    QTest::mouseRelease(&watch, Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier, start);
    QCOMPARE(watch.data()->perspectiveSettings().center.z(), 0.5f);

    // A right drag turns and tilts.
    const PerspectiveSettings before = watch.data()->perspectiveSettings();
    QTest::mousePress(&watch, Qt::RightButton, Qt::NoModifier, start);
    const QPointF right(start.x() + g.width() / 10.0, start.y());
    QMouseEvent turn(QEvent::MouseMove, right, watch.mapToGlobal(right), Qt::NoButton, Qt::RightButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&watch, &turn);
    QTest::mouseRelease(&watch, Qt::RightButton, Qt::NoModifier, start);
    QCOMPARE(watch.data()->perspectiveSettings().turn, before.turn + 15);

    // Alt + wheel zooms by 1.2 around the pointer; a double click resets the view.
    QSignalSpy zooming(&watch, &VRKExcelWatchView::mouseZoomChanging);
    const double zoom = watch.data()->perspectiveSettings().zoom;
    wheel(watch, g.center(), 120, Qt::AltModifier);
    QCOMPARE(zooming.count(), 1);
    QCOMPARE(watch.data()->perspectiveSettings().zoom, zoom * 1.2);
    // Control + wheel too, where the window manager takes Alt + wheel.
    wheel(watch, g.center(), -120, Qt::ControlModifier);
    QCOMPARE(zooming.count(), 2);
    QCOMPARE(watch.data()->perspectiveSettings().zoom, zoom);
    // A middle drag up by half the graph width stretches the heights by 0.5, as Alt + left does.
    const double height = watch.data()->perspectiveSettings().heightScale;
    QTest::mousePress(&watch, Qt::MiddleButton, Qt::NoModifier, start);
    QMouseEvent stretch(QEvent::MouseMove, up, watch.mapToGlobal(up), Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&watch, &stretch);
    QTest::mouseRelease(&watch, Qt::MiddleButton, Qt::NoModifier, start);
    QCOMPARE(watch.data()->perspectiveSettings().heightScale, height + 0.5);
    QTest::mouseDClick(&watch, Qt::LeftButton, Qt::NoModifier, start);
    QCOMPARE(watch.data()->perspectiveSettings(), PerspectiveSettings());
}

void TestGraphPainting::aCurveLetsTheWheelPass()
{
    QWidget parent;
    auto *watch = new VRKExcelWatchView(&parent);
    watch->resize(300, 200);
    makeCurve(*watch->data(), {1, 2, 3});
    const PerspectiveSettings before = watch->data()->perspectiveSettings();
    QWheelEvent event(QPointF(150, 100), QPointF(150, 100), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::AltModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(watch, &event);
    QCOMPARE(watch->data()->perspectiveSettings(), before);
    QVERIFY(!event.isAccepted()); // left to the parent, a scroll area for instance
}

void TestGraphPainting::theScaleShowsTheRangeAndTheCrossPoint()
{
    VRKExcelWatchScale scale;
    scale.setRange(3, 3);
    QCOMPARE(scale.rangeMin(), 2.5);
    QCOMPARE(scale.rangeMax(), 3.5);
    scale.setRange(0, 100);

    VRKExcelWatchView watch;
    watch.resize(300, 300);
    makeSurface(*watch.data(), 2, 2, {0, 25, 50, 100});
    scale.setWatch(&watch);
    QCOMPARE(scale.height(), 300);
    scale.setFixedWidth(46);
    scale.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scale));
    watch.updateSubWatches();
    const QImage image = scale.grab().toImage();
    const QRect graph = watch.area(VRKExcelWatchView::Graph);
    // Red at the top of the bar, violet-blue at its bottom, the graph's rows exactly.
    QVERIFY(image.pixelColor(44, graph.top() + 1).red() > 200);
    QVERIFY(image.pixelColor(44, graph.bottom() - 1).blue() > 50);
    QVERIFY(image.pixelColor(44, graph.top() - 2).saturation() < 30); // above the graph: no bar
    QVERIFY(!scale.tickValues().isEmpty());
    // The cross point's label box is pale yellow.
    bool box = false;
    for (int y = graph.top(); y <= graph.bottom() && !box; ++y) {
        const QColor c = image.pixelColor(6, y);
        box = c.red() > 200 && c.green() > 200 && c.blue() > 150 && c.blue() < c.red() - 20;
    }
    QVERIFY(box);
}

void TestGraphPainting::theScaleAndTheWatchLinkBothWays()
{
    VRKExcelWatchView watch, other;
    VRKExcelWatchScale scale;
    watch.setScale(&scale);
    QCOMPARE(scale.watch(), &watch);
    scale.setWatch(&other);
    QCOMPARE(other.scale(), &scale);
    QCOMPARE(watch.scale(), nullptr);
    // The range follows the watch's store through a throttled repaint.
    scale.resize(40, 200);
    scale.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scale));
    scale.update(true);
    other.data()->setMinMax(1, 2);
    QVERIFY(scale.repaintPending());
    QTRY_COMPARE(scale.rangeMax(), 2.0);
}

void TestGraphPainting::theScaleLabelsTicksAlongTheWholeBar()
{
    VRKExcelWatchView watch;
    watch.resize(300, 300);
    makeSurface(*watch.data(), 2, 2, {-5, 25, 50, 101});
    watch.setCrossPointReading(missing); // no cross-point mark in the way
    VRKExcelWatchScale scale;
    scale.setFixedWidth(46);
    scale.setWatch(&watch);
    QImage image(scale.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    scale.render(&image, QPoint(), QRegion(), {});
    const QRect graph = watch.area(VRKExcelWatchView::Graph);
    // Rows with a label: some pixel lighter than the bar's colour in that
    // row (black above the bar) at its right end.
    const auto textRows = [&image](int from, int to) {
        int rows = 0;
        for (int y = from; y <= to; ++y) {
            const int bar = image.pixelColor(image.width() - 1, y).lightness();
            bool text = false;
            for (int x = 0; x < image.width() - 4 && !text; ++x)
                text = image.pixelColor(x, y).lightness() > bar + 60;
            rows += text ? 1 : 0;
        }
        return rows;
    };
    // Ticks at 0, 50 and 100: the 0 sits in the lowest rows of the bar, the
    // 100 at its very top, labelled below its line, not beside the title.
    QCOMPARE(scale.tickValues(), QList<double>({0, 50, 100}));
    QVERIFY(textRows(graph.bottom() - 40, graph.bottom()) >= 5);
    QCOMPARE(textRows(0, graph.top() - 1), 0);
    QVERIFY(textRows(graph.top(), graph.top() + 12) >= 5);
}

void TestGraphPainting::longValueLabelsShrinkToStayWhole()
{
    // Totals near 400,000 in steps of 0.05: labels such as "395973.55",
    // without a title, in a watch as narrow as the watch window's.
    VRKExcelWatchView watch;
    watch.resize(250, 200);
    watch.removeDisplayFlags(0x010);
    makeCurve(*watch.data(), {395973.32, 395973.61, 395973.45});
    QImage image(watch.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    watch.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    const QRect axis = watch.area(VRKExcelWatchView::ValueAxis);
    // A label too wide for the axis is cut at its left edge.
    int atTheEdge = 0;
    for (int y = axis.top(); y <= axis.bottom(); ++y)
        for (int x = axis.left(); x <= axis.left() + 1; ++x)
            atTheEdge += image.pixelColor(x, y).lightness() > 60 ? 1 : 0;
    QCOMPARE(atTheEdge, 0);
}

void TestGraphPainting::valueLabelsStayWholeAndClearOfTheTitle()
{
    VRKExcelWatchView watch;
    watch.resize(300, 200);
    watch.setName(QStringLiteral("Speed (m/s)"));
    // Long labels (1000.2 ... 1000.8), the last at the very top of the axis:
    // the range is widened by a sixth of its span at each end.
    makeCurve(*watch.data(), {1000.2159, 1000.7159, 1000.5});
    const auto draw = [&watch] {
        QImage image(watch.size(), QImage::Format_ARGB32);
        image.fill(Qt::black);
        watch.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    };
    const QRect axis = watch.area(VRKExcelWatchView::ValueAxis);
    const auto lit = [](const QImage &image, int x, int y) { return image.pixelColor(x, y).lightness() > 60; };
    const QImage both = draw();
    watch.removeDisplayFlags(0x00C);
    const QImage titleOnly = draw();
    watch.addDisplayFlags(0x00C);

    // Where the turned title is, there are no label pixels.
    QRect titleBox;
    for (int y = axis.top(); y <= axis.bottom(); ++y)
        for (int x = axis.left(); x <= axis.right(); ++x)
            if (lit(titleOnly, x, y))
                titleBox |= QRect(x, y, 1, 1);
    QVERIFY(titleBox.width() >= 5 && titleBox.height() >= 40);
    int stray = 0;
    for (int y = titleBox.top(); y <= titleBox.bottom(); ++y)
        for (int x = titleBox.left(); x <= titleBox.right(); ++x)
            stray += lit(both, x, y) != lit(titleOnly, x, y) ? 1 : 0;
    QCOMPARE(stray, 0);

    // Each label is whole: the top one, under the watch's title, as tall as the others.
    QList<int> rows;
    for (int y = axis.top(); y <= axis.bottom(); ++y) {
        bool text = false;
        for (int x = titleBox.right() + 1; x <= axis.right() && !text; ++x)
            text = lit(both, x, y);
        if (text)
            rows << y;
    }
    QList<int> heights;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i == 0 || rows[i] != rows[i - 1] + 1)
            heights << 0;
        ++heights.last();
    }
    QVERIFY2(heights.size() >= 3, qPrintable(QString::number(heights.size())));
    QVERIFY2(heights.first() >= heights.last(),
             qPrintable(QStringLiteral("%1 rows at the top, %2 below").arg(heights.first()).arg(heights.last())));
}

QTEST_MAIN(TestGraphPainting)
#include "tst_graph_painting.moc"
