#include "MinMaxMultiDimData.h"
#include "VRKExcelWatchScale.h"
#include "VRKExcelWatchView.h"
#include "WatchExport.h"
#include "ProgramDiagnostics.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {

// A watch whose store holds a surface of na x nb cells, both axes free.
void makeSurface(VRKExcelWatchView &watch, int na, int nb, bool flat)
{
    MinMaxMultiDimData *data = watch.data();
    data->setFlat3D(flat);
    data->setDimensions({Dimension{na, QStringLiteral("a"), 0, 1}, Dimension{nb, QStringLiteral("b"), 0, 1}});
    QList<double> values;
    for (int i = 0; i < na * nb; ++i)
        values << i;
    data->setValues(values);
    DataExtractionSettings extraction = data->dataExtractionSettings();
    extraction.selection = {-1, -1};
    data->setDataExtractionSettings(extraction);
}

void makeCurve(VRKExcelWatchView &watch, const QList<double> &values, const QString &label = QString())
{
    MinMaxMultiDimData *data = watch.data();
    data->setDimensions({Dimension{int(values.size()), label, 1, 3}});
    data->setValues(values);
    DataExtractionSettings extraction = data->dataExtractionSettings();
    extraction.selection = {-1};
    data->setDataExtractionSettings(extraction);
}

void press(QWidget &widget, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(&widget, button, Qt::NoModifier, at);
    QTest::mouseRelease(&widget, button, Qt::NoModifier, at);
}

} // namespace

class TestWatchView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<QMouseEvent *>(); }
    void constructionSetsTheStatedDefaults();
    void repaintsAreThrottledByOneTimer();
    void splitPointEchoEnds();
    void fillLimitsFollowTheSplitPoint();
    void fastDrawRequestsNest();
    void resizeLimitsTheLiveHistory();
    void areasOfAStandardView();
    void queriesFollowTheGraph();
    void createDataCopiesSettingsAndFadesTheOldStore();
    void subWatchesShowTheCutsAndFollowTheSize();
    void pressesOpenTheRowAndClickItsButtons();
    void pressesReportTitleAndGraph();
    void theRowClosesAfterThePointerLeaves();
    void samplesExportAsTabSeparatedText();
    void thePictureMatchesARender();
    void aColourMapsPictureHasItsLegendAndNoCornerMark();
};

void TestWatchView::constructionSetsTheStatedDefaults()
{
    VRKExcelWatchView watch;
    QCOMPARE(watch.displayFlags(), 0xCFFu);
    QCOMPARE(watch.titleHeight(), 34);
    QCOMPARE(watch.minimumHeight(), 184);
    QCOMPARE(watch.splitPoint(), QPointF(0.5, 0.5));
    QCOMPARE(watch.minRepaintInterval(), 0);
    QVERIFY(watch.data());
    QVERIFY(watch.hasMouseTracking());
}

void TestWatchView::repaintsAreThrottledByOneTimer()
{
    VRKExcelWatchView watch;
    watch.resize(300, 200);
    watch.show();
    QVERIFY(QTest::qWaitForWindowExposed(&watch));
    watch.setMinRepaintInterval(200);
    watch.update(true); // paints now: the interval starts
    int paints = 0;
    connect(&watch, &VRKExcelWatchView::afterPaint, this, [&paints] { ++paints; });
    watch.setMinRepaintInterval(200);
    watch.update(false);
    QVERIFY(watch.repaintPending());
    watch.update(false);
    QVERIFY(watch.repaintPending());
    QCOMPARE(paints, 0);
    QTRY_VERIFY_WITH_TIMEOUT(paints >= 1, 1000);
    QTest::qWait(50);
    QCOMPARE(paints, 1);

    // An immediate request paints at once, within the interval too.
    watch.setMinRepaintInterval(10000);
    watch.update(true);
    QCOMPARE(paints, 2);
    QVERIFY(!watch.repaintPending());
}

void TestWatchView::splitPointEchoEnds()
{
    VRKExcelWatchView a, b;
    connect(&a, &VRKExcelWatchView::splitChanged, &b, &VRKExcelWatchView::setSplitPoint);
    connect(&b, &VRKExcelWatchView::splitChanged, &a, &VRKExcelWatchView::setSplitPoint);
    QSignalSpy spyA(&a, &VRKExcelWatchView::splitChanged);
    QSignalSpy spyB(&b, &VRKExcelWatchView::splitChanged);
    a.setSplitPoint(QPointF(0.25, 0.75));
    QCOMPARE(spyA.count(), 1);
    QCOMPARE(spyB.count(), 1);
    QCOMPARE(b.splitPoint(), QPointF(0.25, 0.75));
    a.setSplitPoint(QPointF(0.25 + 1e-13, 0.75));
    QCOMPARE(spyA.count(), 1);
}

void TestWatchView::fillLimitsFollowTheSplitPoint()
{
    for (bool flat : {true, false}) {
        VRKExcelWatchView watch;
        makeSurface(watch, 10, 20, flat);
        QCOMPARE(watch.data()->graphDepth(), 4);
        QCOMPARE(watch.cubeFillLimits(QPointF(1.0, 1.0)), QPoint(9, 19));
        QCOMPARE(watch.cubeFillLimits(QPointF(0.5, 0.5)), QPoint(4, 9));
        watch.setSplitPoint(QPointF(1.0, 1.0));
        QCOMPARE(watch.data()->drawSettings3DCube().fillLimitX, 9);
        QCOMPARE(watch.data()->drawSettings3DCube().fillLimitY, 19);
    }
    VRKExcelWatchView curve;
    makeCurve(curve, {1, 2, 3});
    QCOMPARE(curve.cubeFillLimits(QPointF(0.5, 0.5)), QPoint(0, 0));
    // Three dimensions with one free axis: a surface depth is not reached.
    VRKExcelWatchView oneFree;
    oneFree.data()->setDimensions({Dimension{3, {}, 0, 1}, Dimension{3, {}, 0, 1}});
    DataExtractionSettings extraction;
    extraction.selection = {-1, 1};
    oneFree.data()->setDataExtractionSettings(extraction);
    QVERIFY(oneFree.data()->graphDepth() < 4);
}

void TestWatchView::fastDrawRequestsNest()
{
    VRKExcelWatchView watch;
    QSignalSpy spy(&watch, &VRKExcelWatchView::canUseFastDrawChanged);
    watch.setCanUseFastDraw(true);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.last().at(0).toBool(), true);
    QVERIFY(watch.data()->dataExtractionSettings().simplify);
    watch.setCanUseFastDraw(true);
    QCOMPARE(spy.count(), 1);
    watch.setCanUseFastDraw(false);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.last().at(0).toBool(), false);
    QCOMPARE(watch.fastDrawRequests(), 1);
}

void TestWatchView::resizeLimitsTheLiveHistory()
{
    VRKExcelWatchView watch;
    watch.removeDisplayFlags(0x1C | 0xE0);
    // Inner is the contents minus 2 left and 3 right: 305 wide gives a 300-pixel graph.
    watch.resize(305, 200);
    watch.show();
    QVERIFY(QTest::qWaitForWindowExposed(&watch));
    QCOMPARE(watch.area(VRKExcelWatchView::Graph).width(), 300);
    QCOMPARE(watch.data()->maxValueCount(), 150);
}

void TestWatchView::areasOfAStandardView()
{
    VRKExcelWatchView watch;
    watch.resize(300, 200);
    const QRect graph = watch.area(VRKExcelWatchView::Graph);
    QCOMPARE(graph, QRect(QPoint(42, 36), QPoint(296, 170)));
    QCOMPARE(watch.area(VRKExcelWatchView::Title), QRect(QPoint(2, 2), QPoint(296, 35)));
    QCOMPARE(watch.area(VRKExcelWatchView::ValueAxis), QRect(QPoint(2, 36), QPoint(40, 170)));
    QCOMPARE(watch.area(VRKExcelWatchView::DimensionAxis), QRect(QPoint(42, 171), QPoint(296, 196)));
    watch.setButtons({WatchButton{QStringLiteral("a"), {}}, WatchButton{QStringLiteral("b"), {}}});
    QCOMPARE(watch.area(VRKExcelWatchView::Buttons), QRect(QPoint(3, 2), QPoint(50, 25)));
    QTest::ignoreMessage(QtDebugMsg, "Unknown WatchArea value");
    QCOMPARE(watch.area(3), watch.area(VRKExcelWatchView::Inner));
    watch.removeDisplayFlags(0x1C);
    QVERIFY(watch.area(VRKExcelWatchView::ValueAxis).isEmpty());
    QCOMPARE(watch.area(VRKExcelWatchView::Graph).left(), 2);
    watch.setVertical(true);
    QCOMPARE(watch.area(VRKExcelWatchView::Inner).size(), QSize(195, 295)); // laid out turned
    // The graph's size is what the areas around it leave.
    watch.setVertical(false);
    watch.addDisplayFlags(0x1C);
    QCOMPARE(watch.width() - watch.extraWidth(), graph.width());
    QCOMPARE(watch.height() - watch.extraHeight() - watch.titleHeight(), graph.height());
}

void TestWatchView::queriesFollowTheGraph()
{
    VRKExcelWatchView watch;
    watch.resize(300, 200);
    QVERIFY(std::isnan(watch.valueAxisTop()));
    QCOMPARE(watch.valueAxisTitle(), QString());
    makeCurve(watch, {1, 3}, QStringLiteral("x"));
    watch.setName(QStringLiteral("Range\nkm"));
    // A graph 135 high: e = 101 / 135, so 2 * (1 - e) / e * 0.5 is added either side.
    const double e = 101.0 / 135.0;
    QCOMPARE(watch.valueAxisTop(), 3 + 2 * (1 - e) / e * 0.5);
    QCOMPARE(watch.valueAxisBottom(), 1 - 2 * (1 - e) / e * 0.5);
    QCOMPARE(watch.valueAxisTitle(), QStringLiteral("Range / km"));
    QCOMPARE(watch.dimensionAxisTitle(), QStringLiteral("x"));
    QCOMPARE(watch.dimensionAxisBottom(), 1.0);
    QCOMPARE(watch.dimensionAxisTop(), 3.0);
    QCOMPARE(watch.dimensionAxisCount(), 2.0);
    QVERIFY(std::isnan(watch.valueAxisCount()));
    VRKExcelWatchView level;
    makeCurve(level, {2, 2});
    QCOMPARE(level.valueAxisTop(), 2.15);
    QCOMPARE(level.valueAxisBottom(), 1.85);
    makeSurface(watch, 4, 5, true);
    QCOMPARE(watch.valueAxisTitle(), QStringLiteral("b"));
    QCOMPARE(watch.valueAxisCount(), 5.0);
    QCOMPARE(watch.valueAxisBottom(), 0.0);
    QCOMPARE(watch.valueAxisTop(), 1.0);
}

void TestWatchView::createDataCopiesSettingsAndFadesTheOldStore()
{
    VRKExcelWatchView watch;
    makeCurve(watch, {1, 2, 3});
    PerspectiveSettings perspective;
    perspective.turn = 12;
    watch.data()->setPerspectiveSettings(perspective);
    MinMaxMultiDimData *old = watch.data();
    QSignalSpy created(&watch, &VRKExcelWatchView::dataCreated);
    watch.createData();
    QCOMPARE(created.count(), 1);
    QVERIFY(watch.data() != old);
    QCOMPARE(watch.data()->perspectiveSettings().turn, 12.0);
    QCOMPARE(watch.data()->dimensions(), old->dimensions());
    QCOMPARE(watch.data()->minimum(), 1.0);
    QCOMPARE(watch.previousDataCount(), 1);
    QVERIFY(old->signalsBlocked());

    // The old store follows the new range, fades while a curve is shown, and goes.
    watch.data()->setMinMax(-5, 5);
    QCOMPARE(old->minimum(), -5.0);
    watch.resize(200, 200);
    watch.show();
    QVERIFY(QTest::qWaitForWindowExposed(&watch));
    watch.update(true);
    QCOMPARE(watch.previousDataCount(), 1); // young: still fading
    QTRY_COMPARE_WITH_TIMEOUT(watch.previousDataCount(), 0, 2000);
}

void TestWatchView::subWatchesShowTheCutsAndFollowTheSize()
{
    VRKExcelWatchView watch, subX, subY;
    makeSurface(watch, 3, 4, true);
    watch.setMinimumSize(200, 100);
    watch.setSubWatchSizeMargin(20);
    watch.setSubWatchX(&subX);
    watch.setSubWatchY(&subY);
    QCOMPARE(subX.minimumSize(), QSize(90, 40));
    QCOMPARE(subX.maximumSize(), QSize(270, 120));
    // Split (0.5, 0.5) over 3 x 4 flat cells: column 1, row 1 (0.9999999 keeps 2.0 below 2).
    QCOMPARE(subX.data()->values(), QList<double>({3, 4, 5}));
    QCOMPARE(subY.data()->values(), QList<double>({1, 4, 7, 10}));
    QCOMPARE(subX.data()->dimensions().first().label, QStringLiteral("a"));
    QCOMPARE(subY.data()->dataExtractionSettings().selection, QList<int>({-1}));
    QCOMPARE(watch.crossPointValue(), 4.0);
    // The sub-watch's cross-hair moves the surface's split point.
    subY.setSplitPoint(QPointF(0.1, 0.9));
    QCOMPARE(watch.splitPoint(), QPointF(0.9, 0.1));
}

void TestWatchView::pressesOpenTheRowAndClickItsButtons()
{
    VRKExcelWatchView watch;
    watch.resize(300, 200);
    watch.setButtons({WatchButton{QStringLiteral("first"), {}}, WatchButton{QStringLiteral("last"), {}}});
    QSignalSpy clicked(&watch, &VRKExcelWatchView::buttonClicked);
    press(watch, QPoint(13, 10));
    QVERIFY(watch.buttonsShown());
    QCOMPARE(clicked.count(), 0);
    press(watch, QPoint(13, 10));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.last().at(0).toString(), QStringLiteral("last"));
    QVERIFY(!watch.buttonsShown());
    // The rightmost cell is the first button.
    press(watch, QPoint(13, 10));
    press(watch, QPoint(45, 10));
    QCOMPARE(clicked.last().at(0).toString(), QStringLiteral("first"));
    // Without the row bit nothing opens.
    watch.removeDisplayFlags(VRKExcelWatchView::ButtonRow);
    press(watch, QPoint(13, 10));
    QVERIFY(!watch.buttonsShown());
}

void TestWatchView::pressesReportTitleAndGraph()
{
    VRKExcelWatchView watch;
    watch.resize(300, 200);
    QSignalSpy text(&watch, &VRKExcelWatchView::textClicked);
    QSignalSpy graph(&watch, &VRKExcelWatchView::graphClicked);
    QSignalSpy pressed(&watch, &VRKExcelWatchView::mousePressed);
    QSignalSpy released(&watch, &VRKExcelWatchView::mouseReleased);
    press(watch, QPoint(150, 20));
    press(watch, QPoint(150, 100));
    press(watch, QPoint(150, 100), Qt::RightButton);
    QCOMPARE(text.count(), 1);
    QCOMPARE(graph.count(), 1);
    QCOMPARE(pressed.count(), 3);
    QCOMPARE(released.count(), 3);

    // With the cross-hair on, a press in the graph moves the split point.
    watch.addDisplayFlags(VRKExcelWatchView::CrossHairBits);
    press(watch, QPoint(42 + 127, 170 - 67));
    QCOMPARE(watch.splitPoint().x(), 127.0 / 255);
    QCOMPARE(watch.splitPoint().y(), 67.0 / 135);
}

void TestWatchView::theRowClosesAfterThePointerLeaves()
{
    VRKExcelWatchView watch;
    watch.resize(300, 200);
    watch.setButtons({WatchButton{QStringLiteral("a"), QStringLiteral(":resources/watchbuttonclose.png")}});
    watch.show();
    QVERIFY(QTest::qWaitForWindowExposed(&watch));
    QTest::mouseMove(&watch, QPoint(10, 10));
    QVERIFY(watch.revealHover());
    watch.setButtonsShown(true);
    QTest::mouseMove(&watch, QPoint(12, 11));
    QCOMPARE(watch.hoverButton(), 0);
    QTest::mouseMove(&watch, QPoint(200, 150));
    QCOMPARE(watch.hoverButton(), -1);
    QVERIFY(watch.buttonsShown());
    QTRY_VERIFY_WITH_TIMEOUT(!watch.buttonsShown(), 1000);
}

void TestWatchView::samplesExportAsTabSeparatedText()
{
    VRKExcelWatchView watch;
    watch.setName(QStringLiteral("Range\nkm"));
    makeCurve(watch, {10, 20.5, 1.0 / 3}, QStringLiteral("Angle"));
    QCOMPARE(WatchExport::samplesText(watch), QStringLiteral("Angle\tRange / km\n1\t10\n2\t20.5\n3\t0.333333"));
    makeCurve(watch, {4});
    QCOMPARE(WatchExport::samplesText(watch), QString());

    makeSurface(watch, 2, 2, true);
    QCOMPARE(WatchExport::samplesText(watch), QStringLiteral("a\tb\tRange / km\n0\t0\t0\n1\t0\t1\n0\t1\t2\n1\t1\t3"));

    // A live history counts its samples.
    VRKExcelWatchView live;
    live.setName(QStringLiteral("v"));
    live.data()->setDimensions({Dimension{}});
    DataExtractionSettings extraction;
    extraction.selection = {-1};
    live.data()->setDataExtractionSettings(extraction);
    live.data()->appendValue(5);
    live.data()->appendValue(6);
    QCOMPARE(WatchExport::samplesText(live), QStringLiteral("\tv\n0\t5\n1\t6"));
}

void TestWatchView::thePictureMatchesARender()
{
    VRKExcelWatchView watch;
    watch.resize(220, 200);
    watch.setName(QStringLiteral("Total"));
    makeCurve(watch, {1, 2, 3});
    watch.addDisplayFlags(VRKExcelWatchView::CrossHairBits);
    watch.setButtonsShown(true);
    const QImage picture = WatchExport::picture(watch);
    QCOMPARE(picture.size(), watch.size());
    QVERIFY(!watch.buttonsShown());
    QCOMPARE(watch.displayFlags() & VRKExcelWatchView::CrossHairBits, unsigned(VRKExcelWatchView::CrossHairBits));

    watch.removeDisplayFlags(VRKExcelWatchView::CrossHairBits);
    QImage render(watch.size(), QImage::Format_ARGB32_Premultiplied);
    render.fill(Qt::darkGray);
    watch.render(&render);
    QCOMPARE(picture, render);
}

void TestWatchView::aColourMapsPictureHasItsLegendAndNoCornerMark()
{
    VRKExcelWatchView watch;
    watch.resize(220, 200);
    makeSurface(watch, 4, 4, true);
    watch.setButtons({WatchButton{QStringLiteral("exportimage"), QStringLiteral(":resources/watchbuttonexportimage.png")}});
    VRKExcelWatchScale scale;
    scale.setFixedWidth(40);
    watch.setScale(&scale);
    // The pointer rests in the corner, where the button row is revealed.
    QMouseEvent hover(QEvent::MouseMove, QPointF(10, 10), watch.mapToGlobal(QPointF(10, 10)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&watch, &hover);
    QVERIFY(watch.revealHover());

    const QImage picture = WatchExport::picture(watch);
    QCOMPARE(picture.size(), QSize(260, 200));
    QImage legend(scale.size(), QImage::Format_ARGB32_Premultiplied);
    legend.fill(Qt::darkGray);
    scale.render(&legend, QPoint(), QRegion(), {});
    QCOMPARE(picture.copy(220, 0, 40, 200), legend);

    QImage plain(watch.size(), QImage::Format_ARGB32_Premultiplied);
    plain.fill(Qt::darkGray);
    watch.removeDisplayFlags(VRKExcelWatchView::RevealImage);
    watch.render(&plain);
    QCOMPARE(picture.copy(0, 0, 220, 200), plain);
}

QTEST_MAIN(TestWatchView)
#include "tst_watch_view.moc"
